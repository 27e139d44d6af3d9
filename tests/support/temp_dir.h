// A fresh folder for a test's files; the current directory is put back after.
#pragma once
#include <string>

namespace kor::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& rel) const;  // path_/rel with the platform's separator
  // Writes bytes into path_/rel (folders must exist).
  void write(const std::string& rel, const std::string& bytes) const;
  std::string read(const std::string& rel) const;  // "" when missing
  bool exists(const std::string& rel) const;

 private:
  std::string path_;
  std::string cwd_;
};

}  // namespace kor::test
