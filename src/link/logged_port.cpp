#include "link/logged_port.h"

#include "app/exchange_log.h"

namespace kor {

namespace {

void log_bytes(char direction, const uint8_t* data, size_t count) {
  if (ExchangeLog* l = exchange_log()) l->Bytes(direction, data, count);
}

class LoggedDevice : public SerialDevice {
 public:
  explicit LoggedDevice(std::unique_ptr<SerialDevice> inner) : inner_(std::move(inner)) {}
  bool BuildLine(const char* mode) override {
    const bool ok = inner_->BuildLine(mode);
    log_line(std::string("line ") + mode + (ok ? "" : ": refused"));
    return ok;
  }
  bool SetLine() override { return Step("set line", inner_->SetLine()); }
  bool SetNonBlockingReads() override { return Step("non-blocking reads", inner_->SetNonBlockingReads()); }
  bool Purge() override { return Step("purge", inner_->Purge()); }
  long Read(uint8_t* buf, unsigned count) override {
    const long n = inner_->Read(buf, count);
    if (n > 0) {
      log_bytes('<', buf, size_t(n));
      emptyLogged_ = false;
    } else if (n < 0) {
      log_line("< read failed");
    } else if (!emptyLogged_) {
      log_line("< 0 (nothing has arrived)");  // once per run of empty reads
      emptyLogged_ = true;
    }
    return n;
  }
  long ReadExact(uint8_t* buf, unsigned count, uint64_t waitUs) override {
    const long n = inner_->ReadExact(buf, count, waitUs);
    if (n > 0) log_bytes('<', buf, size_t(n));
    if (n != long(count)) log_line("< " + std::to_string(n < 0 ? 0 : n) + " of " + std::to_string(count) +
                                   " within " + std::to_string(waitUs / 1000) + " ms");
    emptyLogged_ = false;
    return n;
  }
  bool RequestLowLatency() override { return Step("low latency", inner_->RequestLowLatency()); }
  long Write(const uint8_t* buf, unsigned count) override {
    const long n = inner_->Write(buf, count);
    log_bytes('>', buf, count);
    if (n != long(count)) log_line("> write failed (" + std::to_string(n) + ")");
    emptyLogged_ = false;
    return n;
  }
  void Close() override {
    log_line("close");
    inner_->Close();
  }

 private:
  bool Step(const char* what, bool ok) {
    if (!ok) log_line(std::string(what) + ": failed");
    return ok;
  }
  std::unique_ptr<SerialDevice> inner_;
  bool emptyLogged_ = false;
};

class LoggedOverlapped : public OverlappedDevice {
 public:
  explicit LoggedOverlapped(std::unique_ptr<OverlappedDevice> inner) : inner_(std::move(inner)) {}
  bool Configure(int speed) override {
    const bool ok = inner_->Configure(speed);
    log_line("line " + std::to_string(speed) + (ok ? "" : ": refused"));
    return ok;
  }
  bool WriteByte(uint8_t b, unsigned limitMs) override {
    const bool ok = inner_->WriteByte(b, limitMs);
    log_bytes('>', &b, 1);
    if (!ok) log_line("> write failed");
    return ok;
  }
  long Queued() override { return inner_->Queued(); }
  long Read(uint8_t* buf, unsigned count, unsigned limitMs) override {
    const long n = inner_->Read(buf, count, limitMs);
    if (n > 0) log_bytes('<', buf, size_t(n));
    else if (n < 0) log_line("< read failed");
    return n;
  }
  void Close() override {
    log_line("close");
    inner_->Close();
  }

 private:
  std::unique_ptr<OverlappedDevice> inner_;
};

}  // namespace

std::unique_ptr<SerialDevice> LoggedPortDriver::Open(const std::string& path) {
  std::unique_ptr<SerialDevice> dev = inner_.Open(path);
  log_line("open " + path + (dev ? "" : ": failed"));
  if (!dev) return nullptr;
  return std::make_unique<LoggedDevice>(std::move(dev));
}

std::unique_ptr<OverlappedDevice> LoggedOverlappedDriver::Open(const std::string& path) {
  std::unique_ptr<OverlappedDevice> dev = inner_.Open(path);
  log_line("open " + path + " (correction channel)" + (dev ? "" : ": failed"));
  if (!dev) return nullptr;
  return std::make_unique<LoggedOverlapped>(std::move(dev));
}

PortLogScope::PortLogScope()
    : port_(port_driver()), overlapped_(overlapped_driver()), loggedPort_(port_), loggedOverlapped_(overlapped_) {
  set_port_driver(&loggedPort_);
  set_overlapped_driver(&loggedOverlapped_);
}

PortLogScope::~PortLogScope() {
  set_port_driver(&port_);
  set_overlapped_driver(&overlapped_);
}

LoggedRun::~LoggedRun() {
  if (!log_) return;
  set_operator(previousOperator_);
  set_timing(previousTiming_);
  ports_.reset();
  set_exchange_log(nullptr);
}

bool LoggedRun::Start(const std::string& path, const std::string& what, const std::string& port, int speed) {
  log_ = std::make_unique<ExchangeLog>();
  if (!log_->Open(path)) {
    log_.reset();
    return false;
  }
  set_exchange_log(log_.get());
  log_->Line(log_start_text(what, port, speed));
  ports_ = std::make_unique<PortLogScope>();
  previousTiming_ = &timing();
  timedWaits_ = std::make_unique<LoggedTiming>(*previousTiming_);
  set_timing(timedWaits_.get());
  previousOperator_ = &op();
  shown_ = std::make_unique<LoggedOperator>(*previousOperator_);
  set_operator(shown_.get());
  return true;
}

void LoggedRun::End(int status) {
  if (log_) log_->Line("end: exit status " + std::to_string(status));
}

}  // namespace kor
