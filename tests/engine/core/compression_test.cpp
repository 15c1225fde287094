#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;
using kura::TDataEngine;

Bytes Text(size_t size) {
  const std::string kWords = "cash book entry for the month of April, account 4110; ";
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(kWords[i % kWords.size()]);
  return bytes;
}

Bytes Random(size_t size) {
  std::mt19937 random(7);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

uint16_t ErrorCodeOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const kura::EKuraEngineError& e) {
    return e.ErrorCode();
  }
  return kura::KURA_NONE;
}

struct RoundTripCase {
  const char* name;
  Bytes data;
  int level;
};

// Round trips of every kind of input; the large ones inflate past the first 64 KB output area,
// the random one deflates to more than its own size.
TEST(CompressionTest, DecompressReturnsTheCompressedBytes) {
  const RoundTripCase kCases[] = {
      {"empty", {}, 6},
      {"one byte", {0x41}, 1},
      {"text", Text(1000), 9},
      {"zeros past the first output area", Bytes(300000, 0), 1},
      {"text past the first output area", Text(200000), 6},
      {"random", Random(100000), 9},
  };
  TDataEngine engine;
  for (const auto& c : kCases) {
    Bytes compressed, restored;
    engine.Compress(c.data.data(), c.data.size(), c.level, &compressed);
    // Any zlib reader accepts the stream.
    Bytes check(c.data.size() + 1);
    uLongf check_size = check.size();
    ASSERT_EQ(uncompress(check.data(), &check_size, compressed.data(), compressed.size()), Z_OK)
        << c.name;
    EXPECT_EQ(check_size, c.data.size()) << c.name;
    engine.Decompress(compressed.data(), compressed.size(), &restored);
    EXPECT_EQ(restored, c.data) << c.name;
  }
}

TEST(CompressionTest, FailuresRaiseTheCompressionCodes) {
  TDataEngine engine;
  Bytes data = Text(5000), compressed, out;
  engine.Compress(data.data(), data.size(), 6, &compressed);
  Bytes damaged = compressed;
  for (size_t i = 10; i < 30; ++i) damaged[i] ^= 0x5A;
  Bytes truncated(compressed.begin(), compressed.begin() + compressed.size() / 2);
  Bytes garbage = {'h', 'e', 'l', 'l', 'o'};
  Bytes bad_checksum = compressed;
  bad_checksum.back() ^= 1;

  struct Case {
    const char* name;
    std::function<void()> call;
    uint16_t code;
  };
  const Case kCases[] = {
      {"level out of range", [&] { engine.Compress(data.data(), data.size(), 12, &out); },
       kura::KURA_COMPRESS},
      {"damaged", [&] { engine.Decompress(damaged.data(), damaged.size(), &out); },
       kura::KURA_UNCOMPRESS},
      {"truncated", [&] { engine.Decompress(truncated.data(), truncated.size(), &out); },
       kura::KURA_UNCOMPRESS},
      {"not a stream", [&] { engine.Decompress(garbage.data(), garbage.size(), &out); },
       kura::KURA_UNCOMPRESS},
      {"bad checksum", [&] { engine.Decompress(bad_checksum.data(), bad_checksum.size(), &out); },
       kura::KURA_UNCOMPRESS},
      {"no input", [&] { engine.Decompress(nullptr, 0, &out); }, kura::KURA_UNCOMPRESS},
      {"larger than allowed",
       [&] { engine.Decompress(compressed.data(), compressed.size(), &out, data.size() - 1); },
       kura::KURA_UNCOMPRESS},
  };
  for (const auto& c : kCases) EXPECT_EQ(ErrorCodeOf(c.call), c.code) << c.name;
  EXPECT_EQ(engine.GetErrorString(kura::KURA_UNCOMPRESS), "Error uncompressing data");

  engine.Decompress(compressed.data(), compressed.size(), &out, data.size());
  EXPECT_EQ(out, data) << "exactly the allowed size is fine";
}

TEST(CompressionTest, InstalledHooksReplaceZlibAndTheirFailuresBecomeTheCodes) {
  TDataEngine engine;
  int levels_seen = -1;
  engine.SetCompressHook([&](const uint8_t* in, size_t n, int level, Bytes* out) {
    levels_seen = level;
    if (n == 0) throw std::runtime_error("nothing to do");
    out->assign(in, in + n);
    std::reverse(out->begin(), out->end());
  });
  engine.SetDecompressHook([](const uint8_t* in, size_t n, Bytes* out) {
    if (n == 3) throw 3;
    out->assign(in, in + n);
    std::reverse(out->begin(), out->end());
  });
  Bytes data = {1, 2, 3, 4}, out, back;
  engine.Compress(data.data(), data.size(), 4, &out);
  EXPECT_EQ(out, (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(levels_seen, 4);
  engine.Decompress(out.data(), out.size(), &back);
  EXPECT_EQ(back, data);

  try {
    engine.Compress(data.data(), 0, 4, &out);
    FAIL() << "no error";
  } catch (const kura::EKuraEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), kura::KURA_COMPRESS);
    EXPECT_EQ(e.ErrorMessage(), "nothing to do");
  }
  EXPECT_EQ(ErrorCodeOf([&] { engine.Decompress(data.data(), 3, &out); }), kura::KURA_UNCOMPRESS);
}

}  // namespace
