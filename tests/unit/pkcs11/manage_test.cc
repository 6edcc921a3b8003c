// Token management: generation, import, deletion, data objects, PIN state.
#include <cstring>

#include "token_fixture.h"

namespace {

class TokenManagement : public TokenEngineTest {};

bool is_true(const std::vector<uint8_t>& value) { return value.size() == 1 && value[0] == CK_TRUE; }

TEST_F(TokenManagement, GenerationReplacesEverythingWithTheSerialsLabel) {
  token_->generate_pair("morva5", "Old owner");
  token_->create_data("morva5", "old data");
  ASSERT_EQ(token_->count_objects("morva5"), 3);
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(generate(ENGINE_PKCS11, 5, "New owner"), 0);
  EXPECT_EQ(token_->count_objects("morva5"), 2);
  EXPECT_EQ(text_of(token_->attribute("morva5", CKO_PRIVATE_KEY, CKA_SUBJECT)), "New owner");
  EXPECT_EQ(text_of(token_->attribute("morva5", CKO_PUBLIC_KEY, CKA_ID)), "morva5");
  EXPECT_FALSE(is_true(token_->attribute("morva5", CKO_PUBLIC_KEY, CKA_MODIFIABLE)));
  // The library flags 4 add the usage attributes.
  EXPECT_TRUE(is_true(token_->attribute("morva5", CKO_PRIVATE_KEY, CKA_SIGN)));
  EXPECT_TRUE(is_true(token_->attribute("morva5", CKO_PUBLIC_KEY, CKA_ENCRYPT)));
  EXPECT_EQ(token_->attribute("morva5", CKO_PUBLIC_KEY, CKA_MODULUS).size(), 128u);
}

TEST_F(TokenManagement, GenerationRefusesOtherSizesAndWrongPins) {
  use_token(ENGINE_PKCS11);
  EXPECT_EQ(generate(ENGINE_PKCS11, 6, "Dan", 512), CORE_E_KEYLEN);
  EXPECT_EQ(generate(ENGINE_PKCS11, 6, "Dan", 4096), CORE_E_KEYLEN);
  token_->create_data("morva6", "kept");
  use_token(ENGINE_PKCS11, "wrong");
  EXPECT_EQ(generate(ENGINE_PKCS11, 6, "Dan"), CORE_E_PASSPHRASE);
  EXPECT_EQ(token_->count_objects("morva6"), 1);
  use_token(ENGINE_PKCS11_EXT);
  ASSERT_EQ(generate(ENGINE_PKCS11_EXT, 6, "Dan", 2048), 0);
  EXPECT_EQ(token_->attribute("morva6", CKO_PUBLIC_KEY, CKA_MODULUS).size(), 256u);
}

TEST_F(TokenManagement, IdEngineKeepsTheUserIdInCkaIdAndOpensWithoutLogin) {
  use_token(ENGINE_PKCS11_ID);
  ASSERT_EQ(generate(ENGINE_PKCS11_ID, 88, "Id User"), 0);
  EXPECT_EQ(text_of(token_->attribute("morva88", CKO_PRIVATE_KEY, CKA_ID)), "Id User");
  EXPECT_EQ(text_of(token_->attribute("morva88", CKO_PUBLIC_KEY, CKA_ID)), "Id User");
  use_token(ENGINE_PKCS11_ID, "wrong");
  const int logins = state_->user_logins;
  KeyHandle key{};
  ASSERT_EQ(core_open_secret_key_by_serial(ENGINE_PKCS11_ID, 88, &key), 0);
  EXPECT_STREQ(key.user_id, "Id User");
  EXPECT_EQ(state_->user_logins, logins);
  // Signing needs the PIN all the same.
  const auto digest_info = md5_digest_info(3);
  uint8_t signature[128];
  EXPECT_EQ(g_engine_table[ENGINE_PKCS11_ID].sign_digest(digest_info.data(), 34, signature, 128,
                                                         &key),
            CORE_E_PASSPHRASE);
  use_token(ENGINE_PKCS11_ID);
  EXPECT_EQ(g_engine_table[ENGINE_PKCS11_ID].sign_digest(digest_info.data(), 34, signature, 128,
                                                         &key),
            0);
}

TEST_F(TokenManagement, ImportedPublicKeysCarryLabelIdAndUserId) {
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(import_public(ENGINE_PKCS11, 31, "Imported", 128), 0);
  EXPECT_EQ(text_of(token_->attribute("morva31", CKO_PUBLIC_KEY, CKA_SUBJECT)), "Imported");
  EXPECT_EQ(text_of(token_->attribute("morva31", CKO_PUBLIC_KEY, CKA_ID)), "morva31");
  const auto modulus = token_->attribute("morva31", CKO_PUBLIC_KEY, CKA_MODULUS);
  ASSERT_EQ(modulus.size(), 128u);
  EXPECT_EQ(modulus[0], 0xc5);
  EXPECT_EQ(token_->attribute("morva31", CKO_PUBLIC_KEY, CKA_PUBLIC_EXPONENT),
            (std::vector<uint8_t>{1, 0, 1}));
  // Imported again: replaced, not doubled.
  ASSERT_EQ(import_public(ENGINE_PKCS11, 31, "Imported again", 128), 0);
  EXPECT_EQ(token_->count_objects("morva31"), 1);

  use_token(ENGINE_PKCS11, "wrong");
  EXPECT_EQ(import_public(ENGINE_PKCS11, 32, "Nobody", 128), CORE_E_PASSPHRASE);
}

TEST_F(TokenManagement, IdEngineAcceptsA512BitKeyWithoutStoringIt) {
  use_token(ENGINE_PKCS11_ID);
  EXPECT_EQ(import_public(ENGINE_PKCS11_ID, 51, "Short", 64), 0);
  EXPECT_EQ(token_->count_objects("morva51"), 0);
  ASSERT_EQ(import_public(ENGINE_PKCS11_ID, 52, "Long", 128), 0);
  EXPECT_EQ(text_of(token_->attribute("morva52", CKO_PUBLIC_KEY, CKA_ID)), "Long");
  EXPECT_TRUE(is_true(token_->attribute("morva52", CKO_PUBLIC_KEY, CKA_VERIFY)));
  // The standard engine stores a 512-bit key like any other.
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(import_public(ENGINE_PKCS11, 53, "Short", 64), 0);
  EXPECT_EQ(token_->count_objects("morva53"), 1);
}

TEST_F(TokenManagement, DeleteKeyRemovesEveryObjectWithTheLabel) {
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(generate(ENGINE_PKCS11, 12, "Gone"), 0);
  token_->create_data("morva12", "also gone");
  token_->create_data("morva120", "stays");
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_DELETE_KEY, uint32_t{12}), 0);
  EXPECT_EQ(token_->count_objects("morva12"), 0);
  EXPECT_EQ(token_->count_objects("morva120"), 1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_DELETE_KEY, uint32_t{12}), 0);
  KeyHandle key{};
  EXPECT_EQ(core_open_public_key_by_serial(ENGINE_PKCS11, 12, &key), CORE_E_READ_FILE);
  use_token(ENGINE_PKCS11, "wrong");
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_DELETE_KEY, uint32_t{120}), CORE_E_PASSPHRASE);
}

