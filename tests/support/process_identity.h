// What the OS refuses to an ordinary user, for tests that run as root (CI does): a forked child
// can drop to the unprivileged "nobody" account, and fixtures can set permission bits.
#pragma once

#include <string>

namespace kura_test {

bool RunningAsRoot();
// Switches the calling process to uid/gid 65534 for good; false when that is refused. Call it
// only in a forked child.
bool DropToNobody();
// chmod on a native path.
bool SetNativeMode(const std::string& native_path, unsigned mode);

}  // namespace kura_test
