#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "app/file_system.h"

namespace kor::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  cwd_ = fs::current_path().string();
  std::random_device rd;
  fs::path p = fs::temp_directory_path() / ("korsync-test-" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(p);
  path_ = p.string();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::current_path(cwd_, ec);
  fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& rel) const { return path_ + fsys::kSep + rel; }

void TempDir::write(const std::string& rel, const std::string& bytes) const {
  std::ofstream out(fs::path(path_) / rel, std::ios::binary);
  out << bytes;
}

std::string TempDir::read(const std::string& rel) const {
  std::ifstream in(fs::path(path_) / rel, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDir::exists(const std::string& rel) const { return fs::exists(fs::path(path_) / rel); }

}  // namespace kor::test
