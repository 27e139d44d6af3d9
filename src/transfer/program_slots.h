// Programs and subprograms as both transfers count them.
#pragma once
#include <cstdint>

#include "link/rs232.h"
#include "protocol/transactions.h"

namespace kor {

// Byte 3 of every program command.
constexpr uint8_t kProgramKind = 0;
constexpr uint8_t kSubprogramKind = 1;

constexpr int kProgramSlots = 20;
constexpr int kSubprogramSlots = 50;
// What the unit holds per slot; longer texts are refused before anything is sent.
constexpr int kMaxProgramLines = 500;
constexpr int kMaxSubprogramLines = 100;

constexpr int slot_count(uint8_t kind) { return kind == kProgramKind ? kProgramSlots : kSubprogramSlots; }
constexpr int max_lines(uint8_t kind) { return kind == kProgramKind ? kMaxProgramLines : kMaxSubprogramLines; }

// Output files: sub-folder and "%03d" base name, slot number from 1.
const char* program_folder(uint8_t kind);
const char* program_base_format(uint8_t kind);

// Progress bar back to 0 and the progress text blanked, as every transfer ends.
void ResetProgress();
// "%d/%d" in the progress text.
void ProgressOf(int done, int total);

// The start every program command shares: port, link check, version query.
// False when the command ends here (reported where the window reports it).
bool BeginProgramTransfer(CRs232& rs, ProgramProtocol& protocol);

}  // namespace kor
