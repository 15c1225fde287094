// TDataEngine: the engine object. It holds the engine settings and the lock offsets derived from
// them, the file registry, the locale list, the error machinery (the last error's details, the
// mapping of OS errors, the message table, raising EKuraEngineError), the hooks a host may
// install with their built-in defaults (cipher, compression, full-text filters), and the list of
// sessions.
//
// Ownership: whoever creates a TDataEngine owns it (the dataset layer's engine instance for the
// program; tests create their own, independent ones). Every engine object receives its engine
// as a pointer when it is created and must not outlive it. SetDataEngine registers the engine
// that GetDataEngine returns to code that has no engine at hand; it does not take ownership.
//
// Threads: the settings are written before Initialize and only read afterwards. The error
// fields, the locale list and each registry list have their own critical sections; RaiseError
// records the details and builds the exception under the error section, so that the details of
// two threads' errors never mix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/ansi_string.h"
#include "engine/core/crypto_context.h"
#include "engine/core/data_locale.h"
#include "engine/core/error_codes.h"
#include "engine/core/error_context.h"
#include "engine/core/file_registry.h"
#include "engine/core/text_index_words.h"
#include "engine/md5.h"
#include "platform/threads.h"

namespace kura {

class TBaseFile;
class TDataSession;

class TDataEngine {
 public:
  // Host hooks. Each replaces a built-in default when set; a captured object takes the place of
  // the client data that the hooks receive.
  //
  // Returns the cipher context for a key; its virtuals are then the block and reset hooks.
  using TCryptoInitHook =
      std::function<std::shared_ptr<TCryptoContext>(const uint8_t* key, size_t key_length)>;
  // Fill *out with the whole result; throw on failure.
  using TCompressHook = std::function<void(const uint8_t* in, size_t in_bytes, int level,
                                           std::vector<uint8_t>* out)>;
  using TDecompressHook =
      std::function<void(const uint8_t* in, size_t in_bytes, std::vector<uint8_t>* out)>;
  // Returns the text to index in place of `text`.
  using TTextIndexFilterHook = std::function<AnsiString(
      const AnsiString& table_name, const AnsiString& field_name, const AnsiString& text)>;
  // Returns whether `token` is indexed.
  using TTextIndexTokenFilterHook = std::function<bool(
      const AnsiString& table_name, const AnsiString& field_name, const AnsiString& token)>;

  // A decompressed value is never larger than this (the largest BLOB a record can describe).
  static constexpr size_t kMaxDecompressedSize = 0x7FFFFFFF;

  TDataEngine();
  ~TDataEngine();
  TDataEngine(const TDataEngine&) = delete;
  TDataEngine& operator=(const TDataEngine&) = delete;

  // ---- Life cycle

  // Builds the locale list, seeds the random generator, stores LockFile as LockFileName, sets the
  // limits and lock offsets from LargeFileSupport and marks the engine initialised.
  void Initialize(const AnsiString& LockFile);
  // Frees every session (closing their directories and tables), then every registered file
  // object and the locales, and clears the initialised mark.
  void Reset();
  bool Initialized() const { return FInitialized; }
  bool IsServer() const { return FIsServer; }
  void SetIsServer(bool value) { FIsServer = value; }
  // The upper/lower-case mapping of the Windows 9x platform; never on this system.
  bool IsWindows95() const { return FIsWindows95; }

  // ---- Sessions

  // A new session, owned by the engine until CloseDataSession (or Reset) frees it. Thread-safe.
  TDataSession* StartDataSession(const AnsiString& Name = {});
  // Frees the session (its directories and tables close); an unknown session is ignored.
  void CloseDataSession(TDataSession* Value);
  size_t DataSessionCount() const;

  // ---- Settings

  // The engine signature: empty for the standard signature, whose digest is
  // StandardSignatureDigest(); any other text has the MD5 digest of its characters.
  const AnsiString& Signature() const { return FSignature; }
  void SetSignature(const AnsiString& Value);
  const TMD5Digest& SignatureDigest() const { return FSignatureDigest; }
  static TMD5Digest StandardSignatureDigest();

