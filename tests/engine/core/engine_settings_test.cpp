#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "engine/core/data_engine.h"
#include "engine/md5.h"

namespace {

using kura::TDataEngine;

struct TextDefault {
  const char* name;
  std::function<std::string(const TDataEngine&)> get;
  const char* value;
};

struct NumberDefault {
  const char* name;
  std::function<int64_t(const TDataEngine&)> get;
  int64_t value;
};

TEST(EngineSettingsTest, ANewEngineHasTheDocumentedDefaults) {
  const TDataEngine engine;
  const TextDefault kTexts[] = {
      {"DataExtension", &TDataEngine::DataExtension, ".dat"},
      {"IndexExtension", &TDataEngine::IndexExtension, ".idx"},
      {"BlobExtension", &TDataEngine::BlobExtension, ".blb"},
      {"DataBackupExtension", &TDataEngine::DataBackupExtension, ".dbk"},
      {"IndexBackupExtension", &TDataEngine::IndexBackupExtension, ".ibk"},
      {"BlobBackupExtension", &TDataEngine::BlobBackupExtension, ".bbk"},
      {"DataUpgradeExtension", &TDataEngine::DataUpgradeExtension, ".dup"},
      {"IndexUpgradeExtension", &TDataEngine::IndexUpgradeExtension, ".iup"},
      {"BlobUpgradeExtension", &TDataEngine::BlobUpgradeExtension, ".bup"},
      {"DataTempExtension", &TDataEngine::DataTempExtension, ".dat"},
      {"IndexTempExtension", &TDataEngine::IndexTempExtension, ".idx"},
      {"BlobTempExtension", &TDataEngine::BlobTempExtension, ".blb"},
      {"LockFileName", &TDataEngine::LockFileName, "kura.lck"},
      {"Signature", &TDataEngine::Signature, ""},
  };
  for (const auto& d : kTexts) EXPECT_EQ(d.get(engine), d.value) << d.name;

  const NumberDefault kNumbers[] = {
      {"MaxDataBufferSize", &TDataEngine::MaxDataBufferSize, 32768},
      {"MaxDataBufferCount", &TDataEngine::MaxDataBufferCount, 8192},
      {"MaxIndexBufferSize", &TDataEngine::MaxIndexBufferSize, 65536},
      {"MaxIndexBufferCount", &TDataEngine::MaxIndexBufferCount, 8192},
      {"MaxBlobBufferSize", &TDataEngine::MaxBlobBufferSize, 32768},
      {"MaxBlobBufferCount", &TDataEngine::MaxBlobBufferCount, 8192},
      {"FilterIndexThreshhold", &TDataEngine::FilterIndexThreshhold, 1},
      {"ReadLockWaitTime", &TDataEngine::ReadLockWaitTime, 3},
      {"WriteLockWaitTime", &TDataEngine::WriteLockWaitTime, 3},
      {"TransLockWaitTime", &TDataEngine::TransLockWaitTime, 3},
      {"ReadLockRetries", &TDataEngine::ReadLockRetries, 32768},
      {"WriteLockRetries", &TDataEngine::WriteLockRetries, 32768},
      {"TransLockRetries", &TDataEngine::TransLockRetries, 32768},
      {"MaxReadLockCount", &TDataEngine::MaxReadLockCount, 100},
      {"LargeFileSupport", &TDataEngine::LargeFileSupport, 0},
      {"TempTablesInDataDirectory", &TDataEngine::TempTablesInDataDirectory, 0},
      {"Initialized", &TDataEngine::Initialized, 0},
  };
  for (const auto& d : kNumbers) EXPECT_EQ(d.get(engine), d.value) << d.name;
}

TEST(EngineSettingsTest, TheSignatureDigestIsTheStandardOneOrTheMD5OfTheText) {
  TDataEngine engine;
  const kura::TMD5Digest standard{1502527114, 1087071267, -472747715, 30434492};
  EXPECT_EQ(engine.SignatureDigest(), standard);
  uint8_t bytes[16];
  standard.ToBytes(bytes);
  const uint8_t kStandardBytes[16] = {0x8A, 0xBE, 0x8E, 0x59, 0x23, 0x64, 0xCB, 0x40,
                                      0x3D, 0x71, 0xD2, 0xE3, 0xBC, 0x64, 0xD0, 0x01};
  EXPECT_EQ(0, std::memcmp(bytes, kStandardBytes, 16));

  engine.SetSignature("Sorami V8");
  EXPECT_EQ(engine.Signature(), "Sorami V8");
  EXPECT_EQ(engine.SignatureDigest(), kura::MD5Digest(std::string("Sorami V8")));
  engine.SetSignature("");
  EXPECT_EQ(engine.SignatureDigest(), standard);
}

struct ProfileCase {
  bool large_file_support;
  int64_t maximum_file_size;
  int64_t maximum_num_records;
  int64_t file_lock_byte, file_lock_range, trans_lock_byte, trans_lock_range;
  int64_t read_lock_byte, read_lock_range, write_lock_byte, write_lock_range;
  int64_t trans_write_lock_byte, trans_write_lock_range;
  int64_t record_lock_byte, record_lock_range, semaphore_lock_byte, semaphore_lock_range;
};

void PrintTo(const ProfileCase& c, std::ostream* os) {
  *os << (c.large_file_support ? "large-file profile" : "normal profile");
}

class EngineProfileTest : public testing::TestWithParam<ProfileCase> {};

// The lock offsets are the protocol shared with the other programs: they must be exact.
TEST_P(EngineProfileTest, InitializeSetsTheLimitsAndLockOffsetsOfTheProfile) {
  const ProfileCase& p = GetParam();
  TDataEngine engine;
  engine.SetLargeFileSupport(p.large_file_support);
  engine.Initialize("kura.lck");
  EXPECT_TRUE(engine.Initialized());
  EXPECT_EQ(engine.MaximumFileSize(), p.maximum_file_size);
  EXPECT_EQ(engine.MaximumNumRecords(), p.maximum_num_records);
  EXPECT_EQ(engine.FileLockByte(), p.file_lock_byte);
  EXPECT_EQ(engine.FileLockRange(), p.file_lock_range);
  EXPECT_EQ(engine.TransLockByte(), p.trans_lock_byte);
  EXPECT_EQ(engine.TransLockRange(), p.trans_lock_range);
  EXPECT_EQ(engine.ReadLockByte(), p.read_lock_byte);
  EXPECT_EQ(engine.ReadLockRange(), p.read_lock_range);
  EXPECT_EQ(engine.WriteLockByte(), p.write_lock_byte);
  EXPECT_EQ(engine.WriteLockRange(), p.write_lock_range);
  EXPECT_EQ(engine.TransWriteLockByte(), p.trans_write_lock_byte);
  EXPECT_EQ(engine.TransWriteLockRange(), p.trans_write_lock_range);
  EXPECT_EQ(engine.RecordLockByte(), p.record_lock_byte);
  EXPECT_EQ(engine.RecordLockRange(), p.record_lock_range);
  EXPECT_EQ(engine.SemaphoreLockByte(), p.semaphore_lock_byte);
  EXPECT_EQ(engine.SemaphoreLockRange(), p.semaphore_lock_range);

  // The regions nest: 4096 table write regions fill the directory transaction-write region and
  // the bytes of records 1..RecordLockRange fill the table lock region.
  EXPECT_EQ(engine.WriteLockByte() - 4096 * engine.WriteLockRange(),
            engine.WriteLockByte() - engine.TransWriteLockRange());
  EXPECT_EQ(engine.TransLockByte() - 4096, engine.TransLockByte() - engine.TransLockRange());
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, EngineProfileTest,
    testing::Values(
        ProfileCase{false, 4000000000, 200000000, 0xFFFFFFFF, 65535, 0xFFFF0000, 4096, 0xFFFEF000,
                    65535, 0xFFFEF000, 65535, 0xFFFEF000, 268431360, 0xFFFFFFFF, 200000000,
                    4094967295, 1024},
        ProfileCase{true, 128000000000, 1000000000, 0x7FFFFFFFFFFFFFFF, 65535,
                    0x7FFFFFFFFFFF0000, 4096, 0x7FFFFFFFFFFEF000, 65535, 0x7FFFFFFFFFFEF000, 65535,
                    0x7FFFFFFFFFFEF000, 268431360, 0x7FFFFFFFFFFFFFFF, 1000000000,
                    0x7FFFFFFFC46535FF, 1024}),
    [](const testing::TestParamInfo<ProfileCase>& info) {
      return info.param.large_file_support ? "LargeFile" : "Normal";
    });

TEST(EngineSettingsTest, NormalProfileRegionsSitWhereTheOtherProgramsLookForThem) {
  TDataEngine engine;
  engine.Initialize("kura.lck");
  auto write_region_first = [&](int64_t table_id) {
    return engine.WriteLockByte() - table_id * engine.WriteLockRange();
  };
  EXPECT_EQ(write_region_first(1), 0xFFFDF001);
  EXPECT_EQ(write_region_first(1) + engine.WriteLockRange(), 0xFFFEF000);
  EXPECT_EQ(write_region_first(4096), 0xEFFF0000);
  EXPECT_EQ(write_region_first(4096) + engine.WriteLockRange(), 0xEFFFFFFF);
  EXPECT_EQ(engine.RecordLockByte() - 1, 0xFFFFFFFE);  // record 1
}

// LargeFileSupport and LockFileName act only through Initialize.
TEST(EngineSettingsTest, ProfileAndLockFileNameTakeEffectAtInitialize) {
  TDataEngine engine;
  engine.SetLargeFileSupport(true);
  EXPECT_EQ(engine.MaximumNumRecords(), 200000000);
  EXPECT_EQ(engine.FileLockByte(), 0xFFFFFFFF);
  engine.Initialize("other.lck");
  EXPECT_EQ(engine.MaximumNumRecords(), 1000000000);
  EXPECT_EQ(engine.LockFileName(), "other.lck");
  engine.Reset();
  EXPECT_FALSE(engine.Initialized());
  engine.SetLargeFileSupport(false);
  engine.Initialize("kura.lck");
  EXPECT_EQ(engine.FileLockByte(), 0xFFFFFFFF);
  EXPECT_EQ(engine.LockFileName(), "kura.lck");
}

TEST(EngineSettingsTest, TableFileVersions) {
  const char* const kNames[] = {"1.00", "1.02", "1.04", "1.08", "2.00", "3.00", "4.00"};
  for (int v = 0; v <= 255; ++v) {
    uint8_t version = static_cast<uint8_t>(v);
    EXPECT_EQ(TDataEngine::ValidVersion(version), v <= 6) << v;
    EXPECT_EQ(TDataEngine::VersionToStr(version), v <= 6 ? kNames[v] : "") << v;
  }
}

}  // namespace
