// velixhost answers whatever display it is given: one it cannot open, only a
// Wayland name, or a platform nobody looks at runs headless, where a dialog
// answers as Cancel at once.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "host_process.h"

namespace {

struct Setting {
  const char* name;
  const char* variable;
  const char* value;
  const char* reason;  // what the log says
};

void PrintTo(const Setting& setting, std::ostream* out) { *out << setting.variable << "=" << setting.value; }

class HostDisplay : public ::testing::TestWithParam<Setting> {};

TEST_P(HostDisplay, RunsHeadlessAndAnswersAtOnce) {
  HostHome home;
  home.setEnv(GetParam().variable, GetParam().value);
  const HostRun run = home.run(frame(R"({"type":"velixcom","uid":"d","action":"signMessage","args":{"value":"pay"}})"));
  ASSERT_TRUE(run.finished) << "no answer: a dialog waits where nobody sees it";
  EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(single_frame_body(run.output),
            R"({"action":"signMessage","error":0,"result":{"reason":"no-display","value":""},"type":"velixcom","uid":"d"})");
  EXPECT_TRUE(run.logText.contains("No dialogs, every one answers as Cancel: ")) << run.logText.toStdString();
  EXPECT_TRUE(run.logText.contains(GetParam().reason)) << run.logText.toStdString();
  // The display is looked for once the request is known, and said before its task.
  EXPECT_LT(run.logText.indexOf("No dialogs"), run.logText.indexOf("New TASK")) << run.logText.toStdString();
}

// Requests that cannot show a dialog, or have no display to show it on, are
// answered without Qt's GUI libraries or the dialog module ever being loaded,
// and their log still says why there are no dialogs.
TEST(HostDisplay, RequestsWithoutDialogsLoadNoGui) {
  const char* const bodies[] = {
      R"({"type":"velixcom","uid":"v","action":"version"})",
      R"({"type":"velixcom","uid":"r","action":"reset"})",
      R"({"type":"velixcom","uid":"u","action":"useUTF8","args":{"value":true}})",
      R"({"type":"velixcom","uid":"s","action":"SIGNMESSAGE"})",
      R"({"type":"other","uid":"o","action":"signMessage"})",
      R"({"type":"velixcom","uid":"m","action":"signMessage","args":{"value":"pay"}})",
  };
  for (const char* body : bodies) {
    HostHome home;
    home.setEnv("DISPLAY", ":97");
    home.setEnv("LD_DEBUG", "files");  // the loader names every library it loads
    const HostRun run = home.run(frame(body));
    ASSERT_TRUE(run.finished) << body;
    EXPECT_EQ(run.exitCode, 0) << body;
    EXPECT_FALSE(single_frame_body(run.output).isEmpty()) << body;
    ASSERT_TRUE(run.errors.contains("libQt5Core")) << "LD_DEBUG said nothing: " << run.errors.toStdString();
    for (const char* gui : {"libQt5Gui", "libQt5Widgets", "velixhost-dialogs"})
      EXPECT_FALSE(run.errors.contains(gui)) << body << " loaded " << gui;
    EXPECT_TRUE(run.logText.contains("No dialogs, every one answers as Cancel: no display: the X display \":97\""))
        << body << "\n" << run.logText.toStdString();
  }
}

// A program whose dialog module is missing (a broken install) still answers
// a request for a dialog at once, as one without a display, and says why.
TEST(HostDisplay, MissingDialogModuleAnswersAsNoDisplay) {
  HostHome home;
  // A copy of the program where no module lies beside it.
  ASSERT_TRUE(QDir(home.home()).mkpath("bin"));
  const QString copy = home.home() + "/bin/velixhost";
  ASSERT_TRUE(QFile::copy(VELIXHOST_PATH, copy));
  // A platform named by the caller is taken as one that shows dialogs.
  home.setEnv("QT_QPA_PLATFORM", "vnc");
  const HostRun run =
      home.runThroughShell("exec '" + copy + "'", frame(R"({"type":"velixcom","uid":"d","action":"signMessage"})"));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(single_frame_body(run.output),
            R"({"action":"signMessage","error":0,"result":{"reason":"no-display","value":""},"type":"velixcom","uid":"d"})");
  EXPECT_TRUE(run.logText.contains("No dialogs, every one answers as Cancel: the dialog module cannot be loaded: "))
      << run.logText.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Displays, HostDisplay,
    ::testing::Values(Setting{"X11DisplayThatCannotBeOpened", "DISPLAY", ":97", "\":97\" cannot be opened"},
                      Setting{"OnlyAWaylandName", "WAYLAND_DISPLAY", "wayland-97", "\"wayland-97\" cannot be opened"},
                      Setting{"OffscreenPlatform", "QT_QPA_PLATFORM", "offscreen", "\"offscreen\" shows no window"},
                      Setting{"MinimalPlatform", "QT_QPA_PLATFORM", "minimal", "\"minimal\" shows no window"},
                      Setting{"X11PlatformWithoutADisplay", "QT_QPA_PLATFORM", "xcb", "DISPLAY is not set"}),
    [](const auto& info) { return info.param.name; });

// A browser that closed its end of the pipe before the answer: the write
// fails instead of ending the process, and the log is complete.
TEST(HostDisplay, ReaderThatLeftStillGetsExitZeroAndAWholeLog) {
  HostHome home;
  const HostRun run = home.runWithoutReader(frame(R"({"type":"velixcom","action":"version"})"));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitStatus, QProcess::NormalExit) << "ended by a signal";
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.logText.contains(R"(1.0.0.345)")) << run.logText.toStdString();
  EXPECT_TRUE(run.logText.contains("ERROR, response: 5\n")) << run.logText.toStdString();
}

}  // namespace
