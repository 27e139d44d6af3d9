// The parameters editor (144): a modeless window beside the main window with
// the tree of groups, the rows of the group shown, clicks on the value rows and
// the file commands. What it shows and how a click changes the parameter set
// belong to the parameter code; this file is its window.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "gui/aux_resource.h"
#include "gui/aux_windows.h"
#include "gui/resource.h"
#include "gui/window.h"
#include "params/param_file.h"
#include "params/param_view.h"
#include "params/params_host.h"

namespace kor::gui {

namespace {

HWND Editor() { return static_cast<HWND>(app().paramsWindow); }

OpenFileHook g_openHook;

// Where the main window stood before the editor moved it aside. AppState keeps
// the same rectangle, but the program-download dialog overwrites it while the
// editor is open, so the way back is kept here.
RECT g_mainBefore = {};

// While the editor is open the parameter code talks to it; what concerns the
// main window goes on to the host that was there before.
class EditorHost : public ParamsHost {
 public:
  void Attach(HWND editor) {
    if (&params_host() != this) previous_ = &params_host();
    editor_ = editor;
    set_params_host(this);
  }
  void Detach() {
    if (&params_host() == this) set_params_host(previous_);
    previous_ = nullptr;
    editor_ = nullptr;
  }

  void SetTree(const std::vector<TreeItem>& items, int select) override {
    if (!editor_) return;
    HWND tree = GetDlgItem(editor_, IDC_PARAM_TREE);
    std::vector<HTREEITEM> handles;
    rebuilding_ = true;
    SendMessageA(tree, TVM_DELETEITEM, 0, LPARAM(TVI_ROOT));
    for (const TreeItem& item : items) {
      TVINSERTSTRUCTA is = {};
      is.hParent = item.parent >= 0 && size_t(item.parent) < handles.size() ? handles[size_t(item.parent)] : TVI_ROOT;
      is.hInsertAfter = TVI_LAST;
      is.item.mask = TVIF_TEXT | TVIF_PARAM;
      is.item.pszText = const_cast<char*>(item.text);
      is.item.lParam = item.group;
      handles.push_back(reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, LPARAM(&is))));
    }
    for (HTREEITEM h : handles) SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, LPARAM(h));
    rebuilding_ = false;
    if (select < 0 || size_t(select) >= handles.size()) return;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(handles[size_t(select)]));
    SendMessageA(tree, TVM_ENSUREVISIBLE, 0, LPARAM(handles.front()));
    // The selection change shows the group; a tree that stays silent about a
    // selection made by the program must not leave the rows empty.
    if (current_param_group() != items[size_t(select)].group) ShowParameterGroup(items[size_t(select)].group);
  }

  void ShowRows(const ParameterView& view) override {
    if (!editor_) return;
    SetDlgItemTextA(editor_, IDC_PARAM_GROUP, view.caption.c_str());
    for (int i = 0; i < kParamRows; ++i) {
      SetDlgItemTextA(editor_, kLabelRowControls[i], view.label[i].c_str());
      SetDlgItemTextA(editor_, kValueRowControls[i], view.value[i].c_str());
    }
  }

  void SetTitle(const char* fileName) override {
    if (editor_) SetWindowTextA(editor_, fileName);
  }

  void ShowSaveButton(bool shown) override {
    if (editor_) ShowWindow(GetDlgItem(editor_, IDC_PARAM_SAVE), shown ? SW_SHOW : SW_HIDE);
  }

  void OpenEditorForCommandLineFile() override {
    if (previous_) previous_->OpenEditorForCommandLineFile();
  }
  void BroadcastCloseOthers() override {
    if (previous_) previous_->BroadcastCloseOthers();
  }

  int RunInputDialog(InputFields& fields) override { return editor_ ? InputDialog(editor_, fields) : 2; }

  bool rebuilding() const { return rebuilding_; }

 private:
  HWND editor_ = nullptr;
  ParamsHost* previous_ = nullptr;
  bool rebuilding_ = false;
};

EditorHost g_host;

void InitEditor(HWND dlg) {
  AppState& a = app();
  a.paramsWindow = dlg;
  g_mainBefore = RememberMainPlace();
  MoveWindowTo(MainWindow(), g_mainBefore.left + 200, g_mainBefore.top);
  MoveWindowTo(dlg, g_mainBefore.left - 300, g_mainBefore.top);
  DragAcceptFiles(dlg, TRUE);
  remembered_param_file().loaded = false;
  g_host.Attach(dlg);
  // Nothing is shown until a file is loaded, and a click on an empty row must
  // not edit the group an earlier editor showed.
  ShowParameterGroup(kGroupNone);
}

