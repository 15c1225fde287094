#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_directory.h"
#include "engine/core/data_password.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/format/data_header.h"
#include "engine/format/index_header.h"
#include "engine/md5.h"
#include "tests/support/child_process.h"
#include "tests/support/process_identity.h"
#include "tests/support/session_fixture.h"

namespace {

using kura::TDataDirectory;
using kura::TDataPassword;
using kura::TDataSession;
using kura::TDataTable;
using kura_test::EngineErrorOf;

class SessionTest : public kura_test::SessionFixture {};

TEST_F(SessionTest, PasswordsMoveBetweenListAndStackKeepingTheirKeys) {
  session_->AddPassword("");
  session_->AddPassword("Secret");
  session_->AddPassword("Secret");
  session_->AddPassword("secret");
  EXPECT_EQ(session_->PasswordCount(), 2u);
  TDataPassword* secret = session_->GetDataPassword("Secret");
  ASSERT_NE(secret, nullptr);
  EXPECT_EQ(secret->Digest(), kura::MD5Digest("Secret"));

  session_->DeletePassword("Secret");
  EXPECT_FALSE(session_->CheckForPassword("Secret"));
  EXPECT_TRUE(session_->CheckForPassword("secret"));
  // Back from the stack: the same object, so tables sharing its key keep working.
  session_->AddPassword("Secret");
  EXPECT_EQ(session_->GetDataPassword("Secret"), secret);
  session_->DeleteAllPasswords();
  EXPECT_EQ(session_->PasswordCount(), 0u);
}

// A password fits a table when its key deciphers the stored check value to its own digest;
// the text is case-sensitive.
TEST_F(SessionTest, CheckValueIdentifiesItsPassword) {
  session_->AddPassword("Kura");
  session_->AddPassword("kura");
  uint8_t check[16];
  session_->GetDataPassword("Kura")->GetCheckValue(check);
  uint8_t digest[16];
  kura::MD5Digest("Kura").ToBytes(digest);
  EXPECT_NE(std::vector<uint8_t>(check, check + 16), std::vector<uint8_t>(digest, digest + 16));
  EXPECT_EQ(session_->FindPasswordForDigest(check), session_->GetDataPassword("Kura"));
  EXPECT_FALSE(session_->GetDataPassword("kura")->CompareDigest(check));
  session_->DeletePassword("Kura");
  EXPECT_EQ(session_->FindPasswordForDigest(check), nullptr);
}

// An encrypted table (made here from a plain one: header flag and check value set, every other
// unit enciphered) and the ways its open finds or does not find the key.
class EncryptedTableTest : public SessionTest {
 protected:
  void SetUp() override {
    CreateTable("Secret");
    kura::TDataPassword key(&engine_, nullptr);
    key.Initialize("open sesame");
    std::string data = kura_test::ReadNativeFile(dir_.NativePath("Secret.dat"));
    std::string index = kura_test::ReadNativeFile(dir_.NativePath("Secret.idx"));
    auto bytes = [](std::string& s, size_t at) { return reinterpret_cast<uint8_t*>(&s[at]); };
    data[kura::data_header_offsets::kEncrypted] = 1;
    key.GetCheckValue(bytes(data, kura::data_header_offsets::kDigest));
    key.Encrypt(bytes(data, kura::kDataHeaderSize), data.size() - kura::kDataHeaderSize);
    key.Encrypt(bytes(index, 0), kura::kIndexHeaderSize);
    key.Encrypt(bytes(index, kura::kIndexHeaderSize),
                kura::kIndexFileHeaderSize - kura::kIndexHeaderSize);
    kura_test::WriteNativeFile(dir_.NativePath("Secret.dat"), data);
    kura_test::WriteNativeFile(dir_.NativePath("Secret.idx"), index);
    directory_ = OpenDirectory();
  }
  uint16_t OpenError() {
    return EngineErrorOf([&] { table_ = OpenTable(directory_, "Secret"); });
  }

