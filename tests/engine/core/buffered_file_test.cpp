#include "engine/core/buffered_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "tests/support/fake_table_owner.h"
#include "tests/support/temp_dir.h"

namespace kura {
namespace {

using kura_test::FakeTableOwner;

constexpr int32_t kBlock = 16;
constexpr int64_t kHeader = 8;  // stamp, blocks used

// A minimal buffered file: an 8-byte header (update stamp, blocks used) and 16-byte blocks.
class BlockFile : public TBufferedFile {
 public:
  BlockFile(TBufferedFileOwner* owner, int32_t max_buffers)
      : TBufferedFile(owner), max_buffers_(max_buffers) {}

  std::unique_ptr<TBuffer> NewBuffer() override { return std::make_unique<TBuffer>(this); }
  void RaiseCorrupt() const override { FDataEngine->RaiseError(KURA_FILECORRUPT, ErrorContext()); }
  void CheckFileLimits() override {
    if (used_ >= limit) FDataEngine->RaiseError(KURA_TABLEFULL, ErrorContext());
  }
  void IncBlocksUsed() override { ++used_; }
  int32_t GetMaxBufferCount() const override { return max_buffers_; }
  int32_t GetDefaultReadAhead() const override { return default_read_ahead; }
  int32_t IOBlockSize() const override { return kBlock; }
  int32_t BufferSize() const override { return kBlock; }
  int64_t HeaderSize() const override { return kHeader; }
  int32_t IOBlocksUsed() const override { return used_; }
  int32_t LastUpdateStamp() const override { return stamp_; }
  int32_t MRUBuffers() const override { return 2; }
  int32_t BufferExpand() const override { return 4; }
  int32_t GetReadAheadCount(TDataCursor* cursor, int direction) override {
    return Owner()->ReadAheadEstimate(cursor, direction, ReadAheadBuffers());
  }

  void ReadHeader() override {
    uint8_t b[kHeader];
    ReadAt(0, b, kHeader);
    stamp_ = GetI32(b);
    used_ = GetI32(b + 4);
  }
  bool WriteHeader(bool) override {
    ++stamp_;
    uint8_t b[kHeader];
    PutI32(b, stamp_);
    PutI32(b + 4, used_);
    WriteAt(0, b, kHeader);
    Owner()->MarkWrittenTo();
    return true;
  }
  void UpdateHeaderStamp() override { ++stamp_; }
  void CheckHeader() override {}
  bool CheckForChanges() override {
    int32_t before = stamp_;
    ReadHeader();
    return stamp_ != before;
  }
  void OpenFile() override {
    TBufferedFile::OpenFile();
    ReadHeader();
    InitializeBuffers();
  }
  void CreateFile() override {
    TBufferedFile::CreateFile();
    used_ = 0;
    stamp_ = 0;
    WriteHeader(true);
    InitializeBuffers();
  }

  int32_t limit = 1000000;
  int32_t default_read_ahead = 1;

 private:
  int32_t max_buffers_;
  int32_t used_ = 0;
  int32_t stamp_ = 0;
};

// Block n filled with the byte n.
std::vector<uint8_t> BlockBytes(int32_t n) { return std::vector<uint8_t>(kBlock, uint8_t(n)); }

class BufferedFileTest : public ::testing::Test {
 protected:
  BufferedFileTest() : owner_(&engine_) {}

  // A file of `blocks` blocks on disk, reopened with a cache of `max_buffers`.
  std::unique_ptr<BlockFile> MakeFile(int32_t blocks, int32_t max_buffers, bool exclusive) {
    {
      BlockFile writer(&owner_, blocks + 1);
      writer.SetFileName(path_);
      writer.CreateFile();
      for (int32_t n = 1; n <= blocks; ++n) {
        TBuffer* b = nullptr;
        EXPECT_TRUE(writer.GetBuffer(nullptr, 0, n, false, 0, &b));
        b->CopyBuffer(BlockBytes(n).data());
        writer.PutBuffer(b);
      }
      writer.FlushBuffers();
      writer.WriteHeader(true);
      writer.CloseFile();
    }
    owner_.written_to = false;
    auto file = std::make_unique<BlockFile>(&owner_, max_buffers);
    file->SetFileName(path_);
    file->SetExclusive(exclusive);
    file->OpenFile();
    return file;
  }

  TBuffer* Get(BlockFile& f, int32_t n, bool read_ahead = false, int direction = 0) {
    TBuffer* b = nullptr;
    EXPECT_TRUE(f.GetBuffer(nullptr, 0, n, read_ahead, direction, &b));
    return b;
  }

