// Flag expressions and assignments, with a few flags of every bank defined.
#include "fuzz/fuzz_support.h"
#include "script/flags.h"

using namespace lyraban;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FlagStore* flags = [] {
    auto* store = new FlagStore(fuzz::QuietTrace(), {});
    auto local = std::make_unique<FlagStore::Names>();
    auto global = std::make_unique<FlagStore::Names>();
    auto seen = std::make_unique<FlagStore::Names>();
    (*local)[0] = "a";
    (*local)[1] = "b";
    (*global)[0] = "g";
    (*seen)[0] = "bg.png";
    store->SetDefinitions(*local, *global, *seen);
    return store;
  }();
  const std::string_view text = fuzz::AsText(data, size);
  flags->EvaluateExpression(text);
  flags->Assign(text);
  return 0;
}
