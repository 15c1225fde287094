#include "engine/core/data_engine.h"

#include <atomic>

#include "engine/core/data_session.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_table.h"
#include "engine/core/zlib_codec.h"
#include "platform/os_error.h"
#include "platform/random_source.h"
#include "platform/system_locale.h"

namespace kura {
namespace {

std::atomic<TDataEngine*> g_data_engine{nullptr};

// Resets a cipher context's chain when a unit ends, however it ends.
class ChainResetGuard {
 public:
  explicit ChainResetGuard(TCryptoContext& context) : context_(context) {}
  ~ChainResetGuard() {
    try {
      context_.Reset();
    } catch (...) {
      // A reset that fails leaves nothing better to do; the next unit resets again.
    }
  }
  ChainResetGuard(const ChainResetGuard&) = delete;
  ChainResetGuard& operator=(const ChainResetGuard&) = delete;

 private:
  TCryptoContext& context_;
};

template <typename Step>
void ProcessUnit(TCryptoContext& context, void* buffer, size_t size, Step step) {
  std::lock_guard<std::mutex> unit(context.UnitMutex());
  ChainResetGuard reset(context);
  uint8_t* block = static_cast<uint8_t*>(buffer);
  for (size_t n = size / TCryptoContext::kBlockSize; n > 0; --n) {
    step(block);
    block += TCryptoContext::kBlockSize;
  }
}

}  // namespace

TDataEngine* GetDataEngine() { return g_data_engine.load(); }
void SetDataEngine(TDataEngine* engine) { g_data_engine.store(engine); }

TDataEngine::TDataEngine()
    : FAnsiStandardLocale(this, kAnsiStandardLocaleID, kAnsiStandardLocaleName,
                          kAnsiStandardLocaleShortName),
      FFileRegistry(this),
      FSignatureDigest(StandardSignatureDigest()) {
  SetLimits();
}

TDataEngine::~TDataEngine() { Reset(); }

// ---- Life cycle

void TDataEngine::Initialize(const AnsiString& LockFile) {
  {
    platform::CriticalSectionGuard guard(FLocaleSection);
    FLocaleList = BuildLocaleList(this);
  }
  platform::Randomize();
  FIsWindows95 = false;
  if (!LockFile.empty()) FLockFileName = LockFile;
  SetLimits();
  FInitialized = true;
}

void TDataEngine::Reset() {
  // Sessions first: their tables and lock files close through the registry.
  std::vector<std::unique_ptr<TDataSession>> sessions;
  {
    platform::CriticalSectionGuard guard(FDataSessionSection);
    sessions.swap(FDataSessionList);
  }
  while (!sessions.empty()) sessions.pop_back();
  FFileRegistry.Clear();
  {
    platform::CriticalSectionGuard guard(FLocaleSection);
    FLocaleList.clear();
  }
  FInitialized = false;
}

void TDataEngine::SetLimits() {
  if (FLargeFileSupport) {
    FMaximumFileSize = 128000000000;
    FMaximumNumRecords = 1000000000;
    FFileLockByte = 0x7FFFFFFFFFFFFFFF;
  } else {
    FMaximumFileSize = 4000000000;
    FMaximumNumRecords = 200000000;
    FFileLockByte = 0xFFFFFFFF;
  }
  FFileLockRange = 65535;
  FTransLockByte = FFileLockByte - FFileLockRange;
  FTransLockRange = 4096;
  // Read, write and transaction-write share one base, so that a table's write region is exactly
  // the span in which its readers lock their bytes.
  FReadLockByte = FTransLockByte - FTransLockRange;
  FReadLockRange = 65535;
  FWriteLockByte = FReadLockByte;
  FWriteLockRange = 65535;
  FTransWriteLockByte = FReadLockByte;
  FTransWriteLockRange = FTransLockRange * FWriteLockRange;
  FRecordLockByte = FFileLockByte;
  FRecordLockRange = FMaximumNumRecords;
  FSemaphoreLockByte = FRecordLockByte - FRecordLockRange;
  FSemaphoreLockRange = 1024;
}

// ---- Settings

TMD5Digest TDataEngine::StandardSignatureDigest() {
  static const uint8_t kBytes[16] = {0x8A, 0xBE, 0x8E, 0x59, 0x23, 0x64, 0xCB, 0x40,
                                     0x3D, 0x71, 0xD2, 0xE3, 0xBC, 0x64, 0xD0, 0x01};
  return TMD5Digest::FromBytes(kBytes);
}

void TDataEngine::SetSignature(const AnsiString& Value) {
  FSignature = Value;
  FSignatureDigest = Value.empty() ? StandardSignatureDigest() : MD5Digest(Value);
}

AnsiString TDataEngine::VersionToStr(uint8_t VersionByte) {
  static const char* const kVersions[] = {"1.00", "1.02", "1.04", "1.08", "2.00", "3.00", "4.00"};
  return ValidVersion(VersionByte) ? kVersions[VersionByte] : "";
}

// ---- Locales

bool TDataEngine::IsValidLocale(int32_t LocaleID) const {
  return LocaleID == kAnsiStandardLocaleID ||
         (LocaleID > 0 && platform::IsValidLocale(static_cast<uint32_t>(LocaleID)));
}

namespace {

// The engine's locales: the list once it is built, "ANSI Standard" alone before that.
template <typename Fn>
void ForEachLocale(const std::vector<std::unique_ptr<TDataLocale>>& list,
                   const TDataLocale& fallback, Fn fn) {
  if (list.empty()) {
    fn(fallback);
    return;
  }
  for (const auto& locale : list) {
    if (!fn(*locale)) return;
  }
}

}  // namespace

bool TDataEngine::IsValidLocaleConstant(const AnsiString& LocaleConstant) const {
  platform::CriticalSectionGuard guard(FLocaleSection);
  bool found = false;
  ForEachLocale(FLocaleList, FAnsiStandardLocale, [&](const TDataLocale& l) {
    found = platform::CompareTextUserDefault(l.Name(), LocaleConstant) == 0;
    return !found;
  });
  return found;
}

int32_t TDataEngine::ConvertLocaleConstantToID(const AnsiString& LocaleConstant) const {
  platform::CriticalSectionGuard guard(FLocaleSection);
  int32_t id = kAnsiStandardLocaleID;
  ForEachLocale(FLocaleList, FAnsiStandardLocale, [&](const TDataLocale& l) {
    if (platform::CompareTextUserDefault(l.Name(), LocaleConstant) != 0) return true;
    id = l.ID();
    return false;
  });
  return id;
}

AnsiString TDataEngine::ConvertIDToLocaleConstant(int32_t LocaleID) const {
  platform::CriticalSectionGuard guard(FLocaleSection);
  AnsiString name;
  ForEachLocale(FLocaleList, FAnsiStandardLocale, [&](const TDataLocale& l) {
    if (l.ID() != LocaleID) return true;
    name = l.Name();
    return false;
  });
  return name;
}

void TDataEngine::GetLocaleNames(std::vector<std::pair<AnsiString, int32_t>>* List) const {
  platform::CriticalSectionGuard guard(FLocaleSection);
  List->clear();
  ForEachLocale(FLocaleList, FAnsiStandardLocale, [&](const TDataLocale& l) {
    List->emplace_back(l.Name(), l.ID());
    return true;
  });
}

TDataLocale* TDataEngine::GetLocaleCharMap(int32_t LocaleID) {
  platform::CriticalSectionGuard guard(FLocaleSection);
  if (FLocaleList.empty()) return &FAnsiStandardLocale;
  for (const auto& locale : FLocaleList) {
    if (locale->ID() == LocaleID) return locale.get();
  }
  return FLocaleList.front().get();
}

// ---- Errors

uint16_t TDataEngine::MapOSError(int OSErrorNumber) {
  switch (OSErrorNumber) {
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound:
      return KURA_OSENOENT;
    case platform::kErrorTooManyOpenFiles:
      return KURA_OSEMFILE;
    case platform::kErrorAccessDenied:
    case platform::kErrorSharingViolation:
    case platform::kErrorNetworkAccessDenied:
    case platform::kErrorAlreadyExists:
      return KURA_OSEACCES;
    case platform::kErrorInvalidHandle:
      return KURA_OSEBADF;
    case platform::kErrorNotEnoughMemory:
    case platform::kErrorOutOfMemory:
      return KURA_OSENOMEM;
    case platform::kErrorInvalidDrive:
      return KURA_OSENODEV;
    case platform::kErrorNotSameDevice:
      return KURA_OSENOTSAM;
    default:
      return KURA_OSUNKNOWN;
  }
}

int32_t TDataEngine::OSError() {
  int os_error = platform::LastOsError();
  platform::CriticalSectionGuard guard(FErrorSection);
  FOSErrorNumber = os_error;
  return MapOSError(os_error);
}

void TDataEngine::SetPendingSocketError(int32_t value) {
  platform::CriticalSectionGuard guard(FErrorSection);
  FSocketErrorNumber = value;
}

void TDataEngine::ClearLastError() {
  FLastErrorNumber = 0;
  FLastOSErrorNumber = 0;
  FLastSocketErrorNumber = 0;
  FLastErrorRemoteName.clear();
  FLastErrorUserName.clear();
  FLastErrorDatabaseName.clear();
  FLastErrorTableName.clear();
  FLastErrorFieldName.clear();
  FLastErrorIndexName.clear();
  FLastErrorMessage.clear();
  FLastErrorProcedureName.clear();
  FLastErrorEventName.clear();
  FLastErrorLine = 0;
  FLastErrorColumn = 0;
}

void TDataEngine::RaiseError(uint16_t ErrorCode, const AnsiString& ErrorRemoteName,
                             const AnsiString& ErrorUserName, const AnsiString& ErrorDatabaseName,
                             const AnsiString& ErrorTableName, const AnsiString& ErrorFieldName,
                             const AnsiString& ErrorIndexName, const AnsiString& ErrorMessage,
                             const AnsiString& ErrorProcedureName,
                             const AnsiString& ErrorScheduledEventName, int32_t ErrorLine,
                             int32_t ErrorColumn) {
  RaiseError(ErrorCode, TErrorContext{ErrorRemoteName, ErrorUserName, ErrorDatabaseName,
                                      ErrorTableName, ErrorFieldName, ErrorIndexName,
                                      ErrorMessage, ErrorProcedureName, ErrorScheduledEventName,
                                      ErrorLine, ErrorColumn});
}

void TDataEngine::RaiseError(uint16_t ErrorCode, const TErrorContext& context) {
  // The section is left when the exception unwinds past the guard, after the exception has
  // copied the details.
  platform::CriticalSectionGuard guard(FErrorSection);
  ClearLastError();
  FLastErrorNumber = ErrorCode;
  FLastOSErrorNumber = FOSErrorNumber;
  FLastSocketErrorNumber = FSocketErrorNumber;
  FLastErrorRemoteName = context.remote_name;
  FLastErrorUserName = context.user_name;
  FLastErrorDatabaseName = context.database_name;
  FLastErrorTableName = context.table_name;
  FLastErrorFieldName = context.field_name;
  FLastErrorIndexName = context.index_name;
  FLastErrorMessage = context.message;
  FLastErrorProcedureName = context.procedure_name;
  FLastErrorEventName = context.event_name;
  FLastErrorLine = context.line;
  FLastErrorColumn = context.column;
  FOSErrorNumber = 0;
  FSocketErrorNumber = 0;
  throw EKuraEngineError(*this, ErrorCode);
}

TErrorContext TDataEngine::LastErrorContext() const {
  platform::CriticalSectionGuard guard(FErrorSection);
  return TErrorContext{FLastErrorRemoteName, FLastErrorUserName,  FLastErrorDatabaseName,
                       FLastErrorTableName,  FLastErrorFieldName, FLastErrorIndexName,
                       FLastErrorMessage,    FLastErrorProcedureName, FLastErrorEventName,
                       FLastErrorLine,       FLastErrorColumn};
}

AnsiString TDataEngine::GetErrorString(uint16_t ErrorCode) const {
  platform::CriticalSectionGuard guard(FErrorSection);
  return CutErrorText(FormatErrorMessage(ErrorCode, LastErrorContext(), FLastOSErrorNumber));
}

AnsiString TDataEngine::TranslateErrorConstant(uint16_t Value) {
  const TErrorTableEntry* entry = FindErrorTableEntry(Value);
  return entry != nullptr ? entry->constant : "";
}

uint16_t TDataEngine::ConvertExceptionToCode(const std::exception& E) {
  if (const auto* engine_error = dynamic_cast<const EKuraEngineError*>(&E)) {
    return engine_error->ErrorCode();
  }
  return KURA_OSUNKNOWN;
}

uint16_t TDataEngine::ConvertExceptionToCode(const std::exception_ptr& E) {
  if (!E) return KURA_NONE;
  try {
    std::rethrow_exception(E);
  } catch (const EKuraEngineError& engine_error) {
    return engine_error.ErrorCode();
  } catch (...) {
    return KURA_OSUNKNOWN;
  }
}

// ---- Cipher

std::shared_ptr<TCryptoContext> TDataEngine::CryptoInit(const uint8_t* Key, size_t KeyLen) {
  if (FCryptoInitHook) {
    if (auto context = FCryptoInitHook(Key, KeyLen)) return context;
  }
  return std::make_shared<TBlowfishCbcContext>(Key, KeyLen);
}

void TDataEngine::Encrypt(TCryptoContext& Data, void* Buffer, size_t BufferSize) {
  ProcessUnit(Data, Buffer, BufferSize, [&](uint8_t* block) { EncryptBlock(Data, block); });
}

void TDataEngine::Decrypt(TCryptoContext& Data, void* Buffer, size_t BufferSize) {
  ProcessUnit(Data, Buffer, BufferSize, [&](uint8_t* block) { DecryptBlock(Data, block); });
}

// ---- Compression

void TDataEngine::Compress(const uint8_t* InBuffer, size_t InBytes, int Level,
                           std::vector<uint8_t>* OutBuffer) {
  if (!FCompressHook) {
    if (!ZlibCompress(InBuffer, InBytes, Level, OutBuffer)) RaiseError(KURA_COMPRESS);
    return;
  }
  try {
    FCompressHook(InBuffer, InBytes, Level, OutBuffer);
  } catch (const std::exception& e) {
    RaiseError(KURA_COMPRESS, {.message = e.what()});
  } catch (...) {
    RaiseError(KURA_COMPRESS);
  }
}

void TDataEngine::Decompress(const uint8_t* InBuffer, size_t InBytes,
                             std::vector<uint8_t>* OutBuffer, size_t MaxOutBytes) {
  if (!FDecompressHook) {
    if (!ZlibDecompress(InBuffer, InBytes, OutBuffer, MaxOutBytes)) RaiseError(KURA_UNCOMPRESS);
    return;
  }
  try {
    FDecompressHook(InBuffer, InBytes, OutBuffer);
  } catch (const std::exception& e) {
    RaiseError(KURA_UNCOMPRESS, {.message = e.what()});
  } catch (...) {
    RaiseError(KURA_UNCOMPRESS);
  }
  if (OutBuffer->size() > MaxOutBytes) RaiseError(KURA_UNCOMPRESS);
}

// ---- Full-text indexes

AnsiString TDataEngine::TextIndexFilter(const AnsiString& TableName, const AnsiString& FieldName,
                                        const AnsiString& Text) {
  if (!FTextIndexFilterHook) return Text;
  try {
    return FTextIndexFilterHook(TableName, FieldName, Text);
  } catch (...) {
    return Text;
  }
}

bool TDataEngine::TextIndexTokenFilter(const AnsiString& TableName, const AnsiString& FieldName,
                                       const AnsiString& TextIndexToken) {
  if (!FTextIndexTokenFilterHook) return true;
  try {
    return FTextIndexTokenFilterHook(TableName, FieldName, TextIndexToken);
  } catch (...) {
    return true;
  }
}

void TDataEngine::BuildWordList(const AnsiString& TableName, const AnsiString& FieldName,
                                const char* WordBuffer, size_t WordBufferSize,
                                TWordList* WordList, const TCharSet& SpaceChars,
                                const TCharSet& IncludeChars, bool Occurrences,
                                bool PartialWords) {
  std::function<bool(const AnsiString&)> include;
  if (FTextIndexTokenFilterHook) {
    include = [&](const AnsiString& word) {
      return TextIndexTokenFilter(TableName, FieldName, word);
    };
  }
  SplitWords(WordBuffer, WordBufferSize, SpaceChars, IncludeChars, Occurrences, PartialWords,
             include, WordList);
}

TDataSession* TDataEngine::StartDataSession(const AnsiString& Name) {
  auto session = std::make_unique<TDataSession>(this, Name);
  platform::CriticalSectionGuard guard(FDataSessionSection);
  FDataSessionList.push_back(std::move(session));
  return FDataSessionList.back().get();
}

void TDataEngine::CloseDataSession(TDataSession* Value) {
  std::unique_ptr<TDataSession> session;
  {
    platform::CriticalSectionGuard guard(FDataSessionSection);
    for (auto it = FDataSessionList.begin(); it != FDataSessionList.end(); ++it) {
      if (it->get() == Value) {
        session = std::move(*it);
        FDataSessionList.erase(it);
        break;
      }
    }
  }
  // Freed outside the section: closing its tables takes the registry's sections.
}

size_t TDataEngine::DataSessionCount() const {
  platform::CriticalSectionGuard guard(FDataSessionSection);
  return FDataSessionList.size();
}

}  // namespace kura
