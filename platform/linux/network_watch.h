// The network watch on Linux: a netlink route socket subscribed to links,
// IPv4 addresses and IPv4/IPv6 routes. The kernel writes a message for every
// change; most of them (carrier and flag changes, wireless events, prefix and
// neighbour routes) do not touch what the monitor reads, so they are sorted
// out here and only the rest counts as a change.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace mirel::linux_source {

// The names of the interfaces by index, as the watch last heard of them.
using LinkNames = std::map<int, std::string>;

// Sorts the netlink messages of one datagram: `links` follows the interfaces
// that come, go or are renamed; `changes` gains what changed for the reader.
void ClassifyNetlinkMessages(const void* data, std::size_t size, LinkNames& links,
                             NetworkChanges& changes);

// The watch on this machine's network; null when no netlink socket can be
// opened (a sandbox without it).
std::unique_ptr<NetworkWatch> MakeNetlinkWatch();

}  // namespace mirel::linux_source
