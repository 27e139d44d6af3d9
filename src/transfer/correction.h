// Reading one of the unit's correction tables (a direction of travel) into a
// text file: coefficient, number of points, and per point the working value,
// the unit's reference value and their difference.
#pragma once
#include <cstdint>
#include <string>

namespace kor {

// Selections of the direction list (control 148).
constexpr int kCorrectionPlus = 0;   // "+"
constexpr int kCorrectionMinus = 1;  // "-"

constexpr int kCorrectionBlockPoints = 1000;
constexpr int kCorrectionMaxBlocks = 16;
constexpr unsigned kCorrectionSummaryWait = 100;  // ms after the summary request
constexpr unsigned kCorrectionBlockWait = 417;    // ms after a block request

// Table code of a request: 0x0A for "+", 0x0B for "-".
inline uint8_t correction_table_code(int selection) { return uint8_t(0x0A | selection); }
// The coefficient as the table uses it: "+" takes the magnitude of a value with
// its top bit set (16-bit negation), "-" reads the bits as signed.
int correction_coefficient(int selection, uint16_t raw);
// "%05d.|%09d|%09d|%09d|\r\n": point, working value, reference value, difference.
std::string correction_point_line(int point, int coefficient, int32_t reference);

// The read command for the kind Correction; selection is the direction list's.
// Reports every outcome itself; true when the file was saved.
bool ReadCorrectionTable(int selection);
// The same read without saving: the file's whole content (its terminating zero
// included). False when it failed (reported); points gets the unit's count once
// the summary came, so a unit without a table (0 points) can be told apart.
bool ReadCorrectionText(int selection, std::string& text, int* points = nullptr);

}  // namespace kor
