// Writing a program or subprogram text file into a slot of the unit. The
// download dialog leaves the slot index and the title in AppState, the main
// window the selected file.
#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "link/rs232.h"

namespace kor {

// The check before the download dialog opens: false (with "Com порт занят")
// when a port is already in use.
bool ProgramWriteMayStart();

// The write commands, run after the dialog ended with "Продолжить".
void WriteProgram();
void WriteSubprogram();

// Program lines of a text as the block transfer counts them: lines of at most
// 63 characters, "%" lines left out, blank lines at the end not counted. 0 on
// a line too long or a read error (reported).
int CountProgramLines(std::istream& in);

// The two transfers, on an open port.
void BlockWriteFile(CRs232& rs, uint8_t kind);
void PageWriteProgram(CRs232& rs);
void PageWriteSubprogram(CRs232& rs);

// What a write leaves in the unit, for checking it afterwards. Block transfer:
// the lines as the unit keeps them (normalized, numbered from 1); false when the
// writer would refuse the text (reported; an empty text gives no lines and true).
bool block_write_lines(const std::string& fileText, uint8_t kind, std::vector<std::string>& lines);
// Page transfer: the text a read gives back for the image the text parses
// into, with the axis formats of the last axis-table read (what `program check`
// shows); false when the writer would refuse the text (reported).
bool page_write_text(const std::string& fileText, uint8_t kind, int number, std::string& text);

// The message for a page answer's status byte; null for 0x00 and for a status
// the unit does not name.
const char* page_status_text(uint8_t status);

}  // namespace kor
