#include "core/default_game.h"

#include <filesystem>

#ifndef LYRABAN_SAMPLE_FROM_BINDIR
#define LYRABAN_SAMPLE_FROM_BINDIR "../share/games/lyraban/sample"
#endif

namespace lyraban {

namespace fs = std::filesystem;

std::string DefaultGameFolder(const std::string& programFolder, std::string_view sampleFromProgram) {
  if (programFolder.empty()) return ".";
  std::error_code ec;
  if (fs::is_directory(fs::path(programFolder) / "data", ec)) return programFolder;
  if (!sampleFromProgram.empty()) {
    const fs::path sample = (fs::path(programFolder) / sampleFromProgram).lexically_normal();
    if (fs::is_directory(sample / "data", ec)) {
      std::string folder = sample.string();
      while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
      return folder;
    }
  }
  return programFolder;
}

std::string DefaultGameFolder(const std::string& programFolder) {
  return DefaultGameFolder(programFolder, LYRABAN_SAMPLE_FROM_BINDIR);
}

}  // namespace lyraban
