// Reading programs and subprograms out of the unit into numbered text files
// (kor_programs/kor_program_NNN.txt, kor_subprograms/kor_subprogram_NNN.txt).
#pragma once
#include <cstdint>
#include <string>

#include "link/rs232.h"

namespace kor {

// The read commands. selection is the index in the window's number list: a
// slot index from 0, the slot count for "Всё", -1 when nothing is selected.
void ReadPrograms(int selection);
void ReadSubprograms(int selection);

// Block transfer (models 461 and 462), one slot.
enum BlockReadResult {
  kBlockStored = 0,
  kBlockNoHeader = 1,   // no whole header in three attempts (CRC wrong or no answer)
  kBlockBadMarker = 2,  // header without AA AA
  kBlockBadCount = 3,   // 0, negative or more lines than the slot holds
  kBlockFailed = 4,     // a data block failed three times
  kBlockNotSaved = 5,   // read whole, but the file could not be written (reported)
};
int BlockRead(CRs232& rs, uint8_t kind, int index);
// The same read without saving: the slot's text as a read file would hold it.
// lines gets the header's line count (0 for an empty slot) when a header came.
int BlockReadText(CRs232& rs, uint8_t kind, int index, std::string& text, int* lines = nullptr);

// Page transfer (no version answer), one slot. all: the slot is part of a
// read of every slot (Stop button, shorter waits, no save prompt). False when
// the "all" loop must end.
bool PageReadProgram(CRs232& rs, int index, bool all);
bool PageReadSubprogram(CRs232& rs, int index, bool all);
// A slot's text for a whole-unit read, nothing saved and no Stop button: the
// waits of a read of every slot, a last program page of either length (both
// carry the whole image). False when the slot could not be read (reported).
bool PageReadSlotText(CRs232& rs, uint8_t kind, int index, std::string& text);

// Writes a read text as the slot's file; the save prompt only when asked for.
// False when nothing was saved (already reported).
bool SaveReadText(uint8_t kind, int index, const std::string& text, bool prompt);

}  // namespace kor
