// Sorting the kernel's route-socket messages: what counts as a change of the
// interfaces, the default route or the addresses, and what is noise.
#include "platform/linux/network_watch.h"

#include <gtest/gtest.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstring>
#include <functional>
#include <vector>

namespace mirel {
namespace {

using linux_source::ClassifyNetlinkMessages;
using linux_source::LinkNames;

// One datagram of messages laid out as the kernel writes them.
class Datagram {
 public:
  template <typename Body>
  Datagram& Add(std::uint16_t type, const Body& body, const std::string& name = "") {
    std::vector<unsigned char> payload(NLMSG_ALIGN(sizeof(Body)));
    std::memcpy(payload.data(), &body, sizeof(Body));
    if (!name.empty()) {
      rtattr attr{};
      attr.rta_type = IFLA_IFNAME;
      attr.rta_len = static_cast<unsigned short>(RTA_LENGTH(name.size() + 1));
      std::size_t at = payload.size();
      payload.resize(at + RTA_ALIGN(attr.rta_len));
      std::memcpy(payload.data() + at, &attr, sizeof attr);
      std::memcpy(payload.data() + at + RTA_LENGTH(0), name.c_str(), name.size() + 1);
    }
    nlmsghdr header{};
    header.nlmsg_type = type;
    header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(payload.size()));
    std::size_t at = bytes_.size();
    bytes_.resize(at + NLMSG_ALIGN(header.nlmsg_len));
    std::memcpy(bytes_.data() + at, &header, sizeof header);
    std::memcpy(bytes_.data() + at + NLMSG_HDRLEN, payload.data(), payload.size());
    return *this;
  }
  Datagram& Link(std::uint16_t type, int index, const std::string& name,
                 unsigned char family = AF_UNSPEC) {
    ifinfomsg info{};
    info.ifi_family = family;
    info.ifi_index = index;
    return Add(type, info, name);
  }
  Datagram& Route(std::uint16_t type, unsigned char family, unsigned char dstLength) {
    rtmsg route{};
    route.rtm_family = family;
    route.rtm_dst_len = dstLength;
    route.rtm_table = RT_TABLE_MAIN;
    return Add(type, route);
  }
  Datagram& Address(std::uint16_t type, unsigned char family) {
    ifaddrmsg address{};
    address.ifa_family = family;
    return Add(type, address);
  }
  Datagram& Overrun() {
    nlmsghdr header{};
    header.nlmsg_type = NLMSG_OVERRUN;
    header.nlmsg_len = NLMSG_HDRLEN;
    std::size_t at = bytes_.size();
    bytes_.resize(at + NLMSG_HDRLEN);
    std::memcpy(bytes_.data() + at, &header, sizeof header);
    return *this;
  }

