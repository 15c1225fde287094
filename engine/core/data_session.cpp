#include "engine/core/data_session.h"

#include <algorithm>

#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_password.h"
#include "engine/core/table_names.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace kura {

namespace {

constexpr const char* kMemoryDirectoryName = "Memory";

}  // namespace

TDataSession::TDataSession(TDataEngine* Engine, const AnsiString& Name)
    : FDataEngine(Engine), FName(Name), FPrivateDirectory(platform::TempFolder()) {}

TDataSession::~TDataSession() {
  // Directories first: their open tables share the passwords' keys.
  while (!FDataDirectoryList.empty()) FDataDirectoryList.pop_back();
  DeleteAllPasswords();
  FPasswordStack.clear();
}

TDataDirectory* TDataSession::OpenDataDirectory(const AnsiString& DataDirectoryName,
                                                const AnsiString& DataDirectoryPath,
                                                bool KeepSharedTablesOpen, bool,
                                                bool CompareNames) {
  bool in_memory = SameName(DataDirectoryName, kMemoryDirectoryName);
  AnsiString path = NormalizeDirectoryPath(DataDirectoryPath);
  if (path.empty() && !in_memory) path = NormalizeDirectoryPath(platform::CurrentDirectory());
  AnsiString name = TrimName(DataDirectoryName).substr(0, kMaxDatabaseNameLength);
  for (const auto& directory : FDataDirectoryList) {
    if (SameName(directory->Directory(), path) &&
        (!CompareNames || SameName(directory->Name(), name))) {
      directory->IncUseCount();
      return directory.get();
    }
  }
  auto directory = std::make_unique<TDataDirectory>(this, name, path);
  directory->SetUseCount(1);
  directory->SetKeepTablesOpen(KeepSharedTablesOpen);
  FDataDirectoryList.push_back(std::move(directory));
  return FDataDirectoryList.back().get();
}

void TDataSession::CloseDataDirectory(TDataDirectory* ExistingDataDirectory, bool) {
  auto it = std::find_if(FDataDirectoryList.begin(), FDataDirectoryList.end(),
                         [&](const auto& d) { return d.get() == ExistingDataDirectory; });
  if (it == FDataDirectoryList.end() || (*it)->UseCount() == 0) return;
  (*it)->DecUseCount();
  if ((*it)->UseCount() > 0) return;
  std::unique_ptr<TDataDirectory> directory = std::move(*it);
  FDataDirectoryList.erase(it);
  directory->Reset();
}

void TDataSession::AddPassword(const AnsiString& Value) {
  if (Value.empty() || CheckForPassword(Value)) return;
  auto stacked = std::find_if(FPasswordStack.begin(), FPasswordStack.end(),
                              [&](const auto& p) { return p->ComparePassword(Value); });
  if (stacked != FPasswordStack.end()) {
    FPasswordList.push_back(std::move(*stacked));
    FPasswordStack.erase(stacked);
  } else {
    auto password = std::make_unique<TDataPassword>(FDataEngine, this);
    password->Initialize(Value);
    FPasswordList.push_back(std::move(password));
  }
  ++FPasswordRevision;
}

void TDataSession::DeletePassword(const AnsiString& Value) {
  auto it = std::find_if(FPasswordList.begin(), FPasswordList.end(),
                         [&](const auto& p) { return p->ComparePassword(Value); });
  if (it == FPasswordList.end()) return;
  FPasswordStack.push_back(std::move(*it));
  FPasswordList.erase(it);
}

void TDataSession::DeleteAllPasswords() {
  for (auto& password : FPasswordList) FPasswordStack.push_back(std::move(password));
  FPasswordList.clear();
}

bool TDataSession::CheckForPassword(const AnsiString& Value) const {
  return GetDataPassword(Value) != nullptr;
}

TDataPassword* TDataSession::GetDataPassword(const AnsiString& Value) const {
  for (const auto& password : FPasswordList) {
    if (password->ComparePassword(Value)) return password.get();
  }
  return nullptr;
}

TDataPassword* TDataSession::FindPasswordForDigest(const uint8_t Digest[16]) const {
  for (const auto& password : FPasswordList) {
    if (password->CompareDigest(Digest)) return password.get();
  }
  return nullptr;
}

bool TDataSession::AskForPassword() {
  if (!FPasswordCallback) return false;
  // A copy, so that a hook replacing itself does not destroy the running function.
  TPasswordCallback callback = FPasswordCallback;
  return callback(*this);
}

void TDataSession::SavePasswordCallbackData() { FSavedPasswordCallback = FPasswordCallback; }

void TDataSession::RestorePasswordCallbackData() { FPasswordCallback = FSavedPasswordCallback; }

void TDataSession::SetPrivateDirectory(const AnsiString& Value) {
  FPrivateDirectory = NormalizeDirectoryPath(Value);
}

}  // namespace kura