  uint16_t CodeOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const EKuraEngineError& e) {
      return e.ErrorCode();
    }
    return 0;
  }

  std::string FileBytes() { return kura_test::ReadNativeFile(dir_.NativePath("blocks.dat")); }

  kura_test::TempDir dir_;
  std::string path_ = dir_.EnginePath("blocks.dat");
  TDataEngine engine_;
  FakeTableOwner owner_;
};

TEST_F(BufferedFileTest, AppendingReadsNothingAndCountsABlock) {
  auto f = MakeFile(3, 8, false);
  TBuffer* b = Get(*f, 4);
  EXPECT_EQ(f->Reads(), 0);
  EXPECT_EQ(f->IOBlocksUsed(), 4);
  EXPECT_EQ(b->Number(), 4);
  EXPECT_EQ(b->UseCount(), 1);
  EXPECT_TRUE(b->IsDirty());  // written back even if the caller leaves it empty
  for (int i = 0; i < kBlock; ++i) EXPECT_EQ(b->Data()[i], 0);
  f->PutBuffer(b);
  EXPECT_EQ(owner_.read_lock_calls, 0);
  EXPECT_TRUE(f->FlushBuffers());
  EXPECT_EQ(FileBytes().size(), size_t(kHeader + 4 * kBlock));
}

TEST_F(BufferedFileTest, BlockNumbersOutsideTheFileAreCorruption) {
  auto f = MakeFile(3, 8, false);
  EXPECT_EQ(CodeOf([&] { Get(*f, 0); }), KURA_FILECORRUPT);
  EXPECT_EQ(CodeOf([&] { Get(*f, -1); }), KURA_FILECORRUPT);
  EXPECT_EQ(CodeOf([&] { Get(*f, 5); }), KURA_FILECORRUPT);
  f->limit = 3;
  EXPECT_EQ(CodeOf([&] { Get(*f, 4); }), KURA_TABLEFULL);
  EXPECT_EQ(f->IOBlocksUsed(), 3);
}

TEST_F(BufferedFileTest, AMissReadsTheWindowUnderTheReadLockAndLaterHitsReadNothing) {
  auto f = MakeFile(10, 8, false);
  f->SetReadAheadBuffers(4);
  owner_.read_ahead_estimate = 3;
  TBuffer* b = Get(*f, 2, true, 1);
  EXPECT_EQ(owner_.read_lock_calls, 1);
  EXPECT_EQ(owner_.last_direction, 1);
  EXPECT_EQ(owner_.last_maximum, 4);
  EXPECT_EQ(f->Reads(), 1);
  EXPECT_EQ(f->TotalReads(), 3 * kBlock);
  EXPECT_EQ(f->CacheMisses(), 1);
  EXPECT_EQ(std::vector<uint8_t>(b->Data(), b->Data() + kBlock), BlockBytes(2));
  // The block asked for is the most recent; the read-ahead blocks follow it.
  EXPECT_EQ(f->RecencyOrder(), (std::vector<int32_t>{2, 3, 4}));
  f->PutBuffer(b);
  for (int32_t n : {3, 4, 2}) f->PutBuffer(Get(*f, n));
  EXPECT_EQ(f->Reads(), 1);
  EXPECT_EQ(f->CacheHits(), 3);
  EXPECT_EQ(owner_.read_lock_calls, 1);
}

TEST_F(BufferedFileTest, ReadAheadStopsAtBothEndsOfTheFile) {
  struct Case {
    int32_t block;
    int direction;
    std::vector<int32_t> cached;
  };
  const Case cases[] = {
      {9, 1, {9, 10}},       // forward: never past the last block
      {2, 2, {2, 1}},        // backward: never before the first block
      {6, 2, {6, 5, 4, 3}},  // backward window ends with the block asked for
      {6, 0, {6}},           // no direction: no read-ahead
  };
  for (const Case& c : cases) {
    auto f = MakeFile(10, 16, false);
    f->SetReadAheadBuffers(4);
    owner_.read_ahead_estimate = 4;
    TBuffer* b = Get(*f, c.block, true, c.direction);
    EXPECT_EQ(std::vector<uint8_t>(b->Data(), b->Data() + kBlock), BlockBytes(c.block));
    EXPECT_EQ(f->RecencyOrder(), c.cached) << c.block << " " << c.direction;
    f->PutBuffer(b);
    f->CloseFile();
  }
}

