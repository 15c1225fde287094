#include "engine/blowfish.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

struct VectorCase {
  const char* key;
  const char* plain;
  const char* cipher;
};

// From the published table of test vectors for the algorithm.
const VectorCase kPublishedVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    // Keys of other lengths (prefixes of one long key).
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F", "FEDCBA9876543210", "93142887EE3BE15C"},
};

TEST(BlowfishTest, EnciphersAndDeciphersThePublishedVectors) {
  for (const auto& c : kPublishedVectors) {
    std::vector<uint8_t> key = FromHex(c.key);
    kura::TBlowfish cipher(key.data(), key.size());
    std::vector<uint8_t> block = FromHex(c.plain);
    cipher.EncryptBlock(block.data());
    EXPECT_EQ(block, FromHex(c.cipher)) << "key " << c.key << ", plaintext " << c.plain;
    cipher.DecryptBlock(block.data());
    EXPECT_EQ(block, FromHex(c.plain)) << "key " << c.key << ", ciphertext " << c.cipher;
  }
}

TEST(BlowfishTest, RefusesKeysOfNoBytesOrMoreThanThePArray) {
  uint8_t key[73] = {};
  EXPECT_THROW(kura::TBlowfish(key, 0), std::invalid_argument);
  EXPECT_THROW(kura::TBlowfish(key, 73), std::invalid_argument);
  EXPECT_THROW(kura::TBlowfish(nullptr, 8), std::invalid_argument);
  EXPECT_NO_THROW(kura::TBlowfish(key, 72));
}

}  // namespace
