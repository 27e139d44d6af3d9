// The whole unit as a list of items: every program and subprogram slot, the
// parameter memory and both correction tables. A backup, a compare and a
// restore are this list run through the operations that exist; the list, the
// items' states and the folder's manifest live here.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "protocol/transactions.h"

namespace kor {

enum class ItemKind { Program, Subprogram, Parameters, Correction };

enum class ItemState {
  Pending,  // not read (yet)
  Held,     // read: the slot holds a program, the memory or a table was read
  Empty,    // the slot holds no program; the unit has no such table
  Failed,   // the read failed
};

struct UnitItem {
  ItemKind kind = ItemKind::Program;
  int slot = 0;  // program slot from 0; correction selection (0 "+", 1 "-")
  ItemState state = ItemState::Pending;
  std::string bytes;  // the file's content as a read saves it
  std::string why;    // what went wrong, as the operation reported it
};

// Every item of a unit speaking the protocol, in reading order: programs,
// subprograms (none for a unit without a program protocol), the parameter
// memory, the "+" and the "-" correction table.
std::vector<UnitItem> unit_items(ProgramProtocol protocol);

// "program 005", "subprogram 050", "params", "correction +", "correction -".
std::string item_name(const UnitItem& item);
// The manifest's key: "program_005", ..., "params", "correction+", "correction-".
std::string item_key(const UnitItem& item);
// The file inside a backup folder, '/'-separated: "kor_programs/kor_program_005.txt".
std::string item_file(const UnitItem& item);
// "program" / "empty" / "failed" for slots, "read" / "none" / "failed" otherwise.
const char* state_word(const UnitItem& item);
bool is_slot(const UnitItem& item);
// The program kind byte of a slot item.
uint8_t slot_kind(const UnitItem& item);

// The manifest (backup.ini): [backup] facts, [items] states, [result] last,
// ending with complete=1 only for a backup that read every item.
struct Manifest {
  std::map<std::string, std::string> facts;  // date, korsync, port, speed, version, model, protocol
  std::vector<std::pair<std::string, std::string>> states;  // key, state word, in order
  bool complete = false;
};
constexpr char kManifestName[] = "backup.ini";
constexpr char kSumsName[] = "SHA256SUMS";
std::string manifest_text(const Manifest& m, const std::vector<UnitItem>& items);
// False when the text is not a manifest.
bool parse_manifest(const std::string& text, Manifest& m);
// The state word a manifest gives the item; "" when it names none.
std::string manifest_state(const Manifest& m, const UnitItem& item);

// Lines "HASH  FILE" as sha256sum writes them (two spaces, text mode).
std::string sums_text(const std::vector<std::pair<std::string, std::string>>& fileHashes);
// FILE -> HASH; false when a line is not of that form.
bool parse_sums(const std::string& text, std::map<std::string, std::string>& out);

// Whole files, bytes as they are. read_file is false when the file cannot be read.
bool read_file(const std::string& path, std::string& out);
bool write_file(const std::string& path, const std::string& bytes);

}  // namespace kor
