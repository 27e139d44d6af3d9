#include "firmware/firmware_image.h"

#include <algorithm>

namespace kor {

namespace {

// Anything that is not a hex digit reads as 0; only the checksum can catch it.
int digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

struct Record {
  const char* chars;  // after the ':'
  int n;              // characters before the carriage return
  int byte(int i) const { return digit(chars[i]) * 16 + digit(chars[i + 1]); }
  int word(int i) const { return byte(i) * 256 + byte(i + 2); }
};

// Walks the records of the text: each begins after a ':' and must meet its
// carriage return within the record limit.
class Records {
 public:
  Records(const char* text, size_t length) : text_(text), length_(length) {}

  // False at the end of the text; corrupted is set when a record has no
  // carriage return in time (the end of the text counts as none).
  bool Next(Record& r, bool& corrupted) {
    corrupted = false;
    while (pos_ < length_ && text_[pos_] != ':') ++pos_;
    if (pos_ >= length_) return false;
    const size_t begin = pos_ + 1;
    const size_t limit = std::min<size_t>(length_ - begin, kHexRecordLimit);
    for (size_t i = 0; i < limit; ++i) {
      if (text_[begin + i] == '\r') {
        r = {text_ + begin, int(i)};
        pos_ = begin + i + 1;
        return true;
      }
    }
    corrupted = true;
    return true;
  }

 private:
  const char* text_;
  size_t length_;
  size_t pos_ = 0;
};

StatusCode CheckSums(const char* text, size_t length) {
  Records records(text, length);
  Record r{};
  bool corrupted = false;
  while (records.Next(r, corrupted)) {
    if (corrupted) return DATAS_IN_FILE_ARE_CORRUPTED;
    if (r.n < 2) continue;
    int sum = 0;
    for (int i = 0; i + 1 < r.n; i += 2) sum += r.byte(i);
    if (sum % 256 != 0) return CHECK_SUM_ARE_CORRUPTED;
  }
  return TASK_IS_DONE;
}

// Count, address, type and checksum take ten characters.
constexpr int kRecordFrame = 10;

}  // namespace

FirmwareLoad LoadFirmwareImage(const char* text, size_t length, FirmwareImage& image) {
  FirmwareLoad load;
  load.status = CheckSums(text, length);
  if (load.status != TASK_IS_DONE) return load;

  Records records(text, length);
  Record r{};
  bool corrupted = false;
  int base = 0;
  while (records.Next(r, corrupted)) {
    if (corrupted) {
      load.status = DATAS_IN_FILE_ARE_CORRUPTED;
      return load;
    }
    if (r.n < 2) continue;
    // A record too short for the fields it names would be read past its end.
    if (r.n < kRecordFrame) {
      load.status = DATAS_IN_FILE_ARE_CORRUPTED;
      return load;
    }
    switch (r.byte(6)) {
      case 1:
        // An end of file before any data leaves nothing to flash.
        if (load.imageEnd == 0) {
          load.status = NOTHING;
          load.lastPage = 0;
          return load;
        }
        load.status = TASK_IS_DONE;
        load.lastPage = (load.imageEnd - 1) / kFlashPageSize;
        return load;
      case 2:
        if (r.n < kRecordFrame + 4) {
          load.status = DATAS_IN_FILE_ARE_CORRUPTED;
          return load;
        }
        base = r.word(8) * 16;
        break;
      case 0: {
        const int count = r.byte(0);
        const int start = r.word(2) + base;
        if (start + count > kFirmwareEndLimit) {
          load.status = ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG;
          return load;
        }
        if (count >= kHexDataLimit) {
          load.status = STRING_IS_TOO_LONG;
          return load;
        }
        if (r.n < kRecordFrame + 2 * count) {
          load.status = DATAS_IN_FILE_ARE_CORRUPTED;
          return load;
        }
        for (int i = 0; i < count; ++i) image.bytes[size_t(start + i)] = uint8_t(r.byte(8 + 2 * i));
        // Records need not come in rising order: every page that received a
        // byte must be written.
        load.imageEnd = std::max(load.imageEnd, start + count);
        break;
      }
      default:
        // Types 3, 4 and 5 carry start addresses and linear bases the unit does
        // not use; firmware above 64 KiB is placed with type 2 records.
        break;
    }
  }
  load.status = NOTHING;
  load.lastPage = 0;
  return load;
}

}  // namespace kor
