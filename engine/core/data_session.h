// TDataSession: one user's session with the engine: its lock and change-detection settings, its
// table passwords and its open database directories.
//
// The engine creates and frees sessions (TDataEngine::StartDataSession/CloseDataSession). A
// session owns its TDataDirectory objects (one per path) and its TDataPassword objects; the
// objects it returns stay valid until they are closed or the session ends. Destroying the
// session frees the directories first (which closes their tables), then the passwords.
//
// Passwords: the list holds the passwords tables are opened with; a deleted password moves to
// the stack and stays alive until the session ends (open tables share its key). The password
// hook is asked when an encrypted table fits none of the listed passwords; it may add some and
// answers whether to try again.
//
// A session and everything it owns are used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/ansi_string.h"
#include "engine/core/lock_states.h"

namespace kura {

class TDataDirectory;
class TDataEngine;
class TDataPassword;

class TDataSession {
 public:
  // Asked for more passwords: may call AddPassword, returns whether to try again.
  using TPasswordCallback = std::function<bool(TDataSession& Session)>;

  TDataSession(TDataEngine* Engine, const AnsiString& Name);
  ~TDataSession();
  TDataSession(const TDataSession&) = delete;
  TDataSession& operator=(const TDataSession&) = delete;

  // ---- Directories

  // The session's directory object for a path, opened (with its lock file) on first use and
  // counted on every later one. The name "Memory" (any case) opens the in-memory directory.
  // An empty path means the current directory ("" for the in-memory directory). With
  // CompareNames only an object with the same name is shared.
  TDataDirectory* OpenDataDirectory(const AnsiString& DataDirectoryName,
                                    const AnsiString& DataDirectoryPath, bool KeepSharedTablesOpen,
                                    bool NoRemoteCall = true, bool CompareNames = false);
  // Counts one close; the last one frees the directory (rolling back a running transaction and
  // closing its tables). An unknown directory is ignored.
  void CloseDataDirectory(TDataDirectory* ExistingDataDirectory, bool NoRemoteCall = true);
  size_t DataDirectoryCount() const { return FDataDirectoryList.size(); }

  // ---- Passwords

  // Empty values and passwords already listed (case-sensitive) are ignored; a password on the
  // stack moves back to the list.
  void AddPassword(const AnsiString& Value);
  // Moves the first matching password (or all of them) to the stack.
  void DeletePassword(const AnsiString& Value);
  void DeleteAllPasswords();
  bool CheckForPassword(const AnsiString& Value) const;
  // The listed password with that text, or nullptr; owned by the session.
  TDataPassword* GetDataPassword(const AnsiString& Value) const;
  // The first listed password that fits a table's check value, or nullptr.
  TDataPassword* FindPasswordForDigest(const uint8_t Digest[16]) const;
  // The hook's answer; false without a hook.
  bool AskForPassword();
  void SetPasswordCallback(TPasswordCallback Callback) { FPasswordCallback = std::move(Callback); }
  void SavePasswordCallbackData();
  void RestorePasswordCallbackData();
  size_t PasswordCount() const { return FPasswordList.size(); }
  // Changes whenever a password is added to the list (also back from the stack).
  uint32_t PasswordRevision() const { return FPasswordRevision; }

  // ---- Settings

  TDataEngine* DataEngine() const { return FDataEngine; }
  const AnsiString& Name() const { return FName; }
  const AnsiString& PrivateDirectory() const { return FPrivateDirectory; }
  // Trimmed, with a trailing separator; empty means the current directory.
  void SetPrivateDirectory(const AnsiString& Value);
  uint16_t Progress() const { return FProgress; }
  void SetProgress(uint16_t Value) { FProgress = Value; }
  uint16_t ProgressPercent() const { return FProgress == 0 ? 100 : 100 / FProgress; }
  bool ForceBufferFlush() const { return FForceBufferFlush; }
  void SetForceBufferFlush(bool Value) { FForceBufferFlush = Value; }
  bool StrictChangeDetection() const { return FStrictChangeDetection; }
  void SetStrictChangeDetection(bool Value) { FStrictChangeDetection = Value; }
  uint8_t LockRetries() const { return FLockRetries; }
  void SetLockRetries(uint8_t Value) { FLockRetries = Value; }
  uint16_t LockWait() const { return FLockWait; }
  void SetLockWait(uint16_t Value) { FLockWait = Value; }
  TLockProtocol LockProtocol() const { return FLockProtocol; }
  void SetLockProtocol(TLockProtocol Value) { FLockProtocol = Value; }
  bool InsideEngine() const { return FInsideEngine; }
  void SetInsideEngine(bool Value) { FInsideEngine = Value; }
  int32_t SessionLastAutoInc() const { return FSessionLastAutoInc; }
  void SetSessionLastAutoInc(int32_t Value) { FSessionLastAutoInc = Value; }

 private:
  TDataEngine* FDataEngine;
  AnsiString FName;
  std::vector<std::unique_ptr<TDataDirectory>> FDataDirectoryList;
  AnsiString FPrivateDirectory;
  uint16_t FProgress = 20;
  std::vector<std::unique_ptr<TDataPassword>> FPasswordList;
  std::vector<std::unique_ptr<TDataPassword>> FPasswordStack;
  uint32_t FPasswordRevision = 0;
  bool FForceBufferFlush = false;
  bool FStrictChangeDetection = false;
  uint8_t FLockRetries = 15;
  uint16_t FLockWait = 100;
  TLockProtocol FLockProtocol = lpPessimistic;
  bool FInsideEngine = false;
  int32_t FSessionLastAutoInc = 0;
  TPasswordCallback FPasswordCallback;
  TPasswordCallback FSavedPasswordCallback;
};

}  // namespace kura
