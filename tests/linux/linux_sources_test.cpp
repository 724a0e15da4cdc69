// The Linux system source against /proc and /sys trees that the tests write.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/linux/adapter_table.h"
#include "platform/linux/date_line.h"
#include "platform/linux/proc_parsers.h"
#include "platform/linux/system_source_linux.h"
#include "platform/platform.h"
#include "readings/fixed_sources.h"
#include "readings/sampling.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;
using namespace linux_source;

class FixtureTree : public testing::Test {
 protected:
  FixtureTree() {
    root_ =
        fs::temp_directory_path() / ("mirel9x-sources-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    roots_.proc = root_ / "proc";
    roots_.sys = root_ / "sys";
    fs::create_directories(roots_.proc);
    fs::create_directories(roots_.sys);
  }
  ~FixtureTree() override { fs::remove_all(root_); }

  void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  void Link(const fs::path& link, const fs::path& target) {
    fs::create_directories(link.parent_path());
    fs::create_directory_symlink(target, link);
  }
  // One /sys/class/net entry.
  void Interface(const std::string& name, int index, int type, const std::string& uevent = "",
                 std::uint64_t rx = 0, std::uint64_t tx = 0) {
    fs::path dir = roots_.sys / "class/net" / name;
    Write(dir / "ifindex", std::to_string(index) + "\n");
    Write(dir / "type", std::to_string(type) + "\n");
    Write(dir / "uevent",
          "INTERFACE=" + name + "\nIFINDEX=" + std::to_string(index) + "\n" + uevent);
    Write(dir / "statistics/rx_bytes", std::to_string(rx) + "\n");
    Write(dir / "statistics/tx_bytes", std::to_string(tx) + "\n");
  }

  fs::path root_;
  LinuxRoots roots_;
};

TEST_F(FixtureTree, ProcessorShareBetweenReadings) {
  auto stat = [&](const std::string& cpuLine) {
    Write(roots_.proc / "stat", cpuLine + "\ncpu0 1 2 3 4 5 6 7 8 0 0\nintr 12345 0 0\n");
  };
  auto source = MakeSystemSource(roots_);
  // user nice system idle iowait irq softirq steal guest guest_nice
  stat("cpu  100 0 100 700 100 0 0 0 50 0");
  EXPECT_EQ(source->ReadCpuPercent(), 20);  // since boot: 200 busy of 1000
  stat("cpu  130 0 110 760 100 0 0 0 90 0");
  EXPECT_EQ(source->ReadCpuPercent(), 40);  // 40 of 100; guest time is already in user
  stat("cpu  130 0 110 760 100 0 0 0 90 0");
  EXPECT_EQ(source->ReadCpuPercent(), std::nullopt);  // no time passed: keep the old value
  stat("cpu  131 0 110 767 100 0 0 0 90 0");
  EXPECT_EQ(source->ReadCpuPercent(), 12);  // 12.5: halves to even
  fs::remove(roots_.proc / "stat");
  EXPECT_EQ(source->ReadCpuPercent(), std::nullopt);
}

TEST_F(FixtureTree, MemoryInSixtyFourBits) {
  auto source = MakeSystemSource(roots_);
  Write(roots_.proc / "meminfo",
        "MemTotal:       33554432 kB\nMemFree:         1000000 kB\n"
        "MemAvailable:   25165824 kB\nBuffers:          100 kB\n");
  MemoryReading m = source->ReadMemory();
  EXPECT_EQ(m.totalBytes, 32ull << 30);
  EXPECT_EQ(m.availBytes, 24ull << 30);

  // An old kernel without MemAvailable.
  Write(roots_.proc / "meminfo",
        "MemTotal:  524288 kB\nMemFree:  100000 kB\nBuffers:  20000 kB\nCached:  98464 kB\n");
  m = source->ReadMemory();
  EXPECT_EQ(m.totalBytes, 512ull << 20);
  EXPECT_EQ(m.availBytes, 218464ull * 1024);
}

TEST_F(FixtureTree, InterfaceTableInAnOrderThatStaysFromBootToBoot) {
  // Indexes as the kernel might hand them out on one boot; adapters backed by
  // a device have a "device" link.
  auto device = [&](const std::string& name) {
    fs::create_directories(roots_.sys / "class/net" / name / "device");
  };
  Interface("wlp2s0", 4, 1, "DEVTYPE=wlan\n");
  device("wlp2s0");
  Interface("lo", 1, 772);
  Interface("docker0", 5, 1, "DEVTYPE=bridge\n");
  Interface("enp3s0", 2, 1);
  device("enp3s0");
  Interface("wlan1", 3, 1);
  device("wlan1");
  fs::create_directories(roots_.sys / "class/net/wlan1/wireless");
  Interface("wg0", 6, 65534);
  Interface("ppp0", 7, 512);
  Interface("can0", 8, 280);
  device("can0");
  Interface("eth10", 9, 1);
  device("eth10");
  Interface("eth2", 10, 1);
  device("eth2");
  Interface("veth1a2b", 11, 1);
  Interface("br-5f3a", 12, 1, "DEVTYPE=bridge\n");
  Write(roots_.sys / "class/net/bonding_masters", "");  // a file, not an interface

  auto source = MakeSystemSource(roots_);
  auto load = [&] {
    std::vector<std::string> names;
    std::vector<std::uint32_t> types;
    for (const InterfaceRow& r : source->LoadInterfaceTable()) {
      names.push_back(r.description);
      types.push_back(r.type);
    }
    return std::pair{names, types};
  };
  auto [names, types] = load();
  // Loopback, then the adapters with a device by name, then virtual ones.
  EXPECT_EQ(names,
            (std::vector<std::string>{"lo", "can0", "enp3s0", "eth2", "eth10", "wlan1", "wlp2s0",
                                      "br-5f3a", "docker0", "ppp0", "veth1a2b", "wg0"}));
  EXPECT_EQ(types, (std::vector<std::uint32_t>{24, 1, 6, 6, 6, 71, 71, 6, 6, 23, 6, 131}));
  EXPECT_EQ(source->LoadInterfaceTable()[6].index, 4u);

  // Another boot: containers and a VPN came up in another order, with other
  // indexes. The adapters keep their positions.
  fs::remove_all(roots_.sys / "class/net/docker0");
  fs::remove_all(roots_.sys / "class/net/veth1a2b");
  Interface("veth0", 3, 1);
  Interface("tun0", 2, 65534);
  Interface("enp3s0", 13, 1);
  auto [again, againTypes] = load();
  for (std::size_t i = 0; i <= 6; ++i) EXPECT_EQ(again[i], names[i]) << i;
  EXPECT_EQ(std::vector<std::string>(again.begin() + 7, again.end()),
            (std::vector<std::string>{"br-5f3a", "ppp0", "tun0", "veth0", "wg0"}));
}

TEST(NaturalNameTest, DigitRunsCompareAsNumbers) {
  const std::pair<const char*, const char*> ordered[] = {
      {"eth2", "eth10"},
      {"eth0", "eth1"},
      {"eth", "eth0"},
      {"enp3s0", "enp10s0"},
      {"br-1", "br-a"},
      {"veth9", "vethA"},
      {"wlan0", "wlp2s0"},
      {"tun0", "tun00"},
      {"a", "b"},
      {"docker0", "eth0"},
      {"enp0s31f6", "enp0s31f10"},
  };
  for (auto [a, b] : ordered) {
    EXPECT_TRUE(NaturalNameLess(a, b)) << a << " < " << b;
    EXPECT_FALSE(NaturalNameLess(b, a)) << b << " < " << a;
  }
  EXPECT_FALSE(NaturalNameLess("eth0", "eth0"));
}

TEST_F(FixtureTree, CountersAreSixtyFourBit) {
  Interface("eth0", 2, 1, "", 6'000'000'000ull, 5);
  auto source = MakeSystemSource(roots_);
  auto rows = source->LoadInterfaceTable();
  ASSERT_EQ(rows.size(), 1u);
  std::optional<OctetCounters> c = source->ReadCounters(rows[0]);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->rx, 6'000'000'000ull);
  EXPECT_EQ(c->tx, 5u);
  EXPECT_TRUE(c->wide);
  fs::remove_all(roots_.sys / "class/net/eth0");  // unplugged since start-up
  EXPECT_FALSE(source->ReadCounters(rows[0]));
}

// Every interface at once, as the history reads them: /proc/net/dev with
// the index of each name from sysfs, the same counters the rates read.
TEST_F(FixtureTree, AllCountersFromNetDevWithTheirIndexes) {
  Interface("lo", 1, 772, "", 40, 40);
  Interface("eth0", 2, 1, "", 6'000'000'000ull, 5);
  Write(roots_.proc / "net/dev",
        "Inter-|   Receive                                                |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets "
        "errs drop fifo colls carrier compressed\n"
        "    lo:      40       1    0    0    0     0          0         0       40       1    "
        "0    0    0     0       0          0\n"
        "  eth0: 6000000000 9 0 0 0 0 0 0 5 1 0 0 0 0 0 0\n"
        "  eth1: 12 bad\n");
  auto source = MakeSystemSource(roots_);
  std::vector<InterfaceCounters> all = source->ReadAllCounters();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "lo");
  EXPECT_TRUE(all[0].loopback);
  EXPECT_EQ(all[1].name, "eth0");
  EXPECT_EQ(all[1].identity, 2u);
  EXPECT_EQ(all[1].counters.rx, 6'000'000'000ull);
  EXPECT_EQ(all[1].counters.tx, 5u);
  EXPECT_FALSE(all[1].loopback);
  auto rows = source->LoadInterfaceTable();
  EXPECT_EQ(source->ReadCounters(rows[1])->rx, all[1].counters.rx);
}

constexpr const char* kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(DefaultRouteTest, Ipv4PicksTheUsableDefaultRouteWithTheLowestMetric) {
  std::string table = std::string(kRouteHeader) +
                      "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
                      "eth0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                      "wlan0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                      "tun0\t00000000\t00000000\t0000\t0\t0\t0\t00000000\t0\t0\t0\n"   // down
                      "blk0\t00000000\t00000000\t0201\t0\t0\t0\t00000000\t0\t0\t0\n";  // reject
  EXPECT_EQ(Ipv4DefaultRouteInterface(table), "wlan0");
  EXPECT_EQ(Ipv4DefaultRouteInterface(kRouteHeader), std::nullopt);
  EXPECT_EQ(Ipv4DefaultRouteInterface(""), std::nullopt);
}

TEST(DefaultRouteTest, Ipv6SkipsLoopbackAndRejectRoutes) {
  const std::string zero(32, '0');
  std::string table =
      "fe800000000000000000000000000000 40 " + zero + " 00 " + zero +
      " 00000100 00000001 00000000 00000001     eth0\n" + zero + " 00 " + zero + " 00 " + zero +
      " ffffffff 00000001 00000000 00200200       lo\n" + zero + " 00 " + zero + " 00 " +
      "fe800000000000000000000000000001 00000400 00000002 00000000 00000003     eth0\n";
  EXPECT_EQ(Ipv6DefaultRouteInterface(table), "eth0");
  EXPECT_EQ(Ipv6DefaultRouteInterface(zero + " 00 " + zero + " 00 " + zero +
                                      " ffffffff 00000001 00000000 00200200       lo\n"),
            std::nullopt);
}

TEST_F(FixtureTree, DefaultRouteFallsBackToIpv6AndMapsToTheRow) {
  Interface("lo", 1, 772);
  Interface("eth0", 2, 1);
  Interface("wlan0", 3, 1, "DEVTYPE=wlan\n");
  auto source = MakeSystemSource(roots_);
  auto rows = source->LoadInterfaceTable();
  const std::string zero(32, '0');
  Write(roots_.proc / "net/route", kRouteHeader);
  Write(roots_.proc / "net/ipv6_route",
        zero + " 00 " + zero + " 00 " + zero + " 00000400 00000002 00000000 00000003    wlan0\n");
  EXPECT_EQ(source->DefaultRouteInterface(rows), 2u);

  // A route through an interface that is not in the table chooses nothing.
  Write(roots_.proc / "net/route",
        std::string(kRouteHeader) + "vpn9\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n");
  EXPECT_EQ(source->DefaultRouteInterface(rows), std::nullopt);
  fs::remove_all(roots_.proc / "net");
  EXPECT_EQ(source->DefaultRouteInterface(rows), std::nullopt);
}

// The Linux source on the fixture tree; the adapter table, which the real
// source takes from getifaddrs, is the test's.
class FixtureMachine : public SystemSource {
 public:
  explicit FixtureMachine(const LinuxRoots& roots) : real_(MakeSystemSource(roots)) {}
  AdapterTable adapters{AdapterTableStatus::kOk, {}};

  std::optional<int> ReadCpuPercent() override { return real_->ReadCpuPercent(); }
  MemoryReading ReadMemory() override { return real_->ReadMemory(); }
  std::vector<InterfaceRow> LoadInterfaceTable() override { return real_->LoadInterfaceTable(); }
  std::optional<std::size_t> DefaultRouteInterface(const std::vector<InterfaceRow>& rows) override {
    return real_->DefaultRouteInterface(rows);
  }
  std::optional<OctetCounters> ReadCounters(const InterfaceRow& row) override {
    return real_->ReadCounters(row);
  }
  AdapterTable LoadAdapterTable() override { return adapters; }
  std::vector<std::string> ListFixedDrives() override { return {}; }
  std::optional<DriveSpace> ReadDriveSpace(const std::string&) override { return std::nullopt; }
  std::string DateLine() override { return ""; }

 private:
  std::unique_ptr<SystemSource> real_;
};

TEST_F(FixtureTree, TicksFollowRouteMovesAddressesAndAnInterfaceThatGoesAndComesBack) {
  auto route = [&](const std::string& iface) {
    Write(roots_.proc / "net/route",
          std::string(kRouteHeader) + iface +
              "\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n");
  };
  auto counters = [&](const std::string& name, std::uint64_t rx, std::uint64_t tx) {
    Write(roots_.sys / "class/net" / name / "statistics/rx_bytes", std::to_string(rx) + "\n");
    Write(roots_.sys / "class/net" / name / "statistics/tx_bytes", std::to_string(tx) + "\n");
  };
  Interface("lo", 1, 772);
  Interface("docker0", 2, 1, "DEVTYPE=bridge\n", 70'000'000, 70'000'000);
  Interface("enp3s0", 3, 1, "", 10'000'000, 1'000'000);
  fs::create_directories(roots_.sys / "class/net/enp3s0/device");
  Interface("wlp2s0", 4, 1, "DEVTYPE=wlan\n", 20'000'000, 2'000'000);
  fs::create_directories(roots_.sys / "class/net/wlp2s0/device");
  route("enp3s0");
  Write(roots_.proc / "net/ipv6_route", "");

  FixtureMachine machine(roots_);
  machine.adapters.entries = {
      {"docker0", "172.17.0.1"}, {"enp3s0", "192.168.1.20"}, {"wlp2s0", "0.0.0.0"}};
  FixedBrowserStore store;
  RegistryAccess registry(store);
  WebCheckResults web;
  TickSources sources{machine, registry, web, {}, {}};
  SettingsModel model;
  for (int key = 100; key <= 114; ++key) {
    model.items.push_back(
        {"", std::to_string(key), "", "", key == 102 || key == 103 || key == 105 || key == 110});
  }
  model.adapterAutoDetect = true;
  LoadInterfaceTable(model, sources);
  sources.adapters = machine.LoadAdapterTable();
  EXPECT_EQ(model.interfaceList, (std::vector<std::string>{"lo", "enp3s0", "wlp2s0", "docker0"}));
  MonitorState state;
  std::int64_t now = 0;
  auto tick = [&] {
    now += 1000;
    SampleTick(state, model, sources, 1000, now);
  };
  auto change = [&](bool links, bool routes, bool addresses) {
    return ApplyNetworkChanges(model, sources, {links, routes, addresses});
  };

  tick();
  counters("enp3s0", 10'000'000 + 4096, 1'000'000 + 1024);
  tick();
  EXPECT_EQ(state.Text(102), "4Kbyte/秒");
  EXPECT_EQ(state.Text(103), "1Kbyte/秒");
  EXPECT_EQ(state.Text(105), "192.168.1.20");

  // The default route moves to the wireless adapter, which then gets an
  // address: the rates and the address follow, without a spike from the
  // difference of the two interfaces' counters.
  route("wlp2s0");
  EXPECT_TRUE(change(false, true, false).choiceChanged);
  machine.adapters.entries[2].ipAddress = "10.0.0.5";
  change(false, false, true);
  tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.Text(105), "10.0.0.5");
  counters("wlp2s0", 20'000'000 + 8192, 2'000'000);
  tick();
  EXPECT_EQ(state.Text(102), "8Kbyte/秒");

  // Chosen by hand, then unplugged: 0 while gone, the choice kept.
  model.adapterAutoDetect = false;
  const std::uint64_t total = state.rxTotal;
  fs::remove_all(roots_.sys / "class/net/wlp2s0");
  route("enp3s0");
  machine.adapters.entries.pop_back();
  change(true, true, true);
  EXPECT_EQ(ChosenInterfaceName(model, sources), "wlp2s0");
  tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.rxRate, 0);
  EXPECT_EQ(state.Text(105), "192.168.1.20");  // the default route's, not the bridge's

  // Plugged in again under another index, its counters from the start.
  Interface("wlp2s0", 9, 1, "DEVTYPE=wlan\n", 500, 100);
  fs::create_directories(roots_.sys / "class/net/wlp2s0/device");
  change(true, false, false);
  tick();
  EXPECT_EQ(state.Text(102), "0Kbyte/秒");
  EXPECT_EQ(state.rxTotal, total);
  counters("wlp2s0", 500 + 2048, 100);
  tick();
  EXPECT_EQ(state.Text(102), "2Kbyte/秒");
  EXPECT_EQ(state.rxTotal, total + 2048);
  EXPECT_EQ(model.interfaceList, (std::vector<std::string>{"lo", "enp3s0", "wlp2s0", "docker0"}));
}

TEST_F(FixtureTree, FixedDisksFromMountinfo) {
  // sysfs as the kernel lays it out: partitions inside their disk's folder,
  // /sys/dev/block and /sys/class/block as links into /sys/devices.
  fs::path devices = roots_.sys / "devices";
  auto disk = [&](const std::string& path, const std::string& majorMinor, bool removable,
                  bool partition) {
    fs::path dir = devices / path;
    fs::create_directories(dir);
    if (partition)
      Write(dir / "partition", "1\n");
    else
      Write(dir / "removable", removable ? "1\n" : "0\n");
    Link(roots_.sys / "dev/block" / majorMinor, fs::relative(dir, roots_.sys / "dev/block"));
    Link(roots_.sys / "class/block" / dir.filename(),
         fs::relative(dir, roots_.sys / "class/block"));
  };
  disk("pci/sda", "8:0", false, false);
  disk("pci/sda/sda1", "8:1", false, true);
  disk("pci/sda/sda2", "8:2", false, true);
  disk("usb/sdb", "8:16", true, false);
  disk("usb/sdb/sdb1", "8:17", false, true);  // its removable flag is on sdb
  disk("pci/nvme0n1", "259:0", false, false);
  disk("pci/nvme0n1/nvme0n1p3", "259:3", false, true);
  disk("virtual/loop0", "7:0", false, false);
  disk("virtual/loop1", "7:1", false, false);

  Write(roots_.proc / "self/mountinfo",
        "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "23 22 0:21 / /proc rw - proc proc rw\n"
        "24 22 0:22 / /sys rw - sysfs sysfs rw\n"
        "25 22 0:5 / /dev rw - devtmpfs udev rw\n"
        "26 22 0:25 / /run rw - tmpfs tmpfs rw\n"
        "27 22 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
        "28 22 8:17 / /media/usb rw - vfat /dev/sdb1 rw\n"
        "29 22 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
        "30 22 7:1 / /mnt/image rw - ext4 /dev/loop1 rw\n"
        "31 22 0:45 / /mnt/nas rw - nfs4 server:/export rw\n"
        "32 22 0:46 / /mnt/cloud rw - fuse.sshfs user@host: rw\n"
        "33 22 8:2 /srv/data /home/user/data rw - ext4 /dev/sda2 rw\n"
        "34 22 0:47 /@ /data rw - btrfs /dev/nvme0n1p3 rw\n"
        "35 22 0:47 /@home /data/home rw - btrfs /dev/nvme0n1p3 rw\n"
        "36 22 8:1 / /mnt/my\\040disk rw - ntfs3 /dev/sda1 rw\n"
        "37 22 0:48 / /var/lib/docker/overlay rw - overlay overlay rw\n"
        "38 22 0:49 / /mnt/win rw - fuseblk /dev/nvme0n1p4 rw\n"
        "garbage line\n");
  // The same device mounted twice is one drive; sda1 appears under
  // /boot/efi first. nvme0n1p4 is not in the fixture's sysfs: a /dev source
  // with no sysfs entry still counts as a local disk.
  EXPECT_EQ(MakeSystemSource(roots_)->ListFixedDrives(),
            (std::vector<std::string>{"/", "/boot/efi", "/data", "/mnt/win"}));
}

TEST(MountinfoTest, BindMountOfAPartYieldsToTheWholeFileSystem) {
  std::vector<MountEntry> mounts = ParseMountinfo(
      "40 1 8:2 /var/lib/x/hosts /etc/hosts rw - ext4 /dev/sda2 rw\n"
      "41 1 8:2 / /host rw - ext4 /dev/sda2 rw\n"
      "42 1 8:3 /a\\134b /mnt/t\\011ab rw - ext4 /dev/sda3 rw\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[2].root, "/a\\b");
  EXPECT_EQ(mounts[2].mountPoint, "/mnt/t\tab");
  auto fixed = SelectFixedDisks(mounts, [](const MountEntry&) { return BlockDeviceInfo{}; });
  ASSERT_EQ(fixed.size(), 2u);
  EXPECT_EQ(fixed[0].mountPoint, "/host");
}

TEST(MountinfoTest, OneRowPerFileSystemInMountPointOrder) {
  auto fixed =
      SelectFixedDisks(ParseMountinfo(
                           // btrfs subvolumes: the shortest mount point comes last in the file
                           "50 1 0:47 /@home /home rw - btrfs /dev/nvme0n1p2 rw\n"
                           "51 1 0:47 /@snapshots /.snapshots rw - btrfs /dev/nvme0n1p2 rw\n"
                           "52 1 0:47 /@ / rw - btrfs /dev/nvme0n1p2 rw\n"
                           // one device mounted twice, and a bind mount of a part of it
                           "53 1 8:17 / /srv/backup rw - ext4 /dev/sdb1 rw\n"
                           "54 1 8:17 / /mnt/b rw - ext4 /dev/sdb1 rw\n"
                           "55 1 8:17 /photos /home/me/photos rw - ext4 /dev/sdb1 rw\n"
                           // two mount points as long: the first in byte order
                           "56 1 8:33 / /mnt/y rw - xfs /dev/sdc1 rw\n"
                           "57 1 8:33 / /mnt/x rw - xfs /dev/sdc1 rw\n"
                           // removable media, and the mount of it that would sort first
                           "58 1 8:49 / /a rw - vfat /dev/sdd1 rw\n"
                           "59 1 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"),
                       [](const MountEntry& e) {
                         BlockDeviceInfo info;
                         info.known = true;
                         info.removable = e.majorMinor == "8:49";
                         return info;
                       });
  std::vector<std::string> points;
  for (const MountEntry& m : fixed) points.push_back(m.mountPoint);
  EXPECT_EQ(points, (std::vector<std::string>{"/", "/boot/efi", "/mnt/b", "/mnt/x"}));
}

// statvfs figures by path, as a test machine would have them.
struct FakeStatvfs {
  std::map<std::string, struct statvfs> figures;
  int calls = 0;
  StatvfsCall Call() {
    return [this](const char* path, struct statvfs* out) {
      ++calls;
      auto it = figures.find(path);
      if (it == figures.end()) {
        errno = ENOENT;
        return -1;
      }
      *out = it->second;
      return 0;
    };
  }
  void Set(const std::string& path, std::uint64_t blocks, std::uint64_t bfree, std::uint64_t bavail,
           unsigned long fsid) {
    struct statvfs st {};
    st.f_fsid = fsid;
    st.f_frsize = 4096;
    st.f_bsize = 4096;
    st.f_blocks = blocks;
    st.f_bfree = bfree;
    st.f_bavail = bavail;
    figures[path] = st;
  }
};

TEST_F(FixtureTree, MountsAddedAndRemovedWhileRunning) {
  const std::string root = "22 1 8:2 / / rw - ext4 /dev/sda2 rw\n";
  const std::string data = "40 22 8:17 / /data rw - ext4 /dev/sdb1 rw\n";
  for (unsigned long dataId : {0xD1ul, 0ul}) {  // with a file system id and without one
    SCOPED_TRACE(dataId);
    FakeStatvfs fake;
    // A path that is not (or no longer) a mount point answers statvfs with
    // the figures of the file system it lies on, as the kernel does.
    auto onRoot = [&](const std::string& path) { fake.Set(path, 1000, 300, 250, 0xA1); };
    auto mounted = [&](const std::string& path) { fake.Set(path, 2000, 1000, 1000, dataId); };
    onRoot("/");
    onRoot("/data");
    onRoot("/data/");
    auto source = MakeLinuxSystemSource(roots_, fake.Call());

    Write(roots_.proc / "self/mountinfo", root);
    EXPECT_EQ(source->ListFixedDrives(), (std::vector<std::string>{"/"}));
    EXPECT_FALSE(source->ReadDriveSpace("/data"));  // not mounted yet: the root's figures

    Write(roots_.proc / "self/mountinfo", data + root);
    mounted("/data");
    mounted("/data/");
    EXPECT_EQ(source->ListFixedDrives(), (std::vector<std::string>{"/", "/data"}));
    std::optional<DriveSpace> space = source->ReadDriveSpace("/data");
    ASSERT_TRUE(space);
    EXPECT_EQ(space->totalBytes, 2000u * 4096);
    EXPECT_EQ(space->freeBytes, 1000u * 4096);
    EXPECT_EQ(space->reservedBytes, 0u);
    EXPECT_EQ(space->name, "/data");
    EXPECT_TRUE(source->ReadDriveSpace("/data"));   // the same file system again
    EXPECT_TRUE(source->ReadDriveSpace("/data/"));  // the same mount point
    space = source->ReadDriveSpace("/");
    ASSERT_TRUE(space);
    EXPECT_EQ(space->freeBytes, 250u * 4096);
    EXPECT_EQ(space->reservedBytes, 50u * 4096);  // free, but for the administrator only

    Write(roots_.proc / "self/mountinfo", root);
    onRoot("/data");
    EXPECT_FALSE(source->ReadDriveSpace("/data"));  // unmounted: no figures, not the root's
    EXPECT_FALSE(source->ReadDriveSpace("/data"));
    EXPECT_TRUE(source->ReadDriveSpace("/"));
    EXPECT_EQ(source->ListFixedDrives(), (std::vector<std::string>{"/"}));

    // Mounted again (a tmpfs is not a fixed disk, but its path reads as one).
    Write(roots_.proc / "self/mountinfo", root + "41 22 0:50 / /data rw - tmpfs tmpfs rw\n");
    mounted("/data");
    EXPECT_TRUE(source->ReadDriveSpace("/data"));

    fake.figures.erase("/");
    EXPECT_FALSE(source->ReadDriveSpace("/"));  // statvfs failed
    EXPECT_FALSE(source->ReadDriveSpace(""));
  }
}

TEST(LinuxDriveSpaceTest, OnlyAMountPointHasFiguresOfItsOwn) {
  // This process's own mount table: "/" where it is a mount point (not so in
  // a chroot), else another mounted file system with blocks; a folder the
  // test makes is never one.
  std::string mounted;
  std::ifstream table("/proc/self/mountinfo");
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string id, parent, device, root, point;
    fields >> id >> parent >> device >> root >> point;
    struct statvfs st {};
    if (point.find('\\') != std::string::npos || ::statvfs(point.c_str(), &st) != 0 ||
        st.f_blocks == 0) {
      continue;
    }
    if (mounted.empty() || point == "/") mounted = point;
  }
  if (mounted.empty()) GTEST_SKIP() << "no mounted file system with blocks is visible here";

  auto source = MakeSystemSource();
  std::optional<DriveSpace> space = source->ReadDriveSpace(mounted);
  ASSERT_TRUE(space) << mounted;
  EXPECT_GT(space->totalBytes, 0u);
  EXPECT_LE(space->freeBytes + space->reservedBytes, space->totalBytes);
  EXPECT_EQ(space->name, mounted);
  const fs::path folder =
      fs::temp_directory_path() / ("mirel9x-not-a-mount-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  EXPECT_FALSE(source->ReadDriveSpace(folder.string()));
  fs::remove_all(folder);
  EXPECT_FALSE(source->ReadDriveSpace(folder.string()));
}

TEST(AdapterTableTest, NonLoopbackInterfacesInIndexOrderWithTheirFirstIpv4) {
  std::vector<InterfaceAddress> records = {
      {"lo", 1, true, std::nullopt},
      {"wlan0", 3, false, std::nullopt},
      {"eth0", 2, false, std::nullopt},
      {"lo", 1, true, "127.0.0.1"},
      {"wlan0", 3, false, "192.168.1.7"},
      {"eth0:1", 2, false, "10.9.9.9"},  // an alias label belongs to eth0
      {"wlan0", 3, false, "192.168.1.8"},
      {"docker0", 4, false, std::nullopt},
  };
  AdapterTable table = BuildAdapterTable(records);
  EXPECT_EQ(table.status, AdapterTableStatus::kOk);
  ASSERT_EQ(table.entries.size(), 3u);
  EXPECT_EQ(table.entries[0].description, "eth0");
  EXPECT_EQ(table.entries[0].ipAddress, "10.9.9.9");
  EXPECT_EQ(table.entries[1].ipAddress, "192.168.1.7");
  EXPECT_EQ(table.entries[2].ipAddress, "0.0.0.0");

  table = BuildAdapterTable({{"lo", 1, true, "127.0.0.1"}});
  EXPECT_EQ(table.status, AdapterTableStatus::kNoAdapters);
  EXPECT_TRUE(table.entries.empty());
}

TEST(DateLineTest, PatternFollowsTheLocale) {
  const struct {
    const char *locale, *dateFormat, *timeFormat, *pattern;
  } cases[] = {
      {"ja_JP.UTF-8", "%Y年%m月%d日", "%H時%M分%S秒", "%Y/%m/%d %A  %H:%M:%S"},
      {"C.UTF-8", "%m/%d/%y", "%H:%M:%S", "%Y/%m/%d %A  %H:%M:%S"},
      {"POSIX", "%m/%d/%y", "%H:%M:%S", "%Y/%m/%d %A  %H:%M:%S"},
      {"de_DE.UTF-8", "%d.%m.%Y", "%T", "%d.%m.%Y %A  %T"},
      {"en_US.UTF-8", "%m/%d/%Y", "%r", "%m/%d/%Y %A  %r"},
      {"xx_YY", "", "", "%Y/%m/%d %A  %H:%M:%S"},  // a locale without forms
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateLinePattern(c.locale, c.dateFormat, c.timeFormat), c.pattern) << c.locale;
  }
}

TEST(DateLineTest, FormatsAnInjectedTime) {
  std::tm monday{};
  monday.tm_year = 2003 - 1900;
  monday.tm_mon = 3;
  monday.tm_mday = 14;
  monday.tm_wday = 1;
  monday.tm_hour = 12;
  monday.tm_min = 34;
  monday.tm_sec = 56;
  EXPECT_EQ(FormatDateLine(monday, DateLinePattern("C", "", ""), static_cast<locale_t>(0)),
            "2003/04/14 Monday  12:34:56");
  // The weekday comes from the locale handed in, not from the process locale.
  locale_t ja = newlocale(LC_TIME_MASK, "ja_JP.UTF-8", static_cast<locale_t>(0));
  if (ja == static_cast<locale_t>(0)) GTEST_SKIP() << "ja_JP.UTF-8 is not generated here";
  EXPECT_EQ(FormatDateLine(monday, DateLinePattern("ja_JP.UTF-8", "", ""), ja),
            "2003/04/14 月曜日  12:34:56");
  freelocale(ja);
}

TEST(DateLineTest, ShorterFormsOfTheSameInstant) {
  std::tm tuesday{};
  tuesday.tm_year = 2026 - 1900;
  tuesday.tm_mon = 11;
  tuesday.tm_mday = 8;
  tuesday.tm_wday = 2;
  tuesday.tm_hour = 9;
  tuesday.tm_min = 49;
  tuesday.tm_sec = 5;
  DateLineForms c = FormatDateLines(tuesday, DateLinePattern("C.UTF-8", "%m/%d/%y", "%H:%M:%S"),
                                    static_cast<locale_t>(0));
  EXPECT_EQ(c.full, "2026/12/08 Tuesday  09:49:05");
  EXPECT_EQ(c.abbreviated, "2026/12/08 Tue  09:49:05");
  EXPECT_EQ(c.bare, "2026/12/08  09:49:05");
  // A locale's own forms, blanks inside them included.
  DateLineForms own = FormatDateLines(tuesday, DateLinePattern("en_GB", "%e %b %Y", "%I:%M:%S %p"),
                                      static_cast<locale_t>(0));
  EXPECT_EQ(own.full, " 8 Dec 2026 Tuesday  09:49:05 AM");
  EXPECT_EQ(own.abbreviated, " 8 Dec 2026 Tue  09:49:05 AM");
  EXPECT_EQ(own.bare, " 8 Dec 2026  09:49:05 AM");
  // A pattern without a weekday has no shorter forms.
  DateLineForms none = FormatDateLines(tuesday, "%H:%M", static_cast<locale_t>(0));
  EXPECT_EQ(none.full, "09:49");
  EXPECT_EQ(none.abbreviated, "");
  EXPECT_EQ(none.bare, "");

  locale_t ja = newlocale(LC_TIME_MASK, "ja_JP.UTF-8", static_cast<locale_t>(0));
  if (ja == static_cast<locale_t>(0)) GTEST_SKIP() << "ja_JP.UTF-8 is not generated here";
  DateLineForms j = FormatDateLines(tuesday, DateLinePattern("ja_JP.UTF-8", "", ""), ja);
  EXPECT_EQ(j.full, "2026/12/08 火曜日  09:49:05");
  EXPECT_EQ(j.abbreviated, "2026/12/08 火  09:49:05");
  freelocale(ja);
}

// The per-user folder: XDG_CONFIG_HOME when it is an absolute path, else
// ~/.config (a relative one is not valid and would follow the working folder).
TEST(UserConfigDirTest, AbsoluteXdgConfigHomeOrTheHomeFolder) {
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string keptXdg = savedXdg ? savedXdg : "";
  const char* savedHome = std::getenv("HOME");
  const std::string keptHome = savedHome ? savedHome : "";
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(UserConfigDir(), fs::path("/tmp/cfg/mirel9x"));
  for (const char* unusable : {"", "cfg", "./cfg"}) {
    setenv("XDG_CONFIG_HOME", unusable, 1);
    EXPECT_EQ(UserConfigDir(), fs::path("/home/someone/.config/mirel9x")) << unusable;
  }
  if (savedXdg) {
    setenv("XDG_CONFIG_HOME", keptXdg.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
  if (savedHome) {
    setenv("HOME", keptHome.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

}  // namespace
}  // namespace mirel
