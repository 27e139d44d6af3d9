// libFuzzer target: program text, images and number text from arbitrary bytes.
// Nothing may read or write outside its buffers, and the parser's report must
// agree with what it stored.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "program/axis_table.h"
#include "program/fixed_point.h"
#include "program/line_normalize.h"
#include "program/program_text.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void parse_and_write(std::string_view text, bool subprogram) {
  kor::ProgramImage img = kor::blank_program_image(subprogram, 1);
  kor::ProgramParse r = kor::parse_program_text(text, img.data(), img.size);
  check(kor::app().text_cursor == 0);
  check(r.frames >= 0 && r.frames <= img.records());
  check((r.stop == kor::ParseStop::End) == (r.line == 0));
  check(r.offset >= 0 && size_t(r.offset) <= text.size());
  for (int i = 0; i < img.records(); ++i) check((img.frame(i).reserved0 == 0) == (i < r.frames));
  kor::seal_frames(img.data(), img.size);
  check(kor::verify_frames(img.data(), img.size));
  std::string written;
  kor::format_program_text(img.data(), img.size, written);
  kor::ProgramImage again = kor::blank_program_image(subprogram, 1);
  kor::parse_program_text(written, again.data(), again.size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first bytes give the axis table, as the unit would report it.
  kor::AxisChannelTable& table = kor::axis_channels();
  for (int ch = 0; ch < 10; ++ch) {
    table.channels[ch].axis = ch < int(size) ? data[ch] % 16 : 0;
    table.channels[ch].formatWord = uint16_t(ch + 10 < int(size) ? data[ch + 10] << 7 : 0);
  }

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  parse_and_write(text, false);
  parse_and_write(text, true);

  // The bytes as records read from a unit.
  std::string out;
  kor::format_program_text(data, int(size), out);
  kor::verify_frames(data, int(size));

  // Each stretch of up to 63 bytes as a file line.
  for (size_t at = 0; at < size; at += 63) {
    char line[kor::kNormalLineSize] = {};
    std::memcpy(line, data + at, std::min<size_t>(63, size - at));
    kor::normalize_program_line(line, int(at / 63 % 999) + 1);
    check(line[kor::kNormalLineSize - 1] == 0);
  }

  // Number text in every format, and back.
  std::string number(text.substr(0, 20));
  const size_t nul = number.find('\0');
  if (nul != std::string::npos) number.resize(nul);
  for (int f = 0; f < 32; ++f) {
    bool ok = false;
    int32_t v = kor::parse_fixed(number.c_str(), kor::AxisFormat(f), &ok);
    check(ok || v == 99999999 || v == -99999999);
    check(kor::fixed_text(v, kor::AxisFormat(f)).size() < kor::kNumberTextSize);
    char angle[kor::kNumberTextSize];
    kor::format_angle(v, kor::AxisFormat(f), angle);
    int32_t scaled = v;
    kor::scale_round(&scaled, int32_t(size) - 100, f % 10);
  }
  return 0;
}
