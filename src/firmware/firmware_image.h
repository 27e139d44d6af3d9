// The flash image built from an Intel HEX file, and the loader that checks and
// places its records.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/status_codes.h"

namespace kor {

constexpr int kFlashPageSize = 512;
constexpr int kFlashPages = 502;
constexpr int kFirmwareImageSize = kFlashPages * kFlashPageSize;  // 257024
// No record may end above this address: the last byte of the flash is not ours.
constexpr int kFirmwareEndLimit = 257023;
// A record runs for fewer characters than this before its carriage return.
constexpr int kHexRecordLimit = 99;
// A data record carries fewer data bytes than this.
constexpr int kHexDataLimit = 32;

struct FirmwareImage {
  FirmwareImage() : bytes(kFirmwareImageSize, 0xFF) {}
  std::vector<uint8_t> bytes;  // erased flash reads 0xFF
  const uint8_t* page(int index) const { return bytes.data() + size_t(index) * kFlashPageSize; }
};

struct FirmwareLoad {
  StatusCode status = NOTHING;
  int lastPage = 0;  // index of the last page to write
  int imageEnd = 0;  // one past the highest byte loaded
};

// Two passes over the whole text: first every record's checksum, then the
// records into the image. TASK_IS_DONE when an end-of-file record was reached
// after data; otherwise the status says why the file is refused (NOTHING,
// DATAS_IN_FILE_ARE_CORRUPTED, CHECK_SUM_ARE_CORRUPTED, STRING_IS_TOO_LONG,
// ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG) and the image must not be flashed.
FirmwareLoad LoadFirmwareImage(const char* text, size_t length, FirmwareImage& image);

}  // namespace kor
