// Frame layout and the two checksums every exchange with the unit uses.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kor {

// Fixed sizes on the wire.
constexpr int kCommandFrameSize = 8;
constexpr int kClockFrameSize = 16;
constexpr int kHeaderFrameSize = 50;
constexpr int kBlockFrameSize = 142;
constexpr int kPageFrameSize = 272;
constexpr int kParamFrameSize = 40;
constexpr int kHeaderRecordSize = 40;
constexpr int kHeaderAnswerSize = 42;
constexpr int kDataBlockSize = 132;
constexpr int kDataAnswerSize = 134;
constexpr int kLineFieldSize = 66;
constexpr int kPagePayloadSize = 264;
constexpr int kParamBlockSize = 32;
constexpr uint16_t kHeaderMarker = 0xAAAA;

// Counts the 1 bits of buf[start .. start+count) and stores the count (mod 256)
// at buf[start+count].
void store_bit_checksum(uint8_t* buf, uint16_t count, uint16_t start);
uint8_t count_ones8(const uint8_t* buf, uint16_t count, uint16_t start);
int count_ones(const uint8_t* buf, uint16_t count, uint16_t start);

// CRC-16/MODBUS register value (0xFFFF for no bytes). On the wire its high byte
// goes first: use put_crc / crc_matches rather than storing it by hand.
uint16_t block_crc(const uint8_t* data, uint16_t length);
void put_crc(uint8_t* dst, uint16_t crc);  // high byte first
// True when the two bytes after data[0..length) carry its CRC in wire order.
bool crc_matches(const uint8_t* data, uint16_t length);

// Bytes 0..7 of every frame: class, length code, checksum, command field, checksum.
void build_frame_header(uint8_t* out, uint8_t cls, uint8_t lengthCode, uint8_t c3, uint8_t c4, uint8_t c5,
                        uint8_t c6);
void build_command_frame(uint8_t out[8], uint8_t c3, uint8_t c4, uint8_t c5, uint8_t c6);

// Program header record: title (36, NUL-terminated), line count (i16 LE), AA AA.
void build_header_record(uint8_t out[40], const char* title, int16_t lines);
struct HeaderRecord {
  char title[37];
  int16_t lines;
  bool markerOk;
};
HeaderRecord parse_header_record(const uint8_t rec[40]);

void build_header_frame(uint8_t out[50], uint8_t kind, uint8_t slot, const char* title, int16_t lines);
void build_block_frame(uint8_t out[142], uint8_t kind, uint8_t slot, uint8_t block, const uint8_t data[132]);
// Page-transfer frame: command 0x03 (page) or 0x16 (closing frame with the title).
void build_page_frame(uint8_t out[272], uint8_t kind, uint8_t command, uint8_t slot, uint8_t page,
                      const uint8_t payload[264]);
void build_param_frame(uint8_t out[40], uint8_t block, const uint8_t data[32]);

}  // namespace kor
