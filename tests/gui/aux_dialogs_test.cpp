// The connection-test window, the control dialog and the about box, and the
// menu items and keys that open them.
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <regex>
#include <string>

#include "app/app_state.h"
#include "app/timing.h"
#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "gui_fixture.h"
#include "link/rs232.h"
#include "link/serial_device.h"
#include "protocol/link_test.h"
#include "sim/correction.h"
#include "sim/sim_port.h"
#include "sim/unit.h"
#include "support/sim_fixture.h"

namespace kor::test {
namespace {

// Virtual time the connection test's own thread may use: it only moves when
// someone sleeps, and counts the sleeps.
class SharedClock : public Timing {
 public:
  void Sleep(unsigned ms) override {
    now_ += uint64_t(ms) * 1000;
    ++sleeps_;
  }
  uint64_t NowUs() override { return now_; }
  int sleeps() const { return sleeps_; }

 private:
  std::atomic<uint64_t> now_{1000000};
  std::atomic<int> sleeps_{0};
};

// The simulated unit on COM5.
class AuxDialogs : public MainWindowTest {
 protected:
  void StartWithUnit() {
    set_port_driver(&driver);
    set_timing(&clock);
    Start();
    app().comPort = 5;
    app().speed = 200000;
    boxes.clear();
  }
  void TearDown() override {
    // A test thread left running would hold the port for the next test.
    WaitWhile([] { return link_test_running(); });
    EXPECT_FALSE(CRs232::PortInUse());
    MainWindowTest::TearDown();
    set_port_driver(nullptr);
    set_timing(nullptr);
  }

  // Handles messages (the test thread writes the window through them) while
  // the condition holds; gives up after ten seconds.
  static void WaitWhile(const std::function<bool()>& busy) {
    const DWORD until = GetTickCount() + 10000;
    while (busy() && GetTickCount() < until) {
      gui::PumpPendingMessages();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT | QS_SENDMESSAGE);
    }
  }

  static std::string TextOf(HWND dlg, int id) {
    char buf[200] = {};
    GetDlgItemTextA(dlg, id, buf, sizeof buf);
    return buf;
  }
  static void Press(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dlg, id)));
  }

  sim::Unit unit;
  sim::SimPortDriver driver{unit};
  SharedClock clock;
};

