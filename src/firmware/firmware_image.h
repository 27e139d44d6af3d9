// The flash image built from an Intel HEX file, and the loader that checks and
// places its records.
#pragma once
#include <array>
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

// Why a file was refused, finer than its status.
enum class HexFault {
  None,
  LineEnd,        // a record's line ends in LF alone, or the text ends before its CR
  LongRecord,     // no CR within the record limit
  Checksum,
  ShortRecord,    // fewer characters than the fields the record names
  TooManyBytes,   // a data record of kHexDataLimit bytes or more
  PastFlashEnd,   // a data record would end above kFirmwareEndLimit
  NoEndOfFile,
  EndBeforeData,  // the end-of-file record comes before any data
};

struct FirmwareLoad {
  StatusCode status = NOTHING;
  int lastPage = 0;  // index of the last page to write
  int imageEnd = 0;  // one past the highest byte loaded
  HexFault fault = HexFault::None;
  int line = 0;      // line of the refusing record, from 1 (0: none)
};

struct AddressRange {
  int64_t begin = 0, end = 0;  // [begin, end)
};

// Addresses written by more than one record: the later record's bytes stay.
struct HexOverlap {
  AddressRange at;
  int firstLine = 0, lastLine = 0;        // the later records
  int firstEarlier = 0, lastEarlier = 0;  // the records they overwrote
};

// What a file puts where, for showing before anything is flashed.
struct FirmwareReport {
  std::array<int, 256> records{};  // records read, by type
  int afterEnd = 0;                // records after the end-of-file record, never read
  std::vector<AddressRange> ranges;  // bytes loaded, merged, rising
  std::vector<HexOverlap> overlaps;  // merged, rising
  AddressRange refused;              // the data record past the flash end, if that refused the file
};

// Two passes over the whole text: first every record's line end and checksum,
// then the records into the image. TASK_IS_DONE when an end-of-file record was
// reached after data; otherwise the status says why the file is refused
// (NOTHING, DATAS_IN_FILE_ARE_CORRUPTED, CHECK_SUM_ARE_CORRUPTED,
// STRING_IS_TOO_LONG, ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG) and the image must not
// be flashed. A data record lands at its address plus the segment base (type 2,
// value x 16) plus the linear base (type 4, value x 65536).
FirmwareLoad LoadFirmwareImage(const char* text, size_t length, FirmwareImage& image,
                               FirmwareReport* report = nullptr);

// Addresses below the end of the last range that no record wrote: the pages
// still go to the unit, with erased bytes (0xFF) there.
std::vector<AddressRange> firmware_gaps(const FirmwareReport& report);

}  // namespace kor
