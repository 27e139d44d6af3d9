// The smaller windows around the main window, each reached through one call:
// the parameters editor, the parameter input dialog, the connection-test
// window, the control dialog and the about box.
#pragma once
#include <windows.h>

#include <commdlg.h>

#include <functional>

#include "params/param_edit.h"

namespace kor::gui {

// The parameters editor (144), modeless. Open already: brought to the front,
// nothing else. commandLineFile: once up, it selects the command-line parameter
// file for sending and loads it. The editor's window.
HWND ParamsEditor(HWND owner, bool commandLineFile);

// "Ввод параметров" (198) showing the fields; 1 for "ОК" (the fields then hold
// what the operator left in them), 2 for "Отмена" or closing.
int InputDialog(HWND owner, InputFields& fields);

// "Тест соединения" (114): starts and stops the connection test's thread.
void LinkTestDialog(HWND owner);

// "Управление" (220): sends a line of text to the unit.
void ControlDialog(HWND owner);

// "О программе KorSync" (136).
void AboutDialog(HWND owner);

// The editor's open-file dialog; a hook answers instead of GetOpenFileNameA
// (tests): it gets the dialog's settings, puts a path in lpstrFile and says
// whether one was chosen. An empty hook puts GetOpenFileNameA back.
using OpenFileHook = std::function<bool(OPENFILENAMEA& ofn)>;
void SetOpenFileHook(OpenFileHook hook);

}  // namespace kor::gui
