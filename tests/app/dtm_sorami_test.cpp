#include "app/dtm_sorami.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/directory_name.h"
#include "app/table_opener.h"
#include "app/termination_request.h"
#include "engine/core/engine_error.h"
#include "platform/ansi_text.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "tests/app/recording_dialogs.h"
#include "tests/support/scoped_code_page.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace sorami_test {
namespace {

using sorami::kSettingsFolderNotCreatedMessage;
using sorami::kSoramiTableNotOpenedMessage;
using sorami::kTableFolderUnusableMessage;

// Records every open and fails for the tables it is told to fail for, with a database error
// whose text, like an engine error's, is in the ANSI code page.
class TScriptedTableOpener : public sorami::TTableOpener {
 public:
  void OpenTable(const std::string& directory, const std::string& table_name) override {
    directories.push_back(directory);
    attempts.push_back(table_name);
    if (failing.count(table_name) != 0) {
      throw kura::EDatabaseError(platform::Utf8ToAnsi(table_name + " が開けません"));
    }
  }

  std::set<std::string> failing;
  std::vector<std::string> attempts = {};
  std::vector<std::string> directories;
};

// USERPROFILE points at a fresh folder for each test; the previous value comes back afterwards.
class StartupTest : public testing::Test {
 protected:
  bool FolderExists(const std::string& relative) const {
    return std::filesystem::is_directory(temp_.NativePath(relative));
  }
  void MakeFolder(const std::string& relative) const {
    ASSERT_TRUE(platform::ForceDirectories(platform::FromNativePath(temp_.NativePath(relative))));
  }

