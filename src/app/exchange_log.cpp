#include "app/exchange_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/cp1251.h"
#include "app/version.h"

namespace kor {

namespace {

ExchangeLog* g_log = nullptr;

// A message box's line breaks would start lines of their own.
std::string one_line(const char* text) {
  std::string s = text ? text : "";
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

std::tm local_now(int& ms) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return tm;
}

}  // namespace

ExchangeLog* exchange_log() { return g_log; }
void set_exchange_log(ExchangeLog* log) { g_log = log; }

ExchangeLog::~ExchangeLog() {
  if (file_) std::fclose(file_);
}

bool ExchangeLog::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) std::fclose(file_);
  path_ = path;
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) return false;
  std::fseek(file_, 0, SEEK_END);
  const long at = std::ftell(file_);
  size_ = at > 0 ? size_t(at) : 0;
  return true;
}

void ExchangeLog::Put(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return;
  if (size_ + text.size() > cap_ && size_ > 0) {
    // The older lines move aside whole; the newest stay in FILE.
    std::fclose(file_);
    const std::string older = path_ + ".1";
    std::remove(older.c_str());
    std::rename(path_.c_str(), older.c_str());
    file_ = std::fopen(path_.c_str(), "ab");
    size_ = 0;
    if (!file_) return;
  }
  size_ += std::fwrite(text.data(), 1, text.size(), file_);
  std::fflush(file_);
}

void ExchangeLog::Line(const std::string& text) {
  int ms = 0;
  const std::tm tm = local_now(ms);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d ", tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
  Put(stamp + text_to_utf8(text) + "\n");
}

void ExchangeLog::Bytes(char direction, const uint8_t* data, size_t count) {
  std::string text = std::string(1, direction) + " " + std::to_string(count);
  for (size_t i = 0; i < count; ++i) {
    if (i && i % kExchangeLogHexPerLine == 0) text += "\n             ";  // under the first byte
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", data[i]);
    text += hex;
  }
  Line(text);
}

std::string log_date_time() {
  int ms = 0;
  const std::tm tm = local_now(ms);
  char text[80];  // room for any field the compiler cannot bound
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

std::string log_start_text(const std::string& what, const std::string& port, int speed) {
  return "start " + log_date_time() + " KorSync " + version_string() + ": " + what + ", port " +
         (port.empty() ? "(none)" : port) + ", speed " + std::to_string(speed);
}

void LoggedTiming::Sleep(unsigned ms) {
  log_line("wait " + std::to_string(ms) + " ms");
  inner_.Sleep(ms);
}

const char* icon_name(Icon icon) {
  switch (icon) {
    case Icon::Error: return "error";
    case Icon::Warning: return "warning";
    case Icon::Information: return "information";
    case Icon::Question: return "question";
  }
  return "";
}

void LoggedOperator::Message(const char* text, const char* caption, Icon icon, Handle owner) {
  log_line(std::string("message ") + icon_name(icon) + ": " + one_line(text));
  if (icon == Icon::Error || icon == Icon::Warning) failed_ = true;
  inner_.Message(text, caption, icon, owner);
}

bool LoggedOperator::AskYesNo(const char* text, const char* caption) {
  const bool yes = inner_.AskYesNo(text, caption);
  log_line("message question: " + one_line(text) + (yes ? " -> yes" : " -> no"));
  return yes;
}

void LoggedOperator::SilentFailure(const char* what) {
  log_line("failure: " + one_line(what));
  failed_ = true;
  inner_.SilentFailure(what);
}

}  // namespace kor
