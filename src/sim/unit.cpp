#include "sim/unit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "protocol/frames.h"

namespace kor::sim {

namespace {

// A partial frame older than this is line noise and is forgotten.
constexpr uint64_t kFrameGapUs = 100000;

bool header_ok(const uint8_t* h) {
  return h[2] == count_ones8(h, 2, 0) && h[7] == count_ones8(h, 4, 3);
}

}  // namespace

bool parse_fault(const std::string& text, Fault& out) {
  std::vector<std::string> parts;
  std::stringstream ss(text);
  std::string p;
  while (std::getline(ss, p, ':')) parts.push_back(p);
  if (parts.empty()) return false;
  Fault f;
  if (parts[0] == "no-answer") f.kind = FaultKind::NoAnswer;
  else if (parts[0] == "cut") f.kind = FaultKind::Cut;
  else if (parts[0] == "bad-crc") f.kind = FaultKind::BadCrc;
  else if (parts[0] == "wrong-byte") f.kind = FaultKind::WrongByte;
  else if (parts[0] == "swap") f.kind = FaultKind::Swap;
  else return false;
  auto num = [](const std::string& s, int base, int& v) {
    if (s.empty()) return true;
    char* end = nullptr;
    long x = std::strtol(s.c_str(), &end, base);
    if (*end) return false;
    v = int(x);
    return true;
  };
  if (parts.size() > 1 && parts[1] != "*" && !num(parts[1], 16, f.command)) return false;
  if (parts.size() > 2 && !num(parts[2], 10, f.skip)) return false;
  if (parts.size() > 3 && !num(parts[3], 10, f.times)) return false;
  if (parts.size() > 4 && !num(parts[4], 10, f.keep)) return false;
  if (parts.size() > 5 && !parts[5].empty()) {
    const char k = parts[5][0];
    if (k != 'p' && k != 's') return false;
    f.itemKind = k == 's' ? 1 : 0;
    if (!num(parts[5].substr(1), 10, f.itemSlot) || f.itemSlot < 1) return false;
  }
  if (parts.size() > 6) return false;
  out = f;
  return true;
}

namespace {

// Link check, version query and the parameter-memory read.
class CoreService : public Service {
 public:
  bool Handle(Unit& unit, const std::vector<uint8_t>& f, std::vector<uint8_t>& answer) override {
    if (f.size() != 8 || f[0] != 0x00) return false;
    const uint8_t* c = f.data() + 3;
    auto is = [&](uint8_t v) { return c[0] == v && c[1] == v && c[2] == v && c[3] == v; };
    if (is(0x55)) {
      answer.assign(f.begin(), f.end());
      return true;
    }
    if (is(0x0D)) {
      std::string v = unit.VersionAnswer();
      answer.assign(v.begin(), v.end());
      return true;
    }
    if (is(0x04)) {
      size_t n = std::min(unit.paramServe, unit.paramMemory.size());
      answer.assign(unit.paramMemory.begin(), unit.paramMemory.begin() + long(n));
      return true;
    }
    return false;
  }
};

}  // namespace

Unit::Unit(UnitConfig cfg) : paramMemory(sample_parameter_memory()), cfg_(std::move(cfg)) {
  AddService(std::make_unique<CoreService>());
  AddProgramServices(*this);
  AddParameterServices(*this);
  AddFirmwareServices(*this);
  AddCorrectionServices(*this);
}

Unit::~Unit() = default;

std::string Unit::VersionAnswer() const {
  if (cfg_.model == 0) return "";
  std::string v = cfg_.versionText;
  if (v.empty()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d v1.07", cfg_.model);
    v = buf;
  }
  if (v.size() > 13) v.resize(13);
  return v;
}

int Unit::FrameLength(const uint8_t* h) const {
  for (const auto& s : services_) {
    int n = s->FrameLength(*this, h);
    if (n > 0) return n;
  }
  if (h[0] == 0x01 && h[1] == 0x10) return kPageFrameSize;
  if (h[0] == 0x02 && h[1] == 0x0A) return 524;
  return h[1] < 8 ? 8 : h[1];
}

void Unit::Receive(const uint8_t* data, size_t n, uint64_t nowUs, int lineSpeed) {
  // At any other speed the unit only sees garbage.
  if (lineSpeed != cfg_.speed) return;
  if (!pending_.empty() && nowUs - pendingSince_ > kFrameGapUs) pending_.clear();
  for (size_t i = 0; i < n; ++i) {
    if (pending_.empty()) pendingSince_ = nowUs;
    pending_.push_back(data[i]);
    if (pending_.size() < 8) continue;
    if (!header_ok(pending_.data())) {
      // Out of step: drop one byte and look for a header again.
      pending_.erase(pending_.begin());
      continue;
    }
    if (pending_.size() >= size_t(FrameLength(pending_.data()))) {
      std::vector<uint8_t> frame;
      frame.swap(pending_);
      OnFrame(frame, nowUs, lineSpeed);
    }
  }
}

void Unit::OnFrame(const std::vector<uint8_t>& frame, uint64_t nowUs, int lineSpeed) {
  frames_.push_back(frame);
  std::vector<uint8_t> answer;
  bool handled = false;
  for (auto& s : services_) {
    if (s->Handle(*this, frame, answer)) {
      handled = true;
      break;
    }
  }
  if (onAnswer) onAnswer(frame, answer);
  if (!handled || answer.empty()) return;
  ++answers;
  ApplyFaults(frame, answer);
  uint64_t byteUs = cfg_.emulateWire && lineSpeed > 0 ? 10000000ull / unsigned(lineSpeed) : 0;
  uint64_t at = nowUs + cfg_.latencyUs + byteUs * frame.size();
  if (!out_.empty() && out_.back().at > at) at = out_.back().at;
  for (uint8_t b : answer) {
    at += byteUs;
    out_.push_back({at, b});
  }
}

void Unit::ApplyFaults(const std::vector<uint8_t>& frame, std::vector<uint8_t>& answer) {
  const uint8_t command = frame[4];
  // The slot a program request names: an index from 0 in the block
  // generation, a number from 1 in the page generation.
  int kind = -1, slot = -1;
  if (frame.size() == 8 && frame[0] == 0x00 && frame[3] <= 1 && command == 0x02) {
    kind = frame[3];
    slot = cfg_.model == 0 ? frame[5] : frame[5] + 1;
  }
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    Fault& f = *it;
    if (f.command >= 0 && f.command != command) continue;
    if (f.itemSlot > 0 && (f.itemKind != kind || f.itemSlot != slot)) continue;
    if (f.skip > 0) {
      --f.skip;
      return;
    }
    switch (f.kind) {
      case FaultKind::NoAnswer: answer.clear(); break;
      case FaultKind::Cut: answer.resize(f.keep >= 0 ? std::min(answer.size(), size_t(f.keep)) : answer.size() / 2); break;
      case FaultKind::BadCrc: answer.back() ^= 0xFF; break;
      case FaultKind::WrongByte: answer.front() ^= 0x01; break;
      case FaultKind::Swap:
        if (answer.size() > 1) std::swap(answer[0], answer[1]);
        break;
    }
    if (f.times > 0 && --f.times == 0) faults_.erase(it);
    return;
  }
}

