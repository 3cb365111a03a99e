// An environment variable changed for one scope: the value it had (or its
// absence) comes back when the scope ends. Not thread-safe, like setenv.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tessaro::test {

class ScopedEnv {
 public:
  // Remembers the variable; the test then changes it as it likes.
  explicit ScopedEnv(const char* name) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
  }
  // Remembers the variable and sets it to `value` (unsets it when null).
  ScopedEnv(const char* name, const char* value) : ScopedEnv(name) {
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (FOld)
      ::setenv(FName, FOld->c_str(), 1);
    else
      ::unsetenv(FName);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* FName;
  std::optional<std::string> FOld;
};

}  // namespace tessaro::test
