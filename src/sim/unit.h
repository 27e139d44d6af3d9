// A simulated KOR unit: takes the computer's bytes, answers after a latency, the
// way the unit does, with faults that can be injected per command.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kor::sim {

enum class FaultKind {
  NoAnswer,   // the answer is never sent
  Cut,        // only the first bytes of the answer are sent
  BadCrc,     // the answer's last byte is flipped (its CRC no longer matches)
  WrongByte,  // the answer's first byte is flipped
  Swap,       // the answer's first two bytes change places (same byte sum)
};

struct Fault {
  FaultKind kind = FaultKind::NoAnswer;
  int command = -1;  // byte 4 of the request it applies to; -1 for any
  int skip = 0;      // matching answers let through before it applies
  int times = 1;     // how many matching answers it spoils; -1 = all
  int keep = -1;     // Cut: bytes kept (default: half)
  // Only program requests for this item: kind 0 program / 1 subprogram and its
  // slot number from 1 (-1: any request).
  int itemKind = -1;
  int itemSlot = -1;
};

// "bad-crc:02:0:2"; a sixth part "p5" / "s50" limits it to one slot's requests.
bool parse_fault(const std::string& text, Fault& out);

struct UnitConfig {
  int model = 461;           // 460, 461, 462; 0 = no version answer (page generation)
  std::string versionText;   // empty: made from the model
  int speed = 200000;        // the one line speed the unit hears
  unsigned latencyUs = 5000;  // a real line and adapter never answer at once
  bool emulateWire = false;   // add 10 bits per byte at the line speed
  // The USB-serial chip on the way to the computer: 0 passes each byte on as it
  // comes; otherwise bytes go on in packets, when kAdapterPacket have gathered
  // or this long after a packet's first byte (16 ms is the FTDI default).
  unsigned adapterLatencyUs = 0;
};

constexpr size_t kAdapterPacket = 62;

class Unit;

// One protocol the unit speaks. Each later protocol adds a service of its own.
class Service {
 public:
  virtual ~Service() = default;
  // Total length of a frame starting with this header, or -1 when not this service's.
  virtual int FrameLength(const Unit&, const uint8_t* header) { (void)header; return -1; }
  // True when the frame was this service's; the answer (possibly empty) goes in answer.
  virtual bool Handle(Unit& unit, const std::vector<uint8_t>& frame, std::vector<uint8_t>& answer) = 0;
};

class Unit {
 public:
  explicit Unit(UnitConfig cfg = {});
  ~Unit();

  UnitConfig& config() { return cfg_; }
  const UnitConfig& config() const { return cfg_; }

  // Bytes from the computer, arriving at nowUs on a line set to lineSpeed.
  void Receive(const uint8_t* data, size_t n, uint64_t nowUs, int lineSpeed);
  // Answer bytes that have arrived by nowUs.
  size_t Take(uint8_t* buf, size_t max, uint64_t nowUs);
  // Drops answer bytes that have arrived by nowUs (a purge on the computer's side).
  void DropArrived(uint64_t nowUs);
  // When the next answer byte arrives; UINT64_MAX when none is pending.
  uint64_t NextDueUs() const;

  void Inject(const Fault& f) { faults_.push_back(f); }
  // Injected faults that have not struck yet.
  size_t PendingFaults() const { return faults_.size(); }
  int answers = 0;  // answers sent (or spoilt), so a fault can be aimed at one
  // Sees every frame with the answer the unit makes (empty for none), before faults.
  std::function<void(const std::vector<uint8_t>& frame, const std::vector<uint8_t>& answer)> onAnswer;
  void AddService(std::unique_ptr<Service> s) { services_.push_back(std::move(s)); }
  // Ahead of every other service: a test's stand-in for one protocol.
  void AddServiceFirst(std::unique_ptr<Service> s) { services_.insert(services_.begin(), std::move(s)); }
  // The service of type T, for its state (stored programs, flash image, ...).
  template <class T>
  T* Find() const {
    for (const auto& s : services_)
      if (auto* t = dynamic_cast<T*>(s.get())) return t;
    return nullptr;
  }

  // Every complete frame received, in order.
  const std::vector<std::vector<uint8_t>>& frames() const { return frames_; }
  void ClearFrames() { frames_.clear(); }

  // The 4096-byte parameter memory, and how much of it the unit sends back.
  std::vector<uint8_t> paramMemory;
  size_t paramServe = 4096;

  std::string VersionAnswer() const;

 private:
  void OnFrame(const std::vector<uint8_t>& frame, uint64_t nowUs, int lineSpeed);
  // Moves the adapter's packets that have gone on by nowUs to the computer's side.
  void PassPackets(uint64_t nowUs);
  // When the adapter sends the packet that starts at out_'s front.
  uint64_t PacketDueUs() const;
  int FrameLength(const uint8_t* header) const;
  void ApplyFaults(const std::vector<uint8_t>& frame, std::vector<uint8_t>& answer);

  UnitConfig cfg_;
  std::vector<std::unique_ptr<Service>> services_;
  std::vector<uint8_t> pending_;  // a frame being received
  uint64_t pendingSince_ = 0;
  struct Due {
    uint64_t at;
    uint8_t byte;
  };
  std::deque<Due> out_;     // on the line, each byte with the moment it is through
  std::deque<Due> passed_;  // with an adapter: on the computer's side
  std::deque<Due>& arrived() { return cfg_.adapterLatencyUs ? passed_ : out_; }
  std::deque<Fault> faults_;
  std::vector<std::vector<uint8_t>> frames_;
};

// The unit's protocols beyond link check, version and the memory read, each in
// a file of its own; the constructor adds them all.
void AddProgramServices(Unit& unit);     // programs.cpp: both program transfers
void AddParameterServices(Unit& unit);   // parameters.cpp: parameter memory writes
void AddFirmwareServices(Unit& unit);    // firmware.cpp: programming mode, clock
void AddCorrectionServices(Unit& unit);  // correction.cpp: correction tables, text frame

// A parameter memory that looks like a configured unit: axes X, Y, Z on the
// first channels, formats set, the rest 0xFF.
std::vector<uint8_t> sample_parameter_memory();

}  // namespace kor::sim
