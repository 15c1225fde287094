#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/blowfish.h"
#include "engine/core/crypto_context.h"
#include "engine/core/data_engine.h"
#include "engine/md5.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes KeyOf(const std::string& password) {
  Bytes key(16);
  kura::MD5Digest(password).ToBytes(key.data());
  return key;
}

// One unit of 19 bytes: two chained blocks from the zero vector, the last 3 bytes in clear.
TEST(CryptoTest, AUnitIsChainedFromTheZeroVectorAndItsRemainderStaysInClear) {
  kura::TDataEngine engine;
  Bytes key = KeyOf("Kamoku#2024");
  auto context = engine.CryptoInit(key.data(), key.size());
  Bytes plain(19);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + 1);

  kura::TBlowfish cipher(key.data(), key.size());
  Bytes expected = plain;
  cipher.EncryptBlock(expected.data());  // C1 = E(P1 xor 0)
  for (int i = 0; i < 8; ++i) expected[8 + i] ^= expected[i];
  cipher.EncryptBlock(expected.data() + 8);  // C2 = E(P2 xor C1)

  Bytes unit = plain;
  engine.Encrypt(*context, unit.data(), unit.size());
  EXPECT_EQ(unit, expected);

  // The chain restarts for every unit: the same unit enciphers the same way again.
  Bytes again = plain;
  engine.Encrypt(*context, again.data(), again.size());
  EXPECT_EQ(again, expected);

  engine.Decrypt(*context, unit.data(), unit.size());
  EXPECT_EQ(unit, plain);

  Bytes short_unit = {1, 2, 3, 4, 5, 6, 7};
  engine.Encrypt(*context, short_unit.data(), short_unit.size());
  EXPECT_EQ(short_unit, (Bytes{1, 2, 3, 4, 5, 6, 7}));
}

// The password check value of a table: the key digest enciphered with itself.
TEST(CryptoTest, TheCheckValueDeciphersToTheDigestOnlyWithTheRightPassword) {
  kura::TDataEngine engine;
  Bytes key = KeyOf("Secret");
  Bytes check = key;
  engine.Encrypt(*engine.CryptoInit(key.data(), key.size()), check.data(), check.size());
  EXPECT_NE(check, key);

  for (const char* candidate : {"Secret", "secret", "Secret "}) {
    Bytes candidate_key = KeyOf(candidate);
    Bytes copy = check;
    engine.Decrypt(*engine.CryptoInit(candidate_key.data(), 16), copy.data(), copy.size());
    EXPECT_EQ(copy == candidate_key, std::string(candidate) == "Secret") << candidate;
  }
}

// A host cipher that counts resets and can fail on a chosen block.
class CountingContext : public kura::TCryptoContext {
 public:
  void EncryptBlock(uint8_t block[8]) override {
    if (++blocks == fail_at) throw std::runtime_error("cipher failure");
    for (int i = 0; i < 8; ++i) block[i] ^= 0xFF;
  }
  void DecryptBlock(uint8_t block[8]) override { EncryptBlock(block); }
  void Reset() override { ++resets; }

  int blocks = 0;
  int resets = 0;
  int fail_at = -1;
};

TEST(CryptoTest, AHostCipherIsUsedAndResetAfterEveryUnitAlsoWhenItFails) {
  kura::TDataEngine engine;
  auto host = std::make_shared<CountingContext>();
  engine.SetCryptoInitHook([&](const uint8_t*, size_t) { return host; });
  uint8_t key[16] = {};
  std::shared_ptr<kura::TCryptoContext> context = engine.CryptoInit(key, sizeof key);
  ASSERT_EQ(context.get(), host.get());

  Bytes unit(24, 0x0F);
  engine.Encrypt(*context, unit.data(), unit.size());
  EXPECT_EQ(unit, Bytes(24, 0xF0));
  EXPECT_EQ(host->blocks, 3);
  EXPECT_EQ(host->resets, 1);

  host->blocks = 0;
  host->fail_at = 2;
  EXPECT_THROW(engine.Decrypt(*context, unit.data(), unit.size()), std::runtime_error);
  EXPECT_EQ(host->resets, 2);
}

TEST(CryptoTest, TheBuiltInCipherRefusesAnEmptyKey) {
  kura::TDataEngine engine;
  uint8_t key[1] = {};
  EXPECT_THROW(engine.CryptoInit(key, 0), std::invalid_argument);
}

}  // namespace
