// The parameters editor and its input dialog: one editor at a time beside the
// main window, files opened, repaired, dropped and saved, and the rows changing
// as the parameter model says when they are clicked.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "tree_select.h"
#include "gui_fixture.h"
#include "params/param_edit.h"
#include "params/param_file.h"
#include "params/param_view.h"
#include "params/params_host.h"
#include "sim/unit.h"
#include "support/temp_dir.h"

namespace kor::test {
namespace {

// A parameter file as a read makes it: the 4096-byte memory, then the version
// text. Channel P2.0 measures X, a linear axis in format 0 (diameter mode).
std::string ParameterFile(const std::function<void(std::vector<uint8_t>&)>& patch = nullptr) {
  std::vector<uint8_t> m = sim::sample_parameter_memory();
  m[8] = 0x01;  // P2.0: linear, format 0
  if (patch) patch(m);
  std::string bytes(m.begin(), m.end());
  return bytes + "461 v1.07";
}

class Editor : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    param_set() = {};
    remembered_param_file() = {};
    display_axis_step() = 0;
  }
  void TearDown() override {
    gui::SetOpenFileHook(nullptr);
    MainWindowTest::TearDown();
    remembered_param_file() = {};
  }

  HWND editor() const { return static_cast<HWND>(app().paramsWindow); }
  HWND control(int id) const { return GetDlgItem(editor(), id); }
  std::string shown(int id) const { return text(control(id)); }
  std::string value(int row) const { return shown(kValueRowControls[row]); }

  void OpenEditor() {
    Start();
    ASSERT_NE(gui::ParamsEditor(main(), false), nullptr);
    boxes.clear();
  }

  // "Открыть " answered with this path.
  void OpenFile(const std::string& path) {
    gui::SetOpenFileHook([path](OPENFILENAMEA& ofn) {
      std::strncpy(ofn.lpstrFile, path.c_str(), ofn.nMaxFile - 1);
      return true;
    });
    SendMessageA(editor(), WM_COMMAND, MAKEWPARAM(IDC_PARAM_OPEN, BN_CLICKED), LPARAM(control(IDC_PARAM_OPEN)));
  }

  // The editor on a parameter file written as `name`.
  std::string OpenEditorOn(const std::string& bytes, const std::string& name = "unit.koreep") {
    OpenEditor();
    dir.write(name, bytes);
    OpenFile(dir.file(name));
    return dir.file(name);
  }

  // Selects the tree item with this text, as a click on it would.
  void SelectGroup(const char* wanted) { test::SelectTreeItem(control(IDC_PARAM_TREE), wanted); }

  // The mouse pressed on value row V(row + 1).
  void Click(int row) {
    HWND label = control(kValueRowControls[row]);
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }

  // Clicks a row that opens the input dialog; `answer` drives the dialog.
  void ClickInput(int row, const std::function<void(HWND)>& answer) {
    bool opened = false;
    gui::SetDialogHook([&](HWND dlg, int id) {
      EXPECT_EQ(id, IDD_INPUT);
      EXPECT_EQ(GetWindow(dlg, GW_OWNER), editor());
      EXPECT_EQ(app().inputWindow, dlg);
      opened = true;
      answer(dlg);
    });
    Click(row);
    gui::SetDialogHook(nullptr);
    EXPECT_TRUE(opened);
    EXPECT_EQ(app().inputWindow, nullptr);
    EXPECT_TRUE(InputKey().empty());
  }

  // What the editor shows is what the model holds.
  void ExpectShownAsModel() {
    const ParameterView& v = param_view();
    EXPECT_EQ(shown(IDC_PARAM_GROUP), v.caption);
    for (int i = 0; i < kParamRows; ++i) {
      EXPECT_EQ(shown(kLabelRowControls[i]), v.label[i]) << "L" << i + 1;
      EXPECT_EQ(value(i), v.value[i]) << "V" << i + 1;
    }
  }

  void DropOnEditor(const std::vector<std::string>& files) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& f : files) size += f.size() + 1;
    HGLOBAL mem = GlobalAlloc(GHND, size);
    auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
    df->pFiles = sizeof(DROPFILES);
    char* p = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
    for (const std::string& f : files) {
      std::memcpy(p, f.c_str(), f.size() + 1);
      p += f.size() + 1;
    }
    GlobalUnlock(mem);
    SendMessageA(editor(), WM_DROPFILES, WPARAM(mem), 0);
  }

  TempDir dir;
};