  const AnsiString& DataExtension() const { return FDataExtension; }
  void SetDataExtension(const AnsiString& v) { FDataExtension = v; }
  const AnsiString& IndexExtension() const { return FIndexExtension; }
  void SetIndexExtension(const AnsiString& v) { FIndexExtension = v; }
  const AnsiString& BlobExtension() const { return FBlobExtension; }
  void SetBlobExtension(const AnsiString& v) { FBlobExtension = v; }
  const AnsiString& DataBackupExtension() const { return FDataBackupExtension; }
  void SetDataBackupExtension(const AnsiString& v) { FDataBackupExtension = v; }
  const AnsiString& IndexBackupExtension() const { return FIndexBackupExtension; }
  void SetIndexBackupExtension(const AnsiString& v) { FIndexBackupExtension = v; }
  const AnsiString& BlobBackupExtension() const { return FBlobBackupExtension; }
  void SetBlobBackupExtension(const AnsiString& v) { FBlobBackupExtension = v; }
  const AnsiString& DataUpgradeExtension() const { return FDataUpgradeExtension; }
  void SetDataUpgradeExtension(const AnsiString& v) { FDataUpgradeExtension = v; }
  const AnsiString& IndexUpgradeExtension() const { return FIndexUpgradeExtension; }
  void SetIndexUpgradeExtension(const AnsiString& v) { FIndexUpgradeExtension = v; }
  const AnsiString& BlobUpgradeExtension() const { return FBlobUpgradeExtension; }
  void SetBlobUpgradeExtension(const AnsiString& v) { FBlobUpgradeExtension = v; }
  const AnsiString& DataTempExtension() const { return FDataTempExtension; }
  void SetDataTempExtension(const AnsiString& v) { FDataTempExtension = v; }
  const AnsiString& IndexTempExtension() const { return FIndexTempExtension; }
  void SetIndexTempExtension(const AnsiString& v) { FIndexTempExtension = v; }
  const AnsiString& BlobTempExtension() const { return FBlobTempExtension; }
  void SetBlobTempExtension(const AnsiString& v) { FBlobTempExtension = v; }
  bool TempTablesInDataDirectory() const { return FTempTablesInDataDirectory; }
  void SetTempTablesInDataDirectory(bool v) { FTempTablesInDataDirectory = v; }

  int32_t MaxDataBufferSize() const { return FMaxDataBufferSize; }
  void SetMaxDataBufferSize(int32_t v) { FMaxDataBufferSize = v; }
  int32_t MaxDataBufferCount() const { return FMaxDataBufferCount; }
  void SetMaxDataBufferCount(int32_t v) { FMaxDataBufferCount = v; }
  int32_t MaxIndexBufferSize() const { return FMaxIndexBufferSize; }
  void SetMaxIndexBufferSize(int32_t v) { FMaxIndexBufferSize = v; }
  int32_t MaxIndexBufferCount() const { return FMaxIndexBufferCount; }
  void SetMaxIndexBufferCount(int32_t v) { FMaxIndexBufferCount = v; }
  int32_t MaxBlobBufferSize() const { return FMaxBlobBufferSize; }
  void SetMaxBlobBufferSize(int32_t v) { FMaxBlobBufferSize = v; }
  int32_t MaxBlobBufferCount() const { return FMaxBlobBufferCount; }
  void SetMaxBlobBufferCount(int32_t v) { FMaxBlobBufferCount = v; }
  uint8_t FilterIndexThreshhold() const { return FFilterIndexThreshhold; }
  void SetFilterIndexThreshhold(uint8_t v) { FFilterIndexThreshhold = v; }

