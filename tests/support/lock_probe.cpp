#include "tests/support/lock_probe.h"

#include <memory>
#include <stdexcept>

#include "platform/os_file.h"
#include "tests/support/child_process.h"

namespace kura_test {

std::vector<bool> ProbeLocksFromChild(const std::string& engine_path,
                                      const std::vector<ProbeRange>& ranges) {
  Signal answers;
  ChildProcess child([&] {
    using platform::FileAccess;
    using platform::FileShare;
    std::unique_ptr<platform::OsFile> file = platform::OsFile::OpenExisting(
        engine_path, FileAccess::kReadWrite, FileShare::kReadWrite);
    if (!file) {
      file = platform::OsFile::OpenExisting(engine_path, FileAccess::kRead, FileShare::kReadWrite);
    }
    if (!file) {
      answers.Send('E');
      return 1;
    }
    for (const ProbeRange& r : ranges) {
      bool free = file->LockRange(r.offset, r.length);
      if (free) file->UnlockRange(r.offset, r.length);
      answers.Send(free ? 'F' : 'H');
    }
    return 0;
  });
  std::vector<bool> held;
  for (size_t i = 0; i < ranges.size(); ++i) {
    char c = answers.Wait();
    if (c != 'F' && c != 'H') throw std::runtime_error("lock probe failed on " + engine_path);
    held.push_back(c == 'H');
  }
  child.Wait();
  return held;
}

}  // namespace kura_test
