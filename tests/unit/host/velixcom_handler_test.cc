// Settings that live only as long as the process, seen through one handler.
#include <gtest/gtest.h>

#include <QJsonObject>

#include "host/velixcom_handler.h"

namespace {

QJsonObject args(const char* key, const QJsonValue& value) { return QJsonObject{{key, value}}; }

QString language_after(VelixcomHandler& handler) {
  handler.handle("state", {});
  return handler.result().value("language").toString();
}

TEST(VelixcomHandler, SignMessageWithoutLanguageSwitchesToRussianNullKeepsIt) {
  VelixcomHandler handler;
  handler.handle("language", args("value", "en"));
  ASSERT_EQ(language_after(handler), "en");

  handler.handle("signMessage", args("language", QJsonValue::Null));
  EXPECT_EQ(language_after(handler), "en");
  EXPECT_EQ(handler.result().value("useCustomer").toInt(-1), 0);

  handler.handle("signMessage", QJsonObject{{"useCustomer", true}});
  EXPECT_EQ(language_after(handler), "ru");
  EXPECT_EQ(handler.result().value("useCustomer").toInt(-1), 1);
}

TEST(VelixcomHandler, SingleSettingWithoutValueOnlyReadsBack) {
  VelixcomHandler handler;
  handler.handle("session", args("value", "kept"));
  handler.handle("useOperator", args("value", true));
  handler.handle("session", {});
  EXPECT_EQ(handler.result().value("value").toString(), "kept");
  handler.handle("useOperator", args("other", false));
  EXPECT_EQ(handler.result().value("value").toInt(-1), 1);
  EXPECT_EQ(handler.error(), 0);
}

// The result map is cleared by each action, and an unknown one leaves it empty.
TEST(VelixcomHandler, UnknownActionAfterAKnownOneHasAnEmptyResult) {
  VelixcomHandler handler;
  handler.handle("version", {});
  ASSERT_EQ(handler.result().value("value").toString(), "1.0.0.345");
  EXPECT_FALSE(handler.handle("Version", {}));
  EXPECT_EQ(handler.error(), VelixcomHandler::kUnknownAction);
  EXPECT_TRUE(handler.result().isEmpty());
}

}  // namespace
