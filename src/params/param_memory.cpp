#include "params/param_memory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/file_ls.h"
#include "app/operator.h"
#include "app/timing.h"
#include "link/rs232.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"

namespace kor {

namespace {

constexpr char kNoExchangeMode[] = "Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи";

// 00 08 01 04 04 04 04 04: the unit answers with its memory, unframed.
bool SendMemoryRead(CRs232& rs) {
  uint8_t req[kCommandFrameSize];
  build_command_frame(req, 0x04, 0x04, 0x04, 0x04);
  if (rs.Write(req, kCommandFrameSize) != -1) return true;
  ReportLinkLost(rs);
  op().ProgressPos(0);
  return false;
}

// The read gives no finer progress than "asked".
void FillProgress() {
  op().ProgressRange(0, 100);
  for (int i = 0; i <= 100; ++i) op().ProgressPos(i);
}

// The source of a write, read whole. An unreadable or empty file must never
// reach the unit: padded with 0xFF it would wipe every setting.
bool ReadWriteSource(std::vector<uint8_t>& out) {
  File_ls f(app().selectedFile);
  if (f.ReadAll() != 0) return false;
  if (f.data().empty()) {
    ShowMessage("Файл параметров пуст, в КОР ничего не отправлено", Icon::Error);
    return false;
  }
  out.swap(f.data());
  return true;
}

}  // namespace

ParameterImage make_parameter_image(const std::vector<uint8_t>& content) {
  ParameterImage img;
  img.fill(0xFF);
  std::copy_n(content.begin(), std::min(content.size(), img.size()), img.begin());
  return img;
}

void ReadParameterMemory() {
  CRs232 rs;
  if (!BeginDeviceOperation(rs)) return;
  if (!SendMemoryRead(rs)) return;
  FillProgress();
  rs.Purge();
  sleep_ms(kParamReadWait);
  std::vector<uint8_t> file(kParameterMemorySize, 0xFF);
  const unsigned n = rs.Read(file.data(), kParameterMemorySize);
  if (n < 2) {
    op().ProgressPos(0);
    ShowMessage(kNoExchangeMode, Icon::Warning);
    return;
  }
  // The file names the unit it came from.
  const bool known = VersionQuery(rs) != -1;
  const char* version = known ? app().versionBuffer : kUnknownVersionText;
  file.insert(file.end(), version, version + std::strlen(version));
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "\n%lu/4096", static_cast<unsigned long>(n));
  SaveNewFile(kParametersFolder, kEepromBaseName, kParamExtension, file.data(), file.size(), suffix);
  op().ProgressPos(0);
}

int BackupParameterMemory() {
  CRs232 rs;
  if (!BeginDeviceOperation(rs)) return 0;
  op().ProgressFont(false, kProgressText);
  op().ProgressText("резервирование...");
  if (!SendMemoryRead(rs)) {
    op().ProgressText(" ");
    return 0;
  }
  FillProgress();
  sleep_ms(kParamBackupWait);
  std::vector<uint8_t> got(kParameterMemorySize);
  const unsigned n = rs.Read(got.data(), kParameterMemorySize);
  op().ProgressText(" ");
  op().ProgressPos(0);
  if (n < kMinBackupSize) {
    ShowMessage(kNoExchangeMode, Icon::Warning);
    return 0;
  }
  AppState& a = app();
  File_ls f;
  // Without a good backup the write must not run.
  if (!f.CreateNewFile(kBackupFolder, kBackupBaseName, kParamExtension, a.dataFolder, a.mainWindow,
                       Disposition::CreateOrTruncate))
    return 0;
  if (f.WriteAll(got.data(), n) != 0) return 0;
  return 1;
}

void WriteParameterMemory() {
  if (CRs232::PortInUse()) {
    ShowMessage("Com порт занят", Icon::Error);
    return;
  }
  CRs232 rs;
  rs.ResetLinkState();
  if (OpenAppPort(rs) != 0) return;
  std::vector<uint8_t> content;
  if (!ReadWriteSource(content)) return;
  const ParameterImage img = make_parameter_image(content);

  op().ProgressFont(false, kProgressText);
  op().ProgressRange(0, kParameterBlocks - 1);
  bool sent = true;
  for (int k = 0; k < kParameterBlocks; ++k) {
    uint8_t frame[kParamFrameSize];
    build_param_frame(frame, uint8_t(k), img.data() + k * kParamBlockSize);
    if (rs.Write(frame, kParamFrameSize) == -1) {
      ReportLinkLost(rs);
      op().ProgressPos(0);
      sent = false;
      break;
    }
    op().ProgressPos(k + 1);
    op().PumpPendingMessages();
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d", kParamBlockSize * (k + 1), int(kParameterMemorySize));
    op().ProgressText(text);
    sleep_ms(kParamBlockWait);
  }
  if (sent) {
    ShowMessage("Параметры загружены", Icon::Information);
    op().ProgressPos(0);
  }
  op().ProgressText(" ");
}

void WriteParametersCommand() {
  std::vector<uint8_t> content;
  if (!ReadWriteSource(content)) return;
  if (BackupParameterMemory() == 1) WriteParameterMemory();
}

}  // namespace kor
