#include "app/engine_table_opener.h"

#include "app/cash_book_fields.h"
#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/format/data_file.h"
#include "engine/format/field_definition.h"
#include "platform/ansi_text.h"

namespace sorami {

namespace {

constexpr char kDatabaseName[] = "soramiv8";
constexpr char kSessionName[] = "Default";

bool KindMatches(TBoundFieldKind kind, const kura::TFieldDefinition& field) {
  switch (kind) {
    case TBoundFieldKind::kText:
      // Text fields bind to strings and fixed-length strings; wide strings and GUIDs are
      // other kinds of field.
      return field.DataType == kura::dtString &&
             (field.SubType == kura::fsNone || field.SubType == kura::fsFixed);
    case TBoundFieldKind::kDate:
      return field.DataType == kura::dtDate;
    case TBoundFieldKind::kFloat:
      return field.DataType == kura::dtFloat &&
             (field.SubType == kura::fsNone || field.SubType == kura::fsCurrency);
  }
  return false;
}

// Binds the data fields of the table component over `table_name` to the open table.
void BindFields(kura::TDataTable* table, const std::string& table_name) {
  kura::TDataFile* data_file = table->DataFile();
  for (const TBoundField& bound : BoundFieldsOf(table_name)) {
    const std::string name = platform::Utf8ToAnsi(bound.name);
    const kura::TFieldDefinition* field = data_file->GetFieldDefinitionByName(name);
    if (field == nullptr || field->IsPseudoField() || field->Hidden) {
      throw kura::EDatabaseError(table_name + ": Field '" + name + "' not found");
    }
    if (!KindMatches(bound.kind, *field)) {
      throw kura::EDatabaseError(table_name + ": Type mismatch for field '" + name + "'");
    }
  }
}

}  // namespace

TEngineTableOpener::TEngineTableOpener() : engine_(std::make_unique<kura::TDataEngine>()) {
  engine_->Initialize(engine_->LockFileName());
  session_ = engine_->StartDataSession(kSessionName);
}

TEngineTableOpener::~TEngineTableOpener() {
  // Owners free what they create in reverse order: tables, directories, session, engine.
  for (auto it = tables_.rbegin(); it != tables_.rend(); ++it) {
    try {
      it->first->CloseDataTable(it->second, false, false, false, false);
    } catch (...) {
      // Closing must not throw out of a destructor; the OS releases what is left.
    }
  }
  for (auto it = directories_.rbegin(); it != directories_.rend(); ++it) {
    session_->CloseDataDirectory(*it);
  }
  engine_->CloseDataSession(session_);
}

kura::TDataDirectory* TEngineTableOpener::DirectoryFor(const std::string& directory) {
  kura::TDataDirectory* opened = session_->OpenDataDirectory(kDatabaseName, directory, false);
  for (kura::TDataDirectory* known : directories_) {
    if (known == opened) {
      // The session counted one more use of a directory this opener already holds.
      session_->CloseDataDirectory(opened);
      return opened;
    }
  }
  directories_.push_back(opened);
  return opened;
}

void TEngineTableOpener::OpenTable(const std::string& directory, const std::string& table_name) {
  kura::TDataDirectory* data_directory = DirectoryFor(directory);
  kura::TDataTable* table =
      data_directory->OpenDataTable(table_name, "", false, false, false, false, false, true);
  try {
    BindFields(table, table_name);
  } catch (...) {
    data_directory->CloseDataTable(table, false, false, false, false);
    throw;
  }
  tables_.emplace_back(data_directory, table);
}

std::vector<kura::TDataTable*> TEngineTableOpener::OpenTables() const {
  std::vector<kura::TDataTable*> tables;
  for (const auto& entry : tables_) tables.push_back(entry.second);
  return tables;
}

}  // namespace sorami
