// Cipher contexts for table encryption.
//
// A context enciphers or deciphers 8-byte blocks in place and carries the chaining state of the
// unit being processed. The engine's Encrypt/Decrypt run a whole unit under the context's lock
// and reset the chain afterwards, so that one context can be shared by several password objects
// and threads as long as they go through those operations.
//
// A host that wants its own cipher installs a cipher-initialisation hook on the engine that
// returns its own TCryptoContext; its EncryptBlock, DecryptBlock and Reset are then the block
// and reset hooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "engine/blowfish.h"

namespace kura {

class TCryptoContext {
 public:
  static constexpr size_t kBlockSize = 8;

  TCryptoContext() = default;
  virtual ~TCryptoContext() = default;
  TCryptoContext(const TCryptoContext&) = delete;
  TCryptoContext& operator=(const TCryptoContext&) = delete;

  // One chained step on one block, in place. May throw; the engine resets the chain then.
  virtual void EncryptBlock(uint8_t block[kBlockSize]) = 0;
  virtual void DecryptBlock(uint8_t block[kBlockSize]) = 0;
  // Restarts the chain from the initialisation vector.
  virtual void Reset() = 0;

  // Held by the engine for the whole of one unit.
  std::mutex& UnitMutex() { return unit_mutex_; }

 private:
  std::mutex unit_mutex_;
};

// The built-in context: Blowfish in cipher block chaining mode with an all-zero initialisation
// vector. Enciphering P gives C := E(P xor chain), chain := C; deciphering C gives
// P := D(C) xor chain, chain := C.
class TBlowfishCbcContext : public TCryptoContext {
 public:
  // Key of 1 to 72 bytes (the engine passes the 16-byte MD5 digest of the password); other
  // lengths throw std::invalid_argument.
  TBlowfishCbcContext(const uint8_t* key, size_t key_length);

  void EncryptBlock(uint8_t block[kBlockSize]) override;
  void DecryptBlock(uint8_t block[kBlockSize]) override;
  void Reset() override;

 private:
  TBlowfish cipher_;
  uint8_t vector_[kBlockSize] = {};
  uint8_t chain_[kBlockSize] = {};
};

}  // namespace kura
