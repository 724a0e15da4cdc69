// The adapter table for the LAN address: non-loopback interfaces in index
// order, each with its first IPv4 address.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace mirel::linux_source {

// One getifaddrs record, reduced to what the table needs.
struct InterfaceAddress {
  std::string name;  // the interface (an "eth0:1" alias label counts as eth0)
  unsigned index = 0;
  bool loopback = false;
  std::optional<std::string> ipv4;  // dotted text for an AF_INET record
};

// Groups the records per interface, drops loopback, orders by index and keeps
// the first IPv4 address of each ("0.0.0.0" when it has none).
AdapterTable BuildAdapterTable(const std::vector<InterfaceAddress>& records);

// The records of this machine through getifaddrs; nullopt when it fails.
std::optional<std::vector<InterfaceAddress>> ReadInterfaceAddresses();

}  // namespace mirel::linux_source
