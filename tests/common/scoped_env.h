#pragma once
// An environment variable set (or removed) for the lifetime of the object; children inherit it.

#include <cstdlib>
#include <optional>
#include <string>

namespace qftest {

class ScopedEnv {
public:
  // Sets `name` to `value`, or removes it when `value` is nullopt.
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name))
      old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  const char* name_;
  std::optional<std::string> old_;
};

} // namespace qftest
