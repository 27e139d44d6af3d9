// The unit's 4096-byte parameter memory: read into a new parameter file, backed
// up before every write, written back from a parameter file.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
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

// A file's content brought to the memory's size: 0xFF after a short one, cut
// after byte 4095 of a long one.
ParameterImage make_parameter_image(const std::vector<uint8_t>& content);

// Reads the memory into kor_parameters/kor_eeprom.koreep (numbered when taken),
// followed by the unit's version text.
void ReadParameterMemory();
// 1 when kor_backup/kor_backup_eeprom.koreep now holds the unit's memory.
int BackupParameterMemory();
// Sends AppState's selected file to the unit in 128 blocks.
void WriteParameterMemory();
// The main window's write command for parameters: the selected file must hold
// something, then the backup, and the write only after a good backup.
void WriteParametersCommand();

}  // namespace kor