TEST_F(BufferedFileTest, AMissAfterAChangeByAnotherProgramReportsFailure) {
  auto f = MakeFile(5, 8, false);
  owner_.report_change_on_miss = true;
  TBuffer sentinel(f.get());
  TBuffer* b = &sentinel;
  EXPECT_FALSE(f->GetBuffer(nullptr, 0, 3, false, 0, &b));
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(f->Reads(), 0);
  // With strict change detection the lock was taken before the read: a miss takes none.
  owner_.strict_change_detection = true;
  f->PutBuffer(Get(*f, 3));
  EXPECT_EQ(owner_.read_lock_calls, 1);
}

TEST_F(BufferedFileTest, SecondMissFindsBlocksBySearchBeyondTheRecentPrefix) {
  auto f = MakeFile(6, 8, false);
  for (int32_t n = 1; n <= 6; ++n) f->PutBuffer(Get(*f, n));
  EXPECT_EQ(f->Reads(), 6);
  f->PutBuffer(Get(*f, 1));  // not in the 2-entry prefix: found by the binary search
  EXPECT_EQ(f->Reads(), 6);
  EXPECT_EQ(f->RecencyOrder().front(), 1);
}

TEST_F(BufferedFileTest, ExclusiveFlushCoalescesRunsOfConsecutiveBlocks) {
  auto f = MakeFile(10, 16, true);
  for (int32_t n : {9, 5, 7, 6}) {
    TBuffer* b = Get(*f, n);
    b->CopyBuffer(BlockBytes(100 + n).data());
    f->PutBuffer(b);
  }
  int32_t writes = f->Writes();
  EXPECT_TRUE(f->FlushBuffers());
  EXPECT_EQ(f->Writes() - writes, 2);
  std::string bytes = FileBytes();
  for (int32_t n = 1; n <= 10; ++n) {
    bool changed = n == 5 || n == 6 || n == 7 || n == 9;
    EXPECT_EQ(uint8_t(bytes[kHeader + (n - 1) * kBlock]), changed ? 100 + n : n) << n;
  }
  EXPECT_TRUE(owner_.written_to);
  EXPECT_FALSE(f->FlushBuffers());
}

TEST_F(BufferedFileTest, AFullSharedCacheOfDirtyBuffersGrows) {
  auto f = MakeFile(6, 2, false);
  for (int32_t n : {1, 2}) {
    TBuffer* b = Get(*f, n);
    b->CopyBuffer(BlockBytes(50).data());
    f->PutBuffer(b);
  }
  EXPECT_EQ(f->BufferCapacity(), 2);
  f->PutBuffer(Get(*f, 3));
  EXPECT_EQ(f->BufferCapacity(), 6);
  EXPECT_EQ(f->BufferCount(), 3);
  // Nothing was written behind the program's back.
  EXPECT_EQ(uint8_t(FileBytes()[kHeader]), 1);
}

TEST_F(BufferedFileTest, AFullExclusiveCacheWritesItsDirtyBuffersInsteadOfGrowing) {
  auto f = MakeFile(6, 2, true);
  for (int32_t n : {1, 2}) {
    TBuffer* b = Get(*f, n);
    b->CopyBuffer(BlockBytes(50).data());
    f->PutBuffer(b);
  }
  f->PutBuffer(Get(*f, 3));
  EXPECT_EQ(f->BufferCapacity(), 2);
  EXPECT_EQ(f->Writes(), 1);
  EXPECT_EQ(uint8_t(FileBytes()[kHeader]), 50);
}

TEST_F(BufferedFileTest, CleanLeastRecentlyUsedBuffersAreRecycled) {
  auto f = MakeFile(6, 3, false);
  TBuffer* held = Get(*f, 1);
  for (int32_t n : {2, 3, 4}) f->PutBuffer(Get(*f, n));
  // Block 2 was the least recently used free buffer; the held block 1 stays.
  EXPECT_EQ(f->RecencyOrder(), (std::vector<int32_t>{4, 3, 1}));
  EXPECT_EQ(f->BufferCapacity(), 3);
  f->PutBuffer(held);
}

