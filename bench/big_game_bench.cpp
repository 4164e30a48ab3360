// A game at a shipped game's scale: 20,000 entries in 8 archives. Opening
// and merging every directory is start-up cost; a lookup must cost the same
// for the first name written and the last.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/trace.h"
#include "packwriter/big_game.h"
#include "resources/resources.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;

constexpr u32 kEntries = 20000;
constexpr u32 kArchives = 8;

// Written once for the whole run, removed at exit.
class BigGame {
 public:
  BigGame() : root_(fs::temp_directory_path() / ("lyraban-biggame-" + std::to_string(::getpid()))) {
    fs::create_directories(root_ / "data");
    ok_ = WriteBigGame((root_ / "data").string(), kEntries, kArchives, error_);
  }
  ~BigGame() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  static BigGame& Get() {
    static BigGame game;
    return game;
  }
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  std::string path() const { return root_.string(); }

 private:
  fs::path root_;
  bool ok_ = false;
  std::string error_;
};

void OpenBigGame(benchmark::State& state) {
  BigGame& game = BigGame::Get();
  if (!game.ok()) {
    state.SkipWithError(game.error().c_str());
    return;
  }
  for (auto _ : state) {
    Trace trace;
    Resources resources(trace);
    resources.OpenDataFolder(game.path());
    if (!resources.OpenAllArchives() || resources.directory().size() != kEntries) {
      state.SkipWithError("the big game did not open whole");
      break;
    }
    benchmark::DoNotOptimize(resources.directory().size());
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(OpenBigGame)->Name("BigGame/open_and_merge_8x2500")->Unit(benchmark::kMillisecond);

// Looks up one name (as the game spells it, letter case as stored) in the
// merged directory.
void LookupBigGame(benchmark::State& state, u32 index) {
  BigGame& game = BigGame::Get();
  if (!game.ok()) {
    state.SkipWithError(game.error().c_str());
    return;
  }
  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game.path());
  resources.OpenAllArchives();
  const std::string name = BigGameName(index);
  for (auto _ : state) {
    const PackEntry* entry = resources.directory().Find(name);
    if (!entry) {
      state.SkipWithError("name not found");
      break;
    }
    benchmark::DoNotOptimize(entry);
  }
}
BENCHMARK_CAPTURE(LookupBigGame, first, 0u)->Name("BigGame/lookup/first");
BENCHMARK_CAPTURE(LookupBigGame, last, kEntries - 1)->Name("BigGame/lookup/last");

}  // namespace
}  // namespace lyraban
