// What the program-download dialog proposes and keeps, apart from its window:
// the window and the command line share it.
#pragma once
#include <string>

#include "app/app_state.h"

namespace kor {

constexpr int kTitleMax = 33;      // characters the unit keeps
constexpr int kFirstLineMax = 39;  // characters of the file's first line looked at
constexpr int kCaptionMax = 39;

// The title proposed for a file: its first line without its first "%" when
// that line holds one (a title line), else the file box text (the file's name).
std::string ProposedTitle(const char* filePath, const char* fileBoxText);

// "Загрузка %s" with the file box text, cut as the dialog's caption is.
std::string DownloadCaption(const char* fileBoxText);

// Slots offered for the kind: 20 programs, 50 subprograms, none otherwise.
int DownloadSlots(DataKind kind);

// "Продолжить": the list's index (-1 when nothing is selected) and the title
// box's text, of which the first 33 characters are kept.
void StoreDownloadChoice(int slotIndex, const char* title);

}  // namespace kor
