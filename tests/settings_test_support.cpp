#include "tests/settings_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <fstream>
#include <iterator>

#include "platform/platform.h"

namespace mirel::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("mirel9x-settings-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);  // tests lock it
  fs::remove_all(path_, ec);
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string EncodeLines(const std::vector<std::string>& lines, const std::string& eol) {
  auto codec = MakeAnsiCodec();
  std::string bytes;
  for (const std::string& line : lines) {
    auto ansi = codec->ToAnsi(line);
    EXPECT_TRUE(ansi.has_value()) << line;
    bytes += ansi.value_or("") + eol;
  }
  return bytes;
}

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

#ifndef _WIN32
std::string RunUnprivileged(const std::function<std::string()>& check) {
  if (geteuid() != 0) return check();
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    close(fds[0]);
    constexpr uid_t kNobody = 65534;
    std::string result = (setgid(kNobody) == 0 && setuid(kNobody) == 0)
                             ? check()
                             : std::string("cannot drop privileges");
    if (!result.empty()) (void)!write(fds[1], result.data(), result.size());
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  std::string result;
  char buffer[256];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) result.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status)) return "the unprivileged check crashed";
  return result;
}

#endif

}  // namespace mirel::testing
