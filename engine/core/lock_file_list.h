// The layout of a directory's lock file (normally "kura.lck"), little-endian:
//
//   offset 0   Int32  update counter: 0 on creation, incremented before every rewrite of the
//                     list (2147483647 is followed by 1)
//   offset 4   Int32  list size: 4 + the sum over the entries of (1 + name length)
//   offset 8          the entries in table-ID order (the first is ID 1): a length byte L, then
//                     L bytes of the table name, no terminator
//
// The bytes far past the end of the file carry the protocol's locks (lock_file.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/ansi_string.h"

namespace kura {

namespace lock_file_offsets {
constexpr int64_t kUpdateCount = 0;
constexpr int64_t kListSize = 4;
constexpr int64_t kList = 8;
}  // namespace lock_file_offsets

// At most this many tables are registered in one lock file.
constexpr size_t kMaxLockFileTables = 4096;
// The largest list size a lock file can hold: 4096 entries of 255-byte names.
constexpr int32_t kMaxLockFileListSize = 4 + static_cast<int32_t>(kMaxLockFileTables) * 256;

// The next value of the update counter.
inline int32_t NextUpdateCount(int32_t count) { return count >= 0x7FFFFFFF ? 1 : count + 1; }

// The list size field followed by the entries, as written from offset 4. Names longer than 255
// bytes cannot be stored; callers never pass them.
std::vector<uint8_t> EncodeLockFileList(const std::vector<AnsiString>& names);

// The entries of the `size` bytes that follow the list size field. False when the bytes are not
// a whole list: a length byte that reaches past the end, or more than 4096 entries.
bool DecodeLockFileList(const uint8_t* bytes, size_t size, std::vector<AnsiString>* names);

}  // namespace kura
