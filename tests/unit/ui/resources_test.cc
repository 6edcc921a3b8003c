#include <gtest/gtest.h>

#include <set>

#include "tests/unit/ui/ui_test_util.h"
#include "ui/load_string.h"
#include "ui/resources/strings.h"
#include "ui/resources/templates.h"

using namespace ui;

TEST(StringTable, HoldsEveryIdInBothLanguages) {
  for (int id = 100; id <= 176; ++id) {  // the dense part of the table
    ASSERT_NE(ResourceStringUtf8(id, 1033), nullptr) << id;
    ASSERT_NE(ResourceStringUtf8(id, 1049), nullptr) << id;
    EXPECT_STRNE(ResourceStringUtf8(id, 1033), "") << id;
    EXPECT_STRNE(ResourceStringUtf8(id, 1049), "") << id;
  }
  for (int id = 190; id <= 192; ++id) {
    ASSERT_NE(ResourceStringUtf8(id, 1033), nullptr) << id;
    EXPECT_STRNE(ResourceStringUtf8(id, 1033), ResourceStringUtf8(id, 1049)) << id;
  }
  EXPECT_EQ(ResourceStringUtf8(99, 1033), nullptr);
  EXPECT_EQ(ResourceStringUtf8(193, 1033), nullptr);
}

