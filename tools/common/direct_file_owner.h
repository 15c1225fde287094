// The owner of a table file that a tool opens directly, read-only and shared, without a session:
// it takes no locks (another program may be writing; the tools show what is on disk when they
// read it) and knows no passwords, so an encrypted table is refused with 10498.
#pragma once

#include <string>

#include "engine/core/buffered_file_owner.h"

namespace kura_tools {

class TDirectFileOwner : public kura::TBufferedFileOwner {
 public:
  TDirectFileOwner(kura::TDataEngine* engine, std::string table_name, std::string database_name)
      : engine_(engine), table_name_(std::move(table_name)), database_name_(std::move(database_name)) {}

  kura::TDataEngine* DataEngine() const override { return engine_; }
  std::string ProperTableName() const override { return table_name_; }
  std::string ProperDatabaseName() const override { return database_name_; }
  bool ReadLockForCacheMiss(kura::TDataCursor*) override { return false; }
  int32_t ReadAheadEstimate(kura::TDataCursor*, int, int32_t maximum) override { return maximum; }
  bool StrictChangeDetection() const override { return false; }
  bool ForceBufferFlush() const override { return false; }
  bool InTransaction() const override { return false; }
  bool WrittenTo() const override { return written_to_; }
  void MarkWrittenTo() override { written_to_ = true; }
  bool IsEncrypted() const override { return false; }  // encrypted tables are refused at open
  void VerifyDigest(const uint8_t digest[16]) override;
  void Encrypt(uint8_t*, size_t) override {}
  void Decrypt(uint8_t*, size_t) override {}

 private:
  kura::TDataEngine* engine_;
  std::string table_name_;
  std::string database_name_;
  bool written_to_ = false;
};

}  // namespace kura_tools