  uint16_t ReadLockWaitTime() const { return FReadLockWaitTime; }
  void SetReadLockWaitTime(uint16_t v) { FReadLockWaitTime = v; }
  uint16_t ReadLockRetries() const { return FReadLockRetries; }
  void SetReadLockRetries(uint16_t v) { FReadLockRetries = v; }
  uint16_t WriteLockWaitTime() const { return FWriteLockWaitTime; }
  void SetWriteLockWaitTime(uint16_t v) { FWriteLockWaitTime = v; }
  uint16_t WriteLockRetries() const { return FWriteLockRetries; }
  void SetWriteLockRetries(uint16_t v) { FWriteLockRetries = v; }
  uint16_t TransLockWaitTime() const { return FTransLockWaitTime; }
  void SetTransLockWaitTime(uint16_t v) { FTransLockWaitTime = v; }
  uint16_t TransLockRetries() const { return FTransLockRetries; }
  void SetTransLockRetries(uint16_t v) { FTransLockRetries = v; }
  uint16_t MaxReadLockCount() const { return FMaxReadLockCount; }
  void SetMaxReadLockCount(uint16_t v) { FMaxReadLockCount = v; }

  // Takes effect at the next Initialize, as does LockFileName.
  bool LargeFileSupport() const { return FLargeFileSupport; }
  void SetLargeFileSupport(bool v) { FLargeFileSupport = v; }
  const AnsiString& LockFileName() const { return FLockFileName; }
  void SetLockFileName(const AnsiString& v) { FLockFileName = v; }

  // ---- Limits and lock offsets (the normal profile until Initialize says otherwise)

  int64_t MaximumFileSize() const { return FMaximumFileSize; }
  int32_t MaximumNumRecords() const { return FMaximumNumRecords; }
  int64_t FileLockByte() const { return FFileLockByte; }
  int64_t FileLockRange() const { return FFileLockRange; }
  int64_t TransLockByte() const { return FTransLockByte; }
  int64_t TransLockRange() const { return FTransLockRange; }
  int64_t ReadLockByte() const { return FReadLockByte; }
  int64_t ReadLockRange() const { return FReadLockRange; }
  int64_t WriteLockByte() const { return FWriteLockByte; }
  int64_t WriteLockRange() const { return FWriteLockRange; }
  int64_t TransWriteLockByte() const { return FTransWriteLockByte; }
  int64_t TransWriteLockRange() const { return FTransWriteLockRange; }
  int64_t RecordLockByte() const { return FRecordLockByte; }
  int64_t RecordLockRange() const { return FRecordLockRange; }
  int64_t SemaphoreLockByte() const { return FSemaphoreLockByte; }
  int64_t SemaphoreLockRange() const { return FSemaphoreLockRange; }

  // ---- Table file versions (the version byte of each table file header)

  static bool ValidVersion(uint8_t VersionByte) { return VersionByte <= 6; }
  // "1.00" ... "4.00" for 0 to 6, else empty.
  static AnsiString VersionToStr(uint8_t VersionByte);
  static constexpr uint8_t kCurrentVersion = 6;

  // ---- Locales

  // True for 0 and for an identifier the system reports as installed.
  bool IsValidLocale(int32_t LocaleID) const;
  // A locale constant is a locale's name, compared without regard to case.
  bool IsValidLocaleConstant(const AnsiString& LocaleConstant) const;
  int32_t ConvertLocaleConstantToID(const AnsiString& LocaleConstant) const;  // 0 when unknown
  AnsiString ConvertIDToLocaleConstant(int32_t LocaleID) const;  // empty when unknown
  // Every locale's name with its identifier, in list order.
  void GetLocaleNames(std::vector<std::pair<AnsiString, int32_t>>* List) const;
  // The locale of an identifier, "ANSI Standard" for an unknown one; never null. The object (and
  // the character map that it will carry) is the engine's and lives until Reset.
  TDataLocale* GetLocaleCharMap(int32_t LocaleID);

  // ---- Errors

  // Maps platform::LastOsError() to an engine code, records the OS's number as the pending OS
  // error number for the next RaiseError, and returns the code.
  int32_t OSError();
  static uint16_t MapOSError(int OSErrorNumber);
  // The socket error number that the next RaiseError carries (remote sessions).
  void SetPendingSocketError(int32_t value);