  std::vector<unsigned char> bytes_;
};

struct Changed {
  bool links, routes, addresses;
};

TEST(NetworkWatchTest, OnlyInterfacesDefaultRoutesAndIpv4AddressesCount) {
  const struct {
    const char* what;
    std::function<Datagram()> make;
    Changed expected;
  } cases[] = {
      {"a new interface",
       [] { return Datagram().Link(RTM_NEWLINK, 9, "veth0"); },
       {true, false, false}},
      {"carrier or flags of a known one (and wireless events)",
       [] { return Datagram().Link(RTM_NEWLINK, 2, "eth0").Link(RTM_NEWLINK, 3, "wlan0"); },
       {false, false, false}},
      {"a rename", [] { return Datagram().Link(RTM_NEWLINK, 2, "lan0"); }, {true, false, false}},
      {"an interface removed",
       [] { return Datagram().Link(RTM_DELLINK, 3, "wlan0"); },
       {true, false, false}},
      {"bridge port notices",
       [] {
         return Datagram()
             .Link(RTM_NEWLINK, 7, "veth7", AF_BRIDGE)
             .Link(RTM_DELLINK, 2, "eth0", AF_BRIDGE);
       },
       {false, false, false}},
      {"prefix and host routes",
       [] {
         return Datagram()
             .Route(RTM_NEWROUTE, AF_INET, 24)
             .Route(RTM_NEWROUTE, AF_INET, 32)
             .Route(RTM_DELROUTE, AF_INET6, 64);
       },
       {false, false, false}},
      {"an IPv4 default route",
       [] { return Datagram().Route(RTM_NEWROUTE, AF_INET, 0); },
       {false, true, false}},
      {"an IPv6 default route gone",
       [] { return Datagram().Route(RTM_DELROUTE, AF_INET6, 0); },
       {false, true, false}},
      {"an IPv6 address (temporary addresses rotate)",
       [] { return Datagram().Address(RTM_NEWADDR, AF_INET6); },
       {false, false, false}},
      {"an IPv4 address",
       [] { return Datagram().Address(RTM_DELADDR, AF_INET); },
       {false, false, true}},
      {"several in one datagram",
       [] {
         return Datagram()
             .Route(RTM_NEWROUTE, AF_INET, 24)
             .Address(RTM_NEWADDR, AF_INET)
             .Route(RTM_NEWROUTE, AF_INET, 0);
       },
       {false, true, true}},
      {"lost notices", [] { return Datagram().Overrun(); }, {true, true, true}},
  };
  for (const auto& c : cases) {
    LinkNames links{{1, "lo"}, {2, "eth0"}, {3, "wlan0"}};
    NetworkChanges changes;
    Datagram d = c.make();
    ClassifyNetlinkMessages(d.bytes_.data(), d.bytes_.size(), links, changes);
    EXPECT_EQ(changes.links, c.expected.links) << c.what;
    EXPECT_EQ(changes.routes, c.expected.routes) << c.what;
    EXPECT_EQ(changes.addresses, c.expected.addresses) << c.what;
  }
}

TEST(NetworkWatchTest, KnownInterfacesFollowTheNotices) {
  LinkNames links{{1, "lo"}};
  NetworkChanges changes;
  Datagram d = Datagram().Link(RTM_NEWLINK, 4, "tun0");
  ClassifyNetlinkMessages(d.bytes_.data(), d.bytes_.size(), links, changes);
  EXPECT_EQ(links, (LinkNames{{1, "lo"}, {4, "tun0"}}));

  // The same notice again is no news.
  changes = {};
  ClassifyNetlinkMessages(d.bytes_.data(), d.bytes_.size(), links, changes);
  EXPECT_FALSE(changes.Any());

  d = Datagram().Link(RTM_DELLINK, 4, "tun0");
  ClassifyNetlinkMessages(d.bytes_.data(), d.bytes_.size(), links, changes);
  EXPECT_TRUE(changes.links);
  EXPECT_EQ(links, (LinkNames{{1, "lo"}}));
}

TEST(NetworkWatchTest, TruncatedOrShortMessagesAreLeftAlone) {
  Datagram d = Datagram().Address(RTM_NEWADDR, AF_INET).Route(RTM_NEWROUTE, AF_INET, 0);
  LinkNames links;
  NetworkChanges changes;
  // Cut inside the second message: the first still counts, the rest is not
  // read past the end.
  ClassifyNetlinkMessages(d.bytes_.data(), d.bytes_.size() - 4, links, changes);
  EXPECT_TRUE(changes.addresses);
  EXPECT_FALSE(changes.routes);

  // A header that claims less than itself, and a body shorter than its struct.
  std::vector<unsigned char> bad(NLMSG_HDRLEN + 2);
  nlmsghdr header{};
  header.nlmsg_type = RTM_NEWADDR;
  header.nlmsg_len = 4;
  std::memcpy(bad.data(), &header, sizeof header);
  changes = {};
  ClassifyNetlinkMessages(bad.data(), bad.size(), links, changes);
  header.nlmsg_len = static_cast<std::uint32_t>(bad.size());
  std::memcpy(bad.data(), &header, sizeof header);
  ClassifyNetlinkMessages(bad.data(), bad.size(), links, changes);
  EXPECT_FALSE(changes.Any());
}

}  // namespace
}  // namespace mirel
