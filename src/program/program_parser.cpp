#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/operator.h"
#include "program/axis_table.h"
#include "program/program_text.h"

namespace kor {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The writer's own marks after a coordinate: degrees, and inches in the unit's code.
bool is_mark(char c) { return c == kDegreeMark || c == kInchMark; }

// What the unit reads in a line: LF, space, capitals, and "-" through ":".
// CR ends a line and is handled before this.
bool accepted(unsigned char c) { return c == '\n' || c == ' ' || (c >= 'A' && c <= 'Z') || (c >= '-' && c <= ':'); }

std::string_view up_to_nul(std::string_view text) { return text.substr(0, text.find('\0')); }

enum class LineEnd { Cr, Full, Cut };

struct LineBreak {
  LineEnd how;
  int at;  // the CR, the character that cut the line, or the line's start when full
  char c;
};

LineBreak read_line(std::string_view text, char* line) {
  int& cursor = app().text_cursor;
  std::memset(line, 0, kLineBufferSize);
  const int start = cursor;
  for (int i = 0;; ++i) {
    const int pos = start + i;
    const char c = size_t(pos) < text.size() ? text[size_t(pos)] : '\0';
    if (c == '\r') {
      cursor = pos + 2;  // the LF after it is skipped unseen
      return {LineEnd::Cr, pos, c};
    }
    if (accepted(static_cast<unsigned char>(c)) || (is_mark(c) && i > 0 && is_digit(line[i - 1]))) {
      line[i] = c;
      if (i + 1 == kProgramLineMax) {
        cursor = start + kProgramLineMax + 2;
        return {LineEnd::Full, start, c};
      }
      continue;
    }
    if (c >= 'a' && c <= 'z') ShowMessage("обнаружены строчные буквы", Icon::Error);
    cursor = pos + 2;
    return {LineEnd::Cut, pos, c};
  }
}

// Numbers in a body: one leading space skipped, then up to 14 of digits, "-", ".".
std::string collect_number(const char* p) {
  if (*p == ' ') ++p;
  std::string s;
  while (s.size() < 14 && (is_digit(*p) || *p == '-' || *p == '.')) s += *p++;
  return s;
}

// A coordinate of the axis. Six decimals are written for format 11: they are
// read as six, or a program read from the unit would not go back unchanged.
int32_t coordinate_value(const char* p, int axis) {
  const AxisFormat f = axis_format_of(axis);
  const std::string n = collect_number(p);
  return f == kMicroFormat ? parse_decimals(n.c_str(), 6) : parse_fixed(n.c_str(), f);
}

// A feed as the unit stores it: positive, at most 1000000.
int32_t feed_value(const char* after_f, AxisFormat f) {
  int64_t v = std::llabs(int64_t(parse_fixed(collect_number(after_f).c_str(), f)));
  return int32_t(v > 1000000 ? 1000000 : v);
}

enum class Verdict { Accept, Reject, Fail };  // Reject: the next form is tried

void set_type(ProgramFrame& w, FrameType t) { w.frame_type = uint8_t(t); }
Verdict accept_as(ProgramFrame& w, FrameType t) {
  set_type(w, t);
  return Verdict::Accept;
}

Verdict read_axis_move(const char* body, ProgramFrame& w) {
  const char* a = body[0] == ' ' ? body + 1 : body;
  const int axis = axis_index(a[0]);
  if (axis < 0) return Verdict::Reject;
  w.frame_type = uint8_t(axis);
  // The feed's F lies within the first 15 characters, after digits and points.
  int f_at = -1;
  for (int i = 2; i <= 14; ++i) {
    if (is_digit(a[i]) || a[i] == '.' || is_mark(a[i])) continue;
    if (a[i] == 'F') f_at = i;
    if (a[i] == ' ' && a[i + 1] == 'F') f_at = i + 1;
    break;
  }
  w.value = coordinate_value(a + 1, axis);
  w.number = 0;
  if (f_at < 0) return Verdict::Accept;
  const int32_t feed = feed_value(a + f_at + 1, is_rotary_axis(axis) ? 6 : 1);
  // A zero feed means no feed, as a move without F: that is how a move read
  // from the unit without a feed is written ("X1.000F0.00").
  if (feed == 0) return Verdict::Accept;
  if (feed <= 9) return Verdict::Fail;
  w.number = feed;
  return Verdict::Accept;
}

Verdict read_g_code(const char* body, ProgramFrame& w) {
  if (body[0] != 'G') return Verdict::Reject;
  const char c1 = body[1], c2 = body[2], c3 = body[3];
  if (c1 == '9' && c2 == '2') {
    const int axis = axis_index(c3);
    if (axis < 0) return Verdict::Reject;
    w.frame_type = uint8_t(int(FrameType::G92_X) + axis);
    w.value = coordinate_value(body + 4, axis);
    return Verdict::Accept;
  }
  if (c1 == '2' && c2 == '0') return accept_as(w, FrameType::G20);
  if (c1 == '2' && c2 == '1') return accept_as(w, FrameType::G21);
  if (c1 == '5') {
    set_type(w, FrameType::G5N);
    w.number = static_cast<unsigned char>(c2) <= '9' ? c2 - '3' : 0;
    return Verdict::Accept;
  }
  if (c1 == '4' && c2 == '.') {
    set_type(w, FrameType::G4_N);
    w.number = text_to_int(body + 3);
    return Verdict::Accept;
  }
  if (c2 && c3 && c2 != ' ' && c3 != ' ') {
    // G11..G15 with an axis and its coordinate.
    const int axis = axis_index(c3);
    if (axis < 0) return Verdict::Reject;
    w.frame_type = uint8_t(int(FrameType::G1N_X) + axis);
    w.value = coordinate_value(body + 4, axis);
    const char two[3] = {c1, c2, 0};
    const int n = text_to_int(two);
    if (n < 11 || n > 15) return Verdict::Reject;
    w.number = n - 10;
    return Verdict::Accept;
  }
  const int n = text_to_int(body + 1);
  FrameType t;
  switch (n) {
    case 0: t = FrameType::G0; break;
    case 1: t = FrameType::G1; break;
    case 17: t = FrameType::G17; break;
    case 18: t = FrameType::G18; break;
    case 19: t = FrameType::G19; break;
    case 40: t = FrameType::G40; break;
    case 41: t = FrameType::G41; break;
    case 42: t = FrameType::G42; break;
    case 43: t = FrameType::G43; break;
    case 44: t = FrameType::G44; break;
    case 45: t = FrameType::G45; break;
    case 46: t = FrameType::G46; break;
    case 49: t = FrameType::G49; break;
    case 90: t = FrameType::G90; break;
    case 91: t = FrameType::G91; break;
    default: return Verdict::Reject;  // G11..G15 need an axis
  }
  w.number = n;
  set_type(w, t);
  return Verdict::Accept;
}

Verdict read_tool(const char* body, ProgramFrame& w) {
  if (std::strncmp(body, "M6T", 3) != 0) return Verdict::Reject;
  set_type(w, FrameType::M6T);
  const int n = text_to_int(body + 3);
  w.number = n > 8 ? 8 : n;
  return Verdict::Accept;
}

Verdict read_e(const char* body, ProgramFrame& w) {
  if (body[0] != 'E') return Verdict::Reject;
  set_type(w, FrameType::E);
  const int n = text_to_int(body + 1);
  w.number = n <= 0 ? 1 : n;
  return Verdict::Accept;
}

Verdict read_l(const char* body, ProgramFrame& w) {
  if (body[0] != 'L') return Verdict::Reject;
  set_type(w, FrameType::L);
  const int n = text_to_int(body + 1);
  w.number = n <= 0 ? 1 : n > 50 ? 50 : n;
  return Verdict::Accept;
}

Verdict read_h_or_m(const char* body, ProgramFrame& w) {
  if (body[0] == 'H') {
    set_type(w, FrameType::H);
    const int n = text_to_int(body + 1);
    w.number = n == 0 ? 1 : n;
    return Verdict::Accept;
  }
  if (body[0] != 'M') return Verdict::Reject;
  if (body[4] == 'E') {
    // A three-digit M with an E argument of at most three characters.
    const char* e = body + 5;
    if (std::strlen(e) > 3) return Verdict::Reject;
    set_type(w, FrameType::M_N);
    const char m[4] = {body[1], body[2], body[3], 0};
    w.number = text_to_int(m);
    w.value = (!*e || std::strcmp(e, "0") == 0) ? 0 : text_to_int(e);
    return Verdict::Accept;
  }
  if (body[1] == '3' && body[2] == '0') return accept_as(w, FrameType::M30);
  if (body[1] == '0' && body[2] == '2') return accept_as(w, FrameType::M02);
  const int n = text_to_int(body + 1);
  switch (n) {
    case 20: set_type(w, FrameType::M20); break;
    case 41: set_type(w, FrameType::M41); break;
    case 42: set_type(w, FrameType::M42); break;
    case 43: set_type(w, FrameType::M43); break;
    case 44: set_type(w, FrameType::M44); break;
    default: set_type(w, FrameType::M_N); break;
  }
  w.number = FrameType(w.frame_type) == FrameType::M_N && n > 332 ? 332 : n;
  w.value = 0;
  return Verdict::Accept;
}

Verdict read_feed(const char* body, ProgramFrame& w) {
  if (body[0] != 'F') return Verdict::Reject;
  const int32_t feed = feed_value(body + 1, 1);
  if (feed <= 9) return Verdict::Fail;
  set_type(w, FrameType::FEED);
  w.number = feed;
  return Verdict::Accept;
}

enum class LineVerdict { Accepted, NoNumber, Unreadable };

// A mark belongs right after the coordinate of an axis whose format writes it,
// once; a mark anywhere else was not written by the writer.
bool marks_in_place(const char* s, const char* body, const ProgramFrame& w) {
  const char* mark = s;
  while (*mark && !is_mark(*mark)) ++mark;
  if (!*mark) return true;
  const int t = w.frame_type;
  int axis;
  const char* number;
  if (t <= int(FrameType::AXIS_D)) {
    axis = t;
    number = (body[0] == ' ' ? body + 1 : body) + 1;
  } else if (t >= int(FrameType::G1N_X) && t < int(FrameType::G1N_X) + kAxisCount) {
    axis = t - int(FrameType::G1N_X);
    number = body + 4;
  } else if (t >= int(FrameType::G92_X) && t < int(FrameType::G92_X) + kAxisCount) {
    axis = t - int(FrameType::G92_X);
    number = body + 4;
  } else {
    return false;
  }
  if (axis_format_mark(axis_format_of(axis)) != *mark) return false;
  if (*number == ' ') ++number;
  for (int n = 0; n < 14 && (is_digit(*number) || *number == '-' || *number == '.'); ++n) ++number;
  if (number != mark) return false;
  for (const char* p = mark + 1; *p; ++p)
    if (is_mark(*p)) return false;
  return true;
}

LineVerdict decode_line(const char* line, ProgramFrame& w) {
  // A zeroed copy: the readers look a fixed distance ahead of short lines.
  char buf[64] = {};
  for (int i = 0; i < kProgramLineMax && line[i]; ++i) buf[i] = line[i];
  const char* s = buf;
  w.active = 0xFF;
  if (s[0] == '/' && s[1] == '/') {
    w.active = 0;
    s += 2;
  }
  char digits[15] = {};
  for (int i = 0; i < 14 && is_digit(s[i]); ++i) digits[i] = s[i];
  w.line_number = uint16_t(text_to_int(digits));
  if (w.line_number == 0) return LineVerdict::NoNumber;
  const char* body = s + 4;  // after "%.3d:", whatever the fourth character is
  using Reader = Verdict (*)(const char*, ProgramFrame&);
  for (Reader r : {read_axis_move, read_g_code, read_tool, read_e, read_l, read_h_or_m, read_feed}) {
    Verdict v = r(body, w);
    if (v == Verdict::Accept) return marks_in_place(s, body, w) ? LineVerdict::Accepted : LineVerdict::Unreadable;
    if (v == Verdict::Fail) break;
  }
  return LineVerdict::Unreadable;
}

// The record fields a line defines; program_number and bytes 25..32 stay.
void store_frame(uint8_t* r, const ProgramFrame& w) {
  uint8_t full[kFrameSize];
  w.encode(full);
  r[0] = 0;
  r[3] = full[3];
  r[4] = full[4];
  r[5] = 0;
  std::memcpy(r + 6, full + 6, 25 - 6);
}

// --- Telling the operator where and why a parse ended (the unit is told nothing).

struct Anomaly {
  ParseStop why = ParseStop::End;
  int offset = 0;
  char c = 0;
  explicit operator bool() const { return why != ParseStop::End; }
};

// Whatever in the way a line ended loses characters or runs lines together.
Anomaly anomaly_of(std::string_view text, int start, const char* line, const LineBreak& br) {
  const int end = int(text.size());
  if (const char* lf = std::strchr(line, '\n')) return {ParseStop::LineEnd, start + int(lf - line), '\n'};
  switch (br.how) {
    case LineEnd::Cut:
      if (br.at < end)
        return {br.c >= 'a' && br.c <= 'z' ? ParseStop::LowerCase : ParseStop::BadCharacter, br.at, br.c};
      break;
    case LineEnd::Cr:
      if (br.at + 1 < end && text[size_t(br.at) + 1] != '\n') return {ParseStop::LineEnd, br.at, '\r'};
      break;
    case LineEnd::Full: {
      const int after = start + kProgramLineMax;
      // Exactly 33 characters: the two skipped are the line's own CR LF.
      const auto at = [&](int i) { return i < end ? text[size_t(i)] : '\0'; };
      if (after < end && !(at(after) == '\r' && (after + 1 >= end || at(after + 1) == '\n')))
        return {ParseStop::LongLine, start, 0};
      break;
    }
  }
  return {};
}

bool blank_from(std::string_view text, int from) {
  for (size_t i = size_t(from); i < text.size(); ++i)
    if (text[i] != '\r' && text[i] != '\n' && text[i] != ' ') return false;
  return true;
}

void place(ProgramParse& res, std::string_view text, ParseStop why, int offset, char c = 0) {
  res.stop = why;
  res.offset = offset;
  res.character = c;
  size_t upto = std::min(size_t(offset), text.size());
  res.line = 1 + int(std::count(text.begin(), text.begin() + std::ptrdiff_t(upto), '\n'));
}

}  // namespace

