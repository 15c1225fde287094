#include "engine/core/lock_file_list.h"

#include "engine/byte_order.h"

namespace kura {

std::vector<uint8_t> EncodeLockFileList(const std::vector<AnsiString>& names) {
  size_t size = 4;
  for (const AnsiString& name : names) size += 1 + name.size();
  std::vector<uint8_t> bytes(size);
  PutI32(bytes.data(), static_cast<int32_t>(size));
  size_t at = 4;
  for (const AnsiString& name : names) {
    bytes[at++] = static_cast<uint8_t>(name.size());
    for (char c : name) bytes[at++] = static_cast<uint8_t>(c);
  }
  return bytes;
}

bool DecodeLockFileList(const uint8_t* bytes, size_t size, std::vector<AnsiString>* names) {
  std::vector<AnsiString> result;
  size_t at = 0;
  while (at < size) {
    size_t length = bytes[at++];
    if (length > size - at || result.size() == kMaxLockFileTables) return false;
    result.emplace_back(reinterpret_cast<const char*>(bytes + at), length);
    at += length;
  }
  *names = std::move(result);
  return true;
}

}  // namespace kura
