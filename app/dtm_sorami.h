// The data module: the database and table components of the cash book, and start-up, which
// chooses the database directory, makes sure the folders exist and opens the tables.
//
// Until the dataset layer provides the database and table components, the data module keeps
// the database directory and the open state of each table component itself and opens tables
// through a TTableOpener. Messages go through TUserDialogs; a termination request goes to the
// TTerminationRequest the program checks before its main loop. All borrowed objects must
// outlive the data module. Used on the user-interface thread only.
#pragma once

#include <string>
#include <vector>

namespace sorami {

class TTableOpener;
class TTerminationRequest;
class TUserDialogs;

// Start-up messages, exactly as the user sees them.
inline constexpr char kSettingsFolderNotCreatedMessage[] = "ディレクトリーを作成できませんでした。";
inline constexpr char kTableFolderUnusableMessage[] =
    "保存先フォルダがないか、または、作成できません。\r\n"
    "正しい保存先フォルダを指定してください。\r\n"
    "プログラムを終了します。";
inline constexpr char kSoramiTableNotOpenedMessage[] =
    "ソラミのデータテーブルが開けません。\r\nプログラムを終了します。";

// The folders under the profile folder.
inline constexpr char kDefaultTableFolder[] = "\\Documents\\SoramiV8\\Table";
inline constexpr char kSettingsFolder[] = "\\Documents\\SoramiV8\\INI";

// Names of the cash-book tables, case as stored.
inline constexpr char kSoramiTableName[] = "SORAMI";
inline constexpr char kKamokuTableName[] = "KAMOKU";
inline constexpr char kKubunTableName[] = "kubun";

class TDtmSorami {
 public:
  // Creates the data module and runs its creation handler. An error that escapes the handler is
  // shown through the standard error report and the data module still exists.
  // `first_argument` is the program's first command-line argument (UTF-8, empty when none).
  TDtmSorami(TTableOpener& opener, TUserDialogs& dialogs, TTerminationRequest& termination,
             std::string first_argument);
  TDtmSorami(const TDtmSorami&) = delete;
  TDtmSorami& operator=(const TDtmSorami&) = delete;

  // The creation handler: chooses the database directory, creates missing folders and opens
  // the tables. Errors of the unguarded table opens propagate.
  void DataModuleCreate();
  // Opens the table components in their fixed order; opening an open component does nothing.
  void AllTableSQLOpen();
  // Exists with an empty body and is never called: the tables belong to the version 8
  // application, which creates them.
  void MakeAllTable() {}

  // The table folder path (ANSI), as start-up left it.
  const std::string& TableFolderPath() const { return table_folder_path_; }
  // The settings folder path (ANSI); only created, never read or written.
  const std::string& SettingsFolderPath() const { return settings_folder_path_; }
  // The Directory of the database component KuraDbSorami (normalised).
  const std::string& DatabaseDirectory() const { return database_directory_; }
  // Whether the table component of that name (tblSorami, tblKamoku, tblKamokuEdit,
  // TableKubun, tblLookKamoku) is open. False for unknown names.
  bool IsTableOpen(const std::string& component_name) const;

 private:
  struct TTableComponent {
    const char* component_name;
    const char* table_name;
    bool open;
  };

  void OpenTableComponent(TTableComponent& table);
  TTableComponent& Component(const char* component_name);

  TTableOpener& opener_;
  TUserDialogs& dialogs_;
  TTerminationRequest& termination_;
  std::string first_argument_;

  // These two live as long as the program runs.
  std::string table_folder_path_;
  std::string settings_folder_path_;
  std::string database_directory_;

  // Five components over three tables: tblKamoku serves the account grid, the lookup of
  // account names and the import; tblKamokuEdit is opened and otherwise left alone;
  // tblLookKamoku is never opened.
  std::vector<TTableComponent> tables_;
};

}  // namespace sorami
