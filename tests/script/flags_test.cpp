#include "script/flags.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "core/config/config_tree.h"
#include "persist/save_archive.h"
#include "persist/save_data_file.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;

class FlagsTest : public ::testing::Test {
 protected:
  FlagsTest() {
    trace.SetSink([this](std::string_view m) { messages.append(m).append("\n"); });
  }

  void Declare(FlagBank bank, int slot, std::string name, i32 value = 0) {
    (*names)[static_cast<size_t>(bank)][slot] = std::move(name);
    store.SetDefinitions((*names)[0], (*names)[1], (*names)[2]);
    store.SetValue(bank, slot, value);
  }
  bool Traced(std::string_view message) const {
    return messages.find(std::string(message) + "\n") != std::string::npos;
  }
  bool Undeclared(std::string_view name) const {
    return Traced("変数『" + std::string(name) + "』は定義されていません");
  }
  // Reads a bank file back through the scrambled layer.
  FlagStore::Values ReadBank(const char* name) {
    SaveDataFile file(dir.path());
    std::string bytes;
    EXPECT_TRUE(file.OpenForRead(name) && file.ReadRest(bytes));
    EXPECT_EQ(bytes.size(), kFlagBankBytes);
    FlagStore::Values values;
    FlagStore::DecodeBank(bytes, values);
    return values;
  }
  void WriteRaw(const char* name, std::string_view bytes) {
    SaveDataFile file(dir.path());
    ASSERT_TRUE(file.OpenForWrite(name) && file.Write(bytes) && file.Close());
  }

  testing::TempDir dir;
  Trace trace;
  std::string messages;
  std::unique_ptr<std::array<FlagStore::Names, 3>> names = std::make_unique<std::array<FlagStore::Names, 3>>();
  FlagStore store{trace, fs::path()};
};

// One precedence, strictly left to right; a fault is traced and keeps the
// outermost value reached; arithmetic wraps at 32 bits.
TEST_F(FlagsTest, ExpressionValuesAndFaults) {
  struct Case {
    std::string_view text;
    i32 value;
    bool fault;
  };
  const i32 min = std::numeric_limits<i32>::min();
  // clang-format off
  const Case cases[] = {{"10 - 3 - 2", 5, false}, {"0 - 7 / 2", -3, false}, {"1+2*3", 9, false},
      {"2 * (1 + 2)", 6, false}, {"\t4\t-\t1", 3, false}, {"3 < 5", 1, false}, {"5 > 5", 0, false},
      {"5 < 3 < 1", 1, false}, {"7 & 3", 1, false}, {"7 & 0", 0, false}, {"12ab + 1", 13, false},
      {"((2)) * 3", 6, false}, {"", 0, false}, {"1 + 2\0 + 5"sv, 3, false},
      {"!0", 1, false}, {"!5", 0, false}, {"!(1 & 0)", 1, false}, {"1 + !0", 2, false}, {"!!1", 0, true},
      {"!", 0, true}, {"3 + !", 3, true},
      {"-1", 0, true}, {"(1 + 2", 3, false}, {"4 * (1 + (2", 12, false}, {"1 + 2)", 3, true},
      {"5 / 0 + 100", 5, true}, {"1 2", 1, true}, {"1 + ", 1, false}, {"()", 0, true}, {"1 + (2 + )", 1, true},
      {"1 + (5 / (0", 1, true}, {"2 (3)", 2, true}, {"6 + +", 6, true},
      {"2147483647 + 1", min, false}, {"0 - 2147483647 - 1 / (0 - 1)", min, false}, {"4294967297", 1, false},
      {"65536 * 65536", 0, false}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    messages.clear();
    EXPECT_EQ(store.EvaluateExpression(c.text), c.value);
    EXPECT_EQ(Traced("計算式『" + std::string(c.text) + "』の判定に失敗"), c.fault);
  }
  const std::string open(200000, '(');  // deep nesting is no recursion
  EXPECT_EQ(store.EvaluateExpression("3 + " + open + "4" + std::string(200000, ')') + " * 2"), 14);
  EXPECT_EQ(store.EvaluateExpression(open + "5"), 5);
}