TEST_F(TokenManagement, DataObjectsAreWrittenReadAndDeleted) {
  use_token(ENGINE_PKCS11_EXT);
  const uint8_t first[] = "first value";
  const uint8_t second[] = {9, 8, 7, 6, 5};
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_WRITE_DATA, "settings", first, int{sizeof first}), 0);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_WRITE_DATA, "settings", second, int{sizeof second}),
            0);
  EXPECT_EQ(token_->count_objects("settings"), 1);
  EXPECT_EQ(text_of(token_->attribute("settings", CKO_DATA, CKA_APPLICATION)), "velixPG");
  EXPECT_TRUE(is_true(token_->attribute("settings", CKO_DATA, CKA_PRIVATE)));

  uint8_t out[16];
  std::memset(out, 0xaa, sizeof out);
  // A buffer exactly as long as the value is refused; one byte more fits.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_READ_DATA, "settings", out, 5), CORE_E_NOMEM);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_READ_DATA, "settings", out, 6), 5);
  EXPECT_EQ(std::memcmp(out, second, 5), 0);
  EXPECT_EQ(out[5], 0xaa);

  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_READ_DATA, "unknown", out, 16),
            CORE_E_FILE_NOT_FOUND);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_DELETE_DATA, "unknown"), CORE_E_FILE_NOT_FOUND);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_DELETE_DATA, "settings"), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_READ_DATA, "settings", out, 16),
            CORE_E_FILE_NOT_FOUND);

  use_token(ENGINE_PKCS11_EXT, "wrong");
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_WRITE_DATA, "x", first, 3), CORE_E_PASSPHRASE);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_READ_DATA, "x", out, 16), CORE_E_PASSPHRASE);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_DELETE_DATA, "x"), CORE_E_PASSPHRASE);
}

TEST_F(TokenManagement, PinStateComesFromTheTokenFlags) {
  use_token(ENGINE_PKCS11);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_PIN_FINAL_TRY), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_PIN_LOCKED), 0);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SELECT_TOKEN, 5), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_PIN_FINAL_TRY), -1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_PIN_LOCKED), -1);
}

}  // namespace
