// The Linux system source with its disk figures taken through a given
// statvfs, so tests can hand it the figures of file systems they cannot mount.
#pragma once

#include <sys/statvfs.h>

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace mirel {

// statvfs(3) or a stand-in with its contract: 0, or -1 with errno set.
using StatvfsCall = std::function<int(const char* path, struct statvfs* out)>;

std::unique_ptr<SystemSource> MakeLinuxSystemSource(const LinuxRoots& roots,
                                                    StatvfsCall statvfsCall);

}  // namespace mirel