bool next_program_line(std::string_view text, char line[kLineBufferSize]) {
  return read_line(up_to_nul(text), line).how != LineEnd::Cut;
}

bool parse_frame_line(const char* line, ProgramFrame& work) { return decode_line(line, work) == LineVerdict::Accepted; }

ProgramParse parse_program_text(std::string_view whole, uint8_t* image, int capacity) {
  const std::string_view text = up_to_nul(whole);
  const int end = int(text.size());
  int& cursor = app().text_cursor;
  cursor = 0;
  ProgramParse res;
  Anomaly first, previous;
  int used = 0;
  for (;;) {
    if (cursor >= end) break;
    if (used + kFrameSize > capacity) {
      if (!blank_from(text, cursor)) place(res, text, ParseStop::Capacity, cursor);
      break;
    }
    const int start = cursor;
    ProgramFrame work;
    char line[kLineBufferSize];
    const LineBreak br = read_line(text, line);
    const Anomaly here = anomaly_of(text, start, line, br);
    const LineVerdict v = decode_line(line, work);
    if (v != LineVerdict::Accepted) {
      // A line that fails right after characters were skipped fails because of them.
      // Trailing blank lines lose nothing.
      if (previous)
        place(res, text, previous.why, previous.offset, previous.c);
      else if (here && !blank_from(text, start))
        place(res, text, here.why, here.offset, here.c);
      else if (!blank_from(text, start))
        place(res, text, v == LineVerdict::NoNumber ? ParseStop::NoLineNumber : ParseStop::Unreadable, start);
      break;
    }
    store_frame(image + used, work);
    used += kFrameSize;
    ++res.frames;
    if (here && !first) first = here;
    previous = here;
  }
  if (res.stop == ParseStop::End) {
    if (first)
      place(res, text, first.why, first.offset, first.c);
    else if (text.size() < whole.size())
      place(res, text, ParseStop::ZeroByte, end);
  }
  if (res.stop == ParseStop::End) {
    res.line = 0;
    res.offset = end;
  }
  cursor = 0;
  return res;
}

}  // namespace kor
