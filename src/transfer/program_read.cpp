#include "transfer/program_read.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/file_ls.h"
#include "app/operator.h"
#include "app/timing.h"
#include "program/program_frame.h"
#include "program/program_text.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"
#include "transfer/program_slots.h"

namespace kor {

const char* program_folder(uint8_t kind) { return kind == kProgramKind ? kProgramsFolder : kSubprogramsFolder; }

const char* program_base_format(uint8_t kind) {
  return kind == kProgramKind ? "kor_program_%03d" : "kor_subprogram_%03d";
}

void ResetProgress() {
  op().ProgressPos(0);
  op().ProgressText(" ");
}

void ProgressOf(int done, int total) {
  char text[32];
  std::snprintf(text, sizeof text, "%d/%d", done, total);
  op().ProgressText(text);
}

bool BeginProgramTransfer(CRs232& rs, ProgramProtocol& protocol) {
  if (!BeginDeviceOperation(rs)) return false;
  const int model = VersionQuery(rs);
  if (rs.linkState == -1) return false;
  protocol = protocol_of(model);
  return true;
}

namespace {

constexpr int kBlockAttempts = 3;

// Page transfer: a program comes in five pages, a subprogram in one.
constexpr unsigned kSinglePageWait = 540;
constexpr unsigned kAllPageWait = 340;
constexpr unsigned kSubprogramPageWait = 340;
constexpr int kProgramPages = 5;
constexpr int kPageSize = 4000;
constexpr int kPageImageBytes = 3993;  // 121 records; the page's last 7 bytes are not image
constexpr int kLastPageSingle = 661;
constexpr int kLastPageAll = 924;
constexpr int kProgressStep = 3326;

// Text of a NUL-terminated field that may fill its whole width.
std::string field_text(const uint8_t* p, size_t width) {
  size_t n = 0;
  while (n < width && p[n]) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

// A block (the header too) that does not arrive whole is asked for again.
template <class Read>
bool Retrying(CRs232& rs, Read read) {
  for (int attempt = 0; attempt < kBlockAttempts; ++attempt) {
    if (read()) return true;
    if (rs.linkState == -1) return false;  // reported once; a retry cannot bring the cable back
  }
  return false;
}

// One page request: 00 08 01 kind 02 slot-number page.
bool SendPageRequest(CRs232& rs, uint8_t kind, int index, int page) {
  uint8_t req[kCommandFrameSize];
  build_command_frame(req, kind, 0x02, uint8_t(index + 1), uint8_t(page));
  if (rs.Write(req, kCommandFrameSize) != -1) return true;
  ReportLinkLost(rs);
  op().ProgressPos(0);
  return false;
}

// Waits for one page answer and reads it into a zero-filled buffer of the
// given size; `want` is the length the unit is expected to send.
unsigned ReadPage(CRs232& rs, std::vector<uint8_t>& page, size_t size, unsigned waitMs, unsigned want,
                  AnswerEnd end = AnswerEnd::Complete) {
  page.assign(size, 0);
  return ReadAnswer(rs, page.data(), unsigned(size), waitMs, want, end);
}

void TooMuchData() {
  ShowMessage("TOO_MUCH_DATAS", Icon::Error);
  ResetProgress();
}

// Bytes that never arrived stay 0xFF, which reads as the end of the program,
// rather than zero records that would come out as frames "000:X0.000F0.00".
std::string ImageText(std::vector<uint8_t>& image, int size) {
  image.resize(size_t(size));
  if (!verify_frames(image.data(), size)) ShowMessage("CRC_IS_WRONG", Icon::Error);
  std::string text;
  format_program_text(image.data(), size, text);
  return text;
}

// After a saved slot of an "all" read: go on unless Stop was pressed.
bool ContinueAll() {
  ResetProgress();
  if (!app().stopRequested) return true;
  op().Stop(StopButton::ResetText);
  app().stopRequested = false;
  return false;
}

void ReadAllBlocks(CRs232& rs, uint8_t kind) {
  // Empty slots say so in a whole header; a header that never came whole may
  // hide a program, and the end must not pass that off as a complete read.
  std::string unread;
  for (int index = 0; index < slot_count(kind); ++index) {
    int r = BlockRead(rs, kind, index);
    if (r == kBlockFailed || r == kBlockNotSaved || rs.linkState == -1) {
      if (r == kBlockFailed && rs.linkState != -1) op().SilentFailure("блок данных не получен после трёх попыток");
      return;
    }
    if (r == kBlockNoHeader) {
      char number[8];
      std::snprintf(number, sizeof number, "%s%03d", unread.empty() ? "" : ", ", index + 1);
      unread += number;
    }
  }
  if (!unread.empty()) {
    const std::string text =
        (kind == kProgramKind ? "Не удалось прочитать программы: " : "Не удалось прочитать подпрограммы: ") + unread;
    ShowMessage(text.c_str(), Icon::Warning);
    return;
  }
  ShowMessage(kind == kProgramKind ? "загрузка программ завершена" : "загрузка подпрограмм завершена",
              Icon::Information);
}

void ReadOneBlock(CRs232& rs, uint8_t kind, int index) {
  int r = BlockRead(rs, kind, index);
  if (rs.linkState == -1) return;
  // The window says nothing here; the command line must not pass it off as done.
  switch (r) {
    case kBlockNoHeader: op().SilentFailure("заголовок программы не получен"); break;
    case kBlockBadMarker: op().SilentFailure("неверный заголовок программы"); break;
    case kBlockBadCount: op().SilentFailure("программа пуста или кадров больше допустимого"); break;
    case kBlockFailed: op().SilentFailure("блок данных не получен после трёх попыток"); break;
    default: break;
  }
}

void ReadPageTransfer(CRs232& rs, uint8_t kind, int selection) {
  if (!ReadAxisTable(rs)) return;
  const bool all = selection == slot_count(kind);
  auto one = kind == kProgramKind ? PageReadProgram : PageReadSubprogram;
  if (!all) {
    one(rs, selection, false);
    return;
  }
  for (int index = 0; index < slot_count(kind); ++index)
    if (!one(rs, index, true)) break;
  if (kind == kSubprogramKind) op().ProgressPos(0);
  op().Stop(StopButton::Hide);
}

void ReadCommand(uint8_t kind, int selection) {
  if (selection < 0 || selection > slot_count(kind)) {
    ShowMessage("Ошибка выбора программы", Icon::Error);
    return;
  }
  CRs232 rs;
  ProgramProtocol protocol;
  if (!BeginProgramTransfer(rs, protocol)) return;
  const StopScope stop;
  switch (protocol) {
    case ProgramProtocol::Block:
      app().firstFile = false;
      if (selection == slot_count(kind))
        ReadAllBlocks(rs, kind);
      else
        ReadOneBlock(rs, kind, selection);
      break;
    case ProgramProtocol::Page: ReadPageTransfer(rs, kind, selection); break;
    case ProgramProtocol::None: op().SilentFailure("КОР 460 не передаёт программы"); break;
  }
}

}  // namespace

bool SaveReadText(uint8_t kind, int index, const std::string& text, bool prompt) {
  char base[32];
  std::snprintf(base, sizeof base, program_base_format(kind), index + 1);
  if (prompt) return SaveNewFile(program_folder(kind), base, "txt", text.data(), text.size());
  AppState& a = app();
  File_ls f;
  if (!f.CreateNewFile(program_folder(kind), base, "txt", a.dataFolder, a.mainWindow)) return false;
  return f.WriteAll(text.data(), text.size()) == 0;
}

int BlockReadText(CRs232& rs, uint8_t kind, int index, std::string& text, int* count) {
  text.clear();
  uint8_t head[kHeaderAnswerSize];
  if (!Retrying(rs, [&] { return ReadHeaderBlock(rs, kind, uint8_t(index), head); })) return kBlockNoHeader;
  const HeaderRecord h = parse_header_record(head);
  if (!h.markerOk) return kBlockBadMarker;
  const int lines = h.lines;
  if (count) *count = lines;
  if (lines <= 0 || lines > max_lines(kind)) return kBlockBadCount;

  if (h.title[0]) text += std::string("%") + h.title + "\r\n";
  const int blocks = (lines + 1) / 2;
  op().ProgressFont(false, kProgressText);
  op().ProgressRange(0, blocks);
  for (int n = 1; n <= blocks; ++n) {
    uint8_t buf[kDataAnswerSize];
    if (!Retrying(rs, [&] { return ReadDataBlock(rs, kind, uint8_t(index), uint8_t(n), buf); })) return kBlockFailed;
    op().ProgressPos(n);
    ProgressOf(std::min(2 * n, lines), lines);
    if (lines >= 2 * n - 1) text += field_text(buf, kLineFieldSize) + "\r\n";
    if (lines >= 2 * n) text += field_text(buf + kLineFieldSize, kLineFieldSize) + "\r\n";
    op().PumpPendingMessages();
  }
  return kBlockStored;
}

int BlockRead(CRs232& rs, uint8_t kind, int index) {
  std::string text;
  const int r = BlockReadText(rs, kind, index, text);
  if (r != kBlockStored) return r;

  // Reading all slots prompts once, after the first file that was saved.
  bool saved;
  if (!app().firstFile) {
    saved = SaveReadText(kind, index, text, true);
    if (saved) app().firstFile = true;
  } else {
    saved = SaveReadText(kind, index, text, false);
  }
  ResetProgress();
  return saved ? kBlockStored : kBlockNotSaved;
}

// Saves what a page read brought; true when "all" goes on to the next slot.
bool EndPageRead(uint8_t kind, int index, const std::string& text, bool all) {
  if (!SaveReadText(kind, index, text, !all) || !all) {
    ResetProgress();
    return false;
  }
  return ContinueAll();
}

namespace {

// lastExpected: the length of the last page that draws no message; 0 takes
// either length the unit is known to send.
bool PageProgramText(CRs232& rs, int index, int range, unsigned wait, unsigned lastExpected, std::string& text) {
  op().ProgressFont(false, kProgressText);
  op().ProgressRange(0, range);
  // Room for a whole last page past the image; what never arrived stays 0xFF.
  std::vector<uint8_t> image(size_t(kPageImageBytes) * kProgramPages, 0xFF);
  std::vector<uint8_t> page;
  for (int p = 0; p < kProgramPages; ++p) {
    if (!SendPageRequest(rs, kProgramKind, index, p)) return false;
    op().ProgressPos(p + 1);
    op().PumpPendingMessages();
    ProgressOf(p == kProgramPages - 1 ? kProgramImageSize : kProgressStep * (p + 1), kProgramImageSize);
    const bool last = p == kProgramPages - 1;
    // Which length the last page has is the unit's choice: a longer one than
    // expected must still show, as it does after the full wait.
    const unsigned lastWanted = lastExpected ? lastExpected : unsigned(kLastPageSingle);
    const unsigned n = ReadPage(rs, page, kPageSize, wait, last ? lastWanted : unsigned(kPageSize),
                                last ? AnswerEnd::Quiet : AnswerEnd::Complete);
    if (p < kProgramPages - 1) {
      if (n != unsigned(kPageSize)) {
        TooMuchData();
        return false;
      }
      std::memcpy(image.data() + kPageImageBytes * p, page.data(), kPageImageBytes);
    } else {
      const bool known = lastExpected ? n == lastExpected : n == unsigned(kLastPageSingle) || n == unsigned(kLastPageAll);
      if (!known) TooMuchData();
      std::memcpy(image.data() + kPageImageBytes * p, page.data(), std::min<unsigned>(n, kPageImageBytes));
    }
  }
  text = ImageText(image, kProgramImageSize);
  return true;
}

void PageSubprogramText(CRs232& rs, int index, std::string& text, bool& sent) {
  op().ProgressFont(false, kProgressText);
  op().ProgressRange(0, 1);
  sent = SendPageRequest(rs, kSubprogramKind, index, 0);
  if (!sent) return;
  op().ProgressPos(1);
  op().PumpPendingMessages();
  ProgressOf(kSubprogramImageSize, kSubprogramImageSize);
  std::vector<uint8_t> page;
  const unsigned n = ReadPage(rs, page, kSubprogramImageSize, kSubprogramPageWait, kSubprogramImageSize);
  if (n != unsigned(kSubprogramImageSize)) TooMuchData();
  std::vector<uint8_t> image(kSubprogramImageSize, 0xFF);
  std::memcpy(image.data(), page.data(), n);
  text = ImageText(image, kSubprogramImageSize);
}

}  // namespace

bool PageReadProgram(CRs232& rs, int index, bool all) {
  if (all) op().Stop(StopButton::Show);
  std::string text;
  if (!PageProgramText(rs, index, all ? 3 : 4, all ? kAllPageWait : kSinglePageWait,
                       all ? kLastPageAll : kLastPageSingle, text))
    return false;
  return EndPageRead(kProgramKind, index, text, all);
}

bool PageReadSlotText(CRs232& rs, uint8_t kind, int index, std::string& text) {
  text.clear();
  if (kind == kProgramKind) return PageProgramText(rs, index, 4, kAllPageWait, 0, text);
  bool sent = false;
  PageSubprogramText(rs, index, text, sent);
  return sent;
}

bool PageReadSubprogram(CRs232& rs, int index, bool all) {
  if (all) op().Stop(StopButton::Show);
  std::string text;
  bool sent = false;
  PageSubprogramText(rs, index, text, sent);
  if (!sent) return false;
  return EndPageRead(kSubprogramKind, index, text, all);
}

void ReadPrograms(int selection) { ReadCommand(kProgramKind, selection); }
void ReadSubprograms(int selection) { ReadCommand(kSubprogramKind, selection); }

}  // namespace kor
