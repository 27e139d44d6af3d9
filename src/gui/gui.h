// KorSync.exe: the main window, its tabs and dialogs. The start-up runs in
// steps that tests can also call one by one, and every message box and modal
// dialog can be answered by a test.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "app/app_state.h"
#include "app/file_kinds.h"

namespace kor::gui {

// The whole program: start-up, command line, message loop; the exit code.
int RunKorSync(HINSTANCE instance, const char* commandLine);
// Start-up up to the message loop, without the command line: false when the
// main window could not be made.
bool StartUp(HINSTANCE instance);
// Hands the command line to the parameter files (a .koreep file opens the editor).
void TakeCommandLine(const char* commandLine);
// Until the quit message; its parameter is the exit code.
int MessageLoop();
// Destroys the main window and puts the operator and state back (tests).
void ShutDown();

HWND MainWindow();

// Every message box of the program goes through Box. A hook answers instead of
// MessageBoxA (tests); an empty hook puts MessageBoxA back.
using MessageBoxHook = std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);
int Box(HWND owner, const char* text, const char* caption, UINT type);

// Called once a modal dialog of the program is up and its loop runs, with the
// dialog and its resource id; a test drives the dialog from here and ends it.
using DialogHook = std::function<void(HWND dialog, int resourceId)>;
void SetDialogHook(DialogHook hook);

// Answers the folder browser instead of the person (tests): the chosen path,
// or false for Cancel. An empty hook puts the browser back.
using FolderHook = std::function<bool(std::string& path)>;
void SetFolderHook(FolderHook hook);

// Services of the main window for the operations.
void PumpPendingMessages();
void SetProgressFont(bool italic, int control);

// The dialogs, each one call.
INT_PTR SettingsDialog(HWND owner, bool portForm);     // dialog 187
INT_PTR DownloadDialog(HWND owner, DataKind kind);      // dialog 226: 1 = continue, 0 = cancelled

// File selection, shared by browsing and dropping.
using ::kor::ExtensionIs;
using ::kor::FileAccepted;
// Makes the file the one to send: the file box shows `shown` upright, " Загрузить"
// appears, the tooltip carries the path.
void SelectFile(const char* path, const char* shown);
// Tab 1, kind Parameters, and the command-line parameter file selected.
void SelectCommandLineFile();

// Adapter discovery into the status area (icon 102, text 103, label 104).
void RefreshConnection();

}  // namespace kor::gui
