#include "engine/md5.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string Hex(const kura::TMD5Digest& digest) {
  uint8_t bytes[16];
  digest.ToBytes(bytes);
  std::string hex;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  return hex;
}

struct DigestCase {
  const char* message;
  const char* digest;
};

// The test suite of RFC 1321.
const DigestCase kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(MD5Test, MatchesTheRfc1321Suite) {
  for (const auto& c : kRfc1321Suite) {
    EXPECT_EQ(Hex(kura::MD5Digest(std::string(c.message))), c.digest) << '"' << c.message << '"';
  }
}

// Feeding a message in pieces of every size gives the digest of the whole, including pieces
// that straddle the 64-byte blocks and the padding boundary at 56 bytes.
TEST(MD5Test, PiecewiseUpdatesMatchOneShot) {
  std::string message;
  for (int i = 0; i < 300; ++i) message += static_cast<char>('a' + i % 26);
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
    std::string part = message.substr(0, length);
    kura::TMD5Digest whole = kura::MD5Digest(part);
    for (size_t piece = 1; piece <= 70; ++piece) {
      kura::TMD5 md5;
      for (size_t at = 0; at < part.size(); at += piece) {
        md5.Update(part.data() + at, std::min(piece, part.size() - at));
      }
      ASSERT_EQ(md5.Final(), whole) << "length " << length << ", pieces of " << piece;
    }
  }
}

// The digest's integers are its bytes read little-endian, four at a time.
TEST(MD5Test, DigestIntegersAreLittleEndianWords) {
  kura::TMD5Digest digest = kura::MD5Digest(std::string(""));  // d41d8cd9 8f00b204 ...
  EXPECT_EQ(static_cast<uint32_t>(digest.A), 0xd98c1dd4u);
  EXPECT_EQ(static_cast<uint32_t>(digest.B), 0x04b2008fu);
  uint8_t bytes[16];
  digest.ToBytes(bytes);
  EXPECT_EQ(kura::TMD5Digest::FromBytes(bytes), digest);
}

}  // namespace
