#include "transfer/download_title.h"

#include <cstdio>
#include <cstring>

#include "transfer/program_slots.h"

namespace kor {

namespace {

std::string cut(const char* text, size_t max) {
  std::string s = text ? text : "";
  if (s.size() > max) s.resize(max);
  return s;
}

}  // namespace

std::string ProposedTitle(const char* filePath, const char* fileBoxText) {
  std::string title = cut(fileBoxText, kFirstLineMax);
  std::FILE* f = filePath && *filePath ? std::fopen(filePath, "rb") : nullptr;
  if (!f) return title;
  char line[kFirstLineMax + 1] = {};
  size_t n = std::fread(line, 1, kFirstLineMax, f);
  std::fclose(f);
  // The line ends at its CR or LF; neither belongs in a title.
  std::string first(line, n);
  first = first.substr(0, first.find_first_of(std::string("\r\n\0", 3)));
  const size_t pct = first.find('%');
  if (pct == std::string::npos) return title;
  first.erase(pct, 1);
  return first;
}

std::string DownloadCaption(const char* fileBoxText) {
  return cut(("Загрузка " + cut(fileBoxText, kCaptionMax)).c_str(), kCaptionMax);
}

int DownloadSlots(DataKind kind) {
  switch (kind) {
    case DataKind::Program: return kProgramSlots;
    case DataKind::Subprogram: return kSubprogramSlots;
    default: return 0;
  }
}

void StoreDownloadChoice(int slotIndex, const char* title) {
  AppState& a = app();
  a.slotIndex = int16_t(slotIndex < 0 ? -1 : slotIndex);
  std::memset(a.title, 0, sizeof a.title);
  std::snprintf(a.title, sizeof a.title, "%s", cut(title, kTitleMax).c_str());
}

}  // namespace kor
