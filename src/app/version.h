#pragma once

namespace kor {

// This program's version: 0.0.004.
constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 0;
constexpr int kVersionBuild = 4;

// Stores the version numbers in AppState and formats "KorSync, версия %d.%d.%03d".
void init_program_version();

}  // namespace kor
