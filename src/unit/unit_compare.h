// The unit against a backup folder, or two folders against each other: one
// verdict per item.
#pragma once
#include <string>
#include <vector>

#include "unit/unit_items.h"

namespace kor {

// A backup folder's items as its manifest and files give them: Held items
// carry their file's bytes. False with a reason when the folder holds no
// readable manifest or a file it lists as read is missing.
bool LoadBackupItems(const std::string& folder, std::vector<UnitItem>& items, Manifest& m, std::string& error);

struct ItemVerdict {
  std::string name;     // "program 005"
  std::string verdict;  // "same", "differs: ...", "only in unit", "only in backup", "not read: ..."
  bool same = false;
};

// Item by item, the ones empty on both sides left out. aName / bName name the
// sides in the verdicts ("unit", "backup").
std::vector<ItemVerdict> compare_items(const std::vector<UnitItem>& a, const std::vector<UnitItem>& b,
                                       const char* aName, const char* bName);

// The first difference of two items' bytes; "" when they are the same.
std::string item_difference(const UnitItem& a, const UnitItem& b, const char* aName, const char* bName);

}  // namespace kor
