// TDataDirectory: one open database directory of a session. It owns the directory's lock-file
// manager (TDataDirectoryLocks), the session's open tables of the directory (one TDataTable per
// table name, shared by every cursor of the session on that table) and the directory's
// transaction state.
//
// Tables are opened and closed through OpenDataTable/CloseDataTable, which count their uses;
// a table object lives while it has uses, is in a transaction, or (shared tables of a directory
// that keeps tables open) until the directory goes. The TDataTable pointers handed out belong to
// the directory.
//
// Transactions: an unrestricted one (no table list) holds the directory transaction region and
// takes in every open table; a restricted one takes the transaction byte of each listed table in
// ascending table-ID order. Commit and rollback walk the tables in reverse order.
//
// A directory whose lock file cannot be created or written is read-only: its tables open
// read-only and transactions do nothing. One thread at a time (the session's).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ansi_string.h"

namespace kura {

class TDataCursor;
class TDataDirectoryLocks;
class TDataEngine;
class TDataSession;
class TDataTable;

class TDataDirectory {
 public:
  // The name is cut to 60 characters; the path is kept as given (the session normalises it).
  // Opens the lock file (creating it when missing).
  TDataDirectory(TDataSession* Owner, const AnsiString& NewName, const AnsiString& NewDirectory);
  ~TDataDirectory();
  TDataDirectory(const TDataDirectory&) = delete;
  TDataDirectory& operator=(const TDataDirectory&) = delete;

  // Rolls back a running transaction (errors ignored) and frees every table.
  void Reset();
  void IncUseCount() { ++FUseCount; }
  void DecUseCount() {
    if (FUseCount > 0) --FUseCount;
  }

  // The names (without extension) of the directory's data files, in the order the directory
  // lists them; PartialDirectory is a folder below the directory ("" for the directory itself).
  void ListTableNames(std::vector<AnsiString>* TableNameList,
                      const AnsiString& PartialDirectory = {}) const;

  // The shared table object for a name, opened on first use. Raises 11013 for an exclusive
  // conflict inside the session, and the open errors of TDataTable::OpenTable; a failing open
  // leaves no table object behind. A client open (IsResultSet == IsSourceTable) also counts a
  // client use; a system open counts no use.
  TDataTable* OpenDataTable(const AnsiString& ExistingTableName,
                            const AnsiString& ExistingErrorTableName, bool IsExclusive,
                            bool IsTemporary, bool IsResultSet, bool IsSourceTable,
                            bool IsSystemOpen, bool DoHeaderChecks);
  // Gives one use back; frees the table when it is unused, outside a transaction and not kept
  // open. Raises 11010 for a table that is not in the list.
  void CloseDataTable(TDataTable* ExistingDataTable, bool FreeIfTemporary, bool IsResultSet,
                      bool IsSourceTable, bool IsSystemOpen);
  // The open table of that name, or nullptr.
  TDataTable* FindDataTable(const AnsiString& TableName) const;
  size_t DataTableCount() const { return FDataTableList.size(); }

  // Whether a table of the name (data extension removed, 60 characters) is open, or unless
  // OpenOnly, whether its data file exists.
  bool DataTableExists(const AnsiString& SearchTableName, bool OpenOnly, bool IsTemporary) const;
  // A name for a new temporary table: five digits of the thread id, a counter, the extension.
  AnsiString GetTempDataTableName() const;
  // 11013 for a read-only directory.
  void CheckNotReadOnly(const AnsiString& TableName) const;

  // Transactions. StartTransaction does nothing for a read-only directory or while one runs;
  // TablesList names the tables of a restricted transaction (empty: unrestricted). A failing
  // start rolls back what it started.
  void StartTransaction(const std::vector<AnsiString>& TablesList = {},
                        bool NoRemoteCall = true);
  // Writes every table's changes. With ReleaseLocks the transaction ends and its locks are
  // released (also after an error, which then propagates); without, it keeps running.
  void CommitTransaction(bool ForceFlush, bool ReleaseLocks, bool NoRemoteCall = true);
  // Discards every table's changes, releases the transaction's locks and ends it.
  void RollbackTransaction(bool NoRemoteCall = true);
  // Commits a running transaction (forced flush, locks released).
  void CheckTransaction();
  bool InTransaction() const { return FInTransaction; }
  bool RestrictedTransaction() const { return FRestrictedTransaction; }
  // The tables of a restricted transaction, in the order their transactions were started.
  const std::vector<TDataTable*>& TransactionDataTables() const {
    return FTransactionDataTableList;
  }

  // Cursors register themselves while they exist.
  void AddDataCursor(TDataCursor* Cursor);
  void RemoveDataCursor(TDataCursor* Cursor);
  size_t DataCursorCount() const { return FDataCursorList.size(); }

  TDataSession* DataSession() const { return FDataSession; }
  TDataEngine* DataEngine() const;
  TDataDirectoryLocks* Locks() const { return FLocks.get(); }
  const AnsiString& Name() const { return FName; }
  const AnsiString& Directory() const { return FDirectory; }
  // For messages: the path without its trailing separator.
  AnsiString GetProperDataDirectoryName() const;
  bool InMemory() const { return FInMemory; }
  bool ReadOnly() const { return FReadOnly; }
  // Tables opened from now on open their files read-only (for programs that only look); they
  // still register in the lock file and take the read locks.
  bool TablesReadOnly() const { return FTablesReadOnly; }
  void SetTablesReadOnly(bool Value) { FTablesReadOnly = Value; }
  bool KeepTablesOpen() const { return FKeepTablesOpen; }
  void SetKeepTablesOpen(bool Value) { FKeepTablesOpen = Value; }
  uint16_t UseCount() const { return FUseCount; }
  void SetUseCount(uint16_t Value) { FUseCount = Value; }

 private:
  // Position of the table's name in the sorted list, or of its insertion point.
  bool FindPosition(const AnsiString& TableName, size_t* Position) const;
  void RemoveTable(TDataTable* Table);
  // Closes (system close) and frees every table that has no use left and is not in a
  // transaction, unless shared tables are kept open.
  void CloseUnusedTables();
  [[noreturn]] void Raise(uint16_t Code, const AnsiString& TableName) const;

  TDataSession* FDataSession;
  AnsiString FName;
  AnsiString FDirectory;
  bool FInMemory = false;
  bool FReadOnly = false;
  bool FKeepTablesOpen = false;
  bool FTablesReadOnly = false;
  std::unique_ptr<TDataDirectoryLocks> FLocks;
  std::vector<std::unique_ptr<TDataTable>> FDataTableList;
  std::vector<TDataTable*> FTransactionDataTableList;
  std::vector<TDataCursor*> FDataCursorList;
  bool FFreeing = false;
  uint16_t FUseCount = 0;
  bool FInTransaction = false;
  bool FRestrictedTransaction = false;
};

}  // namespace kura
