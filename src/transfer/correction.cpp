#include "transfer/correction.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "app/file_ls.h"
#include "app/operator.h"
#include "app/timing.h"
#include "link/overlapped.h"
#include "protocol/frames.h"

namespace kor {

namespace {

constexpr int kSummarySize = 4;
constexpr int kSummaryReadMax = 20;

void SendRequest(OverlappedChannel& ch, uint8_t block, uint8_t code) {
  uint8_t req[kCommandFrameSize];
  build_command_frame(req, 0x08, 0x08, block, code);
  ch.Write(req, kCommandFrameSize);
}

bool Fail(const char* text, Icon icon = Icon::Error) {
  ShowMessage(text, icon);
  op().ProgressPos(0);
  return false;
}

}  // namespace

int correction_coefficient(int selection, uint16_t raw) {
  if (selection == kCorrectionMinus) return int16_t(raw);
  return (raw & 0x8000) ? int(uint16_t(-raw)) : int(raw);
}

std::string correction_point_line(int point, int coefficient, int32_t reference) {
  const int32_t working = int32_t(coefficient) * point;  // at most 32768 * 16000
  // Wide: a wild reference value must not wrap the difference into a plausible one.
  const int64_t delta = int64_t(working) - reference;
  char line[80];
  std::snprintf(line, sizeof line, "%05d.|%09" PRId32 "|%09" PRId32 "|%09" PRId64 "|\r\n", point, working,
                reference, delta);
  return line;
}

bool ReadCorrectionText(int selection, std::string& text, int* pointsOut) {
  if (selection != kCorrectionPlus && selection != kCorrectionMinus) return false;
  OverlappedChannel ch;
  if (!OpenAppChannel(ch)) return Fail("Не удалось открыть порт");
  const uint8_t code = correction_table_code(selection);

  SendRequest(ch, 0, code);
  ch.AwaitAnswer(kSummarySize, kCorrectionSummaryWait);
  uint8_t summary[kSummaryReadMax] = {};
  if (ch.Read(summary, kSummaryReadMax) != kSummarySize)
    return Fail("Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи", Icon::Warning);
  const int coefficient = correction_coefficient(selection, uint16_t(summary[0] | summary[1] << 8));
  const int points = int16_t(uint16_t(summary[2] | summary[3] << 8));
  if (pointsOut) *pointsOut = points;
  if (points == 0) return Fail("set_point == 0 (нет точек)");
  const int n = (points - 1) / kCorrectionBlockPoints;
  if (n > kCorrectionMaxBlocks - 1) return Fail("n > 15");
  // Any negative count is refused: a table of -5 points has nothing to save.
  if (n < 0 || points < 0) return Fail("n < 0");
  const int blocks = n + 1;

  char header[160];
  std::snprintf(header, sizeof header,
                selection == kCorrectionPlus
                    ? "коэффициент_деления:%05d|||||||||||\r\nкол-во_точек +:%05d|||||||||||||||||\r\n"
                    : "коэффициент_деления:%05d|||||||||||\r\nкол-во_точек -:%05d|||||||||||||||||\r\n",
                coefficient, points);
  text = header;
  text += "точки|||рабочий||||эталон||||дельта|\r\n";
  text.reserve(text.size() + size_t(points) * 40);

  op().ProgressRange(0, blocks);
  std::vector<int32_t> values(kCorrectionBlockPoints, 0);
  for (int b = 1; b <= blocks; ++b) {
    SendRequest(ch, uint8_t(b), code);
    op().ProgressPos(b);
    op().PumpPendingMessages();
    const int rest = points % kCorrectionBlockPoints;
    const int count = (b == blocks && rest != 0) ? rest : kCorrectionBlockPoints;
    ch.AwaitAnswer(4 * std::max(count, 0), kCorrectionBlockWait);
    for (int j = 0; j < count; ++j) {
      // Each value is waited for: one that is still on its way must not be
      // skipped, nor land later on top of the next.
      uint8_t v[4];
      if (ch.ReadFull(v, 4) != 4) return Fail("count_data == 0");
      values[size_t(j)] = int32_t(uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16 | uint32_t(v[3]) << 24);
    }
    for (int j = 0; j < count; ++j)
      text += correction_point_line(kCorrectionBlockPoints * (b - 1) + j + 1, coefficient, values[size_t(j)]);
  }
  ch.Close();
  text.push_back('\0');  // the file ends with the text's terminator
  return true;
}

bool ReadCorrectionTable(int selection) {
  std::string text;
  if (!ReadCorrectionText(selection, text)) return false;
  const bool saved = SaveNewFile(kCorrectionFolder, selection == kCorrectionPlus ? "kor_correction+" : "kor_correction-",
                                 "txt", text.data(), text.size());
  op().ProgressPos(0);
  return saved;
}

}  // namespace kor
