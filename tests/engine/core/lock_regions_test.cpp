#include "engine/core/lock_regions.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_engine.h"

namespace {

using kura::TDataEngine;
using kura::TLockRegion;

struct RegionCase {
  std::string name;
  TLockRegion (*region)(const TDataEngine&);
  TLockRegion normal;
  TLockRegion large;
};

const std::vector<RegionCase>& Cases() {
  using namespace kura;
  static const std::vector<RegionCase> cases = {
      {"lock-file write", LockFileWriteRegion, {0xFFFF0000, 65535}, {0x7FFFFFFFFFFF0000, 65535}},
      {"lock-file read slot 1", [](const TDataEngine& e) { return LockFileReadSlot(e, 1); },
       {0xFFFF0000, 1}, {0x7FFFFFFFFFFF0000, 1}},
      {"lock-file read slot 65534",
       [](const TDataEngine& e) { return LockFileReadSlot(e, 65534); },
       {0xFFFFFFFD, 1}, {0x7FFFFFFFFFFFFFFD, 1}},
      {"table 1 write", [](const TDataEngine& e) { return TableWriteRegion(e, 1); },
       {0xFFFDF001, 65535}, {0x7FFFFFFFFFFDF001, 65535}},
      {"table 4096 write", [](const TDataEngine& e) { return TableWriteRegion(e, 4096); },
       {0xEFFF0000, 65535}, {0x7FFFFFFFEFFF0000, 65535}},
      {"table 1 read slot 1", [](const TDataEngine& e) { return TableReadSlot(e, 1, 1); },
       {0xFFFDF001, 1}, {0x7FFFFFFFFFFDF001, 1}},
      {"table 2 read slot 65534", [](const TDataEngine& e) { return TableReadSlot(e, 2, 65534); },
       {0xFFFDEFFF, 1}, {0x7FFFFFFFFFFDEFFF, 1}},
      {"table 1 transaction", [](const TDataEngine& e) { return TableTransByte(e, 1); },
       {0xFFFEFFFF, 1}, {0x7FFFFFFFFFFEFFFF, 1}},
      {"table 4096 transaction", [](const TDataEngine& e) { return TableTransByte(e, 4096); },
       {0xFFFEF000, 1}, {0x7FFFFFFFFFFEF000, 1}},
      {"directory transaction", DirectoryTransRegion, {0xFFFEF000, 4096},
       {0x7FFFFFFFFFFEF000, 4096}},
      {"directory transaction-write", DirectoryTransWriteRegion, {0xEFFF0000, 268431360},
       {0x7FFFFFFFEFFF0000, 268431360}},
      {"record 1", [](const TDataEngine& e) { return RecordLockByte(e, 1); }, {0xFFFFFFFE, 1},
       {0x7FFFFFFFFFFFFFFE, 1}},
      {"table lock", TableLockRegion, {4094967295, 200000000},
       {0x7FFFFFFFC46535FF, 1000000000}},
      {"semaphore 1", [](const TDataEngine& e) { return SemaphoreLockByte(e, 1); },
       {4094967294, 1}, {0x7FFFFFFFC46535FE, 1}},
      {"semaphore 1024", [](const TDataEngine& e) { return SemaphoreLockByte(e, 1024); },
       {4094966271, 1}, {0x7FFFFFFFC46531FF, 1}},
  };
  return cases;
}

class LockRegionsTest : public testing::TestWithParam<bool> {};

// The offsets are what the other programs lock: each is checked against its worked value.
TEST_P(LockRegionsTest, EveryRegionLiesAtItsProtocolOffset) {
  TDataEngine engine;
  engine.SetLargeFileSupport(GetParam());
  engine.Initialize("kura.lck");
  for (const RegionCase& c : Cases()) {
    TLockRegion expected = GetParam() ? c.large : c.normal;
    TLockRegion actual = c.region(engine);
    EXPECT_EQ(actual.offset, expected.offset) << c.name;
    EXPECT_EQ(actual.length, expected.length) << c.name;
  }
  // A table's read slots lie inside its write region, so a writer excludes every reader; the
  // last slot is the region's second-to-last byte.
  for (int32_t table : {1, 2, 4096}) {
    TLockRegion write = kura::TableWriteRegion(engine, table);
    EXPECT_EQ(kura::TableReadSlot(engine, table, 1).offset, write.offset);
    EXPECT_EQ(kura::TableReadSlot(engine, table, 65534).offset, write.offset + write.length - 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Profiles, LockRegionsTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "LargeFile" : "Normal";
                         });

}  // namespace
