// What the Windows console part takes from the system, so that a test can stand
// in for a console and see the UTF-16 text and the modes it would be given.
#pragma once
#include <string>
#include <vector>

namespace kor::console {

class ConsoleCalls {
 public:
  virtual ~ConsoleCalls() = default;
  virtual bool GetMode(void* handle, unsigned long& mode) = 0;
  virtual bool SetMode(void* handle, unsigned long mode) = 0;
  virtual bool Write(void* handle, const std::wstring& text) = 0;
  // Whether ESC[K, written now, is taken as a command rather than shown. Wine's
  // console keeps the mode flag that asks for it, yet prints the characters.
  virtual bool ClearsLine(void* handle) = 0;
};

// null: the system's own. The modes changed so far are put back first, and
// what was learnt of each handle is forgotten.
void set_console_calls(ConsoleCalls* calls);
// Puts back every console mode this program changed (also done at exit and on Ctrl+C).
void restore_modes();

// UTF-16 in code page cp; a character cp lacks becomes '?', never a look-alike.
std::string from_wide(const std::wstring& text, unsigned cp);
// A command line split as the C runtime splits it, each argument in code page cp.
std::vector<std::string> arguments_from(const wchar_t* commandLine, unsigned cp);

}  // namespace kor::console
