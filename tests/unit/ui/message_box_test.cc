#include "ui/message_box.h"

#include <gtest/gtest.h>

namespace {

using namespace ui;

std::string fake_strings(int id) { return id == 117 ? "Library already in use" : id == 101 ? "Error" : ""; }

TEST(MessageBox, WithoutABackendNothingIsShown) {
  ScopedMessageBoxBackend none(nullptr);
  EXPECT_EQ(ShowMessageBox("text", "caption", kMbOk), kIdFailed);
  EXPECT_EQ(ShowMessageBoxFromStrings(117, 101, kMbOk | kMbIconError), kIdFailed);
}

TEST(MessageBox, RecordingBackendKeepsBoxesAndAnswersInTurn) {
  RecordingMessageBoxBackend recorder;
  recorder.answers = {kIdNo, kIdYes};
  recorder.default_answer = kIdCancel;
  ScopedMessageBoxBackend scoped(&recorder);
  EXPECT_EQ(ShowMessageBox("Delete?", "Warning", kMbYesNo | kMbIconWarning), kIdNo);
  EXPECT_EQ(ShowMessageBox("Again?", "Warning", kMbYesNo), kIdYes);
  EXPECT_EQ(ShowMessageBox("x", "y", kMbOkCancel), kIdCancel);
  ASSERT_EQ(recorder.shown.size(), 3u);
  EXPECT_EQ(recorder.shown[0].text, "Delete?");
  EXPECT_EQ(recorder.shown[0].caption, "Warning");
  EXPECT_EQ(recorder.shown[0].type, 0x34u);  // MB_YESNO | MB_ICONWARNING
  EXPECT_EQ(recorder.shown[0].text_id, 0);
}

TEST(MessageBox, StringBoxesCarryTheIdsAndTheLoadedTexts) {
  RecordingMessageBoxBackend recorder;
  ScopedMessageBoxBackend scoped(&recorder);
  ShowMessageBoxFromStrings(117, 101, kMbOk | kMbIconError);
  SetMessageStringLoader(&fake_strings);
  ShowMessageBoxFromStrings(117, 101, kMbOk | kMbIconError);
  SetMessageStringLoader(nullptr);
  ASSERT_EQ(recorder.shown.size(), 2u);
  EXPECT_EQ(recorder.shown[0].text_id, 117);
  EXPECT_EQ(recorder.shown[0].caption_id, 101);
  EXPECT_EQ(recorder.shown[0].type, 0x10u);  // MB_ICONERROR
  EXPECT_EQ(recorder.shown[1].text, "Library already in use");
  EXPECT_EQ(recorder.shown[1].caption, "Error");
}

}  // namespace
