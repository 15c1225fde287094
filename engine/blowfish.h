// The Blowfish block cipher: 64-bit blocks, 16 rounds, the standard initial P-array and S-boxes
// (the hexadecimal digits of pi) and the standard key schedule. Table encryption uses it through
// the engine's cipher context (core/crypto_context.h), which adds the chaining mode.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kura {

// A keyed cipher. The key is 1 to 72 bytes (56 is the limit the algorithm was published with;
// the schedule itself accepts up to the 72 bytes of the P-array); other lengths throw
// std::invalid_argument. Encryption and decryption are const and may run in several threads.
class TBlowfish {
 public:
  TBlowfish(const uint8_t* key, size_t key_length);

  // One block in place. The two 32-bit halves are read and written big-endian.
  void EncryptBlock(uint8_t block[8]) const;
  void DecryptBlock(uint8_t block[8]) const;

  static constexpr size_t kBlockSize = 8;
  static constexpr size_t kMaxKeyLength = 72;

 private:
  uint32_t F(uint32_t x) const;
  void EncryptHalves(uint32_t* left, uint32_t* right) const;
  void DecryptHalves(uint32_t* left, uint32_t* right) const;

  uint32_t P_[18];
  uint32_t S_[4][256];
};

}  // namespace kura
