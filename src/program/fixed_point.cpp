#include "program/fixed_point.h"

#include <cstdio>
#include <cstring>

namespace kor {

// Marks are spelt as bytes so the table does not depend on the compiler's
// execution character set.
const char kAxisFormatNames[11][10] = {
    "0.000", "0.00", "0.0", "0.000\xB0", "0.00\xB0", "0.0\xB0", "0.0000", "0.0000\xB0", "0\xB0" "00'00\"",
    "0.0000\"", "0\xB0" "00'",
};

namespace {

struct FormatRule {
  int written;  // decimals format_fixed writes
  int kept;     // fraction digits parse_fixed keeps
  int scaled;   // decimals parse_fixed scales to; -1: the kept digit joins the integer
  char mark;
};

FormatRule rule(AxisFormat f) {
  switch (f) {
    case 0: return {3, 3, 3, 0};
    case 1: return {2, 2, 2, 0};
    case 2: return {1, 1, 1, 0};
    case 3: return {3, 3, 3, kDegreeMark};
    case 4: return {2, 2, 2, kDegreeMark};
    case 5: return {1, 1, 1, kDegreeMark};
    case 6: return {4, 4, 4, 0};
    case 7: return {4, 4, 4, kDegreeMark};
    case 9: return {4, 4, 4, kInchMark};
    case 11: return {6, 1, -1, 0};
    default: return {0, 1, -1, 0};  // 8, 10 and the unnamed codes
  }
}

int bounded_length(const char* text, int n) {
  int m = 0;
  while (m < n - 1 && text[m]) ++m;
  return m;
}

bool fits32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

int64_t pow10(int e) {
  int64_t p = 1;
  while (e-- > 0) p *= 10;
  return p;
}

}  // namespace

const char* axis_format_name(AxisFormat f) { return f < 11 ? kAxisFormatNames[f] : ""; }

char axis_format_mark(AxisFormat f) { return rule(f).mark; }

int32_t inches_of(int32_t stored) {
  const int64_t p = int64_t(stored) * 10;
  int64_t q = p / 254;
  const int64_t r = p % 254;
  if (2 * r >= 254) ++q;
  if (2 * r <= -254) --q;
  return int32_t(q);
}

void insert_before_last(char* text, int n, int k, char c) {
  int m = bounded_length(text, n);
  if (m + 1 >= n) return;
  if (k > m) k = m;
  if (k < 0) k = 0;
  std::memmove(text + m - k + 1, text + m - k, size_t(k) + 1);
  text[m - k] = c;
}

bool remove_first_char(char* text, int n, char c) {
  int m = bounded_length(text, n);
  const char* hit = static_cast<const char*>(std::memchr(text, c, size_t(m)));
  if (!hit) return false;
  int pos = int(hit - text);
  std::memmove(text + pos, text + pos + 1, size_t(m - pos - 1));
  text[m - 1] = 0;
  return true;
}

void left_pad(char* text, int n, int min_len, char c) {
  for (int m = bounded_length(text, n); m < min_len && m < n - 1; ++m) insert_before_last(text, n, m, c);
}

void int_to_decimal(int32_t value, char* out) {
  if (value == INT32_MIN) value = 0;
  bool negative = value < 0;
  uint32_t v = uint32_t(negative ? -value : value);
  char digits[12];
  int n = 0;
  do {
    digits[n++] = char('0' + v % 10);
    v /= 10;
  } while (v);
  int o = 0;
  if (negative) out[o++] = '-';
  while (n) out[o++] = digits[--n];
  out[o] = 0;
}

void format_fixed(char* text, AxisFormat f) {
  const FormatRule r = rule(f);
  bool negative = remove_first_char(text, kNumberTextSize, '-');
  left_pad(text, kNumberTextSize, r.written + 1, '0');
  insert_before_last(text, kNumberTextSize, r.written, '.');
  if (negative) insert_before_last(text, kNumberTextSize, bounded_length(text, kNumberTextSize), '-');
  if (r.mark && bounded_length(text, kNumberTextSize) < 14) insert_before_last(text, kNumberTextSize, 0, r.mark);
}

std::string fixed_text(int32_t value, AxisFormat f) {
  char buf[kNumberTextSize] = {};
  int_to_decimal(value, buf);
  format_fixed(buf, f);
  return buf;
}

int32_t text_to_int(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > int64_t(INT32_MAX) + 1) v = int64_t(INT32_MAX) + 1;
  }
  if (negative) return int32_t(-v);
  return v > INT32_MAX ? INT32_MAX : int32_t(v);
}

namespace {

int32_t parse_by_rule(const char* text, const FormatRule& r, bool inches, bool* ok) {
  std::string t(text);
  size_t dot = t.find('.');
  if (dot != std::string::npos && dot >= size_t(kNumberTextSize)) dot = std::string::npos;
  if (dot == std::string::npos && t.size() <= 14) {
    t += '.';
    dot = t.size() - 1;
  }
  int64_t factor = 1;
  if (dot != std::string::npos) {
    int frac = int(t.size() - dot - 1);
    if (frac > r.kept) {
      t.resize(dot + 1 + size_t(r.kept));
      frac = r.kept;
    }
    t.erase(dot, 1);
    if (r.scaled > frac) factor = pow10(r.scaled - frac);
  }
  int64_t product = int64_t(text_to_int(t.c_str())) * factor;

  if (inches) {
    if (fits32(2 * product)) {
      int32_t v = int32_t(product);
      if (scale_round(&v, 254, 1) != kScaleDone) v = product > 0 ? 2000000000 : product < 0 ? -2000000000 : 0;
      if (ok) *ok = true;
      return v;
    }
    product *= 2;
  }
  if (fits32(product)) {
    if (ok) *ok = true;
    return int32_t(product);
  }
  if (ok) *ok = false;
  return product > 0 ? 99999999 : -99999999;
}

}  // namespace

int32_t parse_fixed(const char* text, AxisFormat f, bool* ok) {
  return parse_by_rule(text, rule(f), f == kInchFormat, ok);
}

int32_t parse_decimals(const char* text, int decimals, bool* ok) {
  return parse_by_rule(text, {decimals, decimals, decimals, 0}, false, ok);
}

void format_angle(int32_t value, AxisFormat f, char* out) {
  // One full turn: 1296000 arc-seconds, or 21600 arc-minutes in format 10.
  const int32_t turn = f == 10 ? 21600 : 1296000;
  int32_t v = value % turn;
  if (v < 0) v += turn;
  if (f == 10) v *= 60;
  int deg = v / 3600, min = v % 3600 / 60, sec = v % 60;
  char text[32];
  if (f == 10)
    std::snprintf(text, sizeof text, "%d\xB0%02d'", deg, min);
  else
    std::snprintf(text, sizeof text, "%d\xB0%02d'%02d\"", deg, min, sec);
  size_t n = std::strlen(text);  // at most 12 characters
  if (n > kNumberTextSize - 1) n = kNumberTextSize - 1;
  std::memcpy(out, text, n);
  out[n] = 0;
}

int scale_round(int32_t* value, int32_t factor, int shift) {
  if (shift < 0 || shift > 8) return kScaleBadShift;
  int64_t p = int64_t(*value) * factor;
  if (shift > 0) {
    p /= pow10(shift - 1);
    int64_t rem = p % 10;
    p /= 10;
    if (rem >= 5) ++p;
    if (rem <= -5) --p;
  }
  if (!fits32(p)) return kScaleOverflow;
  *value = int32_t(p);
  return kScaleDone;
}

}  // namespace kor
