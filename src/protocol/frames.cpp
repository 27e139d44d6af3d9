#include "protocol/frames.h"

#include <cstring>

namespace kor {

namespace {
int popcount8(uint8_t b) {
  int n = 0;
  for (; b; b &= uint8_t(b - 1)) ++n;
  return n;
}
}  // namespace

int count_ones(const uint8_t* buf, uint16_t count, uint16_t start) {
  int n = 0;
  for (unsigned i = 0; i < count; ++i) n += popcount8(buf[start + i]);
  return n;
}

uint8_t count_ones8(const uint8_t* buf, uint16_t count, uint16_t start) {
  return uint8_t(count_ones(buf, count, start));
}

void store_bit_checksum(uint8_t* buf, uint16_t count, uint16_t start) {
  buf[start + count] = count_ones8(buf, count, start);
}

uint16_t block_crc(const uint8_t* data, uint16_t length) {
  uint16_t crc = 0xFFFF;
  for (unsigned i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

void put_crc(uint8_t* dst, uint16_t crc) {
  dst[0] = uint8_t(crc >> 8);
  dst[1] = uint8_t(crc);
}

bool crc_matches(const uint8_t* data, uint16_t length) {
  uint16_t crc = block_crc(data, length);
  return data[length] == uint8_t(crc >> 8) && data[length + 1] == uint8_t(crc);
}

void build_frame_header(uint8_t* out, uint8_t cls, uint8_t lengthCode, uint8_t c3, uint8_t c4, uint8_t c5,
                        uint8_t c6) {
  out[0] = cls;
  out[1] = lengthCode;
  store_bit_checksum(out, 2, 0);
  out[3] = c3;
  out[4] = c4;
  out[5] = c5;
  out[6] = c6;
  store_bit_checksum(out, 4, 3);
}

void build_command_frame(uint8_t out[8], uint8_t c3, uint8_t c4, uint8_t c5, uint8_t c6) {
  build_frame_header(out, 0x00, 8, c3, c4, c5, c6);
}

void build_header_record(uint8_t out[40], const char* title, int16_t lines) {
  std::memset(out, 0, 40);
  if (title) {
    size_t n = std::strlen(title);
    if (n > 35) n = 35;
    std::memcpy(out, title, n);
  }
  out[36] = uint8_t(lines);
  out[37] = uint8_t(uint16_t(lines) >> 8);
  out[38] = 0xAA;
  out[39] = 0xAA;
}

HeaderRecord parse_header_record(const uint8_t rec[40]) {
  HeaderRecord h{};
  std::memcpy(h.title, rec, 36);
  h.title[36] = 0;
  h.lines = int16_t(uint16_t(rec[36] | (rec[37] << 8)));
  h.markerOk = rec[38] == 0xAA && rec[39] == 0xAA;
  return h;
}

void build_header_frame(uint8_t out[50], uint8_t kind, uint8_t slot, const char* title, int16_t lines) {
  build_frame_header(out, 0x01, 50, kind, 0x03, slot, 0x00);
  build_header_record(out + 8, title, lines);
  put_crc(out + 48, block_crc(out + 3, 45));
}

void build_block_frame(uint8_t out[142], uint8_t kind, uint8_t slot, uint8_t block, const uint8_t data[132]) {
  build_frame_header(out, 0x01, 142, kind, 0x03, slot, block);
  std::memcpy(out + 8, data, 132);
  put_crc(out + 140, block_crc(out + 3, 137));
}

void build_page_frame(uint8_t out[272], uint8_t kind, uint8_t command, uint8_t slot, uint8_t page,
                      const uint8_t payload[264]) {
  build_frame_header(out, 0x01, 0x10, kind, command, slot, page);
  std::memcpy(out + 8, payload, 264);
}

void build_param_frame(uint8_t out[40], uint8_t block, const uint8_t data[32]) {
  build_frame_header(out, 0x00, 40, 0x05, 0x05, block, block);
  std::memcpy(out + 8, data, 32);
}

}  // namespace kor
