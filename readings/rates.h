// Rates, totals, number formats and the pixel lengths derived from them.
//
// Fractions are kept in decimal fixed point with four places (values × 10000,
// the precision the displayed numbers have always been computed with), and the
// rounding points below are deliberate: they decide the numbers the user sees.
// Kilo is 1024 everywhere.
#pragma once

#include <cstdint>
#include <string>

namespace mirel {

inline constexpr std::int64_t kFixedOne = 10000;  // four decimal places
inline constexpr int kStripWidth = 157;
inline constexpr int kGraphHeight = 29;

inline constexpr const char* kUnitKbyte = "Kbyte/秒";
inline constexpr const char* kUnitKbit = "Kbit/秒";

// --- Integer rounding helpers ------------------------------------------------

// floor(num / den) for den > 0, also for a negative num.
std::int64_t FloorDiv(std::int64_t num, std::int64_t den);
// num / den rounded to the nearest integer, halves to even (den > 0).
std::int64_t RoundHalfEven(std::int64_t num, std::int64_t den);

// --- Rates -----------------------------------------------------------------

// Kilobytes in an octet difference, fixed point with four decimals, halves to
// even (octets × 10000 / 1024).
std::int64_t DeltaKFixed(std::int64_t octets);

// The rate of one direction over one nominal interval in the chosen unit
// (0 = "Kbyte/秒", 1 = "Kbit/秒"): the quotient kept to four decimals, then
// floored; raised to 1 when it floors to 0 while octets did move.
// deltaKFixed from DeltaKFixed, octets the raw difference it came from.
std::int64_t RateFromDelta(std::int64_t deltaKFixed, std::int64_t octets, int intervalMs,
                           int rateUnit);

// "12Kbyte/秒" / "96Kbit/秒".
std::string RateText(std::int64_t rate, int rateUnit);
const char* RateUnitText(int rateUnit);

// --- Totals ----------------------------------------------------------------

// The text of a total item: "0" at zero, else floor(octets / 1024) / 1024
// megabytes with three decimals and "MB" ("1.177MB").
std::string TotalText(std::uint64_t octets);

// --- Scales and lengths ----------------------------------------------------

// Full scale of a rate bar: speed × 8 in Kbyte/秒, speed × 64 in Kbit/秒.
std::int64_t FullScale(int speed, int rateUnit);

// Width of a rate bar in pixels: rate × 157 / F kept to four decimals, then to
// a whole pixel with halves to even. May exceed the strip (cut when drawn);
// never negative.
int RateBarWidth(std::int64_t rate, std::int64_t fullScale);
// Height of a graph sample for a rate: rate × 29 / F to the nearest pixel with
// halves to even; 0 becomes 1.
int GraphSampleHeight(std::int64_t rate, std::int64_t fullScale);

// Processor or memory bar: 157 / 100 × percent, halves to even.
int PercentBarWidth(int percent);
// Graph sample for processor or memory: 29 / 100 × percent, halves to even;
// 0 becomes 1.
int PercentGraphHeight(int percent);

// --- Processor, memory and disks -------------------------------------------

// used / total × 100 to the nearest integer, halves to even; 0 when total is 0.
int PercentOf(std::int64_t used, std::int64_t total);
// The same for byte counts of any size.
int PercentOfBytes(std::uint64_t used, std::uint64_t total);

struct MemoryFigures {
  std::int64_t totalMB = 0;
  std::int64_t availMB = 0;
  std::int64_t usedMB = 0;
  int percent = 0;
  std::string text;  // "200MB/511MB"
};
MemoryFigures ComputeMemory(std::uint64_t totalBytes, std::uint64_t availBytes);

// Megabytes with one decimal as the disk strip shows them in GB units:
// floor(MB / 1024 × 10) / 10, always one decimal ("39.0", "14.4").
std::string GigabyteText(std::int64_t megabytes);

}  // namespace mirel
