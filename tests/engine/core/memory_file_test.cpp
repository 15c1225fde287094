#include "engine/core/memory_file.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_engine.h"

namespace {

using kura::TMemoryFile;

class MemoryFileTest : public testing::Test {
 protected:
  void SetUp() override { handle_ = file_.CreateNew(); }

  void WriteAt(int64_t position, const std::string& bytes) {
    ASSERT_EQ(file_.Seek(handle_, position, 0), position);
    ASSERT_EQ(file_.Write(handle_, bytes.data(), static_cast<int32_t>(bytes.size())),
              static_cast<int32_t>(bytes.size()));
  }
  std::string ReadAt(int64_t position, int32_t count) {
    std::string bytes(count, '?');
    EXPECT_EQ(file_.Seek(handle_, position, 0), position);
    int32_t got = file_.Read(handle_, bytes.data(), count);
    EXPECT_GE(got, 0);
    bytes.resize(got < 0 ? 0 : got);
    return bytes;
  }

  kura::TDataEngine engine_;
  TMemoryFile file_{&engine_, "\\memory\\t.dat"};
  int32_t handle_ = 0;
};

// One lock list per object: a range may be locked only when it overlaps no locked range.
TEST_F(MemoryFileTest, RangeLocksRefuseOverlapsAndUnlockByFirstByte) {
  struct Step {
    bool lock;  // else unlock
    int64_t offset;
    int64_t length;
    bool succeeds;
  };
  const Step kSteps[] = {
      {true, 100, 10, true},    // [100, 109]
      {true, 105, 10, false},   // [105, 114] overlaps it
      {true, 110, 10, true},    // [110, 119] touches it only
      {true, 95, 6, false},     // [95, 100] reaches its first byte
      {true, 90, 10, true},     // [90, 99]
      {true, 100, 1, false},    // same first byte
      {true, 50, 1000, false},  // covers them all
      {true, 120, 0, false},    // empty range
      {true, -1, 1, false},
      {false, 100, 999, true},  // the length is not compared
      {false, 100, 10, false},  // already released
      {true, 100, 10, true},
      {true, int64_t{0x7FFFFFFFFFFFFFFF}, 1, true},  // far past the end
      {true, int64_t{0x7FFFFFFFFFFFFFFF}, 2, false},
  };
  for (const auto& s : kSteps) {
    bool result = s.lock ? file_.Lock(s.offset, s.length) : file_.Unlock(s.offset, s.length);
    EXPECT_EQ(result, s.succeeds) << (s.lock ? "lock " : "unlock ") << s.offset << "+" << s.length;
  }
}

TEST_F(MemoryFileTest, ReadsStopAtTheEnd) {
  WriteAt(0, "0123456789");
  EXPECT_EQ(ReadAt(4, 3), "456");
  EXPECT_EQ(file_.Seek(handle_, 0, 1), 7) << "the position advanced by the count";
  EXPECT_EQ(ReadAt(7, 10), "789") << "across the end";
  EXPECT_EQ(ReadAt(10, 5), "") << "at the end";
  EXPECT_EQ(ReadAt(5000, 5), "") << "past the end";
  EXPECT_EQ(file_.Seek(handle_, 0, 2), 10);
}

TEST_F(MemoryFileTest, AZeroByteWriteTruncatesAndCutBytesDoNotComeBack) {
  WriteAt(0, std::string(100, 'X'));
  ASSERT_EQ(file_.Seek(handle_, 10, 0), 10);
  EXPECT_EQ(file_.Write(handle_, nullptr, 0), 0);
  EXPECT_EQ(file_.FileSize(), 10);
  WriteAt(50, "Y");
  EXPECT_EQ(file_.FileSize(), 51);
  EXPECT_EQ(ReadAt(0, 51), std::string(10, 'X') + std::string(40, '\0') + "Y");
}

TEST_F(MemoryFileTest, WritesSpanChunksAndGrowInWholeChunks) {
  const std::string bytes = "across-the-chunk-edge";
  WriteAt(65530, bytes);
  EXPECT_EQ(file_.FileSize(), 65530 + static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(file_.FileBufferSize(), 2 * TMemoryFile::kChunkSize);
  EXPECT_EQ(ReadAt(65530, static_cast<int32_t>(bytes.size())), bytes);
  EXPECT_EQ(ReadAt(0, 4), std::string(4, '\0'));

  // A write far out grows the size without touching the bytes in between.
  WriteAt(int64_t{1} << 33, "Z");
  EXPECT_EQ(file_.FileSize(), (int64_t{1} << 33) + 1);
  EXPECT_EQ(ReadAt(int64_t{1} << 32, 3), std::string(3, '\0'));
  EXPECT_EQ(ReadAt(int64_t{1} << 33, 1), "Z");

  // Beyond the limit of memory files nothing changes.
  ASSERT_EQ(file_.Seek(handle_, TMemoryFile::kMaxMemoryFileSize, 0),
            TMemoryFile::kMaxMemoryFileSize);
  EXPECT_EQ(file_.Write(handle_, "W", 1), -1);
  EXPECT_EQ(file_.FileSize(), (int64_t{1} << 33) + 1);

  EXPECT_GT(file_.CreateNew(), 0);
  EXPECT_EQ(file_.FileSize(), 0);
  EXPECT_EQ(file_.FileBufferSize(), 0);
}

TEST_F(MemoryFileTest, HandlesAreNumberedOnceAndKeepTheirOwnPositions) {
  EXPECT_EQ(handle_, 1);
  int32_t second = file_.Open();
  EXPECT_EQ(second, 2);
  WriteAt(0, "abcdef");
  EXPECT_EQ(file_.Seek(second, 2, 0), 2);
  char c = 0;
  EXPECT_EQ(file_.Read(second, &c, 1), 1);
  EXPECT_EQ(c, 'c');
  EXPECT_EQ(file_.Seek(handle_, 0, 1), 6) << "the first handle did not move";
  EXPECT_EQ(file_.Seek(second, -1, 2), 5);
  EXPECT_EQ(file_.Seek(second, -10, 1), -1);
  EXPECT_EQ(file_.Seek(second, 0, 1), 5) << "a refused seek leaves the position";

  file_.Close(second);
  file_.Close(second);  // unknown now: ignored
  EXPECT_EQ(file_.UseCount(), 1);
  EXPECT_EQ(file_.Open(), 3) << "numbers are never reused";
  EXPECT_EQ(file_.Seek(99, 0, 0), 0) << "unknown handle";
  EXPECT_EQ(file_.Read(99, &c, 1), -1);
  EXPECT_EQ(file_.Write(99, &c, 1), -1);
}

}  // namespace
