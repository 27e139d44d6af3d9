// Program text, both ways: the G-code-like lines operators keep on the computer
// ("001:X12.345F500.00", CR LF after each) and the unit's frame records.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "program/program_frame.h"

namespace kor {

// --- Writing -----------------------------------------------------------------

// The line of one frame, without CR LF. False (and an empty line) for a frame
// type the unit does not define; text output stops there.
bool format_frame_line(const ProgramFrame& frame, std::string& line);
// Appends one line per frame, each ended by CR LF, up to the first empty slot
// (slot_state above 2) or unknown frame. Only whole records are read.
void format_program_text(const uint8_t* image, int length, std::string& out);
// The text's lines without their LF or CR LF; a last line without one counts too.
std::vector<std::string> split_text_lines(std::string_view text);

// --- Reading -----------------------------------------------------------------

// A line is at most 33 characters; the buffer holds them and a NUL.
constexpr int kProgramLineMax = 33;
constexpr int kLineBufferSize = kProgramLineMax + 1;

// The line at app().text_cursor, into line (cleared first); moves the cursor
// past it and the character after its end. A lower-case letter ends the line
// with the message "обнаружены строчные буквы". The text ends at its first NUL.
// False when a character the unit does not read (or the text's end) cut the line.
bool next_program_line(std::string_view text, char line[kLineBufferSize]);

// Decodes one line into the work record (line_number, active, frame_type,
// number, value). False when its number is 0 or missing or no form matches.
// Lines longer than 33 characters are read as their first 33.
bool parse_frame_line(const char* line, ProgramFrame& work);

// Why a parse ended. Everything but End means text was left unread or dropped.
enum class ParseStop {
  End,           // the whole text was taken (trailing blank lines included)
  Unreadable,    // no form matched the line
  NoLineNumber,  // line number 0 or missing (an empty line among others, too)
  LowerCase,     // a lower-case letter cut a line
  BadCharacter,  // another character the unit does not read cut a line
  LineEnd,       // a line ends with LF alone or CR alone
  LongLine,      // a line longer than 33 characters
  Capacity,      // the image was full with text left over
  ZeroByte,      // a NUL byte before the end ends the text there
};

struct ProgramParse {
  int frames = 0;  // records filled, from the first on
  ParseStop stop = ParseStop::End;
  int offset = 0;      // byte of the text where the reason lies
  int line = 0;        // its 1-based line (lines end at LF); 0 with End
  char character = 0;  // the character of LowerCase / BadCharacter
};

// Fills records of the image from the first on, one per line, until the text
// ends, a line cannot be read, or capacity / 33 records are filled. Only the
// fields a line defines are written: program_number and bytes 25..32 keep what
// the caller put there. app().text_cursor is 0 before and after.
ProgramParse parse_program_text(std::string_view text, uint8_t* image, int capacity);

}  // namespace kor
