// Fuzzes the unpacking of index pages: the first four bytes choose the index parameters (key
// size, unique, compression, statistics), the rest is a raw 1024-byte page. A page that unpacks
// must pack back to bytes that unpack to the same entries. Build with clang and
// -DKURA_BUILD_FUZZ=ON (see fuzz/CMakeLists.txt).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/format/page_contents.h"

namespace {

constexpr size_t kPageSize = 1024;
constexpr size_t kAreaSize = kPageSize - kura::kPageHeaderSize;

bool SameEntries(const kura::TPageContents& a, const kura::TPageContents& b) {
  if (a.NumberOfKeys() != b.NumberOfKeys() || a.PageType() != b.PageType()) return false;
  for (int k = 1; k <= a.NumberOfKeys(); ++k) {
    if (std::memcmp(a.GetKey(k), b.GetKey(k), a.KeySize()) != 0) return false;
    if (a.GetRecordNumber(k) != b.GetRecordNumber(k)) return false;
    if (a.GetLowerKeyCount(k) != b.GetLowerKeyCount(k)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  kura::TPageParameters p;
  p.KeySize = static_cast<uint16_t>((data[0] | (data[1] << 8)) % 400);
  p.KeyUnique = (data[2] & 1) != 0;
  p.KeyCompressionType = static_cast<uint8_t>((data[2] >> 1) & 3);
  p.NoKeyStatistics = (data[3] & 1) != 0;
  std::vector<uint8_t> raw(kPageSize, 0);
  std::memcpy(raw.data(), data + 4, size - 4 < kPageSize ? size - 4 : kPageSize);

  kura::TPageContents page(kAreaSize);
  page.Initialize(p);
  if (!page.Unpack(raw.data())) return 0;
  std::vector<uint8_t> packed(kPageSize, 0);
  if (!page.Pack(packed.data())) std::abort();  // what unpacked always fits
  kura::TPageContents again(kAreaSize);
  again.Initialize(p);
  if (!again.Unpack(packed.data()) || !SameEntries(page, again)) std::abort();
  // Editing a page keeps it packable while it does not overflow.
  std::vector<uint8_t> key(p.KeySize, 0x41);
  int k = page.NumberOfKeys() / 2;
  page.InsertKey(key.data(), &k);
  if (!page.PageDataOverflowed() && !page.Pack(packed.data())) std::abort();
  page.DeleteKey(&k);
  return 0;
}
