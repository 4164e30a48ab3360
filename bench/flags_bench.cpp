#include <benchmark/benchmark.h>

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

}  // namespace
}  // namespace lyraban
