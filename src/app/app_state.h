// The one application object shared by the window, the command line and every operation.
#pragma once
#include <cstdint>

namespace kor {

// Platform handles stay opaque here so the operations build without windows.h.
using Handle = void*;

// Selected kind of data (what " Сохранить" reads and " Загрузить" sends); the
// values are also the ids of the main window's kind buttons.
enum class DataKind : int {
  Program = 122,
  Subprogram = 123,
  Parameters = 124,
  Correction = 125,
  Firmware = 126,
};

struct AppState {
  Handle message[8] = {};  // the message loop's MSG lives in the window code; room for it
  Handle instance = nullptr;
  Handle mainWindow = nullptr;
  Handle testWindow = nullptr;
  Handle paramsWindow = nullptr;
  Handle settingsWindow = nullptr;
  Handle inputWindow = nullptr;
  int32_t rectLeft = 0, rectTop = 0, rectRight = 0, rectBottom = 0;
  char dataFolder[260] = {};
  char appName[16] = "Korsync";
  bool topmost = false;
  unsigned closeMessage = 0;
  Handle statusImages = nullptr;
  int windowsVersion = 0;
  char versionBuffer[14] = {};  // the unit's last version answer, 13 bytes + NUL
  int versionMajor = 0, versionMinor = 0, versionBuild = 0;
  char versionText[70] = {};
  int comPort = 0;  // 1-based; 0 = none chosen
  int speed = 200000;
  bool adapterConnected = false;
  Handle testThread = nullptr;
  volatile bool testStop = false;
  int tab = 0;
  DataKind kind = DataKind::Program;
  char selectedFile[260] = {};
  Handle tabControl = nullptr, progressBar = nullptr, fileBox = nullptr;
  Handle fileTooltip = nullptr;
  volatile bool stopRequested = false;
  bool registeredDefault = false;
  char commandLineFile[260] = {};
  int16_t slotIndex = 0;  // download dialog result; -1 when no slot was chosen
  char title[34] = {};
  bool firstFile = false;
  int text_cursor = 0;
  int pageAnswerDelay = 0;  // ms between a firmware page and its answer
  // Each wait for an answer ends once the answer is complete; the fixed wait
  // stays its bound.
  bool fastMode = false;

  // Beyond the window: a serial device named by path (POSIX "/dev/ttyUSB0", or
  // Windows "\\.\COM5") overrides the COM number when set.
  char portPath[260] = {};
};

AppState& app();
// Back to the state at creation; tests call it between cases.
void reset_app_state();

}  // namespace kor
