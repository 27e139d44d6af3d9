// Serves a simulated unit on a pseudo-terminal, in real time.
#pragma once
#include <atomic>
#include <string>

#include "sim/unit.h"

namespace kor::sim {

class PtyServer {
 public:
  explicit PtyServer(Unit& unit) : unit_(unit) {}
  ~PtyServer();
  // Opens the pseudo-terminal; false with a message in error() on failure.
  bool Start();
  const std::string& slavePath() const { return slave_; }
  const std::string& error() const { return error_; }
  // Runs until stop becomes true.
  void Run(const std::atomic<bool>& stop);

 private:
  Unit& unit_;
  int master_ = -1;
  int slaveFd_ = -1;
  std::string slave_;
  std::string error_;
};

}  // namespace kor::sim