uint64_t Unit::PacketDueUs() const {
  uint64_t due = out_.front().at + cfg_.adapterLatencyUs;
  if (out_.size() >= kAdapterPacket && out_[kAdapterPacket - 1].at < due) due = out_[kAdapterPacket - 1].at;
  return due;
}

void Unit::PassPackets(uint64_t nowUs) {
  if (!cfg_.adapterLatencyUs) return;
  while (!out_.empty()) {
    const uint64_t due = PacketDueUs();
    if (due > nowUs) return;
    for (size_t i = 0; i < kAdapterPacket && !out_.empty() && out_.front().at <= due; ++i) {
      passed_.push_back({due, out_.front().byte});
      out_.pop_front();
    }
  }
}

size_t Unit::Take(uint8_t* buf, size_t max, uint64_t nowUs) {
  PassPackets(nowUs);
  std::deque<Due>& q = arrived();
  size_t n = 0;
  while (n < max && !q.empty() && q.front().at <= nowUs) {
    buf[n++] = q.front().byte;
    q.pop_front();
  }
  return n;
}

void Unit::DropArrived(uint64_t nowUs) {
  PassPackets(nowUs);
  std::deque<Due>& q = arrived();
  while (!q.empty() && q.front().at <= nowUs) q.pop_front();
}

uint64_t Unit::NextDueUs() const {
  if (!passed_.empty()) return passed_.front().at;
  if (out_.empty()) return UINT64_MAX;
  return cfg_.adapterLatencyUs ? PacketDueUs() : out_.front().at;
}

std::vector<uint8_t> sample_parameter_memory() {
  std::vector<uint8_t> m(4096, 0xFF);
  std::memset(m.data(), 0, 186);
  // Channels P2.0..P2.3 measure X, Y, Z; display rows show the same.
  const uint8_t axes[4] = {0, 1, 2, 13};
  for (int i = 0; i < 4; ++i) {
    m[i] = axes[i];
    m[4 + i] = axes[i];
  }
  for (int i = 0; i < 4; ++i) {
    int32_t mant = 1;  // coefficient 0.001
    std::memcpy(&m[56 + 5 * i], &mant, 4);
    m[56 + 5 * i + 4] = 3;
  }
  m[176] = 26;  // brightness 25
  m[178] = 1;   // 200000 bit/s
  m[185] = 0x03;
  return m;
}

}  // namespace kor::sim
