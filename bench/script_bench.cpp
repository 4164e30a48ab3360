// Interpreter throughput: a looping script of assignments, IF blocks and GOTO
// jumps over the real flag store, with a host that only counts lines.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/trace.h"
#include "persist/read_log.h"
#include "platform/clock.h"
#include "resources/resources.h"
#include "script/flags.h"
#include "script/interpreter.h"
#include "script/quiet_host.h"

namespace lyraban {
namespace {

// Lets a fixed number of lines run, then reports a quit.
class CountingHost final : public QuietHost {
 public:
  bool PumpMessages() override { return budget-- > 0; }
  bool PumpInput() override { return true; }
  i64 budget = 0;
};

class FixedClock final : public platform::Clock {
 public:
  u32 Now() override { return 0; }
  void Sleep(u32) override {}
  void WaitOnWorker(u32) override {}
  void Wake() override {}
};

constexpr const char* kLoop =
    "; counters\r\n"
    "#top\r\n"
    "?i = i + 1\r\n"
    "?j = j + 2 * i\r\n"
    ".IF i < 100\r\n"
    "{\r\n"
    "?k = k + 1\r\n"
    "}\r\n"
    ".ELSE\r\n"
    "{\r\n"
    "?i = 0\r\n"
    ".IF j > 1000000\r\n"
    "{\r\n"
    "?j = 0\r\n"
    "}\r\n"
    "}\r\n"
    ".GOTO top\r\n";

void BM_InterpreterLines(benchmark::State& state) {
  const std::filesystem::path game =
      std::filesystem::temp_directory_path() / ("lyraban-script-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(game / "data" / "script");
  std::ofstream(game / "data" / "script" / "loop.txt", std::ios::binary) << kLoop;

  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game.string());
  ReadLog readLog(trace);
  FlagStore flags(trace, {});
  auto local = std::make_unique<FlagStore::Names>();
  auto none = std::make_unique<FlagStore::Names>();
  // Real games declare many flags; the counters sit among them.
  for (int i = 0; i < 300; ++i) (*local)[i] = "flag" + std::to_string(i);
  (*local)[301] = "i";
  (*local)[302] = "j";
  (*local)[303] = "k";
  flags.SetDefinitions(*local, *none, *none);
  NoTags tags;
  CountingHost host;
  FixedClock clock;
  Interpreter interp(resources, readLog, flags, tags, host, clock, trace);

  const i64 linesPerRun = state.range(0);
  i64 lines = 0;
  for (auto _ : state) {
    if (!interp.RootProgram.Load("loop.txt")) {
      state.SkipWithError("loop.txt cannot be loaded");
      break;
    }
    host.budget = linesPerRun;
    interp.RunProgram(interp.RootProgram);
    // The loop never ends on its own: the whole budget must have been used.
    if (host.budget != -1) {
      state.SkipWithError("the script stopped early");
      break;
    }
    lines += linesPerRun;
  }
  state.counters["lines_per_second"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  std::filesystem::remove_all(game);
}
BENCHMARK(BM_InterpreterLines)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lyraban
