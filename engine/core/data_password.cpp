#include "engine/core/data_password.h"

#include <cstring>

#include "engine/core/crypto_context.h"
#include "engine/core/data_engine.h"

namespace kura {

TDataPassword::TDataPassword(TDataEngine* Engine, TDataSession* Owner)
    : FDataEngine(Engine), FDataSession(Owner) {}

void TDataPassword::Initialize(const AnsiString& Password) {
  TMD5Digest digest = MD5Digest(Password);
  uint8_t key[16];
  digest.ToBytes(key);
  FData = FDataEngine->CryptoInit(key, sizeof key);
  FPassword = Password;
  FDigest = digest;
}

bool TDataPassword::CompareDigest(const uint8_t Value[16]) const {
  if (!FData) return false;
  uint8_t copy[16];
  std::memcpy(copy, Value, sizeof copy);
  Decrypt(copy, sizeof copy);
  uint8_t digest[16];
  FDigest.ToBytes(digest);
  return std::memcmp(copy, digest, sizeof copy) == 0;
}

void TDataPassword::Copy(const TDataPassword& Value) {
  FPassword = Value.FPassword;
  FDigest = Value.FDigest;
  FData = Value.FData;
}

void TDataPassword::GetCheckValue(uint8_t Value[16]) const {
  FDigest.ToBytes(Value);
  Encrypt(Value, 16);
}

void TDataPassword::Encrypt(uint8_t* Buffer, size_t BufferSize) const {
  if (FData) FDataEngine->Encrypt(*FData, Buffer, BufferSize);
}

void TDataPassword::Decrypt(uint8_t* Buffer, size_t BufferSize) const {
  if (FData) FDataEngine->Decrypt(*FData, Buffer, BufferSize);
}

}  // namespace kura
