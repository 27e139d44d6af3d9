#include "transfer/program_write.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>

#include "app/file_ls.h"
#include "app/operator.h"
#include "app/timing.h"
#include "program/line_normalize.h"
#include "program/program_frame.h"
#include "program/program_text.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"
#include "transfer/program_slots.h"

namespace kor {

namespace {

constexpr unsigned kPageAnswerWait = 105;
constexpr unsigned kPageAnswerSize = 100;
constexpr unsigned kPageStatusSize = 3;  // the status is the third byte
constexpr uint8_t kPageCommand = 0x03;
constexpr uint8_t kCloseCommand = 0x16;
constexpr char kEarlyEnd[] = "966666";

// Stream states as the unit's tools number them, whatever the library's values.
constexpr int kFailState = 4;
constexpr int kBadState = 1;

bool has_percent(const char line[kNormalLineSize]) { return std::memchr(line, '%', kNormalLineSize) != nullptr; }

bool is_blank(const char* line) {
  for (const char* p = line; *p; ++p)
    if (static_cast<unsigned char>(*p) > 0x20) return false;
  return true;
}

// Counts like CountProgramLines; failed tells a refused text from an empty one.
int count_lines(std::istream& in, bool& failed) {
  failed = false;
  int counted = 0, trailingBlank = 0;
  for (;;) {
    char line[kNormalLineSize] = {};
    in.getline(line, kNormalLineSize);
    // Only the stream's end ends the text: an LF-only blank line is empty too.
    if (in.gcount() == 0) return counted - trailingBlank;
    if (!has_percent(line)) {
      ++counted;
      trailingBlank = is_blank(line) ? trailingBlank + 1 : 0;
    }
    // The long line has been counted already when its fail state shows.
    const auto state = in.rdstate();
    int code = 0;
    if (state == std::ios::failbit)
      code = kFailState;
    else if (state == std::ios::badbit)
      code = kBadState;
    if (code) {
      char text[96];
      std::snprintf(text, sizeof text, "ошибка №%d при чтении %d кадра", code, counted);
      ShowMessage(text, Icon::Error);
      failed = true;
      return 0;
    }
  }
}

// The next line to send, "%" lines passed over; empty at the end of the text.
void NextSendLine(std::istream& in, char line[kNormalLineSize]) {
  for (;;) {
    std::memset(line, 0, kNormalLineSize);
    in.getline(line, kNormalLineSize);
    if (!has_percent(line)) return;
  }
}

// Block n's two lines as the write sends them, normalized with their sequence numbers.
void FillSendBlock(std::istream& in, int n, uint8_t data[kDataBlockSize]) {
  std::memset(data, 0, kDataBlockSize);
  for (int half = 0; half < 2; ++half) {
    char line[kNormalLineSize];
    NextSendLine(in, line);
    normalize_program_line(line, 2 * n - 1 + half);
    std::memcpy(data + kLineFieldSize * half, line, kNormalLineSize);
  }
}

const char* parse_stop_text(ParseStop stop) {
  switch (stop) {
    case ParseStop::Unreadable: return "кадр не распознан";
    case ParseStop::NoLineNumber: return "нет номера кадра";
    case ParseStop::LowerCase: return "строчная буква";
    case ParseStop::BadCharacter: return "недопустимый символ";
    case ParseStop::LineEnd: return "строка не завершена символами CR LF";
    case ParseStop::LongLine: return "строка длиннее 33 символов";
    case ParseStop::ZeroByte: return "нулевой байт в тексте";
    default: return "";
  }
}

// The unit would get only the frames before the trouble and be told it has
// the program: nothing is sent instead.
void ReportPartialParse(const ProgramParse& parse, bool subprogram) {
  char text[200];
  if (parse.stop == ParseStop::Capacity)
    std::snprintf(text, sizeof text, "Превышено кол-во кадров >%d", subprogram ? kSubprogramFrames : kProgramFrames);
  else
    std::snprintf(text, sizeof text, "Строка %d: %s.\n%s не загружена", parse.line, parse_stop_text(parse.stop),
                  subprogram ? "Подпрограмма" : "Программа");
  ShowMessage(text, Icon::Error);
}

// A program's page answer is its status, or the longer "966666" that ends the write.
unsigned program_page_answer_need(const uint8_t* answer, unsigned got) {
  const unsigned early = sizeof kEarlyEnd - 1;
  if (got >= kPageStatusSize && std::memcmp(answer, kEarlyEnd, kPageStatusSize) == 0) return early;
  return kPageStatusSize;
}

bool SendPageFrame(CRs232& rs, const uint8_t* frame) {
  if (rs.Write(frame, kPageFrameSize) != -1) return true;
  ReportLinkLost(rs);
  ResetProgress();
  return false;
}

void PageWrite(CRs232& rs, uint8_t kind) {
  AppState& a = app();
  const bool sub = kind == kSubprogramKind;
  if (sub && a.slotIndex == -1) {
    ShowMessage("Ошибка выбора подпрограммы", Icon::Error);
    return;
  }
  // The page transfer numbers slots from 1, and the number is kept from here on.
  a.slotIndex = int16_t(a.slotIndex + 1);
  const uint8_t number = uint8_t(a.slotIndex);

  // The file first: one that cannot be read ends the write before any request.
  File_ls file(a.selectedFile);
  if (file.ReadAll() != 0) return;
  if (!ReadAxisTable(rs)) return;
  ProgramImage image = blank_program_image(sub, number);
  const std::string_view text(reinterpret_cast<const char*>(file.data().data()), file.data().size());
  const ProgramParse parse = parse_program_text(text, image.data(), image.size);
  if (parse.stop != ParseStop::End) {
    ReportPartialParse(parse, sub);
    return;
  }
  seal_frames(image.data(), image.size);

  const int pages = image.size / kPagePayloadSize;
  op().ProgressFont(false, kProgressText);
  op().ProgressRange(0, pages - 1);
  for (int i = 1; i <= pages; ++i) {
    uint8_t frame[kPageFrameSize];
    build_page_frame(frame, kind, kPageCommand, number, uint8_t(i - 1), image.data() + kPagePayloadSize * (i - 1));
    if (!SendPageFrame(rs, frame)) return;
    op().ProgressPos(i);
    op().PumpPendingMessages();
    ProgressOf(kPagePayloadSize * i, image.size);
    uint8_t answer[kPageAnswerSize] = {};
    const unsigned got = ReadAnswer(rs, answer, kPageAnswerSize, kPageAnswerWait, kPageStatusSize,
                                    AnswerEnd::Complete, sub ? nullptr : program_page_answer_need);
    // The unit has all it wants of a program: it takes the title now.
    if (!sub && std::memcmp(answer, kEarlyEnd, 6) == 0) break;
    // A zero-filled buffer would read as "stored": silence must not pass for it.
    if (got < 3) {
      ShowMessage("KOR730_DOES_NOT_ANSWER_", Icon::Error);
      ResetProgress();
      return;
    }
    if (answer[2] != 0x00) {
      if (const char* t = page_status_text(answer[2]))
        ShowMessage(t, Icon::Error);
      else
        op().SilentFailure("КОР отказал в записи страницы");
      ResetProgress();
      return;
    }
  }

  uint8_t title[kPagePayloadSize] = {};
  for (size_t k = 0; k < sizeof a.title && a.title[k]; ++k) title[k] = uint8_t(a.title[k]);
  uint8_t frame[kPageFrameSize];
  build_page_frame(frame, kind, kCloseCommand, number, uint8_t(pages), title);
  if (!SendPageFrame(rs, frame)) return;
  char done[64];
  std::snprintf(done, sizeof done, sub ? "Подпрограмма %03d загружена" : "Программа %03d загружена", number);
  ShowMessage(done, Icon::Information);
  ResetProgress();
}

void WriteCommand(uint8_t kind) {
  if (!ProgramWriteMayStart()) return;
  if (kind == kProgramKind && app().slotIndex == -1) {
    ShowMessage("Ошибка выбора программы", Icon::Error);
    return;
  }
  CRs232 rs;
  ProgramProtocol protocol;
  if (!BeginProgramTransfer(rs, protocol)) return;
  const StopScope stop;
  switch (protocol) {
    case ProgramProtocol::Block: BlockWriteFile(rs, kind); break;
    case ProgramProtocol::Page: PageWrite(rs, kind); break;
    case ProgramProtocol::None: op().SilentFailure("КОР 460 не принимает программы"); break;
  }
}

}  // namespace

bool ProgramWriteMayStart() {
  if (!CRs232::PortInUse()) return true;
  ShowMessage("Com порт занят", Icon::Error);
  return false;
}

void WriteProgram() { WriteCommand(kProgramKind); }
void WriteSubprogram() { WriteCommand(kSubprogramKind); }

int CountProgramLines(std::istream& in) {
  bool failed = false;
  return count_lines(in, failed);
}

const char* page_status_text(uint8_t status) {
  switch (status) {
    case 0x01: return "CRC_IS_WRONG_";
    case 0x02: return "HARDWARE_ERROR_KOR_730_";
    case 0x03: return "FLASH_IS_BUSY_KOR_730_";
    case 0x04: return "MAY_BE_LINK_ERROR_";
    case 0x84: return "USB_LINE_IS_NOISY_";
    case 0x85: return "KOR730_DOES_NOT_ANSWER_";
    default: return nullptr;
  }
}

void BlockWriteFile(CRs232& rs, uint8_t kind) {
  AppState& a = app();
  // A subprogram slot of 0xFF on the wire is no slot at all.
  if (kind == kSubprogramKind && a.slotIndex == -1) {
    ShowMessage("Ошибка выбора подпрограммы", Icon::Error);
    return;
  }
  File_ls file(a.selectedFile);
  if (file.ReadAll() != 0) return;
  // One copy of the file for counting and sending: both see the same lines.
  std::istringstream in(std::string(file.data().begin(), file.data().end()), std::ios::binary);

  bool failed = false;
  const int count = count_lines(in, failed);
  if (count == 0) {
    if (!failed) op().SilentFailure("в файле нет кадров");
    return;
  }
  if (count > max_lines(kind)) {
    ShowMessage(kind == kProgramKind ? "Превышено кол-во кадров >500" : "Превышено кол-во кадров >100", Icon::Error);
    return;
  }
  if (!WriteHeader(rs, kind, int16_t(count))) {
    if (rs.linkState != -1) op().SilentFailure("КОР не подтвердил заголовок");
    return;
  }

  in.clear();
  in.seekg(0);
  const int blocks = (count + 1) / 2;
  op().ProgressFont(false, kProgressText);
  op().ProgressRange(0, blocks);
  bool complete = true;
  for (int n = 1; n <= blocks; ++n) {
    op().ProgressPos(n);
    ProgressOf(std::min(2 * n, count), count);
    uint8_t data[kDataBlockSize];
    FillSendBlock(in, n, data);
    if (!WriteBlock(rs, kind, uint8_t(n), data)) {
      complete = false;
      break;
    }
    op().PumpPendingMessages();
  }
  // "Ошибка CRC" has said the rest was not sent: no word of completion then.
  if (complete) ShowMessage("Загрузка завершена", Icon::Information);
  ResetProgress();
}

bool block_write_lines(const std::string& fileText, uint8_t kind, std::vector<std::string>& lines) {
  lines.clear();
  std::istringstream in(fileText, std::ios::binary);
  bool failed = false;
  const int count = count_lines(in, failed);
  if (count == 0 || count > max_lines(kind)) return count == 0 && !failed;
  in.clear();
  in.seekg(0);
  for (int n = 1; 2 * n - 1 <= count; ++n) {
    uint8_t data[kDataBlockSize];
    FillSendBlock(in, n, data);
    for (int half = 0; half < 2 && 2 * n - 1 + half <= count; ++half) {
      const char* field = reinterpret_cast<const char*>(data + kLineFieldSize * half);
      lines.emplace_back(field, strnlen(field, kLineFieldSize));
    }
  }
  return true;
}

bool page_write_text(const std::string& fileText, uint8_t kind, int number, std::string& text) {
  text.clear();
  const bool sub = kind == kSubprogramKind;
  ProgramImage image = blank_program_image(sub, uint16_t(number));
  const ProgramParse parse = parse_program_text(fileText, image.data(), image.size);
  if (parse.stop != ParseStop::End) {
    ReportPartialParse(parse, sub);
    return false;
  }
  seal_frames(image.data(), image.size);
  format_program_text(image.data(), image.size, text);
  return true;
}

void PageWriteProgram(CRs232& rs) { PageWrite(rs, kProgramKind); }
void PageWriteSubprogram(CRs232& rs) { PageWrite(rs, kSubprogramKind); }

}  // namespace kor
