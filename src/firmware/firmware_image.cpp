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
  int line;           // from 1
  int byte(int i) const { return digit(chars[i]) * 16 + digit(chars[i + 1]); }
  int word(int i) const { return byte(i) * 256 + byte(i + 2); }
};

// Walks the records of the text: each begins after a ':' and must meet its
// carriage return within the record limit.
class Records {
 public:
  Records(const char* text, size_t length) : text_(text), length_(length) {}

  // False at the end of the text. fault is set when the record has no carriage
  // return in time: LineEnd when its line ends without one first (an LF, or the
  // end of the text), LongRecord otherwise.
  bool Next(Record& r, HexFault& fault) {
    fault = HexFault::None;
    while (pos_ < length_ && text_[pos_] != ':') ++pos_;
    if (pos_ >= length_) return false;
    const size_t begin = pos_ + 1;
    r = {text_ + begin, 0, LineAt(pos_)};
    const size_t limit = std::min<size_t>(length_ - begin, kHexRecordLimit);
    for (size_t i = 0; i < limit; ++i) {
      const char c = text_[begin + i];
      if (c == '\r') {
        r.n = int(i);
        pos_ = begin + i + 1;
        return true;
      }
      // An LF right before the CR loses nothing; anywhere else it ends the
      // line, and the next line would be read as part of this record.
      if (c == '\n' && !(i + 1 < limit && text_[begin + i + 1] == '\r')) {
        fault = HexFault::LineEnd;
        return true;
      }
    }
    fault = limit < size_t(kHexRecordLimit) ? HexFault::LineEnd : HexFault::LongRecord;
    return true;
  }

 private:
  // Lines end at LF, at CR LF, or at a CR alone.
  int LineAt(size_t pos) {
    for (; counted_ < pos; ++counted_) {
      const char c = text_[counted_];
      if (c == '\n' || (c == '\r' && (counted_ + 1 >= length_ || text_[counted_ + 1] != '\n'))) ++line_;
    }
    return line_;
  }

  const char* text_;
  size_t length_;
  size_t pos_ = 0;
  size_t counted_ = 0;
  int line_ = 1;
};

FirmwareLoad Refuse(StatusCode status, HexFault fault, int line) {
  FirmwareLoad load;
  load.status = status;
  load.fault = fault;
  load.line = line;
  return load;
}

FirmwareLoad CheckRecords(const char* text, size_t length) {
  Records records(text, length);
  Record r{};
  HexFault fault;
  while (records.Next(r, fault)) {
    if (fault != HexFault::None) return Refuse(DATAS_IN_FILE_ARE_CORRUPTED, fault, r.line);
    if (r.n < 2) continue;
    int sum = 0;
    for (int i = 0; i + 1 < r.n; i += 2) sum += r.byte(i);
    if (sum % 256 != 0) return Refuse(CHECK_SUM_ARE_CORRUPTED, HexFault::Checksum, r.line);
  }
  return Refuse(TASK_IS_DONE, HexFault::None, 0);
}

// Count, address, type and checksum take ten characters.
constexpr int kRecordFrame = 10;

// Which record wrote each byte, for the report only.
class Owners {
 public:
  explicit Owners(FirmwareReport* report) : report_(report) {
    if (report_) line_.assign(kFirmwareImageSize, 0);
  }

  void Store(int64_t start, int count, int line) {
    if (!report_) return;
    for (int64_t a = start; a < start + count; ++a) {
      int& owner = line_[size_t(a)];
      if (owner) Overlapped(a, line, owner);
      owner = line;
    }
  }

  void Finish() {
    if (!report_) return;
    for (int64_t a = 0; a < kFirmwareImageSize; ++a) {
      if (!line_[size_t(a)]) continue;
      if (!report_->ranges.empty() && report_->ranges.back().end == a)
        ++report_->ranges.back().end;
      else
        report_->ranges.push_back({a, a + 1});
    }
    auto& o = report_->overlaps;
    std::sort(o.begin(), o.end(), [](const HexOverlap& x, const HexOverlap& y) { return x.at.begin < y.at.begin; });
    std::vector<HexOverlap> merged;
    for (const HexOverlap& x : o) {
      if (merged.empty() || merged.back().at.end < x.at.begin) {
        merged.push_back(x);
        continue;
      }
      HexOverlap& m = merged.back();
      m.at.end = std::max(m.at.end, x.at.end);
      m.firstLine = std::min(m.firstLine, x.firstLine);
      m.lastLine = std::max(m.lastLine, x.lastLine);
      m.firstEarlier = std::min(m.firstEarlier, x.firstEarlier);
      m.lastEarlier = std::max(m.lastEarlier, x.lastEarlier);
    }
    o = std::move(merged);
  }

