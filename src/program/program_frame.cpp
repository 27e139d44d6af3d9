#include "program/program_frame.h"

#include <cstring>

#include "protocol/frames.h"

namespace kor {

namespace {

uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
int32_t get32(const uint8_t* p) { return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24); }
void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, int32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(uint32_t(v) >> (8 * i));
}

constexpr int kChecked = 26;  // bytes 0..25 are under the checksum

}  // namespace

int axis_index(char c) {
  const char* p = c ? std::strchr(kAxisLetters, c) : nullptr;
  return p ? int(p - kAxisLetters) : -1;
}

ProgramFrame ProgramFrame::decode(const uint8_t* r) {
  ProgramFrame f;
  f.reserved0 = r[0];
  f.program_number = get16(r + 1);
  f.line_number = get16(r + 3);
  f.slot_state = r[5];
  f.active = r[6];
  f.frame_type = r[7];
  f.number = get32(r + 8);
  f.value = get32(r + 12);
  f.extra16 = r[16];
  f.extra17 = get32(r + 17);
  f.extra21 = get32(r + 21);
  f.seal_marker = r[25];
  std::memcpy(f.tail.data(), r + 26, 5);
  f.checksum = r[31];
  f.checksum_copy = r[32];
  return f;
}

void ProgramFrame::encode(uint8_t* r) const {
  r[0] = reserved0;
  put16(r + 1, program_number);
  put16(r + 3, line_number);
  r[5] = slot_state;
  r[6] = active;
  r[7] = frame_type;
  put32(r + 8, number);
  put32(r + 12, value);
  r[16] = extra16;
  put32(r + 17, extra17);
  put32(r + 21, extra21);
  r[25] = seal_marker;
  std::memcpy(r + 26, tail.data(), 5);
  r[31] = checksum;
  r[32] = checksum_copy;
}

ProgramImage blank_program_image(bool subprogram, uint16_t program_number) {
  ProgramImage img;
  img.size = subprogram ? kSubprogramImageSize : kProgramImageSize;
  img.bytes.fill(0xFF);
  for (int i = 0; i < img.records(); ++i) put16(img.data() + i * kFrameSize + 1, program_number);
  return img;
}

void seal_frames(uint8_t* image, int length) {
  for (int i = 0; i + kFrameSize <= length; i += kFrameSize) {
    uint8_t* r = image + i;
    r[25] = 0;
    r[31] = r[32] = count_ones8(r, kChecked, 0);
  }
}

bool verify_frames(const uint8_t* image, int length) {
  bool good = true;
  for (int i = 0; i + kFrameSize <= length; i += kFrameSize) {
    const uint8_t* r = image + i;
    if (r[31] != r[32] || r[25] != 0) continue;
    if (count_ones8(r, kChecked, 0) != r[31]) good = false;
  }
  return good;
}

}  // namespace kor
