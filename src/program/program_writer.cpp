#include <cstdio>

#include "program/axis_table.h"
#include "program/fixed_point.h"
#include "program/program_text.h"

namespace kor {

namespace {

std::string coordinate(int axis, int32_t value) {
  const AxisFormat f = axis_format_of(axis);
  // The inch mark says inches: the stored millimetres go back to inches.
  return fixed_text(f == kInchFormat ? inches_of(value) : value, f);
}

std::string decimal(int64_t v) { return std::to_string(v); }

// Bodies that are only a fixed word.
const char* fixed_body(FrameType t) {
  switch (t) {
    case FrameType::G90: return "G90";
    case FrameType::G91: return "G91";
    case FrameType::M20: return "M20";
    case FrameType::G0: return "G0";
    case FrameType::G1: return "G1";
    case FrameType::G49: return "G49";
    case FrameType::G44: return "G44";
    case FrameType::G43: return "G43";
    case FrameType::G42: return "G42";
    case FrameType::G41: return "G41";
    case FrameType::G40: return "G40";
    case FrameType::G17: return "G17";
    case FrameType::G18: return "G18";
    case FrameType::G19: return "G19";
    case FrameType::M41: return "M41";
    case FrameType::M42: return "M42";
    case FrameType::M43: return "M43";
    case FrameType::M44: return "M44";
    case FrameType::G45: return "G45";
    case FrameType::G46: return "G46";
    case FrameType::G20: return "G20";
    case FrameType::G21: return "G21";
    case FrameType::M30: return "M30";
    case FrameType::M02: return "M02";
    default: return nullptr;
  }
}

bool body_of(const ProgramFrame& f, std::string& body) {
  const int code = f.frame_type;
  const FrameType t = FrameType(code);
  if (code <= 12) {
    body = kAxisLetters[code] + coordinate(code, f.value);
    if (f.number >= 0) body += "F" + fixed_text(f.number, is_rotary_axis(code) ? 6 : 1);
    return true;
  }
  if (code >= int(FrameType::G1N_X) && code <= int(FrameType::G1N_D)) {
    int axis = code - int(FrameType::G1N_X);
    char digit = f.number >= 2 && f.number <= 5 ? char('0' + f.number) : '1';
    body = std::string("G1") + digit + kAxisLetters[axis] + coordinate(axis, f.value);
    return true;
  }
  if (code >= int(FrameType::G92_X) && code <= int(FrameType::G92_D)) {
    int axis = code - int(FrameType::G92_X);
    body = std::string("G92") + kAxisLetters[axis] + coordinate(axis, f.value);
    return true;
  }
  if (const char* word = fixed_body(t)) {
    body = word;
    return true;
  }
  switch (t) {
    case FrameType::G5N: body = "G5" + decimal(int64_t(f.number) + 3); return true;
    case FrameType::M6T: body = "M6T" + decimal(f.number); return true;
    case FrameType::E: body = "E" + decimal(f.number); return true;
    case FrameType::L: body = "L" + decimal(f.number); return true;
    case FrameType::H: body = "H" + decimal(f.number); return true;
    case FrameType::G4_N: body = "G4." + decimal(f.number); return true;
    case FrameType::FEED: body = "F" + fixed_text(f.number, 1); return true;
    case FrameType::M_N: {
      std::string m = decimal(f.number);
      body = "M" + m;
      // Only a three-character M number can carry an E argument: that is the
      // form the reader recognises.
      if (f.value != 0 && m.size() == 3) body += "E" + decimal(f.value);
      return true;
    }
    default: return false;
  }
}

}  // namespace

bool format_frame_line(const ProgramFrame& frame, std::string& line) {
  line.clear();
  std::string body;
  if (!body_of(frame, body)) return false;
  char number[16];
  std::snprintf(number, sizeof number, "%.3d:", int(frame.line_number));
  if (frame.active == 0) line = "//";
  line += number;
  line += body;
  return true;
}

void format_program_text(const uint8_t* image, int length, std::string& out) {
  std::string line;
  // Lines go out whole: a line may take 33 characters ("//", number, axis,
  // a 13-character coordinate, F and a 12-character feed), or more with line
  // numbers above 999.
  for (int at = 0; at + kFrameSize <= length; at += kFrameSize) {
    ProgramFrame f = ProgramFrame::decode(image + at);
    if (f.slot_state > 2) break;
    if (!format_frame_line(f, line)) break;
    out += line;
    out += "\r\n";
  }
}

std::vector<std::string> split_text_lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

}  // namespace kor
