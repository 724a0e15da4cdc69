#include "readings/network_burst.h"

namespace mirel {

void NetworkBurst::Drained(const NetworkChanges& changes, std::int64_t nowMs) {
  if (!changes.Any()) return;
  if (!gathering_) first_ = nowMs;
  gathering_ = true;
  last_ = nowMs;
  pending_.links = pending_.links || changes.links;
  pending_.routes = pending_.routes || changes.routes;
  pending_.addresses = pending_.addresses || changes.addresses;
}

std::optional<NetworkChanges> NetworkBurst::TakeDue(std::int64_t nowMs) {
  if (!gathering_ || nowMs < CheckAt()) return std::nullopt;
  const NetworkChanges due = pending_;
  pending_ = {};
  gathering_ = false;
  return due;
}

}  // namespace mirel
