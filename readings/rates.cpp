#include "readings/rates.h"

#include <algorithm>
#include <limits>

namespace mirel {

namespace {

using Wide = __int128;

Wide FloorDivWide(Wide num, Wide den) {
  Wide q = num / den;
  if ((num % den != 0) && ((num < 0) != (den < 0))) --q;
  return q;
}

Wide RoundHalfEvenWide(Wide num, Wide den) {
  Wide q = FloorDivWide(num, den);
  Wide rest = num - q * den;  // 0 <= rest < den
  Wide twice = rest * 2;
  if (twice > den || (twice == den && (q % 2 != 0))) ++q;
  return q;
}

std::int64_t Narrow(Wide v) {
  constexpr Wide kMax = std::numeric_limits<std::int64_t>::max();
  constexpr Wide kMin = std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::clamp(v, kMin, kMax));
}

int ToPixels(Wide v) {
  // Lengths beyond the strip are cut when drawn; keep them in int range.
  return static_cast<int>(std::clamp<Wide>(v, 0, 1 << 20));
}

}  // namespace

std::int64_t FloorDiv(std::int64_t num, std::int64_t den) {
  return Narrow(FloorDivWide(num, den));
}

std::int64_t RoundHalfEven(std::int64_t num, std::int64_t den) {
  return Narrow(RoundHalfEvenWide(num, den));
}

std::int64_t DeltaKFixed(std::int64_t octets) {
  return Narrow(RoundHalfEvenWide(Wide(octets) * kFixedOne, 1024));
}

std::int64_t RateFromDelta(std::int64_t deltaKFixed, std::int64_t octets, int intervalMs,
                           int rateUnit) {
  if (intervalMs <= 0) return 0;
  // deltaK / (ms / 1000), kept to four decimals, in units of 1/10000.
  Wide scaled = Wide(deltaKFixed) * 1000 * (rateUnit == 1 ? 8 : 1);
  Wide quotientFixed = RoundHalfEvenWide(scaled, intervalMs);
  std::int64_t rate = Narrow(FloorDivWide(quotientFixed, kFixedOne));
  if (rate == 0 && octets > 0) rate = 1;
  return rate;
}

const char* RateUnitText(int rateUnit) {
  return rateUnit == 1 ? kUnitKbit : kUnitKbyte;
}

std::string RateText(std::int64_t rate, int rateUnit) {
  return std::to_string(rate) + RateUnitText(rateUnit);
}

std::string TotalText(std::uint64_t octets) {
  if (octets == 0) return "0";
  // Whole kilobytes, then megabytes to three places. The three places are a
  // display format, which rounds halves up (0.0625 shows as 0.063).
  unsigned __int128 kilobytes = octets / 1024;
  unsigned __int128 thousandths = (kilobytes * 1000 + 512) / 1024;
  auto whole = static_cast<std::uint64_t>(thousandths / 1000);
  auto frac = static_cast<unsigned>(thousandths % 1000);
  std::string fracText = std::to_string(frac);
  fracText.insert(0, 3 - fracText.size(), '0');
  return std::to_string(whole) + "." + fracText + "MB";
}

std::int64_t FullScale(int speed, int rateUnit) {
  return std::int64_t{speed} * (rateUnit == 1 ? 64 : 8);
}

int RateBarWidth(std::int64_t rate, std::int64_t fullScale) {
  if (fullScale <= 0) return 0;
  Wide fixed = RoundHalfEvenWide(Wide(rate) * kStripWidth * kFixedOne, fullScale);
  return ToPixels(RoundHalfEvenWide(fixed, kFixedOne));
}

int GraphSampleHeight(std::int64_t rate, std::int64_t fullScale) {
  if (fullScale <= 0) return 1;
  return std::max(1, ToPixels(RoundHalfEvenWide(Wide(rate) * kGraphHeight, fullScale)));
}

int PercentBarWidth(int percent) {
  return ToPixels(RoundHalfEvenWide(Wide(percent) * kStripWidth, 100));
}

int PercentGraphHeight(int percent) {
  return std::max(1, ToPixels(RoundHalfEvenWide(Wide(percent) * kGraphHeight, 100)));
}

int PercentOf(std::int64_t used, std::int64_t total) {
  if (total <= 0) return 0;
  return static_cast<int>(RoundHalfEvenWide(Wide(used) * 100, total));
}

int PercentOfBytes(std::uint64_t used, std::uint64_t total) {
  if (total == 0) return 0;
  return static_cast<int>(RoundHalfEvenWide(Wide(used) * 100, Wide(total)));
}

MemoryFigures ComputeMemory(std::uint64_t totalBytes, std::uint64_t availBytes) {
  MemoryFigures m;
  m.totalMB = static_cast<std::int64_t>(totalBytes / 1024 / 1024);
  m.availMB = static_cast<std::int64_t>(availBytes / 1024 / 1024);
  m.usedMB = m.totalMB - m.availMB;
  m.percent = PercentOf(m.usedMB, m.totalMB);
  m.text = std::to_string(m.usedMB) + "MB/" + std::to_string(m.totalMB) + "MB";
  return m;
}

std::string GigabyteText(std::int64_t megabytes) {
  std::int64_t tenths = FloorDiv(megabytes * 10, 1024);
  std::int64_t whole = FloorDiv(tenths, 10);
  return std::to_string(whole) + "." + std::to_string(tenths - whole * 10);
}

}  // namespace mirel
