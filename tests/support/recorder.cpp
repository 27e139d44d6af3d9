#include "support/recorder.h"

namespace kor::test {

std::vector<std::string> Recorder::MessageTexts() const {
  std::vector<std::string> out;
  for (const auto& m : messages) out.push_back(m.text);
  return out;
}

}  // namespace kor::test
