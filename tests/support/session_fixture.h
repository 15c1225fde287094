// A test fixture with an initialised engine, one session and a temporary database directory,
// with short lock retries so that refused locks fail within milliseconds.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "tests/support/table_fixture.h"
#include "tests/support/temp_dir.h"

namespace kura_test {

// A table opened the way another program opens it: its own engine, session and directory
// object. Build it in a forked child (or for a second engine of the same process).
struct SeparateTable {
  SeparateTable(const std::string& directory, const std::string& name) {
    engine.Initialize("kura.lck");
    UseFastLockRetries(engine);
    session = engine.StartDataSession("Other");
    session->SetLockRetries(2);
    session->SetLockWait(1);
    this->directory = session->OpenDataDirectory("db", directory, false);
    table = this->directory->OpenDataTable(name, "", false, false, false, false, false, true);
  }
  kura::TDataEngine engine;
  kura::TDataSession* session = nullptr;
  kura::TDataDirectory* directory = nullptr;
  kura::TDataTable* table = nullptr;
};

class SessionFixture : public testing::Test {
 protected:
  SessionFixture() {
    engine_.Initialize("kura.lck");
    UseFastLockRetries(engine_);
    session_ = NewSession();
  }

  kura::TDataSession* NewSession() {
    kura::TDataSession* session = engine_.StartDataSession("Test");
    session->SetLockRetries(2);
    session->SetLockWait(1);
    return session;
  }
  kura::TDataDirectory* OpenDirectory(kura::TDataSession* session = nullptr,
                                      bool keep_tables_open = false) {
    return (session != nullptr ? session : session_)
        ->OpenDataDirectory("db", dir_.engine(), keep_tables_open);
  }
  static kura::TDataTable* OpenTable(kura::TDataDirectory* directory, const std::string& name,
                                     bool exclusive = false) {
    return directory->OpenDataTable(name, "", exclusive, false, false, false, false, true);
  }
  static void CloseTable(kura::TDataDirectory* directory, kura::TDataTable* table) {
    directory->CloseDataTable(table, false, false, false, false);
  }
  void CreateTable(const std::string& name) { CreateSmallTable(&engine_, dir_.engine(), name); }

  std::string DataPath(const std::string& name) const { return dir_.EnginePath(name + ".dat"); }
  std::string IndexPath(const std::string& name) const { return dir_.EnginePath(name + ".idx"); }
  std::string LockPath() const { return dir_.EnginePath("kura.lck"); }

  TempDir dir_;
  kura::TDataEngine engine_;
  kura::TDataSession* session_ = nullptr;
};

}  // namespace kura_test
