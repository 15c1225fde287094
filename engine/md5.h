// MD5 message digest (RFC 1321). The engine uses it for the signature stamped into every table
// file header, for record hashes and for table password keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kura {

// A 16-byte MD5 digest seen as four 32-bit integers. On disk the digest is its 16 bytes in the
// order MD5 produces them, which is A, B, C, D each stored little-endian.
struct TMD5Digest {
  int32_t A = 0;
  int32_t B = 0;
  int32_t C = 0;
  int32_t D = 0;

  static TMD5Digest FromBytes(const uint8_t bytes[16]);
  void ToBytes(uint8_t bytes[16]) const;
  bool IsZero() const { return A == 0 && B == 0 && C == 0 && D == 0; }

  friend bool operator==(const TMD5Digest&, const TMD5Digest&) = default;
};

// Incremental MD5. Feed any number of pieces with Update, then call Final once; the object can
// be reused after Reset. Not thread-safe; cheap to create.
class TMD5 {
 public:
  TMD5() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  TMD5Digest Final();

 private:
  void Transform(const uint8_t block[64]);

  uint32_t state_[4];
  uint64_t length_;  // bytes fed so far
  uint8_t buffer_[64];
};

TMD5Digest MD5Digest(const void* data, size_t size);
TMD5Digest MD5Digest(std::string_view text);

}  // namespace kura