TEST_F(BufferedFileTest, ShortReadsAreErrorsUnlessTheFileWasWrittenExclusively) {
  struct Case {
    bool exclusive;
    bool in_transaction;
    bool written_to;
    uint16_t code;
  };
  const Case cases[] = {
      {false, false, false, KURA_READERR}, {false, false, true, KURA_READERR},
      {true, false, false, KURA_READERR},  {true, false, true, 0},
      {false, true, true, 0},
  };
  for (const Case& c : cases) {
    auto f = MakeFile(4, 8, c.exclusive);
    // Another program cut the file behind our back.
    {
      TEngineFileLock lock(*f);
      f->Seek(kHeader + 2 * kBlock, 0);
      f->Write(nullptr, 0);
    }
    owner_.in_transaction = c.in_transaction;
    owner_.written_to = c.written_to;
    f->SetReadAheadBuffers(4);
    owner_.read_ahead_estimate = 4;
    uint16_t code = CodeOf([&] { f->PutBuffer(Get(*f, 1, true, 1)); });
    EXPECT_EQ(code, c.code) << c.exclusive << c.in_transaction << c.written_to;
    // Block 3 lay past the end: it was not produced.
    if (c.code == 0) {
      EXPECT_EQ(CodeOf([&] { Get(*f, 3); }), KURA_FILECORRUPT);
    }
    f->CloseFile();
  }
  owner_.in_transaction = false;
}

TEST_F(BufferedFileTest, AdjustBuffersShrinksToTheLimitKeepingDirtyAndHeldBuffers) {
  auto f = MakeFile(8, 2, false);
  for (int32_t n : {1, 2}) {
    TBuffer* b = Get(*f, n);
    b->CopyBuffer(BlockBytes(70).data());
    f->PutBuffer(b);
  }
  TBuffer* held = Get(*f, 3);
  for (int32_t n : {4, 5, 6}) f->PutBuffer(Get(*f, n));
  ASSERT_GT(f->BufferCount(), 2);
  f->AdjustBuffers();
  // Dirty 1 and 2 and held 3 stay, so the capacity is what is left.
  EXPECT_EQ(f->BufferCount(), 3);
  EXPECT_EQ(f->BufferCapacity(), 3);
  f->PutBuffer(held);
  EXPECT_TRUE(f->FlushBuffers());
  f->AdjustBuffers();
  EXPECT_EQ(f->BufferCount(), 2);
  EXPECT_EQ(f->BufferCapacity(), 2);
}

TEST_F(BufferedFileTest, HeldBuffersSurviveDiscardingTheCache) {
  auto f = MakeFile(4, 8, false);
  TBuffer* held = Get(*f, 2);
  f->FreeBuffers();
  EXPECT_EQ(f->BufferCount(), 0);
  EXPECT_EQ(held->Data()[0], 2);  // still a valid object
  f->PutBuffer(held);
  // The next read goes to the file again.
  int32_t reads = f->Reads();
  f->PutBuffer(Get(*f, 2));
  EXPECT_EQ(f->Reads(), reads + 1);
}

TEST_F(BufferedFileTest, AQueuedBufferStillHeldAtFlushIsCorruption) {
  auto f = MakeFile(4, 8, false);
  TBuffer* b = Get(*f, 2);
  b->CopyBuffer(BlockBytes(9).data());
  f->PutBuffer(b);
  b = Get(*f, 2);
  EXPECT_EQ(CodeOf([&] { f->FlushBuffers(); }), KURA_FILECORRUPT);
  EXPECT_EQ(f->QueuedCount(), 0);  // the queue is emptied on errors too
  f->PutBuffer(b);
}

TEST_F(BufferedFileTest, ClosingDiscardsDirtyBuffers) {
  auto f = MakeFile(3, 8, false);
  TBuffer* b = Get(*f, 1);
  b->CopyBuffer(BlockBytes(77).data());
  f->PutBuffer(b);
  f->CloseFile();
  EXPECT_EQ(uint8_t(FileBytes()[kHeader]), 1);
}

TEST_F(BufferedFileTest, ClearHeaderTruncatesToTheHeader) {
  auto f = MakeFile(3, 8, false);
  f->ClearHeader();
  EXPECT_EQ(FileBytes().size(), size_t(kHeader));
  EXPECT_TRUE(owner_.written_to);
}

TEST_F(BufferedFileTest, ErrorsNameTheTableAndItsDatabase) {
  auto f = MakeFile(3, 8, false);
  owner_.table_name = "SORAMI";
  owner_.database_name = "/db";
  try {
    Get(*f, 0);
    ADD_FAILURE();
  } catch (const EKuraEngineError& e) {
    EXPECT_NE(std::string(e.what()).find("'SORAMI'"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace kura
