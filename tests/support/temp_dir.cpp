#include "support/temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

namespace lyraban::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lyraban-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(std::string_view relative, std::string_view bytes) const {
  auto full = path_ / std::filesystem::path(std::string(relative));
  std::filesystem::create_directories(full.parent_path());
  WriteFileBytes(full, bytes);
  return full;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace lyraban::testing
