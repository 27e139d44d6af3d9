#include "firmware/flashing.h"

#include <cstdio>
#include <cstring>

#include "app/file_ls.h"
#include "app/operator.h"
#include "app/timing.h"
#include "protocol/clock.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"

namespace kor {

namespace {

enum class Answer { Bad, None, Failed };

StatusCode FailureOf(Answer last, uint8_t detail) {
  switch (last) {
    case Answer::Bad: return MAY_BE_LINK_ERROR;
    case Answer::None: return KOR730_DOES_NOT_ANSWER;
    case Answer::Failed: break;
  }
  switch (detail) {
    case 0: return TIMEOUT_ERASE_ERROR;
    case 1: return ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG;
    case 2: return PAGE_FLASH_BUFFER_IS_NOT_READY;
    case 3: return TIMEOUT_PAGE_FLASH_WRITE;
    case 6: return CHECK_ONES_ERROR_WHEN_PAGE_FLASH_IS_WRITTEN;
    default: return UNKNOWN_ERROR;
  }
}

int OpenAppPortAt(CRs232& rs, int speed) {
  AppState& a = app();
  if (a.portPath[0]) return rs.OpenDevice(a.portPath, speed, a.mainWindow);
  return rs.OpenComport(a.comPort, speed, a.mainWindow);
}

void ClearProgress() {
  op().ProgressPos(0);
  op().ProgressText(" ");
}

void ReportPageFailure(CRs232& rs, StatusCode status) {
  switch (status) {
    case ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG: ShowMessage("нет места", Icon::Error); break;
    case COM_USB_SENDING_PROBLEM: ReportLinkLost(rs); break;
    case MAY_BE_LINK_ERROR:
    case KOR730_DOES_NOT_ANSWER:
      ShowMessage("Войдите в режим: ПРОГРАММИРОВАНИЕ ЧЕРЕЗ ПК", Icon::Warning);
      break;
    case FLASH_IS_BUSY_KOR_730:
      ShowMessage("КОР без конца просит повторить страницу, прошивка прервана", Icon::Error);
      break;
    default: ShowMessage(status_name(status), Icon::Error); break;
  }
}

}  // namespace

const char* firmware_refusal(const FirmwareLoad& load) {
  switch (load.status) {
    case TASK_IS_DONE: return nullptr;
    case ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG: return "Прошивка > 257023 байт";
    case DATAS_IN_FILE_ARE_CORRUPTED:
      if (load.fault == HexFault::LineEnd) return "Файл поврежден: строки должны заканчиваться CR LF";
      return "Файл поврежден";
    case CHECK_SUM_ARE_CORRUPTED: return "Файл поврежден";
    default: return status_name(load.status);
  }
}

bool LoadSelectedFirmware(FirmwareImage& image, FirmwareLoad& load, const FirmwareLoaded& loaded) {
  File_ls file(app().selectedFile);
  if (file.ReadAll() != 0) return false;
  const auto& text = file.data();
  FirmwareReport report;
  load = LoadFirmwareImage(reinterpret_cast<const char*>(text.data()), text.size(), image,
                           loaded ? &report : nullptr);
  if (loaded) loaded(load, report);
  const char* refusal = firmware_refusal(load);
  if (refusal) ShowMessage(refusal, Icon::Error);
  return !refusal;
}

void build_page_packet(uint8_t out[kPagePacketSize], const uint8_t page[kFlashPageSize], int pageIndex,
                       int counter) {
  uint8_t mode = 0x03;
  if (counter >= 512)
    mode |= 0x40;
  else if (counter >= 256)
    mode |= 0x80;
  const int address = 2 * pageIndex;  // the page's byte address / 256
  build_frame_header(out, 0x02, 0x0A, mode, uint8_t(address >> 8), uint8_t(address), uint8_t(counter));
  std::memcpy(out + 8, page, kFlashPageSize);
  const int ones = count_ones(out, kFlashPageSize, 8);
  out[520] = uint8_t(ones);
  out[521] = uint8_t(ones >> 8);
  put_crc(out + 520 + 2, block_crc(out, 520));
}

StatusCode WriteFirmwarePage(CRs232& rs, const uint8_t page[kFlashPageSize], int pageIndex, int& counter,
                             unsigned delayMs) {
  uint8_t packet[kPagePacketSize];
  build_page_packet(packet, page, pageIndex, counter);
  int attempts = 0;
  int repeats = 0;
  Answer last = Answer::None;
  uint8_t answer[kPageAnswerMax];
  for (;;) {
    if (rs.Write(packet, kPagePacketSize) == -1) return COM_USB_SENDING_PROBLEM;
    std::memset(answer, 0, sizeof answer);
    const unsigned n = ReadAnswer(rs, answer, kPageAnswerMax, delayMs, kPageAnswerSize);
    if (answer[2] == kPageNoRoom) return ADDRESS_TO_WRITE_TO_FLASH_TOO_BIG;
    if (answer[3] != count_ones8(answer, 3, 0)) {
      last = Answer::Bad;
    } else if (n == 0) {
      last = Answer::None;
    } else if (answer[2] == kPageSendAgain) {
      if (++repeats >= kPageRepeatLimit) return FLASH_IS_BUSY_KOR_730;
      continue;
    } else if (answer[2] == kPageWritten) {
      ++counter;
      return FLASH_IS_WRITTEN;
    } else {
      last = Answer::Failed;
    }
    ++attempts;
    std::printf(" %i count_error\n", attempts);
    std::fflush(stdout);
    if (attempts >= kPageAttempts) return FailureOf(last, answer[0]);
  }
}

void FlashFirmware(const FirmwareLoaded& loaded) {
  if (CRs232::PortInUse()) {
    ShowMessage("Com порт занят", Icon::Error);
    return;
  }
  const int speed = SpeedProbe();
  if (speed == -1) {
    ShowMessage("Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи", Icon::Warning);
    return;
  }
  CRs232 rs;
  rs.ResetLinkState();
  if (OpenAppPortAt(rs, speed) != 0) return;

  FirmwareImage image;
  FirmwareLoad load;
  if (!LoadSelectedFirmware(image, load, loaded)) return;
  int counter = 1;

  op().ProgressRange(0, load.lastPage);
  op().ProgressFont(false, kProgressText);
  const unsigned delay = unsigned(app().pageAnswerDelay);
  for (int c = 0; c <= load.lastPage; ++c) {
    op().ProgressPos(c + 1);
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d", c == load.lastPage ? load.imageEnd : c * kFlashPageSize,
                  load.imageEnd);
    op().ProgressText(text);
    op().PumpPendingMessages();
    const StatusCode status = WriteFirmwarePage(rs, image.page(c), c, counter, delay);
    if (status != FLASH_IS_WRITTEN) {
      ReportPageFailure(rs, status);
      ClearProgress();
      return;
    }
  }

  const bool clockSent = SendClockFrame(rs);
  uint8_t closing[kCommandFrameSize];
  build_command_frame(closing, 0x3C, 0x3C, 0x3C, 0x3C);
  if (rs.Write(closing, kCommandFrameSize) == -1) {
    // Every page is in, but the unit was not told the update is over: not a
    // finished update.
    if (clockSent)
      ReportLinkLost(rs);
    else
      rs.linkState = -1;
    ClearProgress();
    return;
  }
  sleep_ms(kClosingWait);
  uint8_t answer[kPageAnswerMax] = {};
  rs.Read(answer, sizeof answer);
  ShowMessage("Прошивка завершена", Icon::Information);
  ClearProgress();
}

}  // namespace kor
