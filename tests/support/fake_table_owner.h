// A stand-in for the shared table that owns buffered files, for tests of the files and caches.
// It takes no locks; tests set the session settings and the answers it gives, and read back what
// the files asked of it. Encryption is a trivial reversible transform of whole 8-byte blocks
// (the real cipher is tested on its own), so that tests can see which units were enciphered.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/core/buffered_file_owner.h"

namespace kura_test {

class FakeTableOwner : public kura::TBufferedFileOwner {
 public:
  explicit FakeTableOwner(kura::TDataEngine* engine) : engine_(engine) {}

  kura::TDataEngine* DataEngine() const override { return engine_; }
  std::string ProperTableName() const override { return table_name; }
  std::string ProperDatabaseName() const override { return database_name; }

  bool ReadLockForCacheMiss(kura::TDataCursor*) override {
    ++read_lock_calls;
    return report_change_on_miss;
  }
  int32_t ReadAheadEstimate(kura::TDataCursor*, int direction, int32_t maximum) override {
    last_direction = direction;
    last_maximum = maximum;
    return read_ahead_estimate;
  }
  bool StrictChangeDetection() const override { return strict_change_detection; }
  bool ForceBufferFlush() const override { return force_buffer_flush; }
  bool InTransaction() const override { return in_transaction; }
  bool WrittenTo() const override { return written_to; }
  void MarkWrittenTo() override { written_to = true; }

  bool IsEncrypted() const override { return encrypted; }
  void VerifyDigest(const uint8_t digest[16]) override {
    ++verify_digest_calls;
    std::memcpy(verified_digest, digest, 16);
  }
  void Encrypt(uint8_t* buffer, size_t size) override { Transform(buffer, size); }
  void Decrypt(uint8_t* buffer, size_t size) override { Transform(buffer, size); }

  std::string table_name = "T";
  std::string database_name = "D";
  bool report_change_on_miss = false;
  int32_t read_ahead_estimate = 1;
  bool strict_change_detection = false;
  bool force_buffer_flush = false;
  bool in_transaction = false;
  bool written_to = false;
  bool encrypted = false;

  int read_lock_calls = 0;
  int last_direction = 0;
  int32_t last_maximum = 0;
  int verify_digest_calls = 0;
  uint8_t verified_digest[16] = {};

 private:
  static void Transform(uint8_t* buffer, size_t size) {
    for (size_t i = 0; i < size / 8 * 8; ++i) buffer[i] ^= 0x5A;
  }

  kura::TDataEngine* engine_;
};

}  // namespace kura_test