TEST_F(AuxDialogs, MenuItemsAndKeysOpenTheirWindowsOwnedByTheMainWindow) {
  Start();
  struct Case {
    int command;
    int dialog;
  } cases[] = {{IDM_LINK_TEST, IDD_LINK_TEST}, {IDM_ABOUT, IDD_ABOUT}, {IDK_ABOUT, IDD_ABOUT}, {IDK_CONTROL, IDD_CONTROL}};
  for (const Case& c : cases) {
    int seen = 0;
    HWND owner = nullptr;
    gui::SetDialogHook([&](HWND dlg, int id) {
      seen = id;
      owner = GetWindow(dlg, GW_OWNER);
      SendMessageA(dlg, WM_CLOSE, 0, 0);
    });
    command(c.command);
    EXPECT_EQ(seen, c.dialog) << c.command;
    EXPECT_EQ(owner, main()) << c.command;
  }
  // F1, then F3, through the message loop's accelerators.
  std::vector<int> seen;
  gui::SetDialogHook([&](HWND dlg, int id) {
    seen.push_back(id);
    EndDialog(dlg, 0);
    if (id == IDD_ABOUT)
      PostMessageA(main(), WM_KEYDOWN, VK_F3, 0);
    else
      PostQuitMessage(0);
  });
  // Should a key open nothing, the loop still ends.
  const UINT_PTR guard = SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(1); });
  PostMessageA(main(), WM_KEYDOWN, VK_F1, 0);
  gui::MessageLoop();
  KillTimer(nullptr, guard);
  EXPECT_EQ(seen, (std::vector<int>{IDD_ABOUT, IDD_CONTROL}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(AuxDialogs, TestWindowCaptionFollowsThePortSpeed) {
  Start();
  struct Case {
    int speed;
    const char* caption;
  } cases[] = {{200000, "Тест соединения 200 Кбит/c"},
               {115200, "Тест соединения 115,2 Кбит/c"},
               {2000000, "Тест соединения 2 Мбит/c"},
               {19200, "Тест соединения 19,2 Кбит/c"},
               {9600, "Dialog"}};
  for (const Case& c : cases) {
    app().speed = c.speed;
    std::string caption, button, errors;
    gui::SetDialogHook([&](HWND dlg, int) {
      EXPECT_EQ(app().testWindow, dlg);
      caption = text(dlg);
      button = TextOf(dlg, IDC_TEST_START);
      errors = TextOf(dlg, IDC_TEST_ERRORS);
      Press(dlg, IDC_TEST_EXIT);
    });
    gui::LinkTestDialog(main());
    EXPECT_EQ(caption, c.caption) << c.speed;
    EXPECT_EQ(button, "Тест");
    EXPECT_EQ(errors, "0");
    EXPECT_EQ(app().testWindow, nullptr);
  }
  EXPECT_FALSE(link_test_running());
}

TEST_F(AuxDialogs, TestShowsTheEchoAndStopEndsItWithinOneCycle) {
  StartWithUnit();
  const std::string echo = " 0     8     1     55     55     55     55     10";
  gui::SetDialogHook([&](HWND dlg, int) {
    Press(dlg, IDC_TEST_START);
    EXPECT_TRUE(link_test_running());
    EXPECT_EQ(TextOf(dlg, IDC_TEST_START), "Стоп");
    WaitWhile([&] { return TextOf(dlg, IDC_TEST_RX) != echo; });
    EXPECT_EQ(TextOf(dlg, IDC_TEST_RX), echo);
    EXPECT_EQ(TextOf(dlg, IDC_TEST_TX), echo);

    const int sleeps = clock.sleeps();
    Press(dlg, IDC_TEST_START);  // "Стоп"
    WaitWhile([] { return link_test_running(); });
    EXPECT_FALSE(link_test_running());
    // The answer wait and the pause of the cycle under way, no more.
    EXPECT_LE(clock.sleeps() - sleeps, 2);
    EXPECT_EQ(TextOf(dlg, IDC_TEST_START), "Тест");
    EXPECT_FALSE(app().testStop);

    // Again, then "Выход" while it runs: the window goes, the thread follows.
    Press(dlg, IDC_TEST_START);
    EXPECT_TRUE(link_test_running());
    Press(dlg, IDC_TEST_EXIT);
  });
  gui::LinkTestDialog(main());
  WaitWhile([] { return link_test_running(); });
  EXPECT_FALSE(link_test_running());
  EXPECT_FALSE(CRs232::PortInUse());
  ASSERT_FALSE(unit.frames().empty());
  EXPECT_EQ(to_hex(unit.frames().front()), "00 08 01 55 55 55 55 10");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(AuxDialogs, TestRefusedWhileAnotherOperationHoldsThePort) {
  StartWithUnit();
  CRs232 other;
  ASSERT_EQ(other.OpenComport(5, 200000, nullptr), 0);
  std::string button;
  gui::SetDialogHook([&](HWND dlg, int) {
    Press(dlg, IDC_TEST_START);
    WaitWhile([] { return link_test_running(); });
    button = TextOf(dlg, IDC_TEST_START);
    Press(dlg, IDC_TEST_EXIT);
  });
  gui::LinkTestDialog(main());
  other.Close();
  EXPECT_EQ(button, "Тест");
  // Written by the test's thread, read once it has ended.
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Com порт занят"});
  EXPECT_EQ(boxes[0].owner, main());
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONERROR));
  EXPECT_TRUE(unit.frames().empty());
}

TEST_F(AuxDialogs, ControlDialogSendsTheTextFrame) {
  StartWithUnit();
  std::string face;
  LONG height = 0;
  gui::SetDialogHook([&](HWND dlg, int) {
    EXPECT_EQ(text(dlg), "Управление");
    LOGFONTA lf = {};
    GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(dlg, IDC_CONTROL_TEXT, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    face = lf.lfFaceName;
    height = lf.lfHeight;
    SetDlgItemTextA(dlg, IDC_CONTROL_TEXT, "AB");
    Press(dlg, IDC_CONTROL_START);
    SetDlgItemTextA(dlg, IDC_CONTROL_TEXT, "ABCDEFGHIJKL");
    Press(dlg, IDC_CONTROL_START);
    Press(dlg, IDC_CONTROL_STOP);
    Press(dlg, IDOK);
  });
  gui::ControlDialog(main());
  EXPECT_EQ(face, "Consolas");
  EXPECT_EQ(height, 20);
  const auto* texts = unit.Find<sim::CorrectionService>();
  ASSERT_EQ(texts->textFrames.size(), 2u);
  EXPECT_EQ(to_hex(texts->textFrames[0]), "00 08 01 0C 0C 0C 0C 08 41 42 00 00 00 00 00 00 00 00");
  // At most nine characters.
  EXPECT_EQ(to_hex(texts->textFrames[1]), "00 08 01 0C 0C 0C 0C 08 41 42 43 44 45 46 47 48 49 00");
  // "Стоп" sends nothing and only says "222".
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"222"});
  EXPECT_EQ(boxes[0].owner, main());
  EXPECT_EQ(boxes[0].caption, "Korsync");
  EXPECT_EQ(boxes[0].type, UINT(MB_OK));
  EXPECT_FALSE(CRs232::PortInUse());
}

