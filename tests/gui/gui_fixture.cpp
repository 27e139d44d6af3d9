#include "gui_fixture.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "app/app_state.h"
#include "app/settings.h"

namespace kor::test {

namespace {

constexpr char kUserKey[] = "Software\\ZEMRA\\Korsync";
constexpr char kEnumKey[] = "SYSTEM\\ControlSet001\\Services\\FTSER2K\\Enum";

void SetValue(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS) << key;
  RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(k);
}

}  // namespace

void WipeRegistry() {
  SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\ZEMRA");
  for (const char* k : {".koreep", "koreep_auto_f", "koreep_auto_file"}) SHDeleteKeyA(HKEY_CLASSES_ROOT, k);
  RemoveAdapters();
}

void SetUserValue(const char* name, const std::string& text) {
  SetValue(HKEY_CURRENT_USER, kUserKey, name, REG_SZ, text.c_str(), DWORD(text.size() + 1));
}

void SetUserValue(const char* name, DWORD value) {
  SetValue(HKEY_CURRENT_USER, kUserKey, name, REG_DWORD, &value, sizeof value);
}

bool UserText(const char* name, std::string& out) {
  char buf[600] = {};
  DWORD cb = sizeof buf - 1;
  if (RegGetValueA(HKEY_CURRENT_USER, kUserKey, name, RRF_RT_REG_SZ, nullptr, buf, &cb) != ERROR_SUCCESS)
    return false;
  out = buf;
  return true;
}

bool UserNumber(const char* name, DWORD& out) {
  DWORD cb = sizeof out;
  return RegGetValueA(HKEY_CURRENT_USER, kUserKey, name, RRF_RT_REG_DWORD, nullptr, &out, &cb) == ERROR_SUCCESS;
}

std::string ClassesDefault(const char* key) {
  char buf[600] = {};
  LONG cb = sizeof buf - 1;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key, buf, &cb) != ERROR_SUCCESS) return "";
  return buf;
}

bool ClassesKeyExists(const char* key) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void AddAdapter(int n, const std::string& serial, const char* port) {
  const std::string id = "FTDIBUS\\VID_0403+PID_6001+" + serial + "\\0000";
  const std::string name = std::to_string(n);
  SetValue(HKEY_LOCAL_MACHINE, kEnumKey, name.c_str(), REG_SZ, id.c_str(), DWORD(id.size() + 1));
  const std::string params = "SYSTEM\\ControlSet001\\Enum\\" + id + "\\Device Parameters";
  SetValue(HKEY_LOCAL_MACHINE, params.c_str(), "PortName", REG_SZ, port, DWORD(std::strlen(port) + 1));
}

void SetAdapterCount(DWORD count) { SetValue(HKEY_LOCAL_MACHINE, kEnumKey, "Count", REG_DWORD, &count, sizeof count); }

void RemoveAdapters() {
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\FTSER2K");
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Enum\\FTDIBUS");
}

void MainWindowTest::SetUp() {
  WipeRegistry();
  reset_app_state();
  set_settings_file("");
  // Registered already: the first-run notice is a test of its own.
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  SetUserValue("last_app_path", std::string(program));
}

void MainWindowTest::TearDown() {
  Stop();
  WipeRegistry();
}

void MainWindowTest::Start() {
  gui::SetMessageBoxHook([this](HWND owner, const char* t, const char* c, UINT type) {
    boxes.push_back({owner, t, c, type});
    return (type & MB_TYPEMASK) == MB_YESNO ? answer : IDOK;
  });
  ASSERT_TRUE(gui::StartUp(GetModuleHandleA(nullptr)));
  started = true;
  gui::PumpPendingMessages();
}

void MainWindowTest::Stop() {
  if (!started) return;
  gui::ShutDown();
  started = false;
}

std::string MainWindowTest::text(HWND h) const {
  char buf[600] = {};
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

bool MainWindowTest::italic(HWND h) const {
  HFONT f = reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0));
  LOGFONTA lf = {};
  GetObjectA(f, sizeof lf, &lf);
  return lf.lfItalic != 0;
}

RECT MainWindowTest::place(int id) const {
  RECT r;
  GetWindowRect(item(id), &r);
  MapWindowPoints(nullptr, main(), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void MainWindowTest::command(int id, int code) { SendMessageA(main(), WM_COMMAND, MAKEWPARAM(id, code), 0); }

void MainWindowTest::selectTab(int tab) {
  HWND t = item(IDC_TAB);
  SendMessageA(t, TCM_SETCURSEL, WPARAM(tab), 0);
  NMHDR h = {t, IDC_TAB, UINT(TCN_SELCHANGE)};
  SendMessageA(main(), WM_NOTIFY, IDC_TAB, LPARAM(&h));
}

void MainWindowTest::drop(const std::vector<std::string>& files) {
  // A DROPFILES block: the header, then the names, each ended by a zero, and
  // one more zero at the end.
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& f : files) size += f.size() + 1;
  HGLOBAL mem = GlobalAlloc(GHND, size);
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = FALSE;
  char* p = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
  for (const std::string& f : files) {
    std::memcpy(p, f.c_str(), f.size() + 1);
    p += f.size() + 1;
  }
  *p = 0;
  GlobalUnlock(mem);
  SendMessageA(main(), WM_DROPFILES, WPARAM(mem), 0);
}

std::vector<std::string> MainWindowTest::boxTexts() const {
  std::vector<std::string> out;
  for (const BoxShown& b : boxes) out.push_back(b.text);
  return out;
}

}  // namespace kor::test
