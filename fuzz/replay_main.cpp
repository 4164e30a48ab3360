// Runs a harness over every file of the folders (or files) it is given, once
// each, without libFuzzer: CTest replays the inputs that once failed in every
// build, sanitizer builds included, with no clang needed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return 1;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
  std::fflush(stdout);
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0, inputs = 0;
  // Absolute first: a harness may change the current folder.
  std::vector<std::filesystem::path> paths;
  for (int i = 1; i < argc; ++i) paths.push_back(std::filesystem::absolute(argv[i]));
  for (const auto& path : paths) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto& f : files) failures += Replay(f), ++inputs;
    } else {
      failures += Replay(path), ++inputs;
    }
  }
  std::printf("%d inputs replayed\n", inputs);
  return failures == 0 ? 0 : 1;
}
