#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "base/trace.h"
#include "script/flags.h"

namespace lyraban {
namespace {

// A store with every slot of all three banks declared, so lookups work
// against a full table as in a large game.
std::unique_ptr<FlagStore> MakeFullStore(Trace& trace) {
  auto store = std::make_unique<FlagStore>(trace, std::filesystem::path());
  auto names = std::make_unique<std::array<FlagStore::Names, 3>>();
  const char letters[3] = {'l', 'g', 'f'};
  for (int bank = 0; bank < 3; ++bank)
    for (int i = 0; i < kFlagSlots; ++i) (*names)[bank][i] = std::string("flag_") + letters[bank] + std::to_string(i);
  store->SetDefinitions((*names)[0], (*names)[1], (*names)[2]);
  return store;
}

void BM_EvaluateCondition(benchmark::State& state) {
  Trace trace;
  auto store = MakeFullStore(trace);
  for (auto _ : state) benchmark::DoNotOptimize(store->EvaluateExpression("flag_l999 + 1 > 3 & !flag_f500"));
}
BENCHMARK(BM_EvaluateCondition);

void BM_AssignLocal(benchmark::State& state) {
  Trace trace;
  auto store = MakeFullStore(trace);
  for (auto _ : state) benchmark::DoNotOptimize(store->Assign("flag_l750 = flag_l750 + 1"));
}
BENCHMARK(BM_AssignLocal);

// Every change of a global flag rewrites the flag file whole (and renames it
// into place); a game that counts in a global flag in a loop pays this per
// assignment, so 100,000 of them take 100,000 times the time shown.
void BM_AssignGlobalWritesTheFlagFile(benchmark::State& state) {
  Trace trace;
  const auto folder = std::filesystem::temp_directory_path() / ("lyraban-flags-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  {
    FlagStore store(trace, folder);
    std::array<FlagStore::Names, 3> names;
    names[1][0] = "score";
    store.SetDefinitions(names[0], names[1], names[2]);
    for (auto _ : state) benchmark::DoNotOptimize(store.Assign("score = score + 1"));
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_AssignGlobalWritesTheFlagFile)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lyraban