  // Records the details as the last error and throws EKuraEngineError for the code.
  [[noreturn]] void RaiseError(uint16_t ErrorCode, const AnsiString& ErrorRemoteName,
                               const AnsiString& ErrorUserName,
                               const AnsiString& ErrorDatabaseName,
                               const AnsiString& ErrorTableName, const AnsiString& ErrorFieldName,
                               const AnsiString& ErrorIndexName, const AnsiString& ErrorMessage,
                               const AnsiString& ErrorProcedureName,
                               const AnsiString& ErrorScheduledEventName, int32_t ErrorLine,
                               int32_t ErrorColumn);
  [[noreturn]] void RaiseError(uint16_t ErrorCode, const TErrorContext& context = {});

  // The message of a code filled from the last-error fields, at most 254 characters; "An unknown
  // error occurred" for an unknown code.
  AnsiString GetErrorString(uint16_t ErrorCode) const;
  // The constant name of a code ("KURA_KEYVIOL"), empty for codes without one.
  static AnsiString TranslateErrorConstant(uint16_t Value);
  // The code of an engine error; 11047 for any other exception.
  static uint16_t ConvertExceptionToCode(const std::exception& E);
  static uint16_t ConvertExceptionToCode(const std::exception_ptr& E);

  // The last error's details (read them under the error section, as EKuraEngineError does).
  uint16_t LastErrorNumber() const { return FLastErrorNumber; }
  int32_t LastOSErrorNumber() const { return FLastOSErrorNumber; }
  int32_t LastSocketErrorNumber() const { return FLastSocketErrorNumber; }
  TErrorContext LastErrorContext() const;
  platform::CriticalSection& ErrorSection() const { return FErrorSection; }

  // ---- Cipher (built-in: Blowfish in CBC mode, crypto_context.h)

  void SetCryptoInitHook(TCryptoInitHook hook) { FCryptoInitHook = std::move(hook); }
  // A new context for the key: the hook's, else a built-in one (throws std::invalid_argument for
  // a key the built-in cipher refuses).
  std::shared_ptr<TCryptoContext> CryptoInit(const uint8_t* Key, size_t KeyLen);
  void EncryptBlock(TCryptoContext& Data, uint8_t BlockBuffer[8]) {
    Data.EncryptBlock(BlockBuffer);
  }
  void DecryptBlock(TCryptoContext& Data, uint8_t BlockBuffer[8]) {
    Data.DecryptBlock(BlockBuffer);
  }
  void CryptoReset(TCryptoContext& Data) { Data.Reset(); }
  // One unit in place: its whole 8-byte blocks in order (a remainder stays as it is), then the
  // chain is reset, also when a step throws. Units on one context are serialised.
  void Encrypt(TCryptoContext& Data, void* Buffer, size_t BufferSize);
  void Decrypt(TCryptoContext& Data, void* Buffer, size_t BufferSize);

  // ---- Compression (built-in: zlib, zlib_codec.h)

  void SetCompressHook(TCompressHook hook) { FCompressHook = std::move(hook); }
  void SetDecompressHook(TDecompressHook hook) { FDecompressHook = std::move(hook); }
  // Raise 15001 KURA_COMPRESS / 15002 KURA_UNCOMPRESS on any failure, the hook's included.
  void Compress(const uint8_t* InBuffer, size_t InBytes, int Level,
                std::vector<uint8_t>* OutBuffer);
  void Decompress(const uint8_t* InBuffer, size_t InBytes, std::vector<uint8_t>* OutBuffer,
                  size_t MaxOutBytes = kMaxDecompressedSize);

  // ---- Full-text indexes

