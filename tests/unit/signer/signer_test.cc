#include "signer/signer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/engine.h"
#include "platform/registry.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "tests/unit/support/signer_lock_holder.h"
#include "tests/unit/support/temp_config_home.h"
#include "ui/message_box.h"

namespace {

class SignerTest : public ::testing::Test {
 protected:
  TempConfigHome home_;  // Config writes go to a temporary hive
  ScopedEnv lang_{"LANG", "en_US.UTF-8"};
  ScopedEnv lc_all_{"LC_ALL", nullptr};
  ScopedEnv lc_ctype_{"LC_CTYPE", nullptr};
};

TEST_F(SignerTest, SessionKeepsAtMost254Characters) {
  CSigner signer;
  const struct {
    size_t length;
    bool kept;
  } cases[] = {{0, true}, {1, true}, {254, true}, {255, false}, {300, false}};
  for (const auto& c : cases) {
    signer.put_Session(u"previous");
    const std::u16string text(c.length, u'S');
    EXPECT_EQ(signer.put_Session(text), kStatusOk);
    std::u16string back;
    EXPECT_EQ(signer.get_Session(&back), kStatusOk);
    EXPECT_EQ(back, c.kept ? text : u"") << c.length;
  }
}

TEST_F(SignerTest, SessionIsHeldInTheAnsiCodePage) {
  VELIX_LINUX_FACT("the ANSI code page follows the locale variables");
  ScopedEnv russian("LANG", "ru_RU.UTF-8");
  CSigner signer;
  signer.put_Session(u"Сессия 1");
  EXPECT_STREQ(signer.session_field(), "\xD1\xE5\xF1\xF1\xE8\xFF 1");
  std::u16string back;
  signer.get_Session(&back);
  EXPECT_EQ(back, u"Сессия 1");
  // 127 Cyrillic letters fit in 254 bytes of 1251, not in 254 bytes of UTF-8: the page counts bytes.
  signer.put_Session(std::u16string(254, u'Ж'));
  EXPECT_EQ(std::string(signer.session_field()).size(), 254u);
  // On a Western page the field holds "?" for the letters, the read-back does not.
  ScopedEnv western("LANG", "de_DE.UTF-8");
  signer.put_Session(u"Сессия 1");
  signer.get_Session(&back);
  EXPECT_EQ(back, u"Сессия 1");
}

TEST_F(SignerTest, LanguageIsEnglishOnlyForExactlyEn) {
  CSigner signer;
  const struct {
    const char16_t* written;
    const char16_t* read;
    uint16_t language;
  } cases[] = {{u"en", u"en", 1033}, {u"ru", u"ru", 1049}, {u"EN", u"ru", 1049},
               {u"en-US", u"ru", 1049}, {u"", u"ru", 1049}, {u"de", u"ru", 1049}};
  for (const auto& c : cases) {
    EXPECT_EQ(signer.put_Language(c.written), kStatusOk);
    std::u16string back;
    EXPECT_EQ(signer.get_Language(&back), kStatusOk);
    EXPECT_EQ(back, c.read);
    EXPECT_EQ(Config::Instance().language, c.language);
  }
}

TEST_F(SignerTest, IntegerProperties) {
  CSigner signer;
  int32_t value = 123;
  EXPECT_EQ(signer.put_useUtf8(5), kStatusOk);
  EXPECT_EQ(signer.get_useUtf8(&value), kStatusOk);
  EXPECT_EQ(value, -1);
  EXPECT_EQ(Config::Instance().useUtf8, 1);
  signer.put_useUtf8(0);
  signer.get_useUtf8(&value);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(signer.get_useUtf8(nullptr), kStatusInvalidArg);
  EXPECT_EQ(signer.get_UseScreenKbd(nullptr), kStatusInvalidArg);

  signer.put_Operator(-7);
  signer.put_Customer(3);
  signer.get_Operator(&value);
  EXPECT_EQ(value, -7);
  signer.get_Customer(&value);
  EXPECT_EQ(value, 3);
  CSigner other;  // Operator, Customer and Error belong to the object
  other.get_Operator(&value);
  EXPECT_EQ(value, 0);
  other.get_Error(&value);
  EXPECT_EQ(value, 0);
}

TEST_F(SignerTest, UseScreenKbdIsSavedAtOnce) {
  CSigner signer;
  for (const int32_t written : {0, 7}) {
    EXPECT_EQ(signer.put_UseScreenKbd(written), kStatusOk);
    platform::RegKey key;
    ASSERT_EQ(key.Open(platform::RegHive::kCurrentUser, kConfigKeyPath), platform::kRegOk);
    int32_t stored = -1;
    uint32_t size = sizeof stored, type = 0;
    ASSERT_EQ(key.QueryValue("VK", &type, &stored, &size), platform::kRegOk);
    EXPECT_EQ(type, platform::kRegDword);
    EXPECT_EQ(stored, written);
    int32_t read = -1;
    signer.get_UseScreenKbd(&read);
    EXPECT_EQ(read, written);
  }
}

TEST_F(SignerTest, ComServerSignersShareOneSession) {
  CSigner a(SignerFlavour::kComServer), b(SignerFlavour::kComServer), host;
  a.put_Session(u"shared");
  std::u16string back;
  b.get_Session(&back);
  EXPECT_EQ(back, u"shared");
  host.get_Session(&back);
  EXPECT_EQ(back, u"");
  a.put_Session(u"");
}

TEST_F(SignerTest, CoreStartsOnceForManySignerObjects) {
  CSigner first;
  // A mark in the unused engine slot 4: core_init clears the whole table, so
  // the mark survives only if no later signer starts the core again.
  g_engine_table[4].status = 77;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([] { CSigner s; });
  for (auto& t : threads) t.join();
  CSigner second(SignerFlavour::kComServer);
  EXPECT_EQ(g_engine_table[4].status, 77);
  EXPECT_EQ(core_ctrl(ENGINE_BUILTIN, CTRL_READY), 1);
  g_engine_table[4].status = 0;
}

TEST_F(SignerTest, ASecondThreadIsRefusedWithError100) {
  ui::RecordingMessageBoxBackend boxes;
  ui::ScopedMessageBoxBackend scoped(&boxes);
  CSigner signer;
  signer.set_Error(1008);
  {
    LockHolder other;
    ASSERT_TRUE(other.held());
    EXPECT_FALSE(signer.EnterSignMessage());
    int32_t error = 0;
    signer.get_Error(&error);
    EXPECT_EQ(error, kErrorLibraryInUse);
    EXPECT_FALSE(signer.EnterOperation());  // any locking operation is refused alike
    // velixcom takes no lock: its signers are not refused.
    CSigner com(SignerFlavour::kComServer);
    EXPECT_TRUE(com.EnterOperation());
  }
  ASSERT_EQ(boxes.shown.size(), 2u);
  for (const auto& box : boxes.shown) {
    EXPECT_EQ(box.text_id, 117);  // "Library already in use"
    EXPECT_EQ(box.caption_id, 101);  // "Error"
    EXPECT_EQ(box.type, ui::kMbOk | ui::kMbIconError);
  }
  // Once the other thread is done, the lock is free again and Error is cleared.
  auto hold = signer.EnterSignMessage();
  EXPECT_TRUE(hold);
  EXPECT_EQ(signer.Error(), 0);
}

TEST_F(SignerTest, TheHoldingThreadMayEnterAgain) {
  ui::RecordingMessageBoxBackend boxes;
  ui::ScopedMessageBoxBackend scoped(&boxes);
  CSigner outer, inner;
  auto first = outer.EnterOperation();
  ASSERT_TRUE(first);
  {
    auto nested = inner.EnterSignMessage();
    EXPECT_TRUE(nested);
  }
  // The nested release did not free the outer hold.
  std::atomic<bool> refused{false};
  std::thread([&] { refused = !CSigner().EnterOperation(); }).join();
  EXPECT_TRUE(refused);
  first->Release();
  std::thread([&] { refused = !CSigner().EnterOperation(); }).join();
  EXPECT_FALSE(refused);
  EXPECT_EQ(boxes.shown.size(), 1u);
}

// Engine 4 is unused; the exit test borrows it to see whether the key is closed.
int report_close(KeyHandle*) {
  std::fputs("key closed;", stderr);
  return 0;
}

void report_core_state() {
  // Runs after every static object made later than its registration is gone.
  std::fputs(g_engine_table[ENGINE_BUILTIN].ready == 0 ? "core done;" : "core running;", stderr);
}

TEST(SignerExit, TheCoreRunsUntilTheProcessEnds) {
  // Static clean-up (process exit, or the unload of velixcom from a client
  // that goes on) must not close the key or stop the core: stopping it calls
  // C_Finalize on token libraries that other code in the process still uses.
  // A fresh process: the child must build the initializer itself.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atexit(report_core_state);
        CSigner signer;
        g_engine_table[4].ready = 1;
        g_engine_table[4].close_secret_key = report_close;
        KeyHandle& key = CCryptoInitializer::Instance().key();
        key.engine_id = 4;
        key.kind = KEY_KIND_SECRET;
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "^core running;$");
}

}  // namespace
