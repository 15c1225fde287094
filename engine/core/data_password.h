// TDataPassword: one table password of a session with its key: the MD5 digest of the password's
// characters, and the cipher context prepared from it through the engine (the built-in cipher
// or the host's hook).
//
// A table's check value (stored in its data header) is the digest enciphered with the key it
// defines; a password fits a table when deciphering the check value gives its own digest.
// Copies share the cipher context: a table opened with a session password holds a copy, and
// the context stays alive as long as any copy does. The engine must outlive the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/ansi_string.h"
#include "engine/md5.h"

namespace kura {

class TCryptoContext;
class TDataEngine;
class TDataSession;

class TDataPassword {
 public:
  TDataPassword(TDataEngine* Engine, TDataSession* Owner);
  TDataPassword(const TDataPassword&) = delete;
  TDataPassword& operator=(const TDataPassword&) = delete;

  // Stores the text, computes the digest and prepares the cipher context.
  void Initialize(const AnsiString& Password);
  // Whether the 16-byte check value deciphers to this password's digest.
  bool CompareDigest(const uint8_t Value[16]) const;
  // Case-sensitive.
  bool ComparePassword(const AnsiString& Value) const { return Value == FPassword; }
  // Takes over the text, the digest and (shared) the cipher context of another password.
  void Copy(const TDataPassword& Value);
  // The check value an encrypted table stores: the digest enciphered with this key.
  void GetCheckValue(uint8_t Value[16]) const;

  // One unit in place with this key (whole 8-byte blocks; a remainder stays in clear).
  void Encrypt(uint8_t* Buffer, size_t BufferSize) const;
  void Decrypt(uint8_t* Buffer, size_t BufferSize) const;

  const AnsiString& Password() const { return FPassword; }
  const TMD5Digest& Digest() const { return FDigest; }
  TDataSession* DataSession() const { return FDataSession; }

 private:
  TDataEngine* FDataEngine;
  TDataSession* FDataSession;
  AnsiString FPassword;
  TMD5Digest FDigest;
  std::shared_ptr<TCryptoContext> FData;
};

}  // namespace kura