  void SetTextIndexFilterHook(TTextIndexFilterHook hook) { FTextIndexFilterHook = std::move(hook); }
  void SetTextIndexTokenFilterHook(TTextIndexTokenFilterHook hook) {
    FTextIndexTokenFilterHook = std::move(hook);
  }
  // The text to index: the hook's rewrite, or the text itself without a hook or when it throws.
  AnsiString TextIndexFilter(const AnsiString& TableName, const AnsiString& FieldName,
                             const AnsiString& Text);
  // Whether a word is indexed: the hook's answer; true without a hook or when it throws.
  bool TextIndexTokenFilter(const AnsiString& TableName, const AnsiString& FieldName,
                            const AnsiString& TextIndexToken);
  static TTextIndexParams GetDefaultTextIndexParams() { return DefaultTextIndexParams(); }
  // Splits a buffer into words (text_index_words.h), asking the token filter about each word.
  void BuildWordList(const AnsiString& TableName, const AnsiString& FieldName,
                     const char* WordBuffer, size_t WordBufferSize, TWordList* WordList,
                     const TCharSet& SpaceChars, const TCharSet& IncludeChars, bool Occurrences,
                     bool PartialWords);

  // ---- File registry (file_registry.h; negative results are negated engine codes)

  int32_t CreateFile(const AnsiString& Value, bool IsMemory, TBaseFile** NewFile,
                     bool IsTemporary, bool IsHidden) {
    return FFileRegistry.CreateFile(Value, IsMemory, NewFile, IsTemporary, IsHidden);
  }
  int32_t OpenFile(const AnsiString& Value, bool IsMemory, TBaseFile** NewFile,
                   bool* IsMarkedReadOnly, bool* IsReadOnly, bool IsExclusive, bool IsTemporary,
                   bool IsHidden) {
    return FFileRegistry.OpenFile(Value, IsMemory, NewFile, IsMarkedReadOnly, IsReadOnly,
                                  IsExclusive, IsTemporary, IsHidden);
  }
  int32_t CloseFile(TBaseFile* ExistingFile, bool IsMemory, int32_t FileHandle) {
    return FFileRegistry.CloseFile(ExistingFile, IsMemory, FileHandle);
  }
  int32_t RenameFile(const AnsiString& Value, bool IsMemory, const AnsiString& NewName) {
    return FFileRegistry.RenameFile(Value, IsMemory, NewName);
  }
  int32_t DeleteFile(const AnsiString& Value, bool IsMemory) {
    return FFileRegistry.DeleteFile(Value, IsMemory);
  }
  bool FileExists(const AnsiString& Value, bool IsMemory, bool IsHidden = false) {
    return FFileRegistry.FileExists(Value, IsMemory, IsHidden);
  }
  bool FindFile(const AnsiString& Value, bool IsMemory, int32_t* IndexPos) {
    return FFileRegistry.FindFile(Value, IsMemory, IndexPos);
  }
  void GetFileNames(bool IsMemory, const AnsiString& DirMask, bool IncludePath,
                    bool IncludeExtensions, std::vector<AnsiString>* List) {
    FFileRegistry.GetFileNames(IsMemory, DirMask, IncludePath, IncludeExtensions, List);
  }
  AnsiString GetTempFileName(const AnsiString& TempDirectory, const AnsiString& Extension,
                             bool IsMemory, bool IsHidden = false) {
    return FFileRegistry.GetTempFileName(TempDirectory, Extension, IsMemory, IsHidden);
  }
  TFileRegistry& FileRegistry() { return FFileRegistry; }

 private:
  void SetLimits();
  void ClearLastError();

  // State
  bool FInitialized = false;
  bool FIsServer = false;
  bool FIsWindows95 = false;

  // Last error, guarded by FErrorSection.
  mutable platform::CriticalSection FErrorSection;
  int32_t FOSErrorNumber = 0;
  int32_t FSocketErrorNumber = 0;
  uint16_t FLastErrorNumber = 0;
  int32_t FLastOSErrorNumber = 0;
  int32_t FLastSocketErrorNumber = 0;
  AnsiString FLastErrorRemoteName;
  AnsiString FLastErrorUserName;
  AnsiString FLastErrorDatabaseName;
  AnsiString FLastErrorTableName;
  AnsiString FLastErrorFieldName;
  AnsiString FLastErrorIndexName;
  AnsiString FLastErrorMessage;
  AnsiString FLastErrorProcedureName;
  AnsiString FLastErrorEventName;
  int32_t FLastErrorLine = 0;
  int32_t FLastErrorColumn = 0;

