// The whole unit into one new folder: every item read through the existing
// operations, SHA256SUMS beside the files, and backup.ini written last.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "unit/unit_read.h"

namespace kor {

struct BackupSummary {
  std::string folder;  // absolute
  std::vector<UnitItem> items;
  UnitFacts facts;
  int held = 0, empty = 0, failed = 0;  // failed counts the items not read too
  uint64_t bytes = 0;                   // in the item files
  double seconds = 0;
  bool complete = false;
  bool stopped = false;
  bool unreached = false;  // the unit never answered: nothing was read
};

// kor_backup/unit_YYYYMMDD-HHMMSS under the data folder, numbered "(1)".. when
// taken.
std::string default_backup_folder();

// Reads the unit into folder, which must not exist yet (empty: the default
// one). False when nothing could be read: the folder could not be made or the
// unit not reached (reported; no folder is left). Otherwise true, with
// complete only when every item was read; the items that failed are reported
// in the summary, not as messages.
bool BackupUnit(const std::string& folder, BackupSummary& out, const ItemDone& done = {});

// "73 items: 3 programs, 2 subprograms, params, 2 correction tables, 65 empty, 0 failed; 21504 bytes in 58.3 s"
std::string backup_summary_line(const BackupSummary& s);

}  // namespace kor