void CloseEditor(HWND dlg) {
  MoveWindowTo(MainWindow(), g_mainBefore.left, g_mainBefore.top);
  DestroyWindow(dlg);
}

void OpenFile(HWND dlg) {
  char file[MAX_PATH] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = dlg;
  ofn.lpstrFilter = "Файл параметров КОР *.koreep\0*.koreep\0Файл параметров КОР *.bin\0*.bin\0Все файлы *.*\0*.*\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = app().dataFolder;
  ofn.lpstrTitle = "Параметры";
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  const bool chosen = g_openHook ? g_openHook(ofn) : GetOpenFileNameA(&ofn) != 0;
  if (!chosen) return;
  file[sizeof file - 1] = 0;
  OpenParameterFile(file);
}

void DroppedFiles(HDROP drop) {
  std::vector<std::string> names;
  const UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    const UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::string name(size_t(length) + 1, '\0');
    DragQueryFileA(drop, i, name.data(), length + 1);
    name.resize(length);
    names.push_back(name);
  }
  DragFinish(drop);
  DropParameterFile(names);
}

void Paint(HWND dlg) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dlg, &ps);
  RECT values = {350, 30, 450, 345};
  FillRect(dc, &values, GetSysColorBrush(COLOR_WINDOW));
  HPEN grid = CreatePen(PS_SOLID, 1, RGB(213, 213, 213));
  HGDIOBJ old = SelectObject(dc, grid);
  for (int y = 30; y <= 330; y += 20) {
    MoveToEx(dc, 180, y, nullptr);
    LineTo(dc, 450, y);
  }
  MoveToEx(dc, 350, 30, nullptr);
  LineTo(dc, 350, 345);
  SelectObject(dc, old);
  DeleteObject(grid);
  EndPaint(dlg, &ps);
}

bool IsValueRow(HWND dlg, HWND control) {
  return control && GetParent(control) == dlg && value_row_index(GetDlgCtrlID(control)) >= 0;
}

void Command(HWND dlg, int id, int code) {
  switch (id) {
    case IDC_PARAM_OPEN:
      if (code == BN_CLICKED) OpenFile(dlg);
      return;
    case IDC_PARAM_SAVE:
      if (code == BN_CLICKED) SaveRememberedParameterFile();
      return;
    case IDCANCEL: CloseEditor(dlg); return;
    default: break;
  }
  if (code == STN_CLICKED && value_row_index(id) >= 0) EditParameterRow(id, current_param_group());
}

INT_PTR CALLBACK EditorProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: InitEditor(dlg); return TRUE;
    case WM_COMMAND: Command(dlg, LOWORD(wp), HIWORD(wp)); return TRUE;
    case WM_NOTIFY: {
      const auto* h = reinterpret_cast<const NMHDR*>(lp);
      if (h->idFrom == IDC_PARAM_TREE && (h->code == UINT(TVN_SELCHANGEDA) || h->code == UINT(TVN_SELCHANGEDW)) &&
          !g_host.rebuilding()) {
        const auto* tv = reinterpret_cast<const NMTREEVIEWA*>(lp);
        if (tv->itemNew.hItem) ShowParameterGroup(int(tv->itemNew.lParam));
      }
      return FALSE;
    }
    case WM_DROPFILES: DroppedFiles(reinterpret_cast<HDROP>(wp)); return TRUE;
    case WM_PARAMS_COMMAND_LINE:
      SelectCommandLineFile();
      ReloadParameterFile();
      return TRUE;
    case WM_SETCURSOR:
      if (IsValueRow(dlg, reinterpret_cast<HWND>(wp))) {
        SetCursor(LoadCursorA(nullptr, value_rows_clickable() ? IDC_HAND : IDC_ARROW));
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC:
      if (IsValueRow(dlg, reinterpret_cast<HWND>(lp))) {
        SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_WINDOW));
        return INT_PTR(GetSysColorBrush(COLOR_WINDOW));
      }
      return FALSE;
    case WM_PAINT: Paint(dlg); return TRUE;
    case WM_CLOSE: CloseEditor(dlg); return TRUE;
    case WM_DESTROY:
      g_host.Detach();
      if (Editor() == dlg) app().paramsWindow = nullptr;
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

HWND ParamsEditor(HWND owner, bool commandLineFile) {
  if (HWND open = Editor(); open && IsWindow(open)) {
    SetForegroundWindow(open);
    return open;
  }
  HWND dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PARAMS), owner, EditorProc, 0);
  if (!dlg) return nullptr;
  app().paramsWindow = dlg;
  if (commandLineFile) PostMessageA(dlg, WM_PARAMS_COMMAND_LINE, 0, 0);
  return dlg;
}

void SetOpenFileHook(OpenFileHook hook) { g_openHook = std::move(hook); }

}  // namespace kor::gui
