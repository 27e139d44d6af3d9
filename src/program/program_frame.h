// The unit keeps a program as a fixed array of 33-byte records, one per line
// (a frame). Records are little-endian and carry a bit-count checksum.
#pragma once
#include <array>
#include <cstdint>

namespace kor {

constexpr int kFrameSize = 33;
constexpr int kProgramFrames = 504;
constexpr int kSubprogramFrames = 104;
constexpr int kProgramImageSize = kProgramFrames * kFrameSize;        // 16632
constexpr int kSubprogramImageSize = kSubprogramFrames * kFrameSize;  // 3432
static_assert(kProgramImageSize == 16632 && kSubprogramImageSize == 3432);

// Axis index order of every table: X Y Z U V W P Q R A B C D.
constexpr int kAxisCount = 13;
constexpr char kAxisLetters[] = "XYZUVWPQRABCD";
// Index of an axis letter, -1 for any other character.
int axis_index(char c);
// A through D: feeds in ten-thousandths instead of hundredths.
inline bool is_rotary_axis(int axis) { return axis >= 9 && axis <= 12; }

enum class FrameType : uint8_t {
  AXIS_X = 0, AXIS_Y, AXIS_Z, AXIS_U, AXIS_V, AXIS_W, AXIS_P, AXIS_Q, AXIS_R, AXIS_A, AXIS_B, AXIS_C, AXIS_D,
  G5N = 13,
  G90 = 14,
  G91 = 15,
  M6T = 16,
  E = 17,
  L = 18,
  H = 19,
  M20 = 20,
  M_N = 21,
  G4_N = 22,
  G0 = 23,
  G1 = 24,
  G49 = 25,
  G44 = 26,
  G43 = 27,
  G42 = 28,
  G41 = 29,
  G40 = 30,
  G17 = 31,
  G18 = 32,
  G19 = 33,
  G1N_X = 36,  // ... G1N_D = 48: G11..G15 with an axis
  G1N_D = 48,
  FEED = 49,
  M41 = 50,
  M42 = 51,
  M43 = 52,
  M44 = 53,
  G92_X = 55,  // ... G92_D = 67
  G92_D = 67,
  G45 = 68,
  G46 = 69,
  G20 = 70,
  G21 = 71,
  M30 = 72,
  M02 = 73,
};

// One record, decoded. The defaults are all-ones bytes: an empty slot, and
// what a line's work record starts from.
struct ProgramFrame {
  uint8_t reserved0 = 0xFF;
  uint16_t program_number = 0xFFFF;  // slot the frame belongs to; not shown in text
  uint16_t line_number = 0xFFFF;
  uint8_t slot_state = 0xFF;         // above 2 ends the program
  uint8_t active = 0xFF;             // 0: commented out
  uint8_t frame_type = 0xFF;         // a FrameType code, or any other byte from the unit
  int32_t number = -1;
  int32_t value = -1;
  uint8_t extra16 = 0xFF;
  int32_t extra17 = -1;
  int32_t extra21 = -1;
  uint8_t seal_marker = 0xFF;        // 0: the checksum is valid
  std::array<uint8_t, 5> tail = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // bytes 26..30, never written here
  uint8_t checksum = 0xFF;
  uint8_t checksum_copy = 0xFF;

  static ProgramFrame decode(const uint8_t* record);
  void encode(uint8_t* record) const;
  bool operator==(const ProgramFrame&) const = default;
};

// A whole program (504 records) or subprogram (104 records), end to end.
struct ProgramImage {
  std::array<uint8_t, kProgramImageSize> bytes{};
  int size = kProgramImageSize;

  uint8_t* data() { return bytes.data(); }
  const uint8_t* data() const { return bytes.data(); }
  int records() const { return size / kFrameSize; }
  ProgramFrame frame(int i) const { return ProgramFrame::decode(data() + i * kFrameSize); }
  void set_frame(int i, const ProgramFrame& f) { f.encode(data() + i * kFrameSize); }
};

// The image text is parsed into: all bytes 0xFF, the slot number in every record.
ProgramImage blank_program_image(bool subprogram, uint16_t program_number);

// Seals every whole record of the image: marker 0, checksum and its copy over bytes 0..25.
void seal_frames(uint8_t* image, int length);
// False when a sealed record's checksum is wrong. Records whose marker is not 0
// or whose two checksum bytes differ are not judged.
bool verify_frames(const uint8_t* image, int length);

}  // namespace kor