  kura_test::TempDir temp_;
  kura_test::ScopedEnv profile_{"USERPROFILE", temp_.native().c_str()};
  kura_test::ScopedCodePage code_page_{932};
  TScriptedTableOpener opener_;
  TRecordingDialogs dialogs_;
  sorami::TTerminationRequest termination_;
};

enum class TArgument {
  kNone,              // the default folder under the profile
  kExistingFolder,    // "db", made before start-up
  kCreatableFolder,   // "new/a/b", missing with its parents
  kUnderRegularFile,  // "plain/db", where "plain" is a file
  kNotInCodePage,     // "café": "é" has no code in code page 932
};

struct TStartupCase {
  const char* name;
  TArgument argument = TArgument::kNone;
  bool settings_folder_blocked = false;  // a file stands where the settings folder belongs
  std::set<std::string> failing_tables = {};
  std::vector<TShownBox> boxes = {};
  bool termination = false;
  std::vector<std::string> attempts;
  std::vector<std::string> open_components = {};
  std::vector<std::string> existing_folders = {};
  std::vector<std::string> missing_folders = {};
};

void PrintTo(const TStartupCase& c, std::ostream* out) { *out << c.name; }

const std::set<std::string> kNoTables = {"SORAMI", "KAMOKU", "kubun"};
const TShownBox kTableFolderWarning{TBoxKind::kWarning, kTableFolderUnusableMessage};
const TShownBox kSoramiWarning{TBoxKind::kWarning, kSoramiTableNotOpenedMessage};
const TShownBox kKamokuError{TBoxKind::kErrorReport, "KAMOKU が開けません"};
const std::vector<std::string> kAllComponents = {"tblSorami", "tblKamoku", "tblKamokuEdit",
                                                 "TableKubun"};
const std::vector<std::string> kAllAttempts = {"SORAMI", "KAMOKU", "KAMOKU", "kubun"};
// Without tables, the entries fail and then the accounts, whose error ends start-up.
const std::vector<std::string> kAttemptsWithoutTables = {"SORAMI", "KAMOKU"};
constexpr char kDefaultTable[] = "Documents/SoramiV8/Table";
constexpr char kSettings[] = "Documents/SoramiV8/INI";

const TStartupCase kStartupCases[] = {
    {.name = "NoArgumentMissingDefaultFolder",
     .failing_tables = kNoTables,
     .boxes = {kSoramiWarning, kKamokuError},
     .termination = true,
     .attempts = kAttemptsWithoutTables,
     .existing_folders = {kDefaultTable, kSettings}},
    {.name = "ExistingFolderWithTables",
     .argument = TArgument::kExistingFolder,
     .attempts = kAllAttempts,
     .open_components = kAllComponents,
     .existing_folders = {"db", kSettings},
     .missing_folders = {kDefaultTable}},
    {.name = "CreatableFolderWithoutTables",
     .argument = TArgument::kCreatableFolder,
     .failing_tables = kNoTables,
     .boxes = {kSoramiWarning, kKamokuError},
     .termination = true,
     .attempts = kAttemptsWithoutTables,
     .existing_folders = {"new/a/b", kSettings},
     .missing_folders = {kDefaultTable}},
    {.name = "FolderUnderRegularFile",
     .argument = TArgument::kUnderRegularFile,
     .failing_tables = kNoTables,
     .boxes = {kTableFolderWarning, kSoramiWarning, kKamokuError},
     .termination = true,
     .attempts = kAttemptsWithoutTables,
     .existing_folders = {kSettings},
     .missing_folders = {"plain/db", kDefaultTable}},
    {.name = "FolderNotInCodePage",
     .argument = TArgument::kNotInCodePage,
     .failing_tables = kNoTables,
     .boxes = {kTableFolderWarning, kSoramiWarning, kKamokuError},
     .termination = true,
     .attempts = kAttemptsWithoutTables,
     .existing_folders = {kSettings},
     .missing_folders = {"café", "caf?", kDefaultTable}},
    {.name = "SettingsFolderCannotBeCreated",
     .settings_folder_blocked = true,
     .boxes = {{TBoxKind::kWarning, kSettingsFolderNotCreatedMessage}},
     .attempts = kAllAttempts,
     .open_components = kAllComponents,
     .existing_folders = {kDefaultTable},
     .missing_folders = {kSettings}},
    {.name = "SoramiFails",
     .argument = TArgument::kExistingFolder,
     .failing_tables = {"SORAMI"},
     .boxes = {kSoramiWarning},
     .termination = true,
     .attempts = kAllAttempts,
     .open_components = {"tblKamoku", "tblKamokuEdit", "TableKubun"},
     .existing_folders = {"db"}},
    // The account lookup of the entries opens KAMOKU first, so the entries fail with it.
    {.name = "KamokuFails",
     .argument = TArgument::kExistingFolder,
     .failing_tables = {"KAMOKU"},
     .boxes = {kSoramiWarning, kKamokuError},
     .termination = true,
     .attempts = {"SORAMI", "KAMOKU", "KAMOKU"},
     .existing_folders = {"db"}},
    {.name = "KubunFails",
     .argument = TArgument::kExistingFolder,
     .failing_tables = {"kubun"},
     .boxes = {{TBoxKind::kErrorReport, "kubun が開けません"}},
     .attempts = kAllAttempts,
     .open_components = {"tblSorami", "tblKamoku", "tblKamokuEdit"},
     .existing_folders = {"db"}},
};

class StartupCaseTest : public StartupTest, public testing::WithParamInterface<TStartupCase> {};

TEST_P(StartupCaseTest, ShowsMessagesOpensTablesAndMakesFolders) {
  const TStartupCase& c = GetParam();
  std::string argument;
  std::string expected_table_folder = temp_.NativePath(kDefaultTable);
  switch (c.argument) {
    case TArgument::kNone:
      break;
    case TArgument::kExistingFolder:
      MakeFolder("db");
      argument = temp_.NativePath("db");
      break;
    case TArgument::kCreatableFolder:
      argument = temp_.NativePath("new/a/b");
      break;
    case TArgument::kUnderRegularFile:
      kura_test::WriteNativeFile(temp_.NativePath("plain"), "x");
      argument = temp_.NativePath("plain/db");
      break;
    case TArgument::kNotInCodePage:
      argument = temp_.NativePath("café");
      break;
  }
  if (!argument.empty()) expected_table_folder = argument;
  if (c.settings_folder_blocked) {
    MakeFolder("Documents/SoramiV8");
    kura_test::WriteNativeFile(temp_.NativePath(kSettings), "not a folder");
  }
  opener_.failing = c.failing_tables;

  sorami::TDtmSorami data_module(opener_, dialogs_, termination_, argument);

  EXPECT_EQ(dialogs_.boxes, c.boxes);
  EXPECT_EQ(termination_.IsRequested(), c.termination);
  EXPECT_EQ(opener_.attempts, c.attempts);
  std::vector<std::string> open_components;
  for (const char* component :
       {"tblSorami", "tblKamoku", "tblLookKamoku", "tblKamokuEdit", "TableKubun"}) {
    if (data_module.IsTableOpen(component)) open_components.push_back(component);
  }
  EXPECT_EQ(open_components, c.open_components);
  for (const std::string& folder : c.existing_folders) EXPECT_TRUE(FolderExists(folder)) << folder;
  for (const std::string& folder : c.missing_folders) EXPECT_FALSE(FolderExists(folder)) << folder;
  // Every table is opened in the database directory: the table folder, normalised.
  const std::string expected_directory =
      sorami::NormaliseDirectoryName(platform::Utf8ToAnsi(expected_table_folder));
  EXPECT_EQ(data_module.DatabaseDirectory(), expected_directory);
  for (const std::string& directory : opener_.directories) EXPECT_EQ(directory, expected_directory);
  EXPECT_EQ(data_module.SettingsFolderPath(), temp_.engine() + "\\Documents\\SoramiV8\\INI");
}

INSTANTIATE_TEST_SUITE_P(Cases, StartupCaseTest, testing::ValuesIn(kStartupCases),
                         [](const testing::TestParamInfo<TStartupCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(StartupTest, OpeningAgainOpensOnlyWhatIsClosed) {
  MakeFolder("db");
  opener_.failing = {"kubun"};
  sorami::TDtmSorami data_module(opener_, dialogs_, termination_, temp_.NativePath("db"));
  ASSERT_EQ(opener_.attempts, kAllAttempts);

  opener_.failing.clear();
  data_module.AllTableSQLOpen();

  EXPECT_EQ(opener_.attempts,
            (std::vector<std::string>{"SORAMI", "KAMOKU", "KAMOKU", "kubun", "kubun"}));
  EXPECT_TRUE(data_module.IsTableOpen("TableKubun"));
  EXPECT_FALSE(data_module.IsTableOpen("tblLookKamoku"));
}

// Written with "/" or "\", with or without trailing separators: the same database directory.
TEST_F(StartupTest, ArgumentSpellingsNameTheSameDirectory) {
  MakeFolder("db");
  const std::string engine = platform::FromNativePath(temp_.NativePath("db"));
  const std::string spellings[] = {temp_.NativePath("db"),
                                   temp_.NativePath("db") + "/",
                                   temp_.NativePath("db") + "//",
                                   engine,
                                   engine + "\\",
                                   platform::AnsiToUtf8(engine) + "\\/"};
  for (const std::string& spelling : spellings) {
    SCOPED_TRACE(spelling);
    TScriptedTableOpener opener;
    TRecordingDialogs dialogs;
    sorami::TTerminationRequest termination;
    sorami::TDtmSorami data_module(opener, dialogs, termination, spelling);
    EXPECT_EQ(data_module.DatabaseDirectory(), engine);
    EXPECT_EQ(opener.directories, std::vector<std::string>(4, engine));
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(termination.IsRequested());
  }
}

TEST(NormaliseDirectoryNameTest, UsesBackslashesWithoutTrailingSeparator) {
  kura_test::ScopedCodePage code_page(932);
  const std::string hyo = "\x95\x5C";  // "表": its trail byte is the code of "\"
  const struct {
    std::string directory;
    std::string normalised;
  } cases[] = {
      {"", ""},
      {"C:\\Data", "C:\\Data"},
      {"C:/Data/Sorami/", "C:\\Data\\Sorami"},
      {"C:\\Data\\\\", "C:\\Data"},
      {"rel/dir\\/", "rel\\dir"},
      {"\\", "\\"},
      {"//", "\\"},
      {"C:\\" + hyo, "C:\\" + hyo},
      {"C:/" + hyo + "/", "C:\\" + hyo},
      {"C:\\" + hyo + "\\\\", "C:\\" + hyo},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sorami::NormaliseDirectoryName(c.directory), c.normalised) << c.directory;
  }
}

}  // namespace
}  // namespace sorami_test
