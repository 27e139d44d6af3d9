#include <windows.h>

#include "gui/gui.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return kor::gui::RunKorSync(instance, commandLine);
}
