#include "tests/support/scoped_env.h"

#include <cstdlib>

namespace kura_test {

ScopedEnv::ScopedEnv(const std::string& name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name.c_str())) {
    had_value_ = true;
    old_value_ = old;
  }
  if (value != nullptr)
    setenv(name.c_str(), value, 1);
  else
    unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (had_value_)
    setenv(name_.c_str(), old_value_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

}  // namespace kura_test
