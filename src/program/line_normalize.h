// The unit's line form for units that take programs as text: the file line
// "017:G1X10.5F100" sent as the fifth line becomes "005:G1 X10.5 F100".
#pragma once

namespace kor {

constexpr int kNormalLineSize = 64;  // 63 characters and a NUL

// Rewrites the line in place within its 64 bytes: blanks dropped, a space before
// every letter, the file's own number replaced by the sequence number (1..999),
// "/" for a commented-out line, and the unit's codes 0x01 / 0x02 for ' and ".
// An edit that would need a 64th character is not made.
void normalize_program_line(char line[kNormalLineSize], int sequence);

}  // namespace kor