  TDataDirectory* directory_ = nullptr;
  TDataTable* table_ = nullptr;
  int asked_ = 0;
};

TEST_F(EncryptedTableTest, OpensWithoutAskingWhenTheSessionHoldsThePassword) {
  session_->AddPassword("wrong");
  session_->AddPassword("open sesame");
  session_->SetPasswordCallback([&](TDataSession&) { return ++asked_ > 0; });
  EXPECT_EQ(OpenError(), 0);
  EXPECT_EQ(asked_, 0);
  EXPECT_EQ(table_->DataFile()->FieldDefinitions()[0].FieldName, "Code");
  EXPECT_EQ(table_->DataPassword()->Password(), "open sesame");
}

TEST_F(EncryptedTableTest, HookIsAskedUntilItGivesAFittingPassword) {
  session_->SetPasswordCallback([&](TDataSession& s) {
    s.AddPassword(++asked_ == 1 ? "guess" : "open sesame");
    return true;
  });
  EXPECT_EQ(OpenError(), 0);
  EXPECT_EQ(asked_, 2);
}

struct RefusalCase {
  const char* name;
  bool with_hook;
  bool hook_answer;
  bool hook_adds;
};

class EncryptedRefusalTest : public EncryptedTableTest,
                             public testing::WithParamInterface<RefusalCase> {};

// Without a fitting password the open fails with 10498 and leaves nothing open; a hook that
// keeps answering "try again" without adding a password cannot make the open loop forever.
TEST_P(EncryptedRefusalTest, OpenFailsCleanly) {
  const RefusalCase& c = GetParam();
  session_->AddPassword("wrong");
  if (c.with_hook) {
    session_->SetPasswordCallback([&](TDataSession& s) {
      if (c.hook_adds) s.AddPassword("another " + std::to_string(++asked_));
      return c.hook_answer && asked_ < 5;
    });
  }
  EXPECT_EQ(OpenError(), kura::KURA_NOTSUFFTABLERIGHTS);
  EXPECT_EQ(directory_->DataTableCount(), 0u);
  EXPECT_EQ(table_, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, EncryptedRefusalTest,
                         testing::Values(RefusalCase{"NoHook", false, false, false},
                                         RefusalCase{"HookGivesUp", true, false, true},
                                         RefusalCase{"HookAddsNothing", true, true, false},
                                         RefusalCase{"HookAddsOnlyWrongOnes", true, true, true}),
                         [](const testing::TestParamInfo<RefusalCase>& info) {
                           return info.param.name;
                         });

TEST_F(SessionTest, EngineOwnsItsSessionsAndResetClosesEverything) {
  CreateTable("T");
  TDataSession* second = engine_.StartDataSession("Second");
  EXPECT_EQ(engine_.DataSessionCount(), 2u);
  OpenTable(second->OpenDataDirectory("db", dir_.engine(), false), "T", true);
  EXPECT_EQ(EngineErrorOf([&] { OpenTable(OpenDirectory(), "T"); }), kura::KURA_OSEACCES);
  engine_.CloseDataSession(second);
  EXPECT_EQ(engine_.DataSessionCount(), 1u);
  TDataDirectory* directory = OpenDirectory();
  OpenTable(directory, "T", true);
  engine_.Reset();
  EXPECT_EQ(engine_.DataSessionCount(), 0u);
  // Nothing of the closed sessions holds the files any more.
  kura_test::SeparateTable other(dir_.engine(), "T");
  EXPECT_TRUE(other.table->IsOpen());
}

// A directory the user may not write: no lock file appears, the directory and its tables are
// read-only, transactions do nothing and write checks refuse. Runs as an unprivileged user.
TEST_F(SessionTest, ReadOnlyDirectoryWorksWithoutALockFile) {
  if (!kura_test::RunningAsRoot()) GTEST_SKIP() << "needs root to switch to uid 65534";
  CreateTable("T");
  ASSERT_TRUE(kura_test::SetNativeMode(dir_.native(), 0755));
  for (const char* name : {"T.dat", "T.idx"}) {
    ASSERT_TRUE(kura_test::SetNativeMode(dir_.NativePath(name), 0644));
  }
  kura_test::ChildProcess child([&] {
    if (!kura_test::DropToNobody()) return 100;
    kura_test::SeparateTable other(dir_.engine(), "T");
    if (!other.directory->ReadOnly()) return 1;
    if (!other.table->ReadOnly() || other.table->MarkedReadOnly()) return 2;
    if (EngineErrorOf([&] { other.directory->CheckNotReadOnly("T"); }) != kura::KURA_OSEACCES) {
      return 3;
    }
    other.directory->StartTransaction();
    if (other.directory->InTransaction()) return 4;
    if (other.table->ReadLockTable() || other.table->WriteLockTable()) return 5;
    if (other.table->FlushBuffers(false, true, true, false, true)) return 6;
    return kura_test::NativeFileExists(dir_.NativePath("kura.lck")) ? 7 : 0;
  });
  int status = child.Wait();
  if (status == 100) GTEST_SKIP() << "cannot switch to uid 65534";
  EXPECT_EQ(status, 0);
}

}  // namespace
