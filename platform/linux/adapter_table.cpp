#include "platform/linux/adapter_table.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

namespace mirel::linux_source {

namespace {

std::string BaseName(const std::string& name) {
  return name.substr(0, name.find(':'));
}

}  // namespace

AdapterTable BuildAdapterTable(const std::vector<InterfaceAddress>& records) {
  struct Adapter {
    std::string name;
    unsigned index;
    std::optional<std::string> ipv4;
  };
  std::vector<Adapter> adapters;
  for (const InterfaceAddress& r : records) {
    if (r.loopback) continue;
    std::string name = BaseName(r.name);
    auto it = std::find_if(adapters.begin(), adapters.end(),
                           [&](const Adapter& a) { return a.name == name; });
    if (it == adapters.end()) {
      adapters.push_back({name, r.index, std::nullopt});
      it = adapters.end() - 1;
    }
    if (r.index != 0 && (it->index == 0 || r.index < it->index)) it->index = r.index;
    if (!it->ipv4 && r.ipv4) it->ipv4 = r.ipv4;  // records keep the kernel's order: primary first
  }
  std::stable_sort(adapters.begin(), adapters.end(),
                   [](const Adapter& a, const Adapter& b) { return a.index < b.index; });

  AdapterTable table;
  table.status = adapters.empty() ? AdapterTableStatus::kNoAdapters : AdapterTableStatus::kOk;
  for (const Adapter& a : adapters) table.entries.push_back({a.name, a.ipv4.value_or("0.0.0.0")});
  return table;
}

std::optional<std::vector<InterfaceAddress>> ReadInterfaceAddresses() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  std::vector<InterfaceAddress> records;
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_name == nullptr) continue;
    InterfaceAddress r;
    r.name = a->ifa_name;
    r.index = if_nametoindex(BaseName(r.name).c_str());
    r.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
    if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET) {
      char text[INET_ADDRSTRLEN] = {};
      const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
      if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) r.ipv4 = text;
    }
    records.push_back(std::move(r));
  }
  freeifaddrs(list);
  return records;
}

}  // namespace mirel::linux_source
