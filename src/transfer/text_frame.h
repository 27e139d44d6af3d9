// The control dialog's text frame: a line of up to nine characters for the unit.
#pragma once
#include <cstdint>

#include "app/app_state.h"

namespace kor {

constexpr int kTextFrameSize = 18;
constexpr int kTextFrameChars = 9;

// 00 08 cs 0C 0C 0C 0C cs, then the text (at most nine characters) and zeros.
void build_text_frame(uint8_t out[kTextFrameSize], const char* text);

// "Пуск": opens AppState's port, sends the frame in one write, closes. Port
// failures are reported by the opening (owned by owner), a failed write as a
// lost link. True when the frame went out.
bool SendControlText(const char* text, Handle owner);

}  // namespace kor
