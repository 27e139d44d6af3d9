// A backup folder back into the unit: the folder checked whole before anything
// is sent, a fresh backup first, each item written with its title and read
// back.
#pragma once
#include <string>
#include <vector>

#include "unit/unit_backup.h"

namespace kor {

struct RestoreChoice {
  bool programs = true, subprograms = true, params = true;
  bool partial = false;  // restore the intact items of a damaged or incomplete backup
};

struct RestorePlan {
  std::string folder;
  Manifest manifest;
  std::vector<UnitItem> items;       // as the folder holds them
  std::vector<std::string> damaged;  // "program 005: ..." (a file that does not match SHA256SUMS, ...)
  std::vector<std::string> unread;   // items the backup failed to read: "program 005: failed"
  std::vector<const UnitItem*> toWrite;
};

// Checks SHA256SUMS and complete=1 and picks the items to write. False (with an
// error message) when the folder must not be restored: damaged or incomplete
// without partial, or nothing to write.
bool PlanRestore(const std::string& folder, const RestoreChoice& choice, RestorePlan& plan);

struct RestoreRow {
  std::string name;
  std::string written;   // "written", "failed: ..."
  std::string verified;  // "verified", "differs: ...", "-"
  bool ok = false;
};

struct RestoreResult {
  BackupSummary fresh;  // the backup taken first
  std::vector<RestoreRow> rows;
  std::vector<std::string> left;  // slots that hold a program the backup has no copy of
  bool ok = false;
};

// The fresh backup, then every planned item. False when the fresh backup was
// not complete (nothing written then) or an item was not written and verified.
bool RestoreUnit(const RestorePlan& plan, RestoreResult& out, const ItemDone& backupItemDone = {});

// What the plan overwrites, for the question before it runs.
std::string restore_overview(const RestorePlan& plan);

}  // namespace kor