TEST_F(FlagsTest, OperandsAreFlagsReadWhenScanned) {
  Declare(FlagBank::Local, 0, "a", 2);
  Declare(FlagBank::Global, 2, "c", 7);
  Declare(FlagBank::Seen, 3, "d", 1);
  EXPECT_EQ(store.EvaluateExpression("a < c & d"), 1);
  EXPECT_EQ(messages, "");
  EXPECT_EQ(store.EvaluateExpression("a=2"), 0);  // '=' belongs to the operand
  EXPECT_TRUE(Undeclared("a=2"));
  // An operand where an operator belongs is looked up before the fault.
  EXPECT_EQ(store.EvaluateExpression("a qq"), 2);
  EXPECT_TRUE(Undeclared("qq") && Traced("計算式『a qq』の判定に失敗"));

  // Operands stop at 99 bytes, and the rest of a longer run is dropped.
  Declare(FlagBank::Local, 4, std::string(99, 'n'), 42);
  Declare(FlagBank::Local, 5, std::string(100, 'm'), 9);
  EXPECT_EQ(store.EvaluateExpression(std::string(99, 'n') + "xyz + 1"), 43);
  EXPECT_EQ(store.EvaluateExpression(std::string(100, 'm')), 0);
  EXPECT_TRUE(Undeclared(std::string(99, 'm')));
}

TEST_F(FlagsTest, NamesResolveSlotBySlotAndAssignmentsSkipTheSeenBank) {
  Declare(FlagBank::Local, 5, "x", 50);
  Declare(FlagBank::Global, 3, "x", 30);
  EXPECT_EQ(store.GetFlag("x"), 30);  // the lower slot wins over the bank order
  Declare(FlagBank::Global, 1, "x", 12);
  Declare(FlagBank::Local, 1, "x", 11);
  EXPECT_EQ(store.GetFlag("x"), 11);  // same slot: local, global, seen
  Declare(FlagBank::Seen, 0, "x", 10);
  store.SetFlag("x", 8);
  EXPECT_EQ(store.Value(FlagBank::Local, 1) * 100 + store.Value(FlagBank::Seen, 0), 810);
  EXPECT_EQ(store.GetFlag("X") + store.GetFlag(""), 0);  // byte for byte; empty names are unreachable
  EXPECT_TRUE(Undeclared("X") && Undeclared(""));
  Declare(FlagBank::Seen, 2, "only_seen");
  store.SetFlag("only_seen", 3);
  EXPECT_EQ(store.Value(FlagBank::Seen, 2), 0);
  EXPECT_TRUE(Traced("変数『only_seen』は未定義"));
}

TEST_F(FlagsTest, AssignParsesNameAndKeepsPartialValues) {
  Declare(FlagBank::Local, 0, "v", 4);
  const std::pair<const char*, i32> good[] = {{"v = v * 3", 12}, {" \tv\t=\t  v - 2", 10}, {"v junk = 5", 5},
                                              {"v =", 0},        {"v = 5 / 0", 5},         {"v = 1 + 2) * 10", 3}};
  for (auto [line, value] : good) {
    EXPECT_TRUE(store.Assign(line)) << line;
    EXPECT_EQ(store.GetFlag("v"), value) << line;
  }
  EXPECT_FALSE(store.Assign("v 5") || store.Assign(""));
  Declare(FlagBank::Local, 1, std::string(250, 'k'));
  EXPECT_TRUE(store.Assign(std::string(250, 'k') + " = 4"));
  EXPECT_FALSE(store.Assign(std::string(251, 'k') + " = 4"));
  EXPECT_EQ(store.Value(FlagBank::Local, 1) * 10 + store.GetFlag("v"), 43);
}

