#include "cli/console_win32.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <io.h>
#include <iostream>
#include <iterator>

#include "cli/console.h"

namespace kor::console {

namespace {

class SystemCalls : public ConsoleCalls {
 public:
  bool GetMode(void* handle, unsigned long& mode) override {
    DWORD m = 0;
    if (!GetConsoleMode(handle, &m)) return false;
    mode = m;
    return true;
  }
  bool SetMode(void* handle, unsigned long mode) override { return SetConsoleMode(handle, mode) != 0; }
  bool Write(void* handle, const std::wstring& text) override {
    // Older consoles refuse a single write much beyond 64 KB.
    size_t done = 0;
    while (done < text.size()) {
      const DWORD chunk = DWORD(std::min<size_t>(text.size() - done, 8192));
      DWORD written = 0;
      // Once a part is shown, writing it all again as bytes would only repeat it.
      if (!WriteConsoleW(handle, text.data() + done, chunk, &written, nullptr) || written == 0) return done > 0;
      done += written;
    }
    return true;
  }
  bool ClearsLine(void* handle) override {
    CONSOLE_SCREEN_BUFFER_INFO before, after;
    DWORD n = 0;
    if (!GetConsoleScreenBufferInfo(handle, &before) || !WriteConsoleW(handle, L"\x1b[K", 3, &n, nullptr) ||
        !GetConsoleScreenBufferInfo(handle, &after))
      return false;
    if (after.dwCursorPosition.X == before.dwCursorPosition.X && after.dwCursorPosition.Y == before.dwCursorPosition.Y)
      return true;
    // Shown as text: blank it again.
    FillConsoleOutputCharacterW(handle, L' ', 3, before.dwCursorPosition, &n);
    SetConsoleCursorPosition(handle, before.dwCursorPosition);
    return false;
  }
};

SystemCalls g_system;
ConsoleCalls* g_calls = &g_system;

// What is known of one standard handle.
struct Known {
  void* handle;
  bool console;
  int escapes;  // -1 not asked yet, 0 refused, 1 taken
};
std::vector<Known> g_known;

// The modes to put back. The Ctrl+C handler runs on a thread of its own: it only
// reads entries that were complete before the count was raised.
struct Changed {
  void* handle;
  unsigned long mode;
};
Changed g_changed[8];
std::atomic<int> g_changedCount{0};

void put_modes_back() {
  for (int i = g_changedCount.exchange(0); i-- > 0;) g_calls->SetMode(g_changed[i].handle, g_changed[i].mode);
}

BOOL WINAPI on_console_event(DWORD) {
  put_modes_back();
  return FALSE;  // the default handling still ends the program
}

void remember_change(void* handle, unsigned long oldMode) {
  const int n = g_changedCount.load();
  if (n == int(std::size(g_changed))) return;
  if (n == 0) {
    static bool hooked = false;
    if (!hooked) {
      hooked = true;
      std::atexit(put_modes_back);
      SetConsoleCtrlHandler(on_console_event, TRUE);
    }
  }
  g_changed[n] = {handle, oldMode};
  g_changedCount.store(n + 1);
}

void* handle_of(std::FILE* f) { return reinterpret_cast<void*>(_get_osfhandle(_fileno(f))); }

Known& known(std::FILE* f) {
  void* h = handle_of(f);
  for (Known& k : g_known)
    if (k.handle == h) return k;
  unsigned long mode = 0;
  g_known.push_back({h, h != INVALID_HANDLE_VALUE && g_calls->GetMode(h, mode), -1});
  return g_known.back();
}

std::wstring to_wide(const std::string& text, unsigned cp) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(cp, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(cp, 0, text.data(), int(text.size()), w.data(), n);
  return w;
}

bool enable_escapes(void* handle) {
  unsigned long mode = 0;
  if (!g_calls->GetMode(handle, mode)) return false;
  const bool had = mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING;
  if (!had && !g_calls->SetMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
  if (!g_calls->ClearsLine(handle)) {
    if (!had) g_calls->SetMode(handle, mode);
    return false;
  }
  if (!had) remember_change(handle, mode);
  return true;
}

}  // namespace

void set_console_calls(ConsoleCalls* calls) {
  restore_modes();
  g_calls = calls ? calls : &g_system;
  g_known.clear();
}

void restore_modes() {
  put_modes_back();
  for (Known& k : g_known)
    if (k.escapes == 1) k.escapes = -1;
}

bool is_terminal(std::FILE* f) { return known(f).console; }

bool takes_escapes(std::FILE* f) {
  Known& k = known(f);
  if (!k.console) return true;  // a file gets the bytes any terminal would
  if (k.escapes < 0) k.escapes = enable_escapes(k.handle) ? 1 : 0;
  return k.escapes == 1;
}

void write(std::FILE* f, const std::string& utf8) {
  Known& k = known(f);
  if (k.console) {
    std::fflush(f);  // what went through the stream's buffer comes first
    if (g_calls->Write(k.handle, to_wide(utf8, CP_UTF8))) return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), f);
}

std::string native_to_utf8(const std::string& bytes) {
  const std::wstring w = to_wide(bytes, CP_ACP);
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

bool read_line(std::string& line) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) return bool(std::getline(std::cin, line));
  // A console hands over what was typed in UTF-16, whatever its input code page.
  std::wstring typed;
  wchar_t c = 0;
  DWORD n = 0;
  while (ReadConsoleW(in, &c, 1, &n, nullptr) && n == 1) {
    if (c == L'\n') {
      if (!typed.empty() && typed.back() == L'\r') typed.pop_back();
      line = from_wide(typed, CP_ACP);
      return true;
    }
    typed += c;
  }
  line = from_wide(typed, CP_ACP);
  return !typed.empty();
}

std::string from_wide(const std::wstring& text, unsigned cp) {
  if (text.empty()) return {};
  // UTF-8 holds every character and takes neither the flag nor a default.
  const bool utf8 = cp == CP_UTF8 || (cp == CP_ACP && GetACP() == CP_UTF8);
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = utf8 ? nullptr : "?";
  const int n = WideCharToMultiByte(cp, flags, text.data(), int(text.size()), nullptr, 0, fallback, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(cp, flags, text.data(), int(text.size()), out.data(), n, fallback, nullptr);
  return out;
}

std::vector<std::string> arguments_from(const wchar_t* commandLine, unsigned cp) {
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(commandLine, &n);
  if (!wide) return {};
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back(from_wide(wide[i], cp));
  LocalFree(wide);
  return out;
}

std::vector<std::string> arguments(int argc, char** argv) {
  std::vector<std::string> out = arguments_from(GetCommandLineW(), CP_ACP);
  if (out.empty()) out.assign(argv, argv + argc);
  return out;
}

}  // namespace kor::console
