// The unit's program and subprogram storage, for both generations: the block
// generation (461, 462) keeps titles and text lines, the page generation (no
// version answer) keeps binary program images.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/unit.h"

namespace kor::sim {

struct StoredProgram {
  std::string title;
  std::vector<std::string> lines;  // block generation: the lines as sent, numbered 001:...
  std::vector<uint8_t> image;      // page generation: 16632 / 3432 bytes; empty = empty slot
};

class ProgramStore : public Service {
 public:
  ProgramStore();
  bool Handle(Unit& unit, const std::vector<uint8_t>& frame, std::vector<uint8_t>& answer) override;

  // kind 0 = programs (20 slots), 1 = subprograms (50 slots); slot from 0.
  StoredProgram& slot(int kind, int index) { return slots_[kind ? 1 : 0][size_t(index)]; }
  const StoredProgram& slot(int kind, int index) const { return slots_[kind ? 1 : 0][size_t(index)]; }
  static int slot_count(int kind) { return kind ? 50 : 20; }
  // A slot as the page generation serves it: the image, or empty records.
  std::vector<uint8_t> ServedImage(int kind, int index) const;

  // Page generation. The last of a program's five pages carries the image's
  // last 660 bytes and some more: 661 or 924 bytes in all.
  size_t lastPageSize = 661;
  // The answer to the page write with this index (from 0) carries failStatus.
  int failPage = -1;
  uint8_t failStatus = 0;
  // The answer to the program page write with this index is "966666" (the
  // unit needs no more pages).
  int earlyEndPage = -1;
  // The block write with this number (from 1), or the page write with this
  // index (from 0), is acknowledged but stored wrong: its first line (its first
  // record, resealed) changes. Once.
  int corruptWrite = -1;

  // Header and block writes received, in order, and page writes answered.
  int headerWrites = 0, blockWrites = 0, pageWrites = 0, closings = 0;

 private:
  bool BlockRequest(Unit& unit, const std::vector<uint8_t>& f, std::vector<uint8_t>& answer);
  bool PageRequest(const std::vector<uint8_t>& f, std::vector<uint8_t>& answer);
  bool BlockWrite(const std::vector<uint8_t>& f, std::vector<uint8_t>& answer);
  bool PageWrite(const std::vector<uint8_t>& f, std::vector<uint8_t>& answer);

  std::vector<StoredProgram> slots_[2];
};

// Text files in and out of the store, as the reading side names them:
// kor_program_NNN.txt and kor_subprogram_NNN.txt, NNN the slot number from 1.
// A first line "%TITLE" is the title. Loading fills both the lines and the
// image (parsed with the unit's axis formats); it returns the files loaded, or
// -1 with a message in error (for the page generation also when a text does
// not parse whole).
int LoadPrograms(Unit& unit, const std::string& dir, std::string& error);
// Writes every slot that holds something, in the form of the unit's
// generation: the lines (block), or the image's text and the raw image as
// kor_program_NNN.bin (page). False with a message in error.
bool DumpPrograms(Unit& unit, const std::string& dir, std::string& error);

// The text file form of a stored program of the block generation.
std::string block_program_file(const StoredProgram& p);

}  // namespace kor::sim
