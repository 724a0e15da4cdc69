// A shared library loaded by name while it is needed and unloaded after, for
// a dependency that does a little work now and then and should not stay
// mapped in between.
#pragma once

#include <memory>
#include <string>

namespace mirel {

class SharedLibrary {
 public:
  // Loads the library as the system's loader finds it by name ("libfoo.so.1"),
  // every symbol bound now; null with the loader's reason in `error`.
  static std::unique_ptr<SharedLibrary> Open(const char* name, std::string& error);
  ~SharedLibrary();  // unloads it
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The address of a symbol, or null.
  void* Symbol(const char* name) const;

 private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace mirel
