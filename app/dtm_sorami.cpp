#include "app/dtm_sorami.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "app/directory_name.h"
#include "app/error_message.h"
#include "app/table_opener.h"
#include "app/termination_request.h"
#include "app/user_dialogs.h"
#include "platform/ansi_text.h"
#include "platform/environment.h"
#include "platform/file_system.h"

namespace sorami {

namespace {

constexpr char kTblSorami[] = "tblSorami";
constexpr char kTblKamoku[] = "tblKamoku";
constexpr char kTblLookKamoku[] = "tblLookKamoku";
constexpr char kTableKubun[] = "TableKubun";
constexpr char kTblKamokuEdit[] = "tblKamokuEdit";

// The argument in the engine's 8-bit text, or nothing when the code page cannot write it: a
// path with a character the code page lacks would silently turn into another path.
bool ToAnsiExactly(const std::string& utf8, std::string* ansi) {
  *ansi = platform::Utf8ToAnsi(utf8);
  return platform::AnsiToUtf8(*ansi) == utf8;
}

}  // namespace

TDtmSorami::TDtmSorami(TTableOpener& opener, TUserDialogs& dialogs,
                       TTerminationRequest& termination, std::string first_argument)
    : opener_(opener),
      dialogs_(dialogs),
      termination_(termination),
      first_argument_(std::move(first_argument)),
      tables_{{kTblSorami, kSoramiTableName, false},
              {kTblKamoku, kKamokuTableName, false},
              {kTblLookKamoku, kKamokuTableName, false},
              {kTableKubun, kKubunTableName, false},
              {kTblKamokuEdit, kKamokuTableName, false}} {
  // Loading a data module reports what escapes its creation handler and goes on: the program
  // runs with whatever did open.
  try {
    DataModuleCreate();
  } catch (const std::exception& e) {
    dialogs_.ShowErrorReport(ErrorMessageText(e));
  } catch (...) {
    dialogs_.ShowErrorReport("Unknown error");
  }
}

void TDtmSorami::DataModuleCreate() {
  // The database component is loaded disconnected; once it is a real component, an open
  // connection is closed here before its Directory changes.

  table_folder_path_ = platform::ProfileFolder() + kDefaultTableFolder;
  settings_folder_path_ = platform::ProfileFolder() + kSettingsFolder;

  if (!platform::DirectoryExists(settings_folder_path_) &&
      !platform::ForceDirectories(settings_folder_path_)) {
    dialogs_.ShowWarning(kSettingsFolderNotCreatedMessage);
  }

  if (!first_argument_.empty()) {
    std::string argument;
    const bool representable = ToAnsiExactly(first_argument_, &argument);
    if (!representable ||
        (!platform::DirectoryExists(argument) && !platform::ForceDirectories(argument))) {
      dialogs_.ShowWarning(kTableFolderUnusableMessage);
      termination_.Request();
    }
    // The argument becomes the table folder even when it could not be created: opening the
    // tables then fails with messages of its own.
    table_folder_path_ = argument;
  } else if (!platform::DirectoryExists(table_folder_path_) &&
             !platform::ForceDirectories(table_folder_path_)) {
    dialogs_.ShowWarning(kTableFolderUnusableMessage);
    termination_.Request();
  }

  database_directory_ = NormaliseDirectoryName(table_folder_path_);
  // The database stays disconnected here; the first table that opens connects it.
  AllTableSQLOpen();
}

void TDtmSorami::AllTableSQLOpen() {
  try {
    OpenTableComponent(Component(kTblSorami));
  } catch (...) {
    dialogs_.ShowWarning(kSoramiTableNotOpenedMessage);
    termination_.Request();
  }
  OpenTableComponent(Component(kTblKamoku));
  OpenTableComponent(Component(kTblKamokuEdit));
  OpenTableComponent(Component(kTableKubun));
}

bool TDtmSorami::IsTableOpen(const std::string& component_name) const {
  for (const TTableComponent& table : tables_) {
    if (component_name == table.component_name) return table.open;
  }
  return false;
}

void TDtmSorami::OpenTableComponent(TTableComponent& table) {
  if (table.open) return;
  opener_.OpenTable(database_directory_, table.table_name);
  // The entries' account-name lookup reads tblKamoku, so opening the entries opens it too; a
  // failure there fails the opening of the entries as a whole.
  if (table.component_name == std::string(kTblSorami)) {
    OpenTableComponent(Component(kTblKamoku));
  }
  table.open = true;
}

TDtmSorami::TTableComponent& TDtmSorami::Component(const char* component_name) {
  for (TTableComponent& table : tables_) {
    if (std::string(component_name) == table.component_name) return table;
  }
  throw std::logic_error(std::string("no table component ") + component_name);
}

}  // namespace sorami
