#include "program/line_normalize.h"

#include <cstring>

#include "program/fixed_point.h"

namespace kor {

namespace {

constexpr int N = kNormalLineSize;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Digits, sign, point, the minute and second marks and the degree sign belong
// to a number; everything else but the space starts a word.
bool letter_like(char c) {
  return !(is_digit(c) || c == '-' || c == '.' || c == '\'' || c == '"' || c == kDegreeMark || c == ' ');
}

int length(const char* s) {
  int m = 0;
  while (m < N - 1 && s[m]) ++m;
  return m;
}

void insert_at(char* line, int pos, char c) { insert_before_last(line, N, length(line) - pos, c); }

}  // namespace

void normalize_program_line(char line[kNormalLineSize], int sequence) {
  line[N - 1] = 0;

  int o = 0;
  for (int i = 0; line[i]; ++i)
    if (static_cast<unsigned char>(line[i]) > 0x20) line[o++] = line[i];
  std::memset(line + o, 0, size_t(N - o));

  bool commented = false;
  while (remove_first_char(line, N, '/')) commented = true;

  int digits = 0;
  while (digits < 3 && is_digit(line[digits])) ++digits;
  if (digits > 0 && line[digits] != ':') insert_at(line, digits, ':');

  for (int i = 0; line[i]; ++i) {
    if (letter_like(line[i]) && (i == 0 || line[i - 1] != ' ')) {
      int before = length(line);
      insert_at(line, i, ' ');
      if (length(line) > before) ++i;  // step over the space to the letter
    }
  }

  if (char* colon = std::strchr(line, ':')) {
    int cut = int(colon - line) + 1;
    std::memmove(line, line + cut, size_t(N - cut));
    std::memset(line + N - cut, 0, size_t(cut));
  }

  // The space before the body's first word goes before the prefix comes in,
  // so a full line keeps room for it.
  remove_first_char(line, N, ' ');
  char prefix[kNumberTextSize] = {};
  int_to_decimal(sequence, prefix);
  left_pad(prefix, kNumberTextSize, 3, '0');
  std::strcat(prefix, ":");
  for (int i = int(std::strlen(prefix)) - 1; i >= 0; --i) insert_at(line, 0, prefix[i]);

  if (commented && line[3] == ':') line[3] = '/';

  for (int i = 0; i < N; ++i) {
    if (line[i] == '\'') line[i] = '\x01';
    if (line[i] == '"') line[i] = '\x02';
  }
}

}  // namespace kor
