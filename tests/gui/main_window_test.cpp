// Start-up, the menu and keys, and the services the operations use.
#include <windows.h>

#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/adapters.h"
#include "app/app_state.h"
#include "app/cp1251.h"
#include "app/exchange_log.h"
#include "app/operator.h"
#include "app/timing.h"
#include "gui_fixture.h"
#include "link/rs232.h"
#include "sim/programs.h"
#include "sim/sim_port.h"
#include "sim/unit.h"
#include "support/temp_dir.h"

namespace kor::test {
namespace {

using MainWindow = MainWindowTest;

std::string programPath() {
  char p[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, p, MAX_PATH);
  return p;
}

bool topmost(HWND w) { return (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
bool checked108(HWND w) { return (GetMenuState(GetMenu(w), IDM_TOPMOST, MF_BYCOMMAND) & MF_CHECKED) != 0; }

TEST_F(MainWindow, FirstRunRegistersParameterFilesAndSaysSoOnce) {
  SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\ZEMRA");
  SetUserValue("bdrate", DWORD(115200));  // a key that already exists is fine
  // An earlier association's class key goes.
  HKEY k;
  RegCreateKeyA(HKEY_CLASSES_ROOT, "koreep_auto_file\\shell", &k);
  RegCloseKey(k);
  Start();
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Приложение установлено по умолчанию"});
  EXPECT_EQ(boxes[0].caption, "Korsync");
  EXPECT_EQ(boxes[0].owner, main());
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(ClassesDefault(".koreep"), "koreep_auto_f");
  EXPECT_EQ(ClassesDefault("koreep_auto_f\\shell\\open\\command"), programPath() + " %1");
  EXPECT_FALSE(ClassesKeyExists("koreep_auto_file"));
  std::string last;
  ASSERT_TRUE(UserText("last_app_path", last));
  EXPECT_EQ(last, programPath());

  // Started again from the same place: nothing to say.
  Stop();
  boxes.clear();
  Start();
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(app().registeredDefault);

  // Moved elsewhere: registered and said again.
  Stop();
  SetUserValue("last_app_path", std::string("C:\\old place\\KorSync.exe"));
  boxes.clear();
  Start();
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Приложение установлено по умолчанию"});
}

TEST_F(MainWindow, StoredSettingsAtStart) {
  struct Case {
    DWORD stored;
    int used;
  } cases[] = {{115200, 115200}, {2000000, 200000}, {200000, 200000}};
  for (const Case& c : cases) {
    SetUserValue("bdrate", c.stored);
    Start();
    EXPECT_EQ(app().speed, c.used) << c.stored;
    Stop();
  }
  // No data folder stored: the folder the program started in.
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  Start();
  EXPECT_STREQ(app().dataFolder, cwd);
  Stop();
  SetUserValue("m_path", std::string("D:\\KOR data"));
  Start();
  EXPECT_STREQ(app().dataFolder, "D:\\KOR data");
}

TEST_F(MainWindow, InitialState) {
  Start();
  EXPECT_EQ(text(main()), "KorSync");
  EXPECT_STREQ(app().versionText, "KorSync, версия 0.0.004");
  EXPECT_EQ(text(IDC_LOAD), " Загрузить");
  EXPECT_EQ(SendDlgItemMessageA(main(), IDC_PROGRAM_NO, CB_GETCOUNT, 0, 0), 21);
  EXPECT_EQ(SendDlgItemMessageA(main(), IDC_SUBPROGRAM_NO, CB_GETCOUNT, 0, 0), 51);
  char last[16] = {};
  SendDlgItemMessageA(main(), IDC_SUBPROGRAM_NO, CB_GETLBTEXT, 50, LPARAM(last));
  EXPECT_STREQ(last, "Всё");
  SendDlgItemMessageA(main(), IDC_PROGRAM_NO, CB_GETLBTEXT,
                      WPARAM(SendDlgItemMessageA(main(), IDC_PROGRAM_NO, CB_GETCURSEL, 0, 0)), LPARAM(last));
  EXPECT_STREQ(last, "001");
  EXPECT_EQ(SendMessageA(item(IDC_TAB), TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_NE(GetMenu(main()), nullptr);
}

TEST_F(MainWindow, AlwaysOnTopToggles) {
  Start();
  EXPECT_TRUE(app().topmost);
  EXPECT_TRUE(checked108(main()));
  command(IDM_TOPMOST);
  EXPECT_FALSE(app().topmost);
  EXPECT_FALSE(topmost(main()));
  EXPECT_FALSE(checked108(main()));
  command(IDM_TOPMOST);
  EXPECT_TRUE(app().topmost);
  EXPECT_TRUE(checked108(main()));
  // Wine hands a captioned window's "above others" to the window manager and
  // sets the style when that confirms it; bare Xvfb has none, so the style
  // itself is only seen going off.
}

bool fast_ticked(HWND w) { return (GetMenuState(GetMenu(w), IDM_FAST, MF_BYCOMMAND) & MF_CHECKED) != 0; }

// The tick is the stored setting: each change is written at once and the next
// start shows and uses it.
TEST_F(MainWindow, FastModeTickIsStoredAndRestoredAtStart) {
  Start();
  EXPECT_FALSE(app().fastMode);
  EXPECT_FALSE(fast_ticked(main()));
  command(IDM_FAST);
  EXPECT_TRUE(app().fastMode);
  EXPECT_TRUE(fast_ticked(main()));
  DWORD stored = 7;
  EXPECT_TRUE(UserNumber("fast", stored));
  EXPECT_EQ(stored, 1u);
  Stop();
  reset_app_state();

  Start();
  EXPECT_TRUE(app().fastMode);
  EXPECT_TRUE(fast_ticked(main()));
  command(IDM_FAST);
  EXPECT_FALSE(fast_ticked(main()));
  EXPECT_TRUE(UserNumber("fast", stored));
  EXPECT_EQ(stored, 0u);
  Stop();
  reset_app_state();

  Start();
  EXPECT_FALSE(app().fastMode);
  EXPECT_FALSE(fast_ticked(main()));
}

// The FTDI driver keeps each adapter's latency timer beside its port name.
TEST_F(MainWindow, AdapterLatencyTimerComesFromTheDriversKey) {
  AddAdapter(0, "AL005JLJA", "COM5");
  AddAdapter(1, "A9K3LX2Q", "COM8");
  SetAdapterCount(2);
  const DWORD ms = 2;
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\VID_0403+PID_6001+A9K3LX2Q\\0000\\Device Parameters",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(k, "LatencyTimer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ms), sizeof ms);
  RegCloseKey(k);
  EXPECT_EQ(AdapterLatencyLines(), std::vector<std::string>{"latency timer: COM8 2 ms"});
  RemoveAdapters();
}

TEST_F(MainWindow, F2AndIndicationDoNothing) {
  Start();
  EXPECT_TRUE(GetMenuState(GetMenu(main()), IDM_INDICATION, MF_BYCOMMAND) & MF_GRAYED);
  selectTab(1);
  drop({"C:\\d\\a.txt"});
  // F2 through the message loop and its accelerators, then the menu item.
  PostMessageA(main(), WM_KEYDOWN, VK_F2, 0);
  PostMessageA(main(), WM_COMMAND, IDM_INDICATION, 0);
  PostQuitMessage(7);
  EXPECT_EQ(gui::MessageLoop(), 7);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(app().tab, 1);
  EXPECT_STREQ(app().selectedFile, "C:\\d\\a.txt");
  EXPECT_TRUE(IsWindow(main()));
}

TEST_F(MainWindow, OperationsReachTheWindowThroughTheOperator) {
  Start();
  answer = IDYES;
  op().ProgressRange(0, 16632);
  op().ProgressPos(3326);
  op().ProgressFont(true, IDC_PROGRESS_TEXT);
  op().ProgressText("3326/16632");
  PBRANGE range = {};
  SendDlgItemMessageA(main(), IDC_PROGRESS, PBM_GETRANGE, 0, LPARAM(&range));
  EXPECT_EQ(range.iHigh, 16632);
  EXPECT_EQ(SendDlgItemMessageA(main(), IDC_PROGRESS, PBM_GETPOS, 0, 0), 3326);
  EXPECT_EQ(text(IDC_PROGRESS_TEXT), "3326/16632");
  LOGFONTA lf = {};
  GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(main(), IDC_PROGRESS_TEXT, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_STREQ(lf.lfFaceName, "Verdana");
  EXPECT_EQ(lf.lfHeight, -9);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_TRUE(lf.lfItalic);

  op().Stop(StopButton::Show);
  EXPECT_TRUE(visible(IDC_STOP));
  command(IDC_STOP);
  op().Stop(StopButton::ResetText);
  EXPECT_EQ(text(IDC_STOP), "Стоп");
  op().Stop(StopButton::Hide);
  EXPECT_FALSE(visible(IDC_STOP));

  ShowMessage("Связь потеряна, переподключите кабель", Icon::Warning);
  EXPECT_TRUE(op().AskYesNo("Файл сохранен: x.\nОткрыть папку?", "KorSync"));
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].owner, main());
  EXPECT_EQ(boxes[0].caption, "Korsync");
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONWARNING));
  EXPECT_EQ(boxes[1].caption, "KorSync");
  EXPECT_EQ(boxes[1].type, UINT(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(MainWindow, StopButtonAsksTheOperationToEnd) {
  Start();
  command(IDC_STOP);
  EXPECT_EQ(text(IDC_STOP), "Завершаю...");
  EXPECT_TRUE(app().stopRequested);
}

TEST_F(MainWindow, QuitPostedDuringAnOperationStillEndsTheProgram) {
  Start();
  PostQuitMessage(3);
  gui::PumpPendingMessages();  // an operation between two blocks
  PostMessageA(main(), WM_NULL, 0, 0);
  EXPECT_EQ(gui::MessageLoop(), 3);
}

TEST_F(MainWindow, CloseRequestFromAnotherCopyIsObeyedOnlyWithoutAPort) {
  Start();
  const UINT close = RegisterWindowMessageA("CloseKorSync");
  EXPECT_EQ(app().closeMessage, close);
  MSG m;
  SendMessageA(main(), close, WPARAM(main()), 0);  // our own broadcast
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

  sim::Unit unit;
  sim::SimPortDriver driver{unit};
  set_port_driver(&driver);
  {
    CRs232 rs;
    ASSERT_EQ(rs.OpenComport(5, 200000, nullptr), 0);
    SendMessageA(main(), close, 0x1234, 0);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  }
  set_port_driver(nullptr);
  SendMessageA(main(), close, 0x1234, 0);
  EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A block unit (model 461) holding program 5, on the adapter at COM5, in virtual time.
struct UnitWithProgram5 {
  UnitWithProgram5() {
    dir.write("kor_program_005.txt", "%PART 5\r\nG01 X10.000\r\nM02\r\n");
    std::string error;
    EXPECT_EQ(sim::LoadPrograms(unit, dir.path(), error), 1) << error;
    set_port_driver(&driver);
    set_timing(&clock);
    SetUserValue("m_path", dir.path());
    AddAdapter(0, "FT1", "COM5");
  }
  ~UnitWithProgram5() {
    set_timing(nullptr);
    set_port_driver(nullptr);
  }
  TempDir dir;
  sim::Unit unit;
  sim::SimPortDriver driver{unit};
  VirtualTiming clock;
};

TEST_F(MainWindow, SaveReadsTheChosenProgramIntoTheDataFolder) {
  UnitWithProgram5 u;
  const TempDir& dir = u.dir;
  Start();
  boxes.clear();
  SendDlgItemMessageA(main(), IDC_PROGRAM_NO, CB_SETCURSEL, 4, 0);  // "005"
  command(IDC_SAVE);
  const std::string saved = dir.file("kor_programs\\kor_program_005.txt");
  ASSERT_EQ(boxes.size(), 1u) << (boxes.empty() ? "" : boxes[0].text);
  EXPECT_EQ(boxes[0].text, "Файл сохранен: " + saved + ".\nОткрыть папку?");
  EXPECT_EQ(boxes[0].type, UINT(MB_YESNO | MB_ICONQUESTION));
  std::ifstream in(saved, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(content.find("PART 5"), std::string::npos) << content;
  EXPECT_NE(content.find("M02"), std::string::npos) << content;
  EXPECT_FALSE(CRs232::PortInUse());
}

// The registry value "log": each command that talks to the unit appends its
// frames both ways, its waits, its messages and how it ended.
TEST_F(MainWindow, ExchangeLogNamedInTheRegistryRecordsEachUnitCommand) {
  UnitWithProgram5 u;
  const TempDir& dir = u.dir;
  const std::string logFile = dir.file("exchange.log");
  SetUserValue("log", logFile);
  Start();
  command(IDM_TOPMOST);  // talks to nobody: not logged
  SendDlgItemMessageA(main(), IDC_PROGRAM_NO, CB_SETCURSEL, 4, 0);
  command(IDC_SAVE);
  std::string log = dir.read("exchange.log");
  for (const char* part : {": KorSync Сохранить, Программа 005, port COM5, speed 200000\n",
                           "> 8 00 08 ", "wait 40 ms\n", "< 42 ", "message question: Файл сохранен: ",
                           "end: exit status 0\n"})
    EXPECT_NE(log.find(text_to_utf8(part)), std::string::npos) << part << "\n" << log;
  EXPECT_EQ(log.find(text_to_utf8("Поверх")), std::string::npos) << log;

  // An empty slot: the window keeps it silent, the log says the run failed.
  SendDlgItemMessageA(main(), IDC_PROGRAM_NO, CB_SETCURSEL, 6, 0);
  command(IDC_SAVE);
  log = dir.read("exchange.log").substr(log.size());
  EXPECT_NE(log.find(text_to_utf8(": KorSync Сохранить, Программа 007, port COM5")), std::string::npos) << log;
  EXPECT_NE(log.find("failure: "), std::string::npos) << log;
  EXPECT_NE(log.find("end: exit status 1\n"), std::string::npos) << log;
  EXPECT_EQ(exchange_log(), nullptr);
}

}  // namespace
}  // namespace kor::test
