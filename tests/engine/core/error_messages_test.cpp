#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/core/error_table.h"
#include "platform/ansi_text.h"
#include "platform/os_error.h"

namespace {

using kura::EKuraEngineError;
using kura::TDataEngine;
using kura::TErrorContext;

// Raises through the engine and hands back the exception.
EKuraEngineError Raise(TDataEngine& engine, uint16_t code, const TErrorContext& context = {}) {
  try {
    engine.RaiseError(code, context);
  } catch (const EKuraEngineError& e) {
    return e;
  }
  ADD_FAILURE() << "RaiseError returned";
  return EKuraEngineError(0, "", {});
}

struct MessageCase {
  uint16_t code;
  TErrorContext context;
  const char* text;
};

const MessageCase kMessageCases[] = {
    // The index name fills the first placeholder, the table name the second.
    {kura::KURA_KEYVIOL,
     {.table_name = "KAMOKU", .index_name = "ByCode"},
     "Duplicate key found in the index 'ByCode' of the table 'KAMOKU'"},
    {kura::KURA_INVALIDFILTER,
     {.table_name = "SORAMI", .message = "Unknown field", .line = 3, .column = 14},
     "Filter error for the table 'SORAMI' - Unknown field at line 3, column 14"},
    {kura::KURA_INVALIDIDXDESC,
     {.table_name = "T", .field_name = "Code", .index_name = "ByCode"},
     "Invalid field number 'Code' specified in the index 'ByCode' for the table 'T'"},
    {kura::KURA_DATABASEFULL,
     {.database_name = "\\db", .table_name = "ignored"},
     "The database '\\db' is full and cannot contain any more tables"},
    {kura::KURA_SQLPARSE,
     {.message = "Expected FROM", .line = -1, .column = 0},
     "SQL parsing error - Expected FROM at line 4294967295, column 0"},
    {kura::KURA_OSENOMEM,
     {.table_name = "x"},
     "There is insufficient operating system memory available for the current operation"},
    // A "%" inside a name is text, not a placeholder.
    {kura::KURA_BOF,
     {.table_name = "100%s"},
     "Beginning of table '100%s' unexpectedly encountered"},
    {kura::KURA_REMOTEDUPDBUSER,
     {.user_name = "guest", .database_name = "Books"},
     "The user 'guest' already exists for the database 'Books'"},
    {60000, {.table_name = "x"}, "An unknown error occurred"},
};

TEST(ErrorMessagesTest, FillEachPlaceholderFromItsDetail) {
  TDataEngine engine;
  for (const auto& c : kMessageCases) {
    EKuraEngineError e = Raise(engine, c.code, c.context);
    EXPECT_EQ(engine.GetErrorString(c.code), c.text) << c.code;
    EXPECT_EQ(std::string(e.what()),
              "Kura Engine Error # " + std::to_string(c.code) + " " + c.text);
    EXPECT_EQ(e.ErrorCode(), c.code);
  }
}

TEST(ErrorMessagesTest, TextsAreCutTo254CharactersAlsoInTheException) {
  TDataEngine engine;
  std::string name(300, 'n');
  EKuraEngineError e = Raise(engine, kura::KURA_BOF, {.table_name = name});
  std::string full = "Beginning of table '" + name + "' unexpectedly encountered";
  EXPECT_EQ(engine.GetErrorString(kura::KURA_BOF), full.substr(0, 254));
  EXPECT_EQ(std::string(e.what()), "Kura Engine Error # 8705 " + full.substr(0, 254));
  EXPECT_EQ(e.ErrorTableName(), name);  // the detail itself is kept whole

  // A double-byte character that the cut would split is dropped whole.
  ASSERT_TRUE(platform::SetAnsiCodePage(932));
  std::string wide = "x";
  for (int i = 0; i < 150; ++i) wide += "\x82\xa0";  // hiragana A in Shift_JIS
  Raise(engine, kura::KURA_BOF, {.table_name = wide});
  std::string text = engine.GetErrorString(kura::KURA_BOF);
  EXPECT_EQ(text.size(), 253u);
  EXPECT_EQ(text, ("Beginning of table '" + wide).substr(0, 253));
}

TEST(ErrorMessagesTest, PositionalRaiseFillsEveryDetailInOrder) {
  TDataEngine engine;
  try {
    engine.RaiseError(kura::KURA_SQLEXEC, "remote", "user", "database", "table", "field", "index",
                      "message", "procedure", "event", 12, 34);
    FAIL() << "RaiseError returned";
  } catch (const EKuraEngineError& e) {
    EXPECT_EQ(e.ErrorRemoteName(), "remote");
    EXPECT_EQ(e.ErrorUserName(), "user");
    EXPECT_EQ(e.ErrorDatabaseName(), "database");
    EXPECT_EQ(e.ErrorTableName(), "table");
    EXPECT_EQ(e.ErrorFieldName(), "field");
    EXPECT_EQ(e.ErrorIndexName(), "index");
    EXPECT_EQ(e.ErrorMessage(), "message");
    EXPECT_EQ(e.ErrorProcedureName(), "procedure");
    EXPECT_EQ(e.ErrorEventName(), "event");
    EXPECT_EQ(e.ErrorLine(), 12);
    EXPECT_EQ(e.ErrorColumn(), 34);
    EXPECT_STREQ(e.what(), "Kura Engine Error # 11950 SQL execution error - message");
  }
}

TEST(ErrorMessagesTest, EachRaiseStartsFromClearedDetails) {
  TDataEngine engine;
  Raise(engine, kura::KURA_KEYVIOL, {.table_name = "A", .index_name = "I"});
  EKuraEngineError e = Raise(engine, kura::KURA_INVALIDINDEXNAME, {.index_name = "J"});
  EXPECT_EQ(e.ErrorTableName(), "");
  EXPECT_STREQ(e.what(),
               "Kura Engine Error # 10022 Invalid secondary index name 'J' specified for the "
               "table ''");
  EXPECT_EQ(engine.LastErrorNumber(), kura::KURA_INVALIDINDEXNAME);
}

struct OSErrorCase {
  int os_error;
  uint16_t code;
};

const OSErrorCase kOSErrorCases[] = {
    {platform::kErrorFileNotFound, kura::KURA_OSENOENT},
    {platform::kErrorPathNotFound, kura::KURA_OSENOENT},
    {platform::kErrorTooManyOpenFiles, kura::KURA_OSEMFILE},
    {platform::kErrorAccessDenied, kura::KURA_OSEACCES},
    {platform::kErrorSharingViolation, kura::KURA_OSEACCES},
    {platform::kErrorNetworkAccessDenied, kura::KURA_OSEACCES},
    {platform::kErrorAlreadyExists, kura::KURA_OSEACCES},
    {platform::kErrorInvalidHandle, kura::KURA_OSEBADF},
    {platform::kErrorNotEnoughMemory, kura::KURA_OSENOMEM},
    {platform::kErrorOutOfMemory, kura::KURA_OSENOMEM},
    {platform::kErrorInvalidDrive, kura::KURA_OSENODEV},
    {platform::kErrorNotSameDevice, kura::KURA_OSENOTSAM},
    {platform::kErrorLockViolation, kura::KURA_OSUNKNOWN},
    {platform::kErrorFileExists, kura::KURA_OSUNKNOWN},
    {platform::kErrorUnmappedBase + 75, kura::KURA_OSUNKNOWN},
};

// OSError maps the last OS error and leaves its number for the next raise, which consumes it.
TEST(ErrorMessagesTest, OSErrorsMapToEngineCodesAndTheirNumberReachesTheNextRaise) {
  TDataEngine engine;
  for (const auto& c : kOSErrorCases) {
    platform::SetLastOsError(c.os_error);
    EXPECT_EQ(engine.OSError(), c.code) << "OS error " << c.os_error;
    EKuraEngineError e = Raise(engine, c.code, {.table_name = "x.dat"});
    EXPECT_EQ(e.OSErrorCode(), c.os_error);
    EXPECT_EQ(Raise(engine, c.code).OSErrorCode(), 0) << "the pending number was not consumed";
  }
  platform::SetLastOsError(1234);
  engine.OSError();
  EKuraEngineError e = Raise(engine, kura::KURA_OSUNKNOWN, {.table_name = "x.dat"});
  EXPECT_STREQ(e.what(),
               "Kura Engine Error # 11047 An unknown operating system error 1234 occurred with the "
               "table or backup file 'x.dat'");
}

TEST(ErrorMessagesTest, ConvertsExceptionsBackToCodes) {
  TDataEngine engine;
  EXPECT_EQ(TDataEngine::ConvertExceptionToCode(Raise(engine, kura::KURA_TABLEOPEN)),
            kura::KURA_TABLEOPEN);
  EXPECT_EQ(TDataEngine::ConvertExceptionToCode(std::runtime_error("x")), kura::KURA_OSUNKNOWN);
  EXPECT_EQ(TDataEngine::ConvertExceptionToCode(kura::EDatabaseError("Missing table name")),
            kura::KURA_OSUNKNOWN);
  EXPECT_EQ(TDataEngine::ConvertExceptionToCode(std::make_exception_ptr(
                EKuraEngineError(kura::KURA_EOF, "", {}))),
            kura::KURA_EOF);
  EXPECT_EQ(TDataEngine::ConvertExceptionToCode(std::make_exception_ptr(42)), kura::KURA_OSUNKNOWN);
}

// The constant names of the table and the constants of the header describe the same codes.
TEST(ErrorMessagesTest, ConstantNamesAgreeWithTheHeader) {
#define KURA_CODE(name) {kura::name, #name}
  const std::pair<uint16_t, const char*> kConstants[] = {
      KURA_CODE(KURA_NONE), KURA_CODE(KURA_BOF), KURA_CODE(KURA_EOF),
      KURA_CODE(KURA_KEYORRECDELETED), KURA_CODE(KURA_NOCURRREC), KURA_CODE(KURA_RECNOTFOUND),
      KURA_CODE(KURA_ENDOFBLOB), KURA_CODE(KURA_HEADERCORRUPT), KURA_CODE(KURA_FILECORRUPT),
      KURA_CODE(KURA_MEMOCORRUPT), KURA_CODE(KURA_INDEXCORRUPT), KURA_CODE(KURA_READERR),
      KURA_CODE(KURA_WRITEERR), KURA_CODE(KURA_RECTOOBIG), KURA_CODE(KURA_TABLEFULL),
      KURA_CODE(KURA_DATABASEFULL), KURA_CODE(KURA_INTERNALLIMIT), KURA_CODE(KURA_INDEXLIMIT),
      KURA_CODE(KURA_FLDLIMIT), KURA_CODE(KURA_OPENBLOBLIMIT), KURA_CODE(KURA_BLOBLIMIT),
      KURA_CODE(KURA_KEYVIOL), KURA_CODE(KURA_MINVALERR), KURA_CODE(KURA_MAXVALERR),
      KURA_CODE(KURA_REQDERR), KURA_CODE(KURA_OUTOFRANGE), KURA_CODE(KURA_PRIMARYKEYREDEFINE),
      KURA_CODE(KURA_INVALIDBLOBOFFSET), KURA_CODE(KURA_INVALIDFLDTYPE),
      KURA_CODE(KURA_INVALIDVCHKSTRUCT), KURA_CODE(KURA_INDEXNAMEREQUIRED),
      KURA_CODE(KURA_INVALIDPASSWORD), KURA_CODE(KURA_INVALIDINDEXNAME),
      KURA_CODE(KURA_INVALIDIDXDESC), KURA_CODE(KURA_INVALIDKEY), KURA_CODE(KURA_INDEXEXISTS),
      KURA_CODE(KURA_INVALIDBLOBLEN), KURA_CODE(KURA_INVALIDBLOBHANDLE),
      KURA_CODE(KURA_TABLEOPEN), KURA_CODE(KURA_INVALIDFIELDNAME), KURA_CODE(KURA_NOSUCHFILTER),
      KURA_CODE(KURA_INVALIDFILTER), KURA_CODE(KURA_LOCKREADLOCK),
      KURA_CODE(KURA_LOCKREADUNLOCK), KURA_CODE(KURA_LOCKWRITELOCK),
      KURA_CODE(KURA_LOCKWRITEUNLOCK), KURA_CODE(KURA_READLOCK), KURA_CODE(KURA_READUNLOCK),
      KURA_CODE(KURA_WRITELOCK), KURA_CODE(KURA_WRITEUNLOCK), KURA_CODE(KURA_TRANSLOCK),
      KURA_CODE(KURA_TRANSUNLOCK), KURA_CODE(KURA_LOCKED), KURA_CODE(KURA_UNLOCKFAILED),
      KURA_CODE(KURA_NEEDEXCLACCESS), KURA_CODE(KURA_RECLOCKFAILED),
      KURA_CODE(KURA_NOTSUFFTABLERIGHTS), KURA_CODE(KURA_NOTABLOB), KURA_CODE(KURA_OSENOENT),
      KURA_CODE(KURA_OSEMFILE), KURA_CODE(KURA_OSEACCES), KURA_CODE(KURA_OSEBADF),
      KURA_CODE(KURA_OSENOMEM), KURA_CODE(KURA_OSENODEV), KURA_CODE(KURA_OSENOTSAM),
      KURA_CODE(KURA_OSUNKNOWN), KURA_CODE(KURA_IMPORTERROR), KURA_CODE(KURA_EXPORTERROR),
      KURA_CODE(KURA_LOADSTREAMERROR), KURA_CODE(KURA_SAVESTREAMERROR),
      KURA_CODE(KURA_TRIGGERERROR), KURA_CODE(KURA_SQLPARSE), KURA_CODE(KURA_SQLEXEC),
      KURA_CODE(KURA_OLDVERSION), KURA_CODE(KURA_BADSIGNATURE), KURA_CODE(KURA_SEARCHCOLREQD),
      KURA_CODE(KURA_TABLEEXISTS), KURA_CODE(KURA_COMPRESS), KURA_CODE(KURA_UNCOMPRESS),
      KURA_CODE(KURA_CANNOTLOADLDDRV), KURA_CODE(KURA_REMOTECOMMLOST),
      KURA_CODE(KURA_REMOTEENCRYPTREQ), KURA_CODE(KURA_REMOTEUNKNOWN),
      KURA_CODE(KURA_REMOTECONNECT), KURA_CODE(KURA_REMOTENOLOGIN),
      KURA_CODE(KURA_REMOTEMAXCONNECT), KURA_CODE(KURA_REMOTEADDRESSBLOCK),
      KURA_CODE(KURA_REMOTECALLBACK), KURA_CODE(KURA_REMOTECALLBACKERR),
      KURA_CODE(KURA_REMOTEVERSION), KURA_CODE(KURA_REMOTEINVLOGIN),
      KURA_CODE(KURA_REMOTENOTAUTH), KURA_CODE(KURA_REMOTENOTADMIN),
      KURA_CODE(KURA_REMOTEINVUSER), KURA_CODE(KURA_REMOTENOUSER), KURA_CODE(KURA_REMOTEDUPUSER),
      KURA_CODE(KURA_REMOTEINVDB), KURA_CODE(KURA_REMOTENODB), KURA_CODE(KURA_REMOTEDUPDB),
      KURA_CODE(KURA_REMOTEINVDBUSER), KURA_CODE(KURA_REMOTENODBUSER),
      KURA_CODE(KURA_REMOTEDUPDBUSER), KURA_CODE(KURA_REMOTEINVREQUEST),
  };
#undef KURA_CODE
  size_t named = 0;
  for (const auto& [code, name] : kConstants) {
    EXPECT_EQ(TDataEngine::TranslateErrorConstant(code), name);
  }
  for (const auto& entry : kura::ErrorTable()) {
    if (entry.constant[0] != '\0') ++named;
    EXPECT_LE(entry.placeholder_count(), std::size(entry.fills)) << entry.code;
  }
  EXPECT_EQ(named, std::size(kConstants)) << "a named code of the table has no constant";
  // The remote codes without a constant name have a message all the same.
  EXPECT_EQ(TDataEngine::TranslateErrorConstant(11300), "");
  EXPECT_NE(kura::FormatErrorMessage(11300, {}, 0), kura::kUnknownErrorText);
  EXPECT_EQ(TDataEngine::TranslateErrorConstant(42), "");
}

// Raises from several threads never mix their details.
TEST(ErrorMessagesTest, ConcurrentRaisesKeepTheirOwnDetails) {
  TDataEngine engine;
  std::atomic<int> mixed{0};
  auto worker = [&](const std::string& table) {
    for (int i = 0; i < 2000; ++i) {
      try {
        engine.RaiseError(kura::KURA_KEYVIOL, {.table_name = table, .index_name = table + "_i"});
      } catch (const EKuraEngineError& e) {
        std::string expected = "Kura Engine Error # 9729 Duplicate key found in the index '" +
                               table + "_i' of the table '" + table + "'";
        if (e.what() != expected || e.ErrorTableName() != table) ++mixed;
      }
    }
  };
  std::vector<std::thread> threads;
  for (const char* table : {"alpha", "beta", "gamma"}) threads.emplace_back(worker, table);
  for (auto& t : threads) t.join();
  EXPECT_EQ(mixed.load(), 0);
}

}  // namespace
