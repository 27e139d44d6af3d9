// Fixed-point integers and their text: coordinates, feeds and coefficients are
// signed 32-bit integers counted in the last decimal place of their format.
// Programs and parameters share these helpers.
#pragma once
#include <cstdint>
#include <string>

namespace kor {

// Five bits of a channel's format word (0..31). Codes 0..10 have display names.
using AxisFormat = uint8_t;

constexpr AxisFormat kInchFormat = 9;
// Display names of codes 0..10, as the parameter views list them (the degree
// sign is byte 0xB0).
extern const char kAxisFormatNames[11][10];
// The name of a code, "" for codes without one.
const char* axis_format_name(AxisFormat f);

// Bytes a number text may take, its NUL included.
constexpr int kNumberTextSize = 15;
// Marks written after a number: degrees and, in the unit's own code, inches.
constexpr char kDegreeMark = '\xB0';
constexpr char kInchMark = '\x02';

// Bounded edits of a NUL-terminated text living in a buffer of n bytes.
// Puts c before the last k characters (k = 0 appends); nothing happens when the
// buffer is full.
void insert_before_last(char* text, int n, int k, char c);
// Removes the first c of the text; false when there is none.
bool remove_first_char(char* text, int n, char c);
// Puts c in front until the text is min_len long or the buffer is full.
void left_pad(char* text, int n, int min_len, char c);

// Decimal digits, "-" first when negative; -2147483648 has no positive twin and
// is written as "0". out takes 12 bytes.
void int_to_decimal(int32_t value, char* out);
// In place on the text of int_to_decimal (in a kNumberTextSize buffer): puts the
// decimal point and the format's mark. 12345 in format 0 gives 12.345.
void format_fixed(char* text, AxisFormat f);
// int_to_decimal followed by format_fixed.
std::string fixed_text(int32_t value, AxisFormat f);

// The mark format_fixed writes after a number of the format; 0 for none.
char axis_format_mark(AxisFormat f);
// A value of the inch format as its text says it: the stored millimetres over
// 25.4, rounded half away from zero (parse_fixed takes it back, within 13).
int32_t inches_of(int32_t stored);

// Text of digits, "-" and "." to the integer of the format. Out of range gives
// +-99999999 and ok false; inches are stored times 25.4.
int32_t parse_fixed(const char* text, AxisFormat f, bool* ok = nullptr);
// The same for a text counted in the given decimals (kept and scaled to), as
// for a format that writes them; no inch conversion.
int32_t parse_decimals(const char* text, int decimals, bool* ok = nullptr);
// The format that writes six decimals (parse_fixed keeps only one of them).
constexpr AxisFormat kMicroFormat = 11;

// Degrees, minutes and (format 8) seconds of an angle counted in arc-seconds
// (format 8) or arc-minutes (format 10). out takes kNumberTextSize bytes.
void format_angle(int32_t value, AxisFormat f, char* out);

enum ScaleStatus { kScaleDone = 0, kScaleBadShift = 1, kScaleOverflow = 2 };
// *value times factor over 10^shift, rounded half away from zero. On a status
// other than kScaleDone *value is left as it was.
int scale_round(int32_t* value, int32_t factor, int shift);

// Base-10 conversion as the unit's text was always read: leading blanks, a sign,
// digits up to the first other character; no digits give 0; beyond 32 bits it
// saturates.
int32_t text_to_int(const char* text);

}  // namespace kor
