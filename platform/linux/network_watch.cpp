#include "platform/linux/network_watch.h"

#include <errno.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <vector>

namespace mirel::linux_source {

namespace {

// Reads a struct of the message at `offset` whatever the buffer's alignment.
template <typename T>
bool ReadAt(const unsigned char* base, std::size_t size, std::size_t offset, T& out) {
  if (offset > size || size - offset < sizeof(T)) return false;
  std::memcpy(&out, base + offset, sizeof(T));
  return true;
}

// The IFLA_IFNAME attribute of a link message whose payload starts at
// `payload` and runs `length` bytes.
std::optional<std::string> LinkName(const unsigned char* payload, std::size_t length) {
  std::size_t offset = NLMSG_ALIGN(sizeof(ifinfomsg));
  while (offset + sizeof(rtattr) <= length) {
    rtattr attr{};
    ReadAt(payload, length, offset, attr);
    if (attr.rta_len < sizeof(rtattr) || offset + attr.rta_len > length) break;
    if (attr.rta_type == IFLA_IFNAME) {
      const char* text = reinterpret_cast<const char*>(payload + offset + RTA_LENGTH(0));
      std::size_t max = attr.rta_len - RTA_LENGTH(0);
      return std::string(text, strnlen(text, max));
    }
    offset += RTA_ALIGN(attr.rta_len);
  }
  return std::nullopt;
}

void ClassifyOne(std::uint16_t type, const unsigned char* payload, std::size_t length,
                 LinkNames& links, NetworkChanges& changes) {
  switch (type) {
    case RTM_NEWLINK:
    case RTM_DELLINK: {
      ifinfomsg info{};
      if (!ReadAt(payload, length, 0, info)) return;
      // Bridge port notices carry AF_BRIDGE and say nothing about the
      // interface itself existing.
      if (info.ifi_family == AF_BRIDGE) return;
      if (type == RTM_DELLINK) {
        links.erase(info.ifi_index);
        changes.links = true;
        return;
      }
      // Carrier, flags and wireless events repeat a known name: no change.
      std::optional<std::string> name = LinkName(payload, length);
      auto it = links.find(info.ifi_index);
      if (it != links.end() && (!name || it->second == *name)) return;
      links[info.ifi_index] = name.value_or(std::string());
      changes.links = true;
      return;
    }
    case RTM_NEWROUTE:
    case RTM_DELROUTE: {
      rtmsg route{};
      if (!ReadAt(payload, length, 0, route)) return;
      // Only default routes decide which interface carries the traffic.
      if (route.rtm_dst_len == 0 && (route.rtm_family == AF_INET || route.rtm_family == AF_INET6))
        changes.routes = true;
      return;
    }
    case RTM_NEWADDR:
    case RTM_DELADDR: {
      ifaddrmsg address{};
      if (!ReadAt(payload, length, 0, address)) return;
      if (address.ifa_family == AF_INET) changes.addresses = true;
      return;
    }
    default:
      return;
  }
}

class NetlinkWatch final : public NetworkWatch {
 public:
  explicit NetlinkWatch(int fd) : fd_(fd) { LoadLinks(); }
  ~NetlinkWatch() override { ::close(fd_); }
  NetlinkWatch(const NetlinkWatch&) = delete;
  NetlinkWatch& operator=(const NetlinkWatch&) = delete;

  std::intptr_t Descriptor() const override { return fd_; }

  NetworkChanges Drain() override {
    NetworkChanges changes;
    bool overflow = false;
    for (;;) {
      sockaddr_nl from{};
      socklen_t fromLength = sizeof from;
      ssize_t n = ::recvfrom(fd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == ENOBUFS) {  // the kernel dropped notices: nothing is known
          overflow = true;
          continue;
        }
        break;  // EAGAIN: all read
      }
      if (n == 0) break;
      if (from.nl_pid != 0) continue;  // only the kernel speaks for the network
      ClassifyNetlinkMessages(buffer_.data(), static_cast<std::size_t>(n), links_, changes);
    }
    if (overflow) {
      changes = {true, true, true};
      LoadLinks();
    }
    return changes;
  }

 private:
  // The interfaces there are now, so that later notices of them are told
  // apart from new ones. A separate socket keeps the dump's replies out of
  // the notices.
  void LoadLinks() {
    links_.clear();
    int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return;
    struct {
      nlmsghdr header;
      ifinfomsg info;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.info.ifi_family = AF_UNSPEC;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
      ::close(fd);
      return;
    }
    NetworkChanges ignored;
    for (bool done = false; !done;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) break;
      ssize_t n = ::recv(fd, buffer_.data(), buffer_.size(), 0);
      if (n <= 0) break;
      std::size_t size = static_cast<std::size_t>(n);
      for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= size;) {
        nlmsghdr header{};
        ReadAt(buffer_.data(), size, offset, header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || offset + header.nlmsg_len > size) break;
        if (header.nlmsg_type == NLMSG_DONE || header.nlmsg_type == NLMSG_ERROR) done = true;
        offset += NLMSG_ALIGN(header.nlmsg_len);
      }
      ClassifyNetlinkMessages(buffer_.data(), size, links_, ignored);
    }
    ::close(fd);
  }

  int fd_;
  LinkNames links_;
  std::vector<unsigned char> buffer_ = std::vector<unsigned char>(64 * 1024);
};

}  // namespace

void ClassifyNetlinkMessages(const void* data, std::size_t size, LinkNames& links,
                             NetworkChanges& changes) {
  const auto* base = static_cast<const unsigned char*>(data);
  for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= size;) {
    nlmsghdr header{};
    ReadAt(base, size, offset, header);
    if (header.nlmsg_len < sizeof(nlmsghdr) || offset + header.nlmsg_len > size) return;
    if (header.nlmsg_type == NLMSG_OVERRUN) {
      changes = {true, true, true};
    } else {
      ClassifyOne(header.nlmsg_type, base + offset + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN,
                  links, changes);
    }
    offset += NLMSG_ALIGN(header.nlmsg_len);
  }
}

std::unique_ptr<NetworkWatch> MakeNetlinkWatch() {
  int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return nullptr;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<NetlinkWatch>(fd);
}

}  // namespace mirel::linux_source
