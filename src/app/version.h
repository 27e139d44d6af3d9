// This program's version: the CMake project version, shown as the about box shows it.
#pragma once
#include <string>

namespace kor {

int version_major();
int version_minor();
int version_build();
// "0.0.4": what the packages and file records carry.
const char* version_string();
// "KorSync, версия 0.0.004"
std::string version_text();
// "Сборка: Dec 10 2026 09:05:01 gcc": the build date and compiler, as the about box shows them.
std::string build_text();
// What --version prints: "PROGRAM 0.0.4", the version text and the build line.
std::string version_report(const char* program);

// Stores the version numbers and the version text in AppState.
void init_program_version();

}  // namespace kor
