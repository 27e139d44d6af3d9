#include "cli/cli_operator.h"

#include <cstring>

#include "app/cp1251.h"
#include "cli/console.h"

namespace kor {

namespace {

// Characters of a UTF-8 text: the console cells it takes (Russian letters take one each).
size_t characters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

std::string fold_lines(const std::string& text) {
  // A run of blanks that holds a line break becomes one space.
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i;
    bool brk = false;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\r' || text[j] == '\n')) {
      brk = brk || text[j] != ' ';
      ++j;
    }
    if (j > i) {
      if (brk) {
        if (i > 0 && j < text.size()) out += ' ';
      } else {
        out.append(text, i, j - i);
      }
      i = j;
      continue;
    }
    out += text[i++];
  }
  return out;
}

CliOperator::CliOperator(bool openAnswer, bool quiet, std::FILE* err)
    : openAnswer_(openAnswer), drawProgress_(!quiet && console::is_terminal(err)), err_(err) {}

CliOperator::~CliOperator() { EndBar(); }

void CliOperator::Line(const char* prefix, const std::string& text) {
  EndBar();
  console::write(err_, cp1251_to_utf8(prefix) + text_to_utf8(fold_lines(text)) + "\n");
  std::fflush(err_);
}

void CliOperator::Message(const char* text, const char*, Icon icon, Handle) {
  shown_.push_back({icon == Icon::Error ? "error" : icon == Icon::Warning ? "warning" : "information", text});
  switch (icon) {
    case Icon::Error:
      failed_ = true;
      if (!noPortHint_.empty() && (std::strncmp(text, "Не выбран Com port", 18) == 0 ||
                                   std::strncmp(text, "Не удалось открыть порт", 23) == 0)) {
        Line("ошибка: ", std::string(text) + " (" + noPortHint_ + ")");
        break;
      }
      Line("ошибка: ", text);
      break;
    case Icon::Warning:
      failed_ = true;
      Line("предупреждение: ", text);
      break;
    default:
      Line("сообщение: ", text);
      break;
  }
}

bool CliOperator::AskYesNo(const char* text, const char*) {
  shown_.push_back({"question", text});
  const std::string t = text, head = "Файл сохранен: ", tail = ".\nОткрыть папку?";
  const size_t end = t.find(tail);
  if (t.compare(0, head.size(), head) == 0 && end != std::string::npos) saved_.push_back(t.substr(head.size(), end - head.size()));
  Line("сообщение: ", std::string(text) + (openAnswer_ ? " да" : " нет"));
  return openAnswer_;
}

void CliOperator::SilentFailure(const char* what) {
  failed_ = true;
  shown_.push_back({"error", what});
  Line("ошибка: ", what);
}

void CliOperator::Note(const char* text) {
  if (verbose_) Line("замечание: ", text);
}

void CliOperator::ProgressRange(int low, int high) {
  low_ = low;
  high_ = high;
  Draw();
}

void CliOperator::ProgressPos(int pos) {
  pos_ = pos;
  if (pos == 0 && text_.empty()) {
    EndBar();
    return;
  }
  Draw();
}

void CliOperator::ProgressText(const char* text) {
  text_ = text ? text : "";
  Draw();
}

void CliOperator::Draw() {
  if (!drawProgress_ || high_ <= low_) return;
  int width = 30;
  int filled = int((long long)(pos_ - low_) * width / (high_ - low_));
  if (filled < 0) filled = 0;
  if (filled > width) filled = width;
  const std::string line =
      "[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), ' ') + "] " + text_to_utf8(text_);
  if (console::takes_escapes(err_)) {
    console::write(err_, "\r" + line + "\x1b[K");
  } else {
    // Spaces cover what a longer line before left on the screen.
    const size_t shown = characters(line);
    console::write(err_, "\r" + line + std::string(barChars_ > shown ? barChars_ - shown : 0, ' '));
    barChars_ = shown;
  }
  std::fflush(err_);
  barShown_ = true;
}

void CliOperator::EndBar() {
  if (!barShown_) return;
  if (console::takes_escapes(err_))
    console::write(err_, "\r\x1b[K");
  else
    console::write(err_, "\r" + std::string(barChars_, ' ') + "\r");
  std::fflush(err_);
  barShown_ = false;
  barChars_ = 0;
}

}  // namespace kor
