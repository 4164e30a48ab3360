#pragma once
// Helpers shared by the fuzz harnesses: a scratch folder per process for the
// readers that take files, and a trace that goes nowhere but still formats
// every message (formatting is code under test too).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "base/trace.h"

namespace lyraban::fuzz {

inline const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "lyraban-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline Trace& QuietTrace() {
  static Trace trace;
  static const bool once = [] {
    trace.SetSink([](std::string_view message) {
      volatile std::size_t sink = message.size();
      (void)sink;
    });
    return true;
  }();
  (void)once;
  return trace;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace lyraban::fuzz
