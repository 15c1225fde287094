#include "engine/core/crypto_context.h"

#include <cstring>

namespace kura {

TBlowfishCbcContext::TBlowfishCbcContext(const uint8_t* key, size_t key_length)
    : cipher_(key, key_length) {}

void TBlowfishCbcContext::EncryptBlock(uint8_t block[kBlockSize]) {
  for (size_t i = 0; i < kBlockSize; ++i) block[i] ^= chain_[i];
  cipher_.EncryptBlock(block);
  std::memcpy(chain_, block, kBlockSize);
}

void TBlowfishCbcContext::DecryptBlock(uint8_t block[kBlockSize]) {
  uint8_t cipher_text[kBlockSize];
  std::memcpy(cipher_text, block, kBlockSize);
  cipher_.DecryptBlock(block);
  for (size_t i = 0; i < kBlockSize; ++i) block[i] ^= chain_[i];
  std::memcpy(chain_, cipher_text, kBlockSize);
}

void TBlowfishCbcContext::Reset() { std::memcpy(chain_, vector_, kBlockSize); }

}  // namespace kura
