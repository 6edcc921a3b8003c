#include <gtest/gtest.h>

#include <functional>

#include "tests/unit/ui/ui_test_util.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/dialog.h"

using namespace ui;

namespace {

// A dialog whose handlers record what reached them and answer as told.
class Probe : public CDialog {
 public:
  intptr_t OnInitDialog() override {
    ++inits;
    return 1;
  }
  bool OnOK() override {
    ++oks;
    return ok_closes;
  }
  bool OnCancel() override {
    ++cancels;
    return cancel_closes;
  }
  bool OnRefresh() override {
    ++refreshes;
    return refresh_answer;
  }
  void OnDestroy() override { ++destroys; }
  intptr_t OnCommand(uintptr_t wparam, intptr_t, int code) override {
    commands.push_back({CommandId(wparam), code});
    if (on_command) on_command(CommandId(wparam));
    return 7;
  }
  intptr_t OnNotify(DialogWindow*, uintptr_t id, int code) override {
    notifies.push_back({int(id), code});
    return 5;
  }

  bool Busy() { return TryBeginBusy(); }
  void Done() { EndBusy(); }

  int inits = 0, oks = 0, cancels = 0, refreshes = 0, destroys = 0;
  bool ok_closes = true, cancel_closes = true, refresh_answer = true;
  std::vector<std::pair<int, int>> commands, notifies;
  std::function<void(int)> on_command;
};

using ProbeImp = CDialogImp<Probe>;

class DialogRuntime : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(ui.Problems().empty()) << ui.Problems().front(); }
  ScriptedBackend ui;
  ui_test::ScopedLocale locale = ui_test::English();
};

}  // namespace

TEST_F(DialogRuntime, EnterAndEscGoThroughTheirHandlers) {
  ProbeImp probe;
  ui.ExpectDialog(204, [](ScriptedDialog& d) { d.PressEnter(); });
  EXPECT_EQ(probe.DoModal(204, nullptr), 1);
  EXPECT_EQ(probe.oks, 1);

  ui.ExpectDialog(204, [](ScriptedDialog& d) { d.PressEscape(); });
  EXPECT_EQ(probe.DoModal(204, nullptr), 2);
  EXPECT_EQ(probe.cancels, 1);

  ui.ExpectDialog(205, [](ScriptedDialog& d) { d.CloseWindow(); });
  EXPECT_EQ(probe.DoModal(205, nullptr), 2);
  EXPECT_EQ(probe.inits, 3);
  EXPECT_EQ(probe.destroys, 3);
}

TEST_F(DialogRuntime, HandlersThatAnswerFalseKeepTheDialogOpen) {
  ProbeImp probe;
  probe.ok_closes = false;
  probe.cancel_closes = false;
  ui.ExpectDialog(204, [&](ScriptedDialog& d) {
    d.PressEnter();
    d.PressEscape();
    EXPECT_FALSE(d.Ended());
    probe.ok_closes = true;
    d.PressEnter();
  });
  EXPECT_EQ(probe.DoModal(204, nullptr), 1);
  EXPECT_EQ(probe.oks, 2);
  EXPECT_EQ(probe.cancels, 1);
}

TEST_F(DialogRuntime, RoutesCommandsNotificationsAndTheRefreshMessage) {
  ProbeImp probe;
  ui.ExpectDialog(204, [&](ScriptedDialog& d) {
    EXPECT_TRUE(d.IsTopMost());
    EXPECT_EQ(probe.Window(), &d);
    EXPECT_EQ(d.Send(kMsgCommand, MakeCommandParam(210, kEditChange), 0), 7);
    NotifyHeader header{&d, 223, kTabSelChange};
    EXPECT_EQ(d.Send(kMsgNotify, 223, reinterpret_cast<intptr_t>(&header)), 5);
    EXPECT_EQ(d.Send(kMsgRefresh, 0, 0), 1);
    probe.refresh_answer = false;
    EXPECT_EQ(d.Send(kMsgRefresh, 0, 0), 0);
    EXPECT_EQ(d.Send(0x0200, 0, 0), 0);  // anything else is not handled
    d.PressEnter();
  });
  EXPECT_EQ(probe.DoModal(204, nullptr), 1);
  EXPECT_EQ(probe.commands, (std::vector<std::pair<int, int>>{{210, kEditChange}}));
  EXPECT_EQ(probe.notifies, (std::vector<std::pair<int, int>>{{223, kTabSelChange}}));
  EXPECT_EQ(probe.refreshes, 2);
}

TEST_F(DialogRuntime, SystemCommandsRefreshTheDialogInitialisedLast) {
  ProbeImp outer_probe;
  struct Nested : Probe {};
  CDialogImp<Nested> nested;
  HookHandle nested_hook = 0;

  outer_probe.on_command = [&](int id) {
    if (id != 206) return;
    ui.ExpectDialog(204, [&](ScriptedDialog& d) {
      nested_hook = nested.Hook();
      EXPECT_TRUE(IsSystemCommandHookInstalled(outer_probe.Hook()));
      d.SystemCommand();  // the nested dialog is the target now
      d.PressEnter();
    });
    nested.DoModal(204, nullptr);
  };
  ui.ExpectDialog(203, [&](ScriptedDialog& d) {
    d.SystemCommand();
    EXPECT_EQ(outer_probe.refreshes, 1);
    d.Click(206);
    EXPECT_GE(nested.refreshes, 1);
    EXPECT_FALSE(IsSystemCommandHookInstalled(nested_hook));
    EXPECT_TRUE(IsSystemCommandHookInstalled(outer_probe.Hook()));
    // The target is not switched back to the outer dialog.
    d.SystemCommand();
    EXPECT_EQ(outer_probe.refreshes, 1);
    d.PressEscape();
  });
  EXPECT_EQ(outer_probe.DoModal(203, nullptr), 2);
  EXPECT_EQ(outer_probe.Hook(), 0);
}

TEST_F(DialogRuntime, BusyFlagGuardsReentry) {
  ProbeImp probe;
  EXPECT_TRUE(probe.Busy());
  EXPECT_FALSE(probe.Busy());
  probe.Done();
  EXPECT_TRUE(probe.Busy());
}

TEST_F(DialogRuntime, MissingTemplateOrBackendFails) {
  ProbeImp probe;
  EXPECT_EQ(probe.DoModal(999, nullptr), -1);
  EXPECT_EQ(probe.inits, 0);
  SetDialogBackend(nullptr);
  EXPECT_EQ(probe.DoModal(204, nullptr), -1);
  SetDialogBackend(&ui);
}

TEST_F(DialogRuntime, ScriptProblemsAreReported) {
  ProbeImp probe;
  ScriptedBackend inner;  // its own record, restored to `ui` afterwards
  inner.ExpectDialog(204, [](ScriptedDialog& d) {
    d.Click(206);  // no such control in this template
  });
  EXPECT_EQ(probe.DoModal(204, nullptr), -1);  // left open by its script
  EXPECT_EQ(probe.DoModal(205, nullptr), -1);  // not expected at all
  EXPECT_EQ(inner.Problems().size(), 3u);
}
