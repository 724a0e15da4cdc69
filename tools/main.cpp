// mirel9x-tool: a command-line harness over the core.
#include <iostream>

#include "tools/tool_command.h"

namespace mirel::tool {

std::map<std::string, CommandInfo>& Commands() {
  static std::map<std::string, CommandInfo> commands;
  return commands;
}

}  // namespace mirel::tool

int main(int argc, char** argv) {
  using namespace mirel::tool;
  if (argc < 2 || !Commands().count(argv[1])) {
    std::cerr << "usage:\n";
    for (const auto& [name, info] : Commands())
      std::cerr << "  mirel9x-tool " << info.usage << "\n";
    return 2;
  }
  Args args(argv + 2, argv + argc);
  return Commands()[argv[1]].run(args);
}