TEST_F(FlagsTest, GlobalAssignmentsAndSeenMarksRewriteTheirFilesEveryTime) {
  store.SetSaveFolder(dir.path());
  Declare(FlagBank::Global, 12, "cleared");
  Declare(FlagBank::Local, 0, "local");
  Declare(FlagBank::Seen, 7, "bg_sea");
  store.SetFlag("local", 6);
  store.MarkSeen("cleared");  // not a seen name
  EXPECT_TRUE(fs::is_empty(dir.path()));
  for (int round = 0; round < 2; ++round) {  // unchanged values are written again
    fs::remove_all(dir.path());
    fs::create_directory(dir.path());
    store.SetFlag("cleared", -2);
    store.MarkSeen("bg_sea");
    const FlagStore::Values global = ReadBank(kGlobalFlagFile);
    EXPECT_EQ(global[12] * 10 + global[0] + ReadBank(kSeenFlagFile)[7], -19);
  }
  EXPECT_NE(testing::ReadFileBytes(dir.path() / kGlobalFlagFile), FlagStore::EncodeBank(ReadBank(kGlobalFlagFile)));
}

TEST_F(FlagsTest, LoadDefinitionsReadsConfigAndBankFilesOfAnySize) {
  store.SetSaveFolder(dir.path());
  ConfigTree config;
  for (auto [key, name] : {std::pair{"L000", "route"},
                           {"G000", "a"},
                           {"G001", "b"},
                           {"G002", "c"},
                           {"G003", ""},
                           {"G999", "last"},
                           {"F999", "ev_end"}})
    config.Insert("Define", "Flag", key, name);
  config.Insert("Define", "Other", "L001", "elsewhere");
  FlagStore::Values values{{3, 4, 5}};
  values[999] = -1;
  const std::string bank = FlagStore::EncodeBank(values);
  WriteRaw(kSeenFlagFile, bank);
  // Nine bytes give two values; an oversized file only its first 4000.
  for (auto [bytes, c] : {std::pair{bank, 5}, {bank.substr(0, 9), 0}, {bank + std::string(5000, 'x'), 5}}) {
    WriteRaw(kGlobalFlagFile, bytes);
    store.SetValue(FlagBank::Local, 0, 5);
    store.LoadFlagDefinitions(config);
    EXPECT_EQ(store.GetFlag("a") * 100 + store.GetFlag("b") * 10 + store.GetFlag("c") + store.GetFlag("route"),
              340 + c);
    EXPECT_EQ(store.GetFlag("last"), c ? -1 : 0);
    EXPECT_TRUE(store.Name(FlagBank::Global, 3).empty());
    EXPECT_EQ(store.GetFlag("elsewhere"), 0);
  }
  EXPECT_EQ(store.GetFlag("ev_end"), -1);
  fs::remove(dir.path() / kSeenFlagFile);
  store.LoadFlagDefinitions(config);
  EXPECT_EQ(store.GetFlag("ev_end"), 0);  // missing file: zeros
}

// The save section holds one "Flags" entry of the whole local bank; a
// missing or missized entry keeps the current flags.
TEST_F(FlagsTest, LocalFlagsTravelThroughTheSaveSection) {
  Declare(FlagBank::Local, 0, "first", -123456);
  Declare(FlagBank::Local, 999, "last", 999);
  SaveArchive out, in, wrongSize;
  store.SerializeLocalFlags(out);
  EXPECT_EQ(out.bytes().size(), 4u + 5u + 4u + kFlagBankBytes);
  std::string small(3996, '\0');
  wrongSize.ExchangeBytes("Flags", small.data(), small.size());
  FlagStore other(trace, fs::path());
  other.SetValue(FlagBank::Local, 1, 8);
  for (const std::string& bytes : {out.bytes(), wrongSize.bytes(), std::string()}) {
    in.OpenForReading(bytes);
    other.SerializeLocalFlags(in);
    EXPECT_EQ(other.Value(FlagBank::Local, 0), -123456);
    EXPECT_EQ(other.Value(FlagBank::Local, 999) * 10 + other.Value(FlagBank::Local, 1), 9990);
  }
}

}  // namespace
}  // namespace lyraban
