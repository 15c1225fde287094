#include "tests/support/process_identity.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kura_test {

namespace {
constexpr uid_t kNobody = 65534;
}

bool RunningAsRoot() { return geteuid() == 0; }

bool DropToNobody() {
  return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0 &&
         geteuid() == kNobody;
}

bool SetNativeMode(const std::string& native_path, unsigned mode) {
  return chmod(native_path.c_str(), static_cast<mode_t>(mode)) == 0;
}

}  // namespace kura_test
