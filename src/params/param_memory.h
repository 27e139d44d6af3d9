// The unit's 4096-byte parameter memory: read into a new parameter file, backed
// up before every write, written back from a parameter file.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kor {

constexpr size_t kParameterMemorySize = 4096;
constexpr int kParameterBlocks = 128;  // 32 bytes each

// The memory byte for byte; no header, no checksum.
using ParameterImage = std::array<uint8_t, kParameterMemorySize>;

// Waits after the requests (ms).
constexpr unsigned kParamReadWait = 550;
constexpr unsigned kParamBackupWait = 750;
constexpr unsigned kParamBlockWait = 65;

// A backup shorter than this is not a copy of the memory.
constexpr size_t kMinBackupSize = 4072;

constexpr char kEepromBaseName[] = "kor_eeprom";
constexpr char kBackupBaseName[] = "kor_backup_eeprom";
constexpr char kParamExtension[] = "koreep";
constexpr char kUnknownVersionText[] = "версия не определена";

class CRs232;

// The answer carries no checksum, so a byte spoilt on the line shows only as a
// read that differs from another: the memory is read until two reads agree byte
// for byte, at most this many times.
constexpr int kParamReadAttempts = 3;

enum class MemoryRead {
  Agreed,     // two reads gave the same bytes, at least the minimum of them
  LinkLost,   // a request could not be sent (reported)
  TooShort,   // the first read gave fewer than the minimum: no exchange mode
  Disagreed,  // no two reads agreed
};
// Each read as the operations have always made it: the request, the progress,
// the purge when asked for, the wait, one read call of up to 4096 bytes. On
// Agreed, out holds the bytes received.
MemoryRead ReadAgreedMemory(CRs232& rs, bool purge, unsigned waitMs, size_t minBytes, std::vector<uint8_t>& out);

// "kor_backup_eeprom_YYYYMMDD-HHMMSS": the name the previous backup is kept
// under when a new one replaces it.
struct LocalDateTime;
std::string dated_backup_name(const LocalDateTime& t);

// A file's content brought to the memory's size: 0xFF after a short one, cut
// after byte 4095 of a long one.
ParameterImage make_parameter_image(const std::vector<uint8_t>& content);

// Reads the memory into kor_parameters/kor_eeprom.koreep (numbered when taken),
// followed by the unit's version text.
void ReadParameterMemory();
// 1 when kor_backup/kor_backup_eeprom.koreep now holds the unit's memory; the
// file it replaced is kept beside it under its dated name.
int BackupParameterMemory();
// Sends AppState's selected file to the unit in 128 blocks.
void WriteParameterMemory();
// Sends content, read from the source before anything else touched the disk.
void WriteParameterMemory(const std::vector<uint8_t>& content);
// The main window's write command for parameters: the selected file must hold
// something, then the backup, and the write only after a good backup.
void WriteParametersCommand();

}  // namespace kor
