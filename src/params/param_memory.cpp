#include "params/param_memory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/file_ls.h"
#include "app/file_system.h"
#include "app/operator.h"
#include "app/timing.h"
#include "link/rs232.h"
#include "protocol/clock.h"
#include "protocol/frames.h"
#include "protocol/transactions.h"

namespace kor {

namespace {

constexpr char kNoExchangeMode[] = "Выберите в меню 'Режим обмена с ПК' \nи проверьте скорость передачи";
constexpr char kReadsDisagree[] = "Чтения памяти параметров не совпали, файл не сохранен";
constexpr char kBackupReadsDisagree[] = "Чтения памяти параметров не совпали, резервная копия не сделана";

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

// A backup never destroys the one before it, so a wrong restore can be undone.
bool KeepPreviousBackup() {
  AppState& a = app();
  const std::string seed = std::string(a.dataFolder) + fsys::kSep + kBackupFolder + fsys::kSep + kBackupBaseName +
                           "." + kParamExtension;
  if (!fsys::exists(seed.c_str())) return true;
  File_ls old(seed.c_str());
  if (old.ReadAll() != 0) return false;
  File_ls copy;
  const std::string name = dated_backup_name(local_now());
  if (!copy.CreateNewFile(kBackupFolder, name.c_str(), kParamExtension, a.dataFolder, a.mainWindow)) return false;
  return copy.WriteAll(old.data().data(), old.data().size()) == 0;
}

// content null: the selected file, read once the port is held.
void SendParameterImage(const std::vector<uint8_t>* content) {
  if (CRs232::PortInUse()) {
    ShowMessage("Com порт занят", Icon::Error);
    return;
  }
  CRs232 rs;
  rs.ResetLinkState();
  if (OpenAppPort(rs) != 0) return;
  std::vector<uint8_t> source;
  if (!content) {
    if (!ReadWriteSource(source)) return;
    content = &source;
  }
  const ParameterImage img = make_parameter_image(*content);

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

}  // namespace

ParameterImage make_parameter_image(const std::vector<uint8_t>& content) {
  ParameterImage img;
  img.fill(0xFF);
  std::copy_n(content.begin(), std::min(content.size(), img.size()), img.begin());
  return img;
}

MemoryRead ReadAgreedMemory(CRs232& rs, bool purge, unsigned waitMs, size_t minBytes, std::vector<uint8_t>& out) {
  std::vector<std::vector<uint8_t>> reads;
  for (int attempt = 0; attempt < kParamReadAttempts; ++attempt) {
    if (!SendMemoryRead(rs)) return MemoryRead::LinkLost;
    FillProgress();
    if (purge) rs.Purge();
    std::vector<uint8_t> got(kParameterMemorySize);
    got.resize(ReadAnswer(rs, got.data(), kParameterMemorySize, waitMs, kParameterMemorySize));
    // Too little at the first read is a unit out of exchange mode, not a line
    // fault: asking again would not help.
    if (attempt == 0 && got.size() < minBytes) return MemoryRead::TooShort;
    for (const auto& earlier : reads) {
      if (got.size() >= minBytes && got == earlier) {
        out.swap(got);
        return MemoryRead::Agreed;
      }
    }
    reads.push_back(std::move(got));
  }
  return MemoryRead::Disagreed;
}

std::string dated_backup_name(const LocalDateTime& t) {
  char name[64];
  std::snprintf(name, sizeof name, "%s_%04d%02d%02d-%02d%02d%02d", kBackupBaseName, t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return name;
}

void ReadParameterMemory() {
  CRs232 rs;
  if (!BeginDeviceOperation(rs)) return;
  std::vector<uint8_t> got;
  switch (ReadAgreedMemory(rs, true, kParamReadWait, 2, got)) {
    case MemoryRead::Agreed:
      break;
    case MemoryRead::LinkLost:
      return;
    case MemoryRead::TooShort:
      op().ProgressPos(0);
      ShowMessage(kNoExchangeMode, Icon::Warning);
      return;
    case MemoryRead::Disagreed:
      op().ProgressPos(0);
      ShowMessage(kReadsDisagree, Icon::Warning);
      return;
  }
  const size_t n = got.size();
  std::vector<uint8_t> file(kParameterMemorySize, 0xFF);
  std::copy(got.begin(), got.end(), file.begin());
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
  std::vector<uint8_t> got;
  const MemoryRead r = ReadAgreedMemory(rs, false, kParamBackupWait, kMinBackupSize, got);
  op().ProgressText(" ");
  if (r == MemoryRead::LinkLost) return 0;
  op().ProgressPos(0);
  if (r == MemoryRead::TooShort) {
    ShowMessage(kNoExchangeMode, Icon::Warning);
    return 0;
  }
  if (r == MemoryRead::Disagreed) {
    ShowMessage(kBackupReadsDisagree, Icon::Warning);
    return 0;
  }
  // Without a good backup the write must not run.
  if (!KeepPreviousBackup()) return 0;
  AppState& a = app();
  File_ls f;
  if (!f.CreateNewFile(kBackupFolder, kBackupBaseName, kParamExtension, a.dataFolder, a.mainWindow,
                       Disposition::CreateOrTruncate))
    return 0;
  if (f.WriteAll(got.data(), got.size()) != 0) return 0;
  return 1;
}

void WriteParameterMemory() { SendParameterImage(nullptr); }

void WriteParameterMemory(const std::vector<uint8_t>& content) { SendParameterImage(&content); }

void WriteParametersCommand() {
  // The source is taken before the backup: restoring the backup file itself must
  // send what it held, not the memory the backup has just put there.
  std::vector<uint8_t> content;
  if (!ReadWriteSource(content)) return;
  if (BackupParameterMemory() == 1) WriteParameterMemory(content);
}

}  // namespace kor
