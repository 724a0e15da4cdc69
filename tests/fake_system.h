// A machine for the program's start-up and ticks: a fixed interface table
// and adapters, readings that do not move, a network watch the test pokes;
// and the settings file the program tests start from.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace mirel::fakes {

// A watch the test pokes: a byte in the pipe is a notice, and the changes
// it reports are those the test put in `pending`.
class PipeWatch : public NetworkWatch {
 public:
  PipeWatch(int readEnd, NetworkChanges& pending) : fd_(readEnd), pending_(pending) {}
  std::intptr_t Descriptor() const override { return fd_; }
  NetworkChanges Drain() override {
    char buffer[64];
    while (::read(fd_, buffer, sizeof buffer) > 0) {
    }
    NetworkChanges out = pending_;
    pending_ = {};
    ++drains;
    return out;
  }
  int drains = 0;

 private:
  int fd_;
  NetworkChanges& pending_;
};

class FakeSystem : public SystemSource {
 public:
  FakeSystem() {
    if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) ADD_FAILURE() << "no pipe";
  }
  ~FakeSystem() override {
    ::close(pipe_[0]);
    ::close(pipe_[1]);
  }
  FakeSystem(const FakeSystem&) = delete;
  FakeSystem& operator=(const FakeSystem&) = delete;

  AdapterTableStatus adapterStatus = AdapterTableStatus::kOk;
  std::vector<InterfaceRow> table{{1, kIfTypeEthernet, "eth0"}};
  std::string routed = "eth0";
  std::vector<AdapterEntry> adapters{{"eth0", "192.168.0.2"}};
  NetworkChanges pending;
  PipeWatch* watch = nullptr;

  // A change of the machine's network, as the kernel would announce it.
  void Announce(NetworkChanges changes) {
    pending = changes;
    ASSERT_EQ(::write(pipe_[1], "x", 1), 1);
  }

  std::optional<int> ReadCpuPercent() override { return ++cpuReads == 1 ? 70 : 12; }
  MemoryReading ReadMemory() override { return {512ull << 20, 256ull << 20}; }
  std::vector<InterfaceRow> LoadInterfaceTable() override { return table; }
  std::optional<std::size_t> DefaultRouteInterface(const std::vector<InterfaceRow>& rows) override {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].description == routed) return i;
    }
    return std::nullopt;
  }
  std::optional<OctetCounters> ReadCounters(const InterfaceRow&) override {
    return OctetCounters{1000, 500, true};
  }
  AdapterTable LoadAdapterTable() override {
    AdapterTable t;
    t.status = adapterStatus;
    if (adapterStatus == AdapterTableStatus::kOk) t.entries = adapters;
    return t;
  }
  std::vector<std::string> drives;
  std::vector<std::string> ListFixedDrives() override { return drives; }
  std::optional<DriveSpace> ReadDriveSpace(const std::string&) override { return std::nullopt; }
  std::string DateLine() override { return "2026/12/08 火曜日  01:00:00"; }
  std::unique_ptr<NetworkWatch> WatchNetwork() override {
    auto w = std::make_unique<PipeWatch>(pipe_[0], pending);
    watch = w.get();
    return w;
  }

  int cpuReads = 0;

 private:
  int pipe_[2] = {-1, -1};
};

inline std::string Slots(const char* colour) {
  std::string s;
  for (int i = 0; i < 15; ++i) {
    std::string slot = colour;
    slot.resize(12, ' ');
    s += slot;
  }
  return s;
}

// drawMode 0 (stretched), window at 100,100 px of the given pixel size.
inline std::string SettingsText(int widthPx, int heightPx,
                                const std::vector<std::string>& proxies) {
  std::vector<std::string> lines = {"111100000000000",
                                    "107108109100101102103104105106110111112113114",
                                    Slots("16777215"),
                                    Slots("8421376"),
                                    "",
                                    " 1 ",
                                    " 1 ",
                                    " 1 ",  // IP copy, auto adapter, proxy menu
                                    " 0 ",
                                    " 0 ",
                                    " 0 ",
                                    " 0 ",
                                    " 0 ",  // toolbar
                                    "0",
                                    "1",
                                    "0",
                                    "0",  // Kbyte, not topmost, no graph, no mouse-over
                                    " 0 ",
                                    "0",
                                    "0",
                                    " 0 ",  // adapter, GB, stretched, no version check
                                    "",
                                    "",  // drives
                                    "0",
                                    "16777215",
                                    "0",
                                    "0",
                                    "0",
                                    "0",
                                    "65280",
                                    "0",
                                    " 24 ",
                                    " 2 ",
                                    " 8 ",
                                    " 1500 ",
                                    " 1500 ",
                                    " " + std::to_string(heightPx * 15 + 128) + " ",
                                    " " + std::to_string(widthPx * 15 + 126) + " ",
                                    " 41 ",
                                    " 0 ",
                                    " 0 ",
                                    " " + std::to_string(proxies.size()) + " "};
  lines.insert(lines.end(), proxies.begin(), proxies.end());
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

// The settings text with line `number` (from 1) replaced.
inline std::string WithLine(const std::string& settings, int number, const std::string& text) {
  std::string out;
  std::size_t from = 0;
  for (int line = 1; from < settings.size(); ++line) {
    const std::size_t end = settings.find("\r\n", from);
    out += (line == number ? text : settings.substr(from, end - from)) + "\r\n";
    from = end + 2;
  }
  return out;
}

}  // namespace mirel::fakes