  // Locales, guarded by FLocaleSection. FAnsiStandardLocale answers before Initialize.
  std::vector<std::unique_ptr<TDataLocale>> FLocaleList;
  mutable platform::CriticalSection FLocaleSection;
  TDataLocale FAnsiStandardLocale;

  // Files and limits
  bool FLargeFileSupport = false;
  int64_t FMaximumFileSize = 0;
  int32_t FMaximumNumRecords = 0;
  AnsiString FLockFileName = "kura.lck";
  int64_t FFileLockByte = 0;
  int64_t FFileLockRange = 0;
  int64_t FTransLockByte = 0;
  int64_t FTransLockRange = 0;
  int64_t FReadLockByte = 0;
  int64_t FReadLockRange = 0;
  int64_t FWriteLockByte = 0;
  int64_t FWriteLockRange = 0;
  int64_t FTransWriteLockByte = 0;
  int64_t FTransWriteLockRange = 0;
  int64_t FRecordLockByte = 0;
  int64_t FRecordLockRange = 0;
  int64_t FSemaphoreLockByte = 0;
  int64_t FSemaphoreLockRange = 0;
  TFileRegistry FFileRegistry;

  // Signature
  AnsiString FSignature;
  TMD5Digest FSignatureDigest;

  // Extensions
  AnsiString FDataExtension = ".dat";
  AnsiString FIndexExtension = ".idx";
  AnsiString FBlobExtension = ".blb";
  AnsiString FDataBackupExtension = ".dbk";
  AnsiString FIndexBackupExtension = ".ibk";
  AnsiString FBlobBackupExtension = ".bbk";
  AnsiString FDataUpgradeExtension = ".dup";
  AnsiString FIndexUpgradeExtension = ".iup";
  AnsiString FBlobUpgradeExtension = ".bup";
  AnsiString FDataTempExtension = ".dat";
  AnsiString FIndexTempExtension = ".idx";
  AnsiString FBlobTempExtension = ".blb";
  bool FTempTablesInDataDirectory = false;

  // Buffers
  int32_t FMaxDataBufferSize = 32768;
  int32_t FMaxDataBufferCount = 8192;
  int32_t FMaxIndexBufferSize = 65536;
  int32_t FMaxIndexBufferCount = 8192;
  int32_t FMaxBlobBufferSize = 32768;
  int32_t FMaxBlobBufferCount = 8192;
  uint8_t FFilterIndexThreshhold = 1;

  // Lock waits
  uint16_t FReadLockWaitTime = 3;
  uint16_t FReadLockRetries = 32768;
  uint16_t FWriteLockWaitTime = 3;
  uint16_t FWriteLockRetries = 32768;
  uint16_t FTransLockWaitTime = 3;
  uint16_t FTransLockRetries = 32768;
  uint16_t FMaxReadLockCount = 100;

  // Hooks
  TCryptoInitHook FCryptoInitHook;
  TCompressHook FCompressHook;
  TDecompressHook FDecompressHook;
  TTextIndexFilterHook FTextIndexFilterHook;
  TTextIndexTokenFilterHook FTextIndexTokenFilterHook;

  // Sessions, owned by the engine from StartDataSession to CloseDataSession or Reset.
  std::vector<std::unique_ptr<TDataSession>> FDataSessionList;
  mutable platform::CriticalSection FDataSessionSection;
};

// The engine registered for the process (none until SetDataEngine), for code that has no engine
// at hand. Registration does not transfer ownership; unregister (nullptr) before destroying it.
TDataEngine* GetDataEngine();
void SetDataEngine(TDataEngine* engine);

}  // namespace kura
