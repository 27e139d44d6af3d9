// Whether the unit holds what a file says: the first difference of two
// program texts or two parameter memories, what a write leaves in a slot, and
// the check after a write.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "unit/unit_read.h"

namespace kor {

// "" when the texts hold the same lines; else where they part, with both
// versions: line 3: unit "003:X1.000" file "003:X2.000". A missing line reads
// (none). Line ends (CR LF or LF) do not count.
std::string text_difference(const std::string& unitText, const std::string& fileText, const char* unitName = "unit",
                            const char* fileName = "file");

// The first differing byte of two parameter memories over their first
// `length` bytes: offset 18 (0x012): unit 0x05 file 0x07, and inside the
// 186-byte layout the parameter it belongs to. A side shorter than length
// reads as missing bytes.
std::string memory_difference(const std::string& unitBytes, const std::string& fileBytes, size_t length,
                              const char* unitName = "unit", const char* fileName = "file");
// Every differing parameter of two memories, one line each ("Канал P2.0: Люфт:
// 0x00000019 -> 0x0000001A"), and runs of differing bytes past the layout.
std::vector<std::string> memory_differences(const std::string& a, const std::string& b);

// The text a read gives back after the file's text was written into the slot
// with this title. Block units: the title line and the lines as the writer
// sends them; page units: the writer's text of the parsed image (axis formats
// of the last axis-table read). False when the writer would refuse the text.
bool expected_slot_text(const std::string& fileText, uint8_t kind, int slot, ProgramProtocol protocol,
                        const std::string& title, std::string& out);

// Reads the one item back in a run of its own. False when it could not be read
// (the item's why tells).
bool ReadBack(UnitItem& item, UnitFacts& facts);

// After a write: the slot (or the memory) read back and compared. False, with
// an error message naming the first difference, when the unit does not hold
// what was written or could not be read.
bool VerifyProgramWrite(uint8_t kind, int slot, const std::string& fileText, const std::string& title);
bool VerifyParameterWrite(const std::string& written);

}  // namespace kor
