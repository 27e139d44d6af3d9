// What the main window's parts share among themselves.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "app/operator.h"
#include "gui/gui.h"

namespace kor::gui {

constexpr UINT kDefaultNotice = 0xAFFB;  // "Приложение установлено по умолчанию"
constexpr WPARAM kDefaultNoticeParam = 777;
constexpr LPARAM kCommandLineMarker = 0xAFFF;
// Posted by a modal dialog to itself once its loop runs (the test hook).
constexpr UINT kDialogReady = WM_APP + 1;

INT_PTR CALLBACK MainWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
Operator& window_operator();
HACCEL Accelerators();
void SetAccelerators(HACCEL a);

// Tabs and kinds.
void SwitchTab(int tab);
void SelectKind(int id);
void Browse();
void DropFiles(HDROP drop);
void CreateTabTooltips(HWND main);
void CreateFileBoxTooltip(HWND main);

// Status area.
void BuildStatusImages();
void SetPortLabel(int comPort);  // "COM%d ..." at the current speed
void PortLabelCursor();

// Fonts made once and kept for the program's life.
HFONT ShellFont(bool italic);  // "MS Shell Dlg", height 12
HFONT ProgressFont(bool italic);

// The whole unit from the menu: a backup into kor_backup, a compare against a
// chosen backup folder.
void UnitBackupCommand(HWND main);
void UnitCompareCommand(HWND main);
// The folder browser of the settings dialog; false when nothing was chosen.
bool PickFolder(HWND owner, const char* title, char path[MAX_PATH]);

void ShowItem(int id, bool shown);
// A dialog that moves the main window aside first keeps where it stood in
// AppState; returns that rectangle.
RECT RememberMainPlace();
// Moves a window without resizing it, and shows it.
void MoveWindowTo(HWND w, int left, int top);
void PostDialogReady(HWND dialog, int resourceId);
bool HandleDialogReady(HWND dialog, UINT msg, WPARAM wp);

}  // namespace kor::gui
