// mirel9x-tool sub-commands register themselves here, one file each.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace mirel::tool {

using Args = std::vector<std::string>;  // the arguments after the command name
using CommandFn = int (*)(const Args& args);

struct CommandInfo {
  CommandFn run;
  std::string usage;
};

std::map<std::string, CommandInfo>& Commands();

struct Register {
  Register(const char* name, CommandFn fn, const char* usage) { Commands()[name] = {fn, usage}; }
};

}  // namespace mirel::tool