// Shown once the dialog itself is: a modal dialog appears only when its loop
// first goes idle, after the test hook has run.
bool Shown(HWND control) { return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT WindowRect(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return r;
}

int EditorsOf(HWND owner) {
  struct Count {
    HWND owner;
    int n;
  } c = {owner, 0};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<Count*>(lp);
        if (GetWindow(w, GW_OWNER) == c->owner && GetDlgItem(w, IDC_PARAM_TREE)) ++c->n;
        return TRUE;
      },
      LPARAM(&c));
  return c.n;
}

TEST_F(Editor, OneEditorAtATimeBesideTheMainWindow) {
  Start();
  const RECT before = WindowRect(main());
  command(IDM_PARAMS_EDITOR);
  HWND first = editor();
  ASSERT_TRUE(first && IsWindow(first));
  EXPECT_EQ(text(first), "Параметры");
  EXPECT_EQ(GetWindow(first, GW_OWNER), main());
  EXPECT_EQ(WindowRect(main()).left, before.left + 200);
  EXPECT_EQ(WindowRect(main()).top, before.top);
  EXPECT_EQ(WindowRect(first).left, before.left - 300);
  EXPECT_EQ(WindowRect(first).top, before.top);
  EXPECT_FALSE(IsWindowVisible(control(IDC_PARAM_SAVE)));
  EXPECT_EQ(TreeView_GetCount(control(IDC_PARAM_TREE)), 0u);

  command(IDM_PARAMS_EDITOR);
  EXPECT_EQ(editor(), first);
  EXPECT_EQ(EditorsOf(main()), 1);

  SendMessageA(first, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(editor(), nullptr);
  EXPECT_EQ(WindowRect(main()).left, before.left);
  EXPECT_EQ(WindowRect(main()).top, before.top);

  command(IDM_PARAMS_EDITOR);
  EXPECT_TRUE(editor() && IsWindow(editor()));
  EXPECT_EQ(EditorsOf(main()), 1);
}

TEST_F(Editor, TheMainWindowComesBackAfterTheDownloadDialogMovedItToo) {
  Start();
  const RECT before = WindowRect(main());
  command(IDM_PARAMS_EDITOR);
  // The download dialog remembers the main window where the editor put it.
  selectTab(1);
  command(IDC_KIND_PROGRAM);
  dir.write("prog.txt", "%P\r\nG01 X1\r\n");
  drop({dir.file("prog.txt")});
  gui::SetDialogHook([](HWND dlg, int) { SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
  command(IDC_LOAD);
  gui::SetDialogHook(nullptr);
  SendMessageA(editor(), WM_CLOSE, 0, 0);
  EXPECT_EQ(WindowRect(main()).left, before.left);
  EXPECT_EQ(WindowRect(main()).top, before.top);
}

TEST_F(Editor, OpeningAFileRepairsItAndShowsItsGroups) {
  OpenEditor();
  const std::string original = ParameterFile([](std::vector<uint8_t>& m) { m[176] = 0; });
  dir.write("unit.koreep", original);
  std::string title, filter, folder;
  HWND owner = nullptr;
  gui::SetOpenFileHook([&](OPENFILENAMEA& ofn) {
    title = ofn.lpstrTitle;
    owner = ofn.hwndOwner;
    folder = ofn.lpstrInitialDir;
    for (const char* p = ofn.lpstrFilter; *p; p += std::strlen(p) + 1) filter += std::string(p) + "|";
    std::strcpy(ofn.lpstrFile, dir.file("unit.koreep").c_str());
    return true;
  });
  SendMessageA(editor(), WM_COMMAND, MAKEWPARAM(IDC_PARAM_OPEN, BN_CLICKED), 0);
  EXPECT_EQ(title, "Параметры");
  EXPECT_EQ(owner, editor());
  EXPECT_EQ(folder, app().dataFolder);
  EXPECT_EQ(filter,
            "Файл параметров КОР *.koreep|*.koreep|Файл параметров КОР *.bin|*.bin|Все файлы *.*|*.*|");
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;

  EXPECT_EQ(text(editor()), "unit.koreep");
  EXPECT_TRUE(IsWindowVisible(control(IDC_PARAM_SAVE)));
  EXPECT_EQ(shown(IDC_PARAM_GROUP), "Оси - Измерительные каналы");
  EXPECT_EQ(value(0), "X (линейная)");
  ExpectShownAsModel();

  SelectGroup("Настройки");
  EXPECT_EQ(shown(IDC_PARAM_GROUP), "Настройки");
  EXPECT_EQ(value(0), "26");  // code 25
  // Repaired in the file itself before it was shown; nothing else changed.
  std::string repaired = dir.read("unit.koreep");
  ASSERT_EQ(repaired.size(), original.size());
  EXPECT_EQ(uint8_t(repaired[176]), 25);
  repaired[176] = original[176];
  EXPECT_EQ(repaired, original);
}

TEST_F(Editor, OnlyParameterFilesAreOpened) {
  OpenEditor();
  dir.write("notes.txt", ParameterFile());
  OpenFile(dir.file("notes.txt"));
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Неизвестный формат файла"});
  EXPECT_EQ(boxes[0].owner, editor());
  EXPECT_EQ(boxes[0].caption, "Korsync");
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONERROR));
  EXPECT_EQ(text(editor()), "Параметры");
  EXPECT_FALSE(IsWindowVisible(control(IDC_PARAM_SAVE)));

  // Cancelled: nothing happens.
  boxes.clear();
  gui::SetOpenFileHook([](OPENFILENAMEA&) { return false; });
  SendMessageA(editor(), WM_COMMAND, MAKEWPARAM(IDC_PARAM_OPEN, BN_CLICKED), 0);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(remembered_param_file().loaded);
}

TEST_F(Editor, DroppedFilesLoadOnlyTheLastOne) {
  OpenEditor();
  dir.write("a.koreep", ParameterFile());
  dir.write("c.bin", ParameterFile([](std::vector<uint8_t>& m) { m[0] = 9; }));  // P2.0 on A
  DropOnEditor({dir.file("a.koreep"), dir.file("missing.koreep"), dir.file("c.bin")});
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_EQ(text(editor()), "c.bin");
  EXPECT_EQ(value(0), "A (круговая)");
  EXPECT_STREQ(remembered_param_file().path, dir.file("c.bin").c_str());

  DropOnEditor({dir.file("c.bin"), dir.file("notes.txt")});
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Неверный формат файла"});
  EXPECT_EQ(boxes[0].owner, editor());
  EXPECT_EQ(text(editor()), "c.bin");
}

TEST_F(Editor, HandOverTheValueRowsOnlyWhileAFileIsLoaded) {
  OpenEditor();
  auto cursorOver = [&](int id) {
    SetCursor(nullptr);
    SendMessageA(editor(), WM_SETCURSOR, WPARAM(control(id)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  const HCURSOR hand = LoadCursorA(nullptr, IDC_HAND), arrow = LoadCursorA(nullptr, IDC_ARROW);
  EXPECT_EQ(cursorOver(IDC_PARAM_V1), arrow);
  dir.write("unit.koreep", ParameterFile());
  OpenFile(dir.file("unit.koreep"));
  EXPECT_EQ(cursorOver(IDC_PARAM_V1), hand);
  EXPECT_EQ(cursorOver(IDC_PARAM_V14), hand);
  EXPECT_NE(cursorOver(IDC_PARAM_L1), hand);
}

TEST_F(Editor, ClicksThroughAChannelChangeTheRowsAsTheModelSays) {
  OpenEditorOn(ParameterFile());
  SelectGroup("Канал P2.0");
  EXPECT_EQ(shown(IDC_PARAM_GROUP), "Канал P2.0   Ось: X");
  EXPECT_EQ(value(1), "0.000");
  EXPECT_EQ(value(3), "-");
  ExpectShownAsModel();

  // Rows that step or toggle: each click shows a new text, and the model's.
  for (int row : {1, 2, 3, 6, 7, 8, 11, 12, 13}) {
    const std::string was = value(row);
    Click(row);
    EXPECT_NE(value(row), was) << "V" << row + 1;
    ExpectShownAsModel();
  }
  EXPECT_EQ(value(1), "0.00");  // format 0 -> 1
  EXPECT_EQ(value(3), "+");
  EXPECT_TRUE(boxes.empty());

  // The type is set elsewhere; the editor says so and changes nothing.
  Click(0);
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Тип оси задается в общих параметрах"});
  EXPECT_EQ(boxes[0].owner, editor());
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONINFORMATION));

  // The channels group: P2.3 has no axis and takes the next free one, U.
  SelectGroup("Оси - Измерительные каналы");
  Click(3);
  EXPECT_EQ(value(3), "U (линейная)");
  ExpectShownAsModel();
}

TEST_F(Editor, TypedValuesAreCheckedByTheInputDialog) {
  OpenEditorOn(ParameterFile());
  SelectGroup("Канал P2.0");
  ASSERT_EQ(value(4), "0.001");
  std::string title, offered;
  ClickInput(4, [&](HWND dlg) {
    char buf[64] = {};
    GetWindowTextA(dlg, buf, sizeof buf);
    title = buf;
    GetDlgItemTextA(dlg, IDC_INPUT_TEXT, buf, sizeof buf);
    offered = buf;
    EXPECT_TRUE(Shown(GetDlgItem(dlg, IDC_INPUT_TEXT)));
    EXPECT_FALSE(Shown(GetDlgItem(dlg, IDC_INPUT_LIST)));
    SetDlgItemTextA(dlg, IDC_INPUT_TEXT, "0.5");
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(title, "Ввод коэффициента");
  EXPECT_EQ(offered, "0.001");
  EXPECT_EQ(value(4), "0.5");
  EXPECT_EQ(param_set().coefficient[0].mantissa, 5);
  EXPECT_EQ(param_set().coefficient[0].decimals, 1);

  // Refused texts, and a cancelled one, change nothing.
  struct Answer {
    const char* typed;
    int button;
  } answers[] = {{"1.2.3", IDOK}, {"5-", IDOK}, {"", IDOK}, {"7", IDCANCEL}};
  for (const Answer& a : answers) {
    ClickInput(4, [&](HWND dlg) {
      SetDlgItemTextA(dlg, IDC_INPUT_TEXT, a.typed);
      SendMessageA(dlg, WM_COMMAND, a.button, 0);
    });
    EXPECT_EQ(value(4), "0.5") << a.typed;
    EXPECT_EQ(param_set().coefficient[0].mantissa, 5) << a.typed;
  }
  // Closing the dialog is a cancel too.
  ClickInput(4, [](HWND dlg) {
    SetDlgItemTextA(dlg, IDC_INPUT_TEXT, "9");
    SendMessageA(dlg, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(value(4), "0.5");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(Editor, InputsAreChosenFromTheList) {
  OpenEditorOn(ParameterFile([](std::vector<uint8_t>& m) { m[8 + 8] = 0x41; }));  // zone input <P1.2
  SelectGroup("Канал P2.0");
  ASSERT_EQ(value(9), "<P1.2");
  ClickInput(9, [](HWND dlg) {
    char buf[64] = {};
    GetWindowTextA(dlg, buf, sizeof buf);
    EXPECT_STREQ(buf, "Зона реферетной метки");
    EXPECT_FALSE(Shown(GetDlgItem(dlg, IDC_INPUT_TEXT)));
    EXPECT_TRUE(Shown(GetDlgItem(dlg, IDC_INPUT_LIST)));
    EXPECT_TRUE(Shown(GetDlgItem(dlg, IDC_INPUT_INVERT)));
    HWND list = GetDlgItem(dlg, IDC_INPUT_LIST);
    EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 17);
    SendMessageA(list, CB_GETLBTEXT, 0, LPARAM(buf));
    EXPECT_STREQ(buf, "нет");
    SendMessageA(list, CB_GETLBTEXT, 16, LPARAM(buf));
    EXPECT_STREQ(buf, "<P1.16");
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_INPUT_INVERT), UINT(BST_UNCHECKED));
    SendMessageA(list, CB_SETCURSEL, 3, 0);
    CheckDlgButton(dlg, IDC_INPUT_INVERT, BST_CHECKED);
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(value(9), "<P1.3!");
  EXPECT_EQ(param_set().channelRecord[0].refZoneInput, 0x02);

  ClickInput(10, [](HWND dlg) {
    SendDlgItemMessageA(dlg, IDC_INPUT_LIST, CB_SETCURSEL, 0, 0);
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(value(10), "нет");
}

TEST_F(Editor, BrightnessIsSetOnTheBar) {
  OpenEditorOn(ParameterFile());
  SelectGroup("Настройки");
  ASSERT_EQ(value(0), "25");
  std::string label;
  ClickInput(0, [&](HWND dlg) {
    char buf[64] = {};
    GetWindowTextA(dlg, buf, sizeof buf);
    EXPECT_STREQ(buf, "Яркость экрана");
    EXPECT_FALSE(Shown(GetDlgItem(dlg, IDC_INPUT_TEXT)));
    HWND bar = GetDlgItem(dlg, IDC_INPUT_BAR);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageA(bar, TBM_GETRANGEMIN, 0, 0), 1);
    EXPECT_EQ(SendMessageA(bar, TBM_GETRANGEMAX, 0, 0), 50);
    EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), 25);
    GetDlgItemTextA(dlg, IDC_INPUT_BAR_VALUE, buf, sizeof buf);
    EXPECT_STREQ(buf, "25");
    // The bar moved to its right end.
    SendMessageA(bar, TBM_SETPOS, TRUE, 50);
    SendMessageA(dlg, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 50), LPARAM(bar));
    GetDlgItemTextA(dlg, IDC_INPUT_BAR_VALUE, buf, sizeof buf);
    label = buf;
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(label, "50");
  EXPECT_EQ(param_set().brightnessCode, 1);
  EXPECT_EQ(value(0), "50");
}

TEST_F(Editor, SaveWritesTheChangesInPlaceAndSaysHowItWent) {
  const std::string path = OpenEditorOn(ParameterFile());
  const std::string original = dir.read("unit.koreep");
  SelectGroup("Канал P2.0");
  Click(3);  // direction: record byte 1, bit 1
  SendMessageA(editor(), WM_COMMAND, MAKEWPARAM(IDC_PARAM_SAVE, BN_CLICKED), 0);
  ASSERT_EQ(boxTexts(), std::vector<std::string>{"Файл сохранен"});
  EXPECT_EQ(boxes[0].owner, editor());
  EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONINFORMATION));
  std::string saved = dir.read("unit.koreep");
  ASSERT_EQ(saved.size(), original.size());
  EXPECT_EQ(uint8_t(saved[9]), uint8_t(original[9]) ^ kDirectionPlus);
  saved[9] = original[9];
  EXPECT_EQ(saved, original);

  // The file's folder is gone: the save fails and says so.
  boxes.clear();
  TempDir other;
  other.write("gone.koreep", ParameterFile());
  OpenFile(other.file("gone.koreep"));
  DeleteFileA(other.file("gone.koreep").c_str());
  RemoveDirectoryA(other.path().c_str());
  SendMessageA(editor(), WM_COMMAND, MAKEWPARAM(IDC_PARAM_SAVE, BN_CLICKED), 0);
  EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Не удалось открыть файл для записи", "Ошибка сохранения"}));
  EXPECT_EQ(boxes.back().type, UINT(MB_OK | MB_ICONERROR));
}

// Posts what the main window's host posts, without asking other copies to close.
class QuietHost : public ParamsHost {
 public:
  void OpenEditorForCommandLineFile() override {
    PostMessageA(gui::MainWindow(), WM_COMMAND, IDM_PARAMS_EDITOR, WM_PARAMS_COMMAND_LINE);
  }
};

TEST_F(Editor, StartedWithAParameterFileTheEditorOpensOnItAndItIsSelectedForSending) {
  Start();
  const std::string path = dir.file("unit.koreep");
  dir.write("unit.koreep", ParameterFile());
  QuietHost host;
  set_params_host(&host);
  gui::TakeCommandLine(("\"" + path + "\"").c_str());
  gui::PumpPendingMessages();  // command 107 with 0xAFFF: the editor opens
  gui::PumpPendingMessages();  // message 0xAFFF: it takes the file
  ASSERT_NE(editor(), nullptr);
  EXPECT_EQ(text(editor()), "unit.koreep");
  EXPECT_TRUE(IsWindowVisible(control(IDC_PARAM_SAVE)));
  EXPECT_EQ(value(0), "X (линейная)");
  EXPECT_EQ(app().tab, 1);
  EXPECT_EQ(app().kind, DataKind::Parameters);
  EXPECT_EQ(std::string(app().selectedFile), path);
  EXPECT_EQ(text(IDC_FILE_BOX), "unit.koreep");
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  SendMessageA(editor(), WM_CLOSE, 0, 0);
  // The editor handed the host back.
  EXPECT_EQ(&params_host(), &host);
  set_params_host(nullptr);
}

}  // namespace
}  // namespace kor::test
