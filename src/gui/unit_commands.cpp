// The menu's whole-unit items: a backup of the unit with the progress in the
// main window and Stop after the current item, and a compare of the unit with
// a backup folder.
#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "gui/resource.h"
#include "gui/window.h"
#include "link/rs232.h"
#include "unit/unit_backup.h"
#include "unit/unit_compare.h"

namespace kor::gui {

namespace {

int Count(const BackupSummary& s, ItemKind kind) {
  int n = 0;
  for (const UnitItem& i : s.items) n += i.kind == kind && i.state == ItemState::Held;
  return n;
}

}  // namespace

void UnitBackupCommand(HWND main) {
  AppState& a = app();
  if (CRs232::PortInUse()) {
    Box(main, "Com порт занят", a.appName, MB_OK | MB_ICONERROR);
    return;
  }
  Operator& o = window_operator();
  o.ProgressFont(false, kProgressText);
  o.Stop(StopButton::Show);
  BackupSummary s;
  const bool ran = BackupUnit("", s);
  o.Stop(StopButton::ResetText);
  o.Stop(StopButton::Hide);
  o.ProgressPos(0);
  o.ProgressText(" ");
  if (!ran) {
    // The window says nothing when the link check goes unanswered; a backup must not end unnoticed.
    if (s.unreached) Box(main, "КОР не отвечает, резервная копия не сделана", a.appName, MB_OK | MB_ICONERROR);
    return;
  }
  char counts[200];
  std::snprintf(counts, sizeof counts,
                "программ: %d, подпрограмм: %d, параметры: %s, таблиц коррекции: %d, пустых слотов: %d",
                Count(s, ItemKind::Program), Count(s, ItemKind::Subprogram),
                Count(s, ItemKind::Parameters) ? "да" : "нет", Count(s, ItemKind::Correction), s.empty);
  if (s.complete) {
    Box(main, ("Резервная копия КОР сохранена:\n" + s.folder + "\n" + counts).c_str(), a.appName,
        MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::string failed;
  for (const UnitItem& i : s.items)
    if (i.state == ItemState::Failed) failed += "\n" + item_name(i) + (i.why.empty() ? "" : ": " + i.why);
  Box(main,
      ("Резервная копия не завершена" + std::string(s.stopped ? " (остановлено)" : "") + ":\n" + s.folder + "\n" +
       counts + failed)
          .c_str(),
      a.appName, MB_OK | MB_ICONERROR);
}

void UnitCompareCommand(HWND main) {
  AppState& a = app();
  if (CRs232::PortInUse()) {
    Box(main, "Com порт занят", a.appName, MB_OK | MB_ICONERROR);
    return;
  }
  char folder[MAX_PATH] = {};
  if (!PickFolder(main, "Выберите папку резервной копии КОР", folder)) return;
  std::vector<UnitItem> saved, live;
  Manifest m;
  std::string error;
  if (!LoadBackupItems(folder, saved, m, error)) {
    Box(main, error.c_str(), a.appName, MB_OK | MB_ICONERROR);
    return;
  }
  Operator& o = window_operator();
  o.ProgressFont(false, kProgressText);
  UnitFacts facts;
  const bool read = ReadUnit(live, facts, {}, {});
  o.ProgressPos(0);
  o.ProgressText(" ");
  if (!read && live.empty()) return;  // the unit was not reached (reported)
  std::string lines;
  for (const ItemVerdict& v : compare_items(live, saved, "unit", "backup"))
    if (!v.same) lines += "\n" + v.name + ": " + v.verdict;
  if (lines.empty()) {
    Box(main, ("КОР совпадает с резервной копией\n" + std::string(folder)).c_str(), a.appName,
        MB_OK | MB_ICONINFORMATION);
    return;
  }
  Box(main, ("КОР отличается от резервной копии " + std::string(folder) + ":" + lines).c_str(), a.appName,
      MB_OK | MB_ICONWARNING);
}

}  // namespace kor::gui