TEST_F(AuxDialogs, ControlDialogWithoutAPortSendsNothing) {
  StartWithUnit();
  driver.faults.missing = true;
  HWND dialog = nullptr;
  gui::SetDialogHook([&](HWND dlg, int) {
    dialog = dlg;
    SetDlgItemTextA(dlg, IDC_CONTROL_TEXT, "AB");
    Press(dlg, IDC_CONTROL_START);
    Press(dlg, IDOK);
  });
  gui::ControlDialog(main());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, dialog);  // the opening's own message
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, UINT(MB_ICONERROR));
  EXPECT_TRUE(unit.Find<sim::CorrectionService>()->textFrames.empty());
}

TEST_F(AuxDialogs, AboutBoxShowsVersionBuildAndTheMaker) {
  Start();
  std::string caption, version, build, phone, link;
  bool icon = false;
  gui::SetDialogHook([&](HWND dlg, int) {
    caption = text(dlg);
    version = TextOf(dlg, IDC_ABOUT_VERSION);
    build = TextOf(dlg, IDC_ABOUT_BUILD);
    phone = TextOf(dlg, IDC_ABOUT_PHONE);
    link = TextOf(dlg, IDC_ABOUT_LINK);
    icon = SendDlgItemMessageA(dlg, IDC_ABOUT_ICON, STM_GETICON, 0, 0) != 0;
    Press(dlg, IDOK);
  });
  gui::AboutDialog(main());
  EXPECT_EQ(caption, "О программе KorSync");
  EXPECT_EQ(version, "KorSync, версия 0.0.004");
  const std::string prefix = "Сборка: ";
  ASSERT_EQ(build.substr(0, prefix.size()), prefix);
  EXPECT_TRUE(std::regex_match(build.substr(prefix.size()),
                               std::regex("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] [0-9]{4} "
                                          "[0-2][0-9]:[0-5][0-9]:[0-5][0-9] gcc")))
      << build;
  EXPECT_FALSE(phone.empty());
  EXPECT_FALSE(link.empty());
  EXPECT_TRUE(icon);
}

}  // namespace
}  // namespace kor::test
