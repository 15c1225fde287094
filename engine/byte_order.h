// Little-endian encoding of the integers and doubles in the engine's files. Every on-disk
// structure is read and written field by field through these, at offsets that one place per
// structure defines; no struct is ever cast onto file bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace kura {

inline uint8_t GetU8(const uint8_t* p) { return p[0]; }
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetU64(const uint8_t* p) {
  return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}
inline int16_t GetI16(const uint8_t* p) { return static_cast<int16_t>(GetU16(p)); }
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
inline int64_t GetI64(const uint8_t* p) { return static_cast<int64_t>(GetU64(p)); }
inline double GetF64(const uint8_t* p) {
  uint64_t bits = GetU64(p);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

inline void PutU8(uint8_t* p, uint8_t v) { p[0] = v; }
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI16(uint8_t* p, int16_t v) { PutU16(p, static_cast<uint16_t>(v)); }
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline void PutI64(uint8_t* p, int64_t v) { PutU64(p, static_cast<uint64_t>(v)); }
inline void PutF64(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU64(p, bits);
}

// string[N]: a length byte, then up to N characters, in N + 1 bytes. Reading clamps a length byte
// larger than N to N, so that damaged bytes can never reach past the field.
inline std::string GetShortString(const uint8_t* p, size_t max_length) {
  size_t n = p[0];
  if (n > max_length) n = max_length;
  return std::string(reinterpret_cast<const char*>(p + 1), n);
}
// Writes the length byte and the characters (cut to N) and zero-fills the rest of the field.
inline void PutShortString(uint8_t* p, size_t max_length, const std::string& s) {
  size_t n = s.size() < max_length ? s.size() : max_length;
  p[0] = static_cast<uint8_t>(n);
  std::memcpy(p + 1, s.data(), n);
  std::memset(p + 1 + n, 0, max_length - n);
}

}  // namespace kura
