// Helpers shared by the settings tests: temporary folders, settings files
// written from UTF-8 lines, and running a check without root's privileges.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace mirel::testing {

// A fresh folder that everyone may enter (so an unprivileged child can reach
// it), removed at the end of the test.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);

// Lines in UTF-8 joined with `eol`, encoded in code page 932.
std::string EncodeLines(const std::vector<std::string>& lines, const std::string& eol = "\r\n");

// This process's id, to keep the folders of parallel test runs apart.
unsigned long ProcessId();

#ifndef _WIN32
// Runs `check` as an unprivileged user when the tests run as root, so that
// folder permissions apply; returns what `check` returned ("" = passed).
std::string RunUnprivileged(const std::function<std::string()>& check);
#endif

}  // namespace mirel::testing
