// Which byte ranges of a file other processes hold locked, seen from a real second process: a
// forked child opens the file with a handle of its own and tries each range (giving back what
// it got). Use it to check the offsets a program locks, not only that it locks something.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kura_test {

struct ProbeRange {
  int64_t offset = 0;
  int64_t length = 1;
};

// One entry per range: true when some byte of it is locked by another handle. Throws
// std::runtime_error when the child could not open the file or did not answer.
std::vector<bool> ProbeLocksFromChild(const std::string& engine_path,
                                      const std::vector<ProbeRange>& ranges);

}  // namespace kura_test
