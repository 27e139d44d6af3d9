// The exchange log: what went over the line, every wait and every message, for
// diagnosing a problem in the field. Each line is flushed as it is written, so
// a killed program keeps what happened up to the end; the file is bounded by
// rotating it (FILE.1 holds the older half) so the newest lines are kept.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "app/operator.h"
#include "app/timing.h"

namespace kor {

constexpr size_t kExchangeLogCap = 4u << 20;  // bytes before FILE becomes FILE.1
constexpr size_t kExchangeLogHexPerLine = 32;  // long pages are folded

class ExchangeLog {
 public:
  explicit ExchangeLog(size_t capBytes = kExchangeLogCap) : cap_(capBytes) {}
  ~ExchangeLog();
  ExchangeLog(const ExchangeLog&) = delete;
  ExchangeLog& operator=(const ExchangeLog&) = delete;

  // Appends to path; false when it cannot be opened.
  bool Open(const std::string& path);
  const std::string& path() const { return path_; }
  // One line: "HH:MM:SS.mmm " and the text (code page 1251 or UTF-8; written as UTF-8).
  void Line(const std::string& text);
  // "> 8 00 08 01 55 55 55 55 10" (written) or "< ..." (read), folded after 32 bytes.
  void Bytes(char direction, const uint8_t* data, size_t count);

 private:
  void Put(const std::string& text);
  size_t cap_;
  std::string path_;
  std::FILE* file_ = nullptr;
  size_t size_ = 0;
  std::mutex mutex_;  // the connection test logs from its own thread
};

// The log in use; null when none is kept.
ExchangeLog* exchange_log();
void set_exchange_log(ExchangeLog* log);
inline void log_line(const std::string& text) {
  if (ExchangeLog* l = exchange_log()) l->Line(text);
}

// "2026-12-10 13:45:12": the start line's date.
std::string log_date_time();
// "start 2026-12-10 13:45:12 KorSync 0.0.4: WHAT, port PORT, speed N"
std::string log_start_text(const std::string& what, const std::string& port, int speed);

// Every wait, logged with its length, then slept by the timing beneath.
class LoggedTiming : public Timing {
 public:
  explicit LoggedTiming(Timing& inner) : inner_(inner) {}
  void Sleep(unsigned ms) override;
  uint64_t NowUs() override { return inner_.NowUs(); }

 private:
  Timing& inner_;
};

// Every message the operator is shown, with its icon; the rest passes through.
class LoggedOperator : public Operator {
 public:
  explicit LoggedOperator(Operator& inner) : inner_(inner) {}
  void Message(const char* text, const char* caption, Icon icon, Handle owner) override;
  bool AskYesNo(const char* text, const char* caption) override;
  void ProgressRange(int low, int high) override { inner_.ProgressRange(low, high); }
  void ProgressPos(int pos) override { inner_.ProgressPos(pos); }
  void ProgressText(const char* text) override { inner_.ProgressText(text); }
  void ProgressFont(bool italic, int control) override { inner_.ProgressFont(italic, control); }
  void PumpPendingMessages() override { inner_.PumpPendingMessages(); }
  void Stop(StopButton what) override { inner_.Stop(what); }
  void SilentFailure(const char* what) override;
  // An error or warning was shown, or a failure the window keeps silent.
  bool failed() const { return failed_; }

 private:
  Operator& inner_;
  bool failed_ = false;
};

const char* icon_name(Icon icon);

}  // namespace kor
