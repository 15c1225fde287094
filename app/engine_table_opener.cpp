#include "app/engine_table_opener.h"

#include "app/cash_book_fields.h"
#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/cursor/data_cursor.h"
#include "engine/core/engine_error.h"
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

// The cursor's visible field of that name (compared without regard to case), or nullptr.
const kura::TFieldDefinition* FindField(const kura::TDataCursor& cursor, const std::string& name) {
  for (uint16_t position = 1; position <= cursor.FieldCount(); ++position) {
    const kura::TFieldDefinition* field = cursor.FieldDefinition(position);
    if (field != nullptr &&
        platform::AnsiUpperCase(field->FieldName) == platform::AnsiUpperCase(name)) {
      return field;
    }
  }
  return nullptr;
}

// Binds the data fields of the table component over `table_name` to the open cursor.
void BindFields(const kura::TDataCursor& cursor, const std::string& table_name) {
  for (const TBoundField& bound : BoundFieldsOf(table_name)) {
    const std::string name = platform::Utf8ToAnsi(bound.name);
    const kura::TFieldDefinition* field = FindField(cursor, name);
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
  // Owners free what they create in reverse order: cursors (each closes itself and gives its
  // table back), directories, session, engine.
  while (!cursors_.empty()) cursors_.pop_back();
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
  auto cursor = std::make_unique<kura::TDataCursor>(DirectoryFor(directory));
  cursor->SetTableName(table_name);
  cursor->OpenCursor();
  BindFields(*cursor, table_name);  // on failure the cursor closes as it goes
  cursors_.push_back(std::move(cursor));
}

std::vector<kura::TDataCursor*> TEngineTableOpener::OpenCursors() const {
  std::vector<kura::TDataCursor*> cursors;
  for (const auto& cursor : cursors_) cursors.push_back(cursor.get());
  return cursors;
}

}  // namespace sorami