 private:
  void Overlapped(int64_t a, int line, int earlier) {
    auto& o = report_->overlaps;
    if (!o.empty() && o.back().firstLine == line && o.back().at.end == a) {
      HexOverlap& last = o.back();
      ++last.at.end;
      last.firstEarlier = std::min(last.firstEarlier, earlier);
      last.lastEarlier = std::max(last.lastEarlier, earlier);
      return;
    }
    o.push_back({{a, a + 1}, line, line, earlier, earlier});
  }

  FirmwareReport* report_;
  std::vector<int> line_;
};

// Records after the end-of-file record are never read; the report counts them.
void CountAfterEnd(Records& records, FirmwareReport* report) {
  if (!report) return;
  Record r{};
  HexFault fault;
  while (records.Next(r, fault) && fault == HexFault::None)
    if (r.n >= 2) ++report->afterEnd;
}

}  // namespace

FirmwareLoad LoadFirmwareImage(const char* text, size_t length, FirmwareImage& image, FirmwareReport* report) {
  if (report) *report = {};
  FirmwareLoad load = CheckRecords(text, length);
  if (load.status != TASK_IS_DONE) return load;

  Records records(text, length);
  Owners owners(report);
  Record r{};
  HexFault fault;
  // Each kind of base keeps its own value and both apply, as the toolchains
  // that write such files read them back.
  int64_t segmentBase = 0;
  int64_t linearBase = 0;
  auto refuse = [&](StatusCode status, HexFault why) {
    owners.Finish();
    load.status = status;
    load.fault = why;
    load.line = r.line;
    return load;
  };
  while (records.Next(r, fault)) {
    if (fault != HexFault::None) return refuse(DATAS_IN_FILE_ARE_CORRUPTED, fault);
    if (r.n < 2) continue;
    // A record too short for the fields it names would be read past its end.
    if (r.n < kRecordFrame) return refuse(DATAS_IN_FILE_ARE_CORRUPTED, HexFault::ShortRecord);
    const int type = r.byte(6);
    if (report) ++report->records[size_t(type)];
    switch (type) {
      case 1:
        // An end of file before any data leaves nothing to flash.
        if (load.imageEnd == 0) return refuse(NOTHING, HexFault::EndBeforeData);
        CountAfterEnd(records, report);
        owners.Finish();
        load.status = TASK_IS_DONE;
        load.lastPage = (load.imageEnd - 1) / kFlashPageSize;
        return load;
      case 2:
      case 4: {
        if (r.n < kRecordFrame + 4) return refuse(DATAS_IN_FILE_ARE_CORRUPTED, HexFault::ShortRecord);
        const int64_t value = r.word(8);
        if (type == 2)
          segmentBase = value * 16;
        else
          linearBase = value * 65536;
        break;
      }
      case 0: {
        const int count = r.byte(0);
        const int64_t start = linearBase + segmentBase + r.word(2);
        if (start + count > kFirmwareEndLimit) {
          if (report) report->refused = {start, start + count};
          return refuse(ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG, HexFault::PastFlashEnd);
        }
        if (count >= kHexDataLimit) return refuse(STRING_IS_TOO_LONG, HexFault::TooManyBytes);
        if (r.n < kRecordFrame + 2 * count) return refuse(DATAS_IN_FILE_ARE_CORRUPTED, HexFault::ShortRecord);
        owners.Store(start, count, r.line);
        for (int i = 0; i < count; ++i) image.bytes[size_t(start + i)] = uint8_t(r.byte(8 + 2 * i));
        // Records need not come in rising order: every page that received a
        // byte must be written.
        load.imageEnd = std::max(load.imageEnd, int(start) + count);
        break;
      }
      default:
        // Start addresses (types 3 and 5) mean nothing to the unit, which starts
        // its firmware where it always does.
        break;
    }
  }
  owners.Finish();
  load.status = NOTHING;
  load.fault = HexFault::NoEndOfFile;
  return load;
}

std::vector<AddressRange> firmware_gaps(const FirmwareReport& report) {
  std::vector<AddressRange> gaps;
  int64_t at = 0;
  for (const AddressRange& r : report.ranges) {
    if (r.begin > at) gaps.push_back({at, r.begin});
    at = r.end;
  }
  return gaps;
}

}  // namespace kor