TEST(StringTable, KeepsTheShippedTextsAsTheyAre) {
  const struct { int id; const char* english; const char* russian; } cases[] = {
      {101, "Error", "Ошибка"},
      {106, "Keys management - %s", "Управление ключами - %s"},
      {124, "%d min.", "%d мин."},
      {136, "Error ASCII decoding in dcument", "Ошибка ASCII декодирования документа"},
      {142, "Error creating subscription", "Ошибка формирования подписи"},
      {145, "Error creating fle", "Ошибка создания файла"},
      {151, "Uncnown sender", "Отправитель неопределен"},
      {158, "\nProbably this key`s card \n has been modified (corrupted).",
       "\nВероятно указанная карточка ключа\nбыла модифицирована (испорчена)."},
      {159, "Inposiblie to write secret key in file secret.key!",
       "Невозможно записать секретный ключ в файл secret.key!"},
      {161, "Inposible to write opne key in file pubkeys.key!",
       "Невозможно записать открытый ключ в файл pubkeys.key!"},
      {114,
       "SESSION: %-20.20s\r\nPACKET NUMBER: %+6.6s\r\nCOMMAND NUMBER: %+6.6s\r\nUSER NAME: %-20.20s\r\n",
       "СЕССИЯ: %-20.20s\r\nНОМЕР ПАКЕТА: %+6.6s\r\nЧИСЛО КОМАНД: %+6.6s\r\nПОЛЬЗОВАТЕЛЬ: %-20.20s\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(ResourceStringUtf8(c.id, 1033), c.english) << c.id;
    EXPECT_STREQ(ResourceStringUtf8(c.id, 1049), c.russian) << c.id;
    // Any language other than English reads the Russian table.
    EXPECT_STREQ(ResourceStringUtf8(c.id, 1031), c.russian) << c.id;
  }
}

TEST(LoadResString, FollowsTheThreadLanguageInUtf8WhateverTheAnsiCodePage) {
  {
    auto locale = ui_test::English();
    EXPECT_EQ(LoadResString(105), "Local file");
    EXPECT_EQ(LoadResString(99), "");
  }
  // Russian texts reach the dialogs whole under a Cyrillic, an English, a C and
  // a Western European locale alike.
  for (const char* locale : {"ru_RU.UTF-8", "en_US.UTF-8", "C.UTF-8", "de_DE.UTF-8"}) {
    ui_test::ScopedLocale russian(locale, 1049);
    EXPECT_EQ(LoadResString(105), "Диск") << locale;
    EXPECT_EQ(LoadResString(124), "%d мин.") << locale;
    EXPECT_EQ(LoadResString(100), "velixcom") << locale;
  }
}

namespace {

bool Overlap(const DialogRect& a, const DialogRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// The part of a control that is on screen: a combo box's height in the
// template includes its dropped list.
DialogRect Visible(const ControlLayout& c) {
  DialogRect r = c.rect;
  if (c.kind == ControlKind::DropDownList || c.kind == ControlKind::ComboBox) r.height = 12;
  return r;
}

}  // namespace

TEST(DialogTemplates, ResolveInBothLanguagesWithUniqueIdsInsideTheDialog) {
  EXPECT_EQ(DialogTemplateIds(), (std::vector<int>{201, 202, 203, 204, 205, 206}));
  for (int id : DialogTemplateIds()) {
    for (uint16_t language : {uint16_t(1033), uint16_t(1049)}) {
      DialogLayout layout;
      ASSERT_TRUE(ResolveDialogTemplate(id, language, &layout)) << id;
      std::set<int> ids;
      for (const ControlLayout& c : layout.controls) {
        if (c.id != -1) {
          EXPECT_TRUE(ids.insert(c.id).second) << id << " control " << c.id;
        }
        const DialogRect r = Visible(c);
        EXPECT_LE(r.x + r.width, layout.width) << id << " control " << c.id;
        EXPECT_LE(r.y + r.height, layout.height) << id << " control " << c.id;
      }
    }
  }
  DialogLayout none;
  EXPECT_FALSE(ResolveDialogTemplate(200, 1033, &none));
}

TEST(DialogTemplates, VisibleControlsDoNotOverlap) {
  // 201 stacks its two tab pages on one another by design.
  for (int id : {202, 203, 204, 205}) {
    for (uint16_t language : {uint16_t(1033), uint16_t(1049)}) {
      DialogLayout layout;
      ASSERT_TRUE(ResolveDialogTemplate(id, language, &layout));
      for (size_t i = 0; i < layout.controls.size(); ++i) {
        for (size_t j = i + 1; j < layout.controls.size(); ++j) {
          const ControlLayout& a = layout.controls[i];
          const ControlLayout& b = layout.controls[j];
          if ((a.style | b.style) & kStyleHidden) continue;
          EXPECT_FALSE(Overlap(Visible(a), Visible(b))) << id << ": " << a.id << " and " << b.id;
        }
      }
    }
  }
}

TEST(DialogTemplates, RussianTemplatesDifferWhereTheResourcesSay) {
  DialogLayout en, ru;
  ASSERT_TRUE(ResolveDialogTemplate(201, 1033, &en));
  ASSERT_TRUE(ResolveDialogTemplate(201, 1049, &ru));
  EXPECT_EQ(en.caption, "User authorization");
  EXPECT_EQ(ru.caption, "Идентификация пользователя");
  EXPECT_FALSE(en.system_menu);
  auto find = [](const DialogLayout& l, int id) {
    for (const ControlLayout& c : l.controls) {
      if (c.id == id) return c;
    }
    return ControlLayout{};
  };
  EXPECT_EQ(find(en, 225).rect.width, 40);
  EXPECT_EQ(find(ru, 225).rect.width, 55);
  EXPECT_EQ(find(en, 228).rect.x, 163);
  EXPECT_EQ(find(ru, 228).rect.x, 145);
  EXPECT_EQ(find(ru, 228).text, "Обновить");
  EXPECT_EQ(find(en, 202).style & kStyleSorted, 0u);
  EXPECT_NE(find(ru, 202).style & kStyleSorted, 0u);
  EXPECT_EQ(find(en, 201).style, unsigned(kStylePassword | kStyleAutoHScroll));

  ASSERT_TRUE(ResolveDialogTemplate(202, 1033, &en));
  ASSERT_TRUE(ResolveDialogTemplate(202, 1049, &ru));
  EXPECT_EQ(en.height, 110);
  EXPECT_EQ(ru.height, 116);
  EXPECT_EQ(ru.caption, "Клавиатура");
  for (int key = 234; key <= 281; ++key) EXPECT_EQ(find(en, key).id, key);
  EXPECT_EQ(find(en, 281).rect.width, 120);
  EXPECT_EQ(find(en, 381).style, unsigned(kStyleHidden | kStyleSorted));

  ASSERT_TRUE(ResolveDialogTemplate(204, 1049, &ru));
  EXPECT_EQ(ru.caption, "");
  EXPECT_EQ(find(ru, 2).text, "Cancel");
}
