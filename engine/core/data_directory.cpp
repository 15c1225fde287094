#include "engine/core/data_directory.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <string>

#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_file.h"
#include "engine/core/table_names.h"
#include "platform/path.h"
#include "platform/threads.h"

namespace kura {

namespace {

// Remembers the first error of a sequence of steps that must all be tried.
class TFirstError {
 public:
  template <typename Step>
  void Try(Step&& step) {
    try {
      step();
    } catch (...) {
      if (!error_) error_ = std::current_exception();
    }
  }
  void Rethrow() {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  std::exception_ptr error_;
};

}  // namespace

TDataDirectory::TDataDirectory(TDataSession* Owner, const AnsiString& NewName,
                               const AnsiString& NewDirectory)
    : FDataSession(Owner),
      FName(NewName.substr(0, kMaxDatabaseNameLength)),
      FDirectory(NewDirectory),
      FInMemory(SameName(NewName, "Memory")) {
  FLocks = std::make_unique<TDataDirectoryLocks>(Owner->DataEngine(), FDirectory, FInMemory);
  FLocks->Open();
  FReadOnly = FLocks->ReadOnly();
}

TDataDirectory::~TDataDirectory() {
  Reset();
  FLocks.reset();
}

TDataEngine* TDataDirectory::DataEngine() const { return FDataSession->DataEngine(); }

AnsiString TDataDirectory::GetProperDataDirectoryName() const {
  return platform::ExcludeTrailingPathDelimiter(FDirectory);
}

void TDataDirectory::Raise(uint16_t Code, const AnsiString& TableName) const {
  TErrorContext context;
  context.table_name = TableName;
  context.database_name = GetProperDataDirectoryName();
  DataEngine()->RaiseError(Code, context);
}

void TDataDirectory::Reset() {
  FFreeing = true;
  try {
    RollbackTransaction();
  } catch (const std::exception&) {
    // The tables are freed below whatever the rollback met.
  }
  FInTransaction = false;
  FRestrictedTransaction = false;
  FTransactionDataTableList.clear();
  while (!FDataTableList.empty()) FDataTableList.pop_back();
  FFreeing = false;
}

void TDataDirectory::ListTableNames(std::vector<AnsiString>* TableNameList,
                                    const AnsiString& PartialDirectory) const {
  DataEngine()->GetFileNames(FInMemory,
                             FDirectory + NormalizeDirectoryPath(PartialDirectory) + "*" +
                                 DataEngine()->DataExtension(),
                             false, false, TableNameList);
}

bool TDataDirectory::FindPosition(const AnsiString& TableName, size_t* Position) const {
  AnsiString key = NameKey(TableName);
  auto it = std::lower_bound(
      FDataTableList.begin(), FDataTableList.end(), key,
      [](const std::unique_ptr<TDataTable>& t, const AnsiString& k) {
        return NameKey(t->TableName()) < k;
      });
  *Position = static_cast<size_t>(it - FDataTableList.begin());
  return it != FDataTableList.end() && NameKey((*it)->TableName()) == key;
}

TDataTable* TDataDirectory::FindDataTable(const AnsiString& TableName) const {
  size_t position = 0;
  return FindPosition(TableName, &position) ? FDataTableList[position].get() : nullptr;
}

TDataTable* TDataDirectory::OpenDataTable(const AnsiString& ExistingTableName,
                                          const AnsiString& ExistingErrorTableName,
                                          bool IsExclusive, bool IsTemporary, bool IsResultSet,
                                          bool IsSourceTable, bool IsSystemOpen,
                                          bool DoHeaderChecks) {
  const bool client_open = IsResultSet == IsSourceTable;
  const AnsiString table_name = NormalizeTableName(*DataEngine(), ExistingTableName);
  size_t position = 0;
  if (FindPosition(table_name, &position)) {
    TDataTable* table = FDataTableList[position].get();
    if (IsSystemOpen) return table;
    if (table->UseCount() > 0 || table->InTransaction() || FKeepTablesOpen) {
      if ((table->Exclusive() || IsExclusive) &&
          (table->UseCount() > 0 || !table->InTransaction())) {
        Raise(KURA_OSEACCES, ExistingTableName);
      }
      table->OpenTable(false, DoHeaderChecks);
      if (client_open) table->IncClientUseCount();
    } else {
      table->SetExclusive(IsExclusive);
      table->SetTemporary(IsTemporary);
      table->OpenTable(false, DoHeaderChecks);
      table->IncClientUseCount();
      if (FInTransaction && !FRestrictedTransaction && !IsResultSet) {
        table->StartTransaction(false);
      }
    }
    return table;
  }

  auto table = std::make_unique<TDataTable>(this, table_name, ExistingErrorTableName,
                                            IsExclusive, IsTemporary,
                                            FReadOnly || FTablesReadOnly);
  table->OpenTable(IsSystemOpen, DoHeaderChecks);
  if (client_open && !IsSystemOpen) table->IncClientUseCount();
  if (FInTransaction && !FRestrictedTransaction && !IsResultSet) table->StartTransaction(false);
  TDataTable* result = table.get();
  FDataTableList.insert(FDataTableList.begin() + static_cast<std::ptrdiff_t>(position),
                        std::move(table));
  return result;
}

void TDataDirectory::RemoveTable(TDataTable* Table) {
  auto it = std::find_if(FDataTableList.begin(), FDataTableList.end(),
                         [&](const auto& t) { return t.get() == Table; });
  if (it == FDataTableList.end()) return;
  std::unique_ptr<TDataTable> owned = std::move(*it);
  FDataTableList.erase(it);
}

void TDataDirectory::CloseDataTable(TDataTable* ExistingDataTable, bool FreeIfTemporary,
                                    bool IsResultSet, bool IsSourceTable, bool IsSystemOpen) {
  auto it = std::find_if(FDataTableList.begin(), FDataTableList.end(),
                         [&](const auto& t) { return t.get() == ExistingDataTable; });
  // A pointer that is not in the list may be stale: it is never dereferenced.
  if (it == FDataTableList.end()) Raise(KURA_OSENOENT, {});
  TDataTable* table = it->get();
  if (IsSystemOpen) {
    table->CloseTable(FreeIfTemporary, true);
    if (table->UseCount() == 0 && !table->InTransaction()) RemoveTable(table);
    return;
  }
  if (table->UseCount() > 0) table->CloseTable(FreeIfTemporary, false);
  if (table->UseCount() == 0 && !table->InTransaction() &&
      (!FKeepTablesOpen || table->Exclusive())) {
    RemoveTable(table);
  } else if (IsResultSet == IsSourceTable) {
    table->DecClientUseCount();
  }
}

bool TDataDirectory::DataTableExists(const AnsiString& SearchTableName, bool OpenOnly,
                                     bool IsTemporary) const {
  AnsiString name = NormalizeTableName(*DataEngine(), SearchTableName);
  if (FindDataTable(name) != nullptr) return true;
  if (OpenOnly) return false;
  const TDataEngine& engine = *DataEngine();
  return DataEngine()->FileExists(
      TableFileName(engine, FDirectory, name,
                    IsTemporary ? engine.DataTempExtension() : engine.DataExtension()),
      FInMemory);
}

AnsiString TDataDirectory::GetTempDataTableName() const {
  std::string digits = std::to_string(platform::CurrentThreadId()).substr(0, 5);
  for (uint32_t counter = 0;; ++counter) {
    AnsiString name = digits + std::to_string(counter) + DataEngine()->DataTempExtension();
    if (!DataTableExists(name, false, true)) return name;
  }
}

void TDataDirectory::CheckNotReadOnly(const AnsiString& TableName) const {
  if (FReadOnly) Raise(KURA_OSEACCES, TableName);
}

void TDataDirectory::StartTransaction(const std::vector<AnsiString>& TablesList, bool) {
  if (FReadOnly || FInTransaction) return;
  if (!TablesList.empty()) {
    std::vector<AnsiString> names;
    try {
      for (const AnsiString& listed : TablesList) {
        AnsiString name = NormalizeTableName(*DataEngine(), listed);
        names.push_back(name);
        if (FindDataTable(name) == nullptr) {
          OpenDataTable(name, {}, false, false, false, false, true, true);
        }
      }
    } catch (...) {
      CloseUnusedTables();
      throw;
    }
    std::vector<TDataTable*> tables;
    for (const auto& table : FDataTableList) {
      for (const AnsiString& name : names) {
        if (SameName(table->TableName(), name)) {
          tables.push_back(table.get());
          break;
        }
      }
    }
    // Transaction bytes are always taken in ascending table-ID order, so that two programs
    // locking overlapping sets can never wait for each other in a circle.
    std::stable_sort(tables.begin(), tables.end(),
                     [](TDataTable* a, TDataTable* b) { return a->TableID() < b->TableID(); });
    FRestrictedTransaction = true;
    std::vector<TDataTable*> started;
    try {
      for (TDataTable* table : tables) {
        table->StartTransaction(true);
        started.push_back(table);
      }
    } catch (...) {
      for (auto t = started.rbegin(); t != started.rend(); ++t) {
        try {
          (*t)->RollbackTransaction();
        } catch (const std::exception&) {
        }
      }
      FRestrictedTransaction = false;
      CloseUnusedTables();
      throw;
    }
    FTransactionDataTableList = std::move(tables);
  } else {
    FLocks->TransLockDataDirectory();
    try {
      for (const auto& table : FDataTableList) table->StartTransaction(false);
    } catch (...) {
      for (auto t = FDataTableList.rbegin(); t != FDataTableList.rend(); ++t) {
        try {
          (*t)->RollbackTransaction();
        } catch (const std::exception&) {
        }
      }
      try {
        FLocks->TransUnlockDataDirectory();
      } catch (const std::exception&) {
      }
      throw;
    }
    FRestrictedTransaction = false;
  }
  FInTransaction = true;
}

void TDataDirectory::CommitTransaction(bool ForceFlush, bool ReleaseLocks, bool) {
  if (!FInTransaction) return;
  TFirstError first;
  if (FRestrictedTransaction) {
    for (auto t = FTransactionDataTableList.rbegin(); t != FTransactionDataTableList.rend();
         ++t) {
      first.Try([&] { (*t)->CommitTransaction(ForceFlush, ReleaseLocks); });
    }
  } else {
    FLocks->TransWriteLockDataDirectory();
    for (auto t = FDataTableList.rbegin(); t != FDataTableList.rend(); ++t) {
      first.Try([&] { (*t)->CommitTransaction(ForceFlush, ReleaseLocks); });
    }
    first.Try([&] { FLocks->TransWriteUnlockDataDirectory(); });
    if (ReleaseLocks) first.Try([&] { FLocks->TransUnlockDataDirectory(); });
  }
  if (ReleaseLocks) {
    FInTransaction = false;
    FRestrictedTransaction = false;
    FTransactionDataTableList.clear();
    first.Try([&] { CloseUnusedTables(); });
  }
  first.Rethrow();
}

void TDataDirectory::RollbackTransaction(bool) {
  if (!FInTransaction) return;
  TFirstError first;
  if (FRestrictedTransaction) {
    for (auto t = FTransactionDataTableList.rbegin(); t != FTransactionDataTableList.rend();
         ++t) {
      first.Try([&] { (*t)->RollbackTransaction(); });
    }
  } else {
    for (auto t = FDataTableList.rbegin(); t != FDataTableList.rend(); ++t) {
      first.Try([&] { (*t)->RollbackTransaction(); });
    }
    first.Try([&] { FLocks->TransUnlockDataDirectory(); });
  }
  FInTransaction = false;
  FRestrictedTransaction = false;
  FTransactionDataTableList.clear();
  if (!FFreeing) first.Try([&] { CloseUnusedTables(); });
  first.Rethrow();
}

void TDataDirectory::CheckTransaction() {
  if (FInTransaction) CommitTransaction(true, true);
}

void TDataDirectory::CloseUnusedTables() {
  for (size_t i = FDataTableList.size(); i-- > 0;) {
    TDataTable* table = FDataTableList[i].get();
    if (table->UseCount() > 0 || table->InTransaction()) continue;
    if (FKeepTablesOpen && !table->Exclusive()) continue;
    // Out of the list first: a close that fails still leaves no table object behind.
    std::unique_ptr<TDataTable> owned = std::move(FDataTableList[i]);
    FDataTableList.erase(FDataTableList.begin() + static_cast<std::ptrdiff_t>(i));
    owned->CloseTable(false, true);
  }
}

void TDataDirectory::AddDataCursor(TDataCursor* Cursor) { FDataCursorList.push_back(Cursor); }

void TDataDirectory::RemoveDataCursor(TDataCursor* Cursor) {
  if (FFreeing) return;
  auto it = std::find(FDataCursorList.begin(), FDataCursorList.end(), Cursor);
  if (it != FDataCursorList.end()) FDataCursorList.erase(it);
}

}  // namespace kura
