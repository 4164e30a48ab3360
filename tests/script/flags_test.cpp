#include "script/flags.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/base/trace.h"
#include "core/config/config_tree.h"
#include "persist/save_archive.h"
#include "persist/save_data_file.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

namespace fs = std::filesystem;

// A store with a trace that keeps every message, and helpers to declare
// names slot by slot.
class FlagsFixture : public ::testing::Test {
 protected:
  FlagsFixture() {
    trace.SetSink([this](std::string_view m) { messages.emplace_back(m); });
    names = std::make_unique<std::array<FlagStore::Names, 3>>();
  }

  void Declare(FlagBank bank, int slot, std::string name) {
    (*names)[static_cast<size_t>(bank)][slot] = std::move(name);
    store.SetDefinitions((*names)[0], (*names)[1], (*names)[2]);
  }

  bool Traced(std::string_view message) const {
    for (const auto& m : messages)
      if (m == message) return true;
    return false;
  }

  Trace trace;
  std::vector<std::string> messages;
  std::unique_ptr<std::array<FlagStore::Names, 3>> names;
  FlagStore store{trace, fs::path()};
};

// ---- Expressions: values and whether the evaluator reported a fault.

struct ExpressionCase {
  const char* text;
  i32 value;
  bool fault;
};

class ExpressionTest : public FlagsFixture {
 protected:
  void Check(std::initializer_list<ExpressionCase> cases) {
    for (const ExpressionCase& c : cases) {
      messages.clear();
      EXPECT_EQ(store.EvaluateExpression(c.text), c.value) << c.text;
      EXPECT_EQ(Traced(std::string("計算式『") + c.text + "』の判定に失敗"), c.fault) << c.text;
    }
  }
};

TEST_F(ExpressionTest, OperatorsShareOnePrecedenceLeftToRight) {
  // clang-format off
  Check({{"10 - 3 - 2", 5, false}, {"10 / 3", 3, false}, {"0 - 7 / 2", -3, false}, {"1 + 2 * 3", 9, false},
         {"2 * (1 + 2)", 6, false}, {"1+2*3", 9, false}, {"\t4\t-\t1", 3, false}, {"3 < 5", 1, false},
         {"5 > 5", 0, false}, {"5 < 3 < 1", 1, false}, {"7 & 3", 1, false}, {"7 & 0", 0, false},
         {"12ab + 1", 13, false}, {"((2)) * 3", 6, false}, {"", 0, false}, {"   ", 0, false}});
  // clang-format on
}

TEST_F(ExpressionTest, NegationBindsToOneOperandOrGroup) {
  // clang-format off
  Check({{"!0", 1, false}, {"!5", 0, false}, {"!(1 & 0)", 1, false}, {"1 + !0", 2, false}, {"!0 + 4", 5, false},
         {"!!1", 0, true}, {"!", 0, true}, {"3 + !", 3, true}});
  // clang-format on
}

TEST_F(ExpressionTest, FaultsKeepTheOutermostValueReached) {
  // clang-format off
  Check({{"-1", 0, true}, {"0 - 1", -1, false}, {"(1 + 2", 3, false}, {"4 * (1 + (2", 12, false}, {"1 + 2)", 3, true},
         {"5 / 0", 5, true}, {"5 / 0 + 100", 5, true}, {"1 2", 1, true}, {"1 + ", 1, false}, {"()", 0, true},
         {"1 + (2 + )", 1, true}, {"5 / (0", 5, true}, {"1 + (5 / (0", 1, true}, {"2 (3)", 2, true},
         {"1 + 2 !3", 3, true}, {"6 + +", 6, true}});
  // clang-format on
}

TEST_F(ExpressionTest, ArithmeticWrapsAtThirtyTwoBits) {
  const i32 min = std::numeric_limits<i32>::min();
  // clang-format off
  Check({{"2147483647 + 1", min, false}, {"0 - 2147483647 - 1 / (0 - 1)", min, false}, {"4294967297", 1, false},
         {"65536 * 65536", 0, false}});
  // clang-format on
}

TEST_F(FlagsFixture, FlagOperandsAreReadWhenScannedAndUndeclaredOnesAreTraced) {
  Declare(FlagBank::Local, 0, "a");
  Declare(FlagBank::Local, 1, "b");
  Declare(FlagBank::Global, 2, "c");
  Declare(FlagBank::Seen, 3, "d");
  store.SetValue(FlagBank::Local, 0, 2);
  store.SetValue(FlagBank::Local, 1, 7);
  store.SetValue(FlagBank::Global, 2, 1);
  store.SetValue(FlagBank::Seen, 3, 1);
  // ((2 < 7) & 1) < 1 = 0: all operators share one precedence.
  EXPECT_EQ(store.EvaluateExpression("a < b & c < d"), 0);
  EXPECT_EQ(store.EvaluateExpression("b - a * c"), 5);
  EXPECT_TRUE(messages.empty());

  // `=` is part of an operand, so an equality test is an undeclared name.
  EXPECT_EQ(store.EvaluateExpression("a=2"), 0);
  EXPECT_TRUE(Traced("変数『a=2』は定義されていません"));
  EXPECT_EQ(store.EvaluateExpression("b + zz"), 7);
  EXPECT_TRUE(Traced("変数『zz』は定義されていません"));
  // An operand met where an operator belongs is still looked up before the
  // expression fails.
  messages.clear();
  EXPECT_EQ(store.EvaluateExpression("a qq"), 2);
  EXPECT_TRUE(Traced("変数『qq』は定義されていません"));
  EXPECT_TRUE(Traced("計算式『a qq』の判定に失敗"));
}

TEST_F(FlagsFixture, OperandsStopAtNinetyNineBytes) {
  const std::string name99(99, 'n');
  Declare(FlagBank::Local, 4, name99);
  store.SetValue(FlagBank::Local, 4, 42);
  EXPECT_EQ(store.EvaluateExpression(name99), 42);
  // A longer run is cut to its first 99 bytes, and the rest is not a token
  // of its own.
  EXPECT_EQ(store.EvaluateExpression(name99 + "xyz + 1"), 43);
  EXPECT_TRUE(messages.empty());

  // A declared name of 100 bytes can never be reached from an expression.
  const std::string name100(100, 'm');
  Declare(FlagBank::Local, 5, name100);
  store.SetValue(FlagBank::Local, 5, 9);
  EXPECT_EQ(store.EvaluateExpression(name100), 0);
  EXPECT_TRUE(Traced("変数『" + std::string(99, 'm') + "』は定義されていません"));
}

TEST_F(FlagsFixture, DeepNestingNeitherCrashesNorLosesValues) {
  const std::string open(200000, '(');
  EXPECT_EQ(store.EvaluateExpression(open + "5"), 5);
  EXPECT_EQ(store.EvaluateExpression("3 + " + open + "4" + std::string(200000, ')') + " * 2"), 14);
  EXPECT_TRUE(messages.empty());
}

TEST_F(FlagsFixture, EvaluationStopsAtAnEmbeddedNul) {
  EXPECT_EQ(store.EvaluateExpression(std::string_view("1 + 2\0 + 5", 10)), 3);
}

// ---- Which slot a name reaches.

TEST_F(FlagsFixture, ReadsResolveSlotBySlotLocalThenGlobalThenSeen) {
  Declare(FlagBank::Local, 5, "x");
  Declare(FlagBank::Global, 3, "x");
  store.SetValue(FlagBank::Local, 5, 50);
  store.SetValue(FlagBank::Global, 3, 30);
  EXPECT_EQ(store.GetFlag("x"), 30);  // lower slot wins over the local bank

  Declare(FlagBank::Seen, 1, "x");
  store.SetValue(FlagBank::Seen, 1, 10);
  EXPECT_EQ(store.GetFlag("x"), 10);

  Declare(FlagBank::Local, 1, "x");
  Declare(FlagBank::Global, 1, "x");
  store.SetValue(FlagBank::Local, 1, 11);
  store.SetValue(FlagBank::Global, 1, 12);
  EXPECT_EQ(store.GetFlag("x"), 11);  // same slot: local first
  (*names)[0][1].clear();
  store.SetDefinitions((*names)[0], (*names)[1], (*names)[2]);
  EXPECT_EQ(store.GetFlag("x"), 12);  // then global

  // Names compare byte for byte.
  EXPECT_EQ(store.GetFlag("X"), 0);
  EXPECT_TRUE(Traced("変数『X』は定義されていません"));
  // Undeclared slots have empty names, which nothing can reach.
  messages.clear();
  EXPECT_EQ(store.GetFlag(""), 0);
  EXPECT_TRUE(Traced("変数『』は定義されていません"));
}

TEST_F(FlagsFixture, AssignmentsSkipTheSeenBank) {
  Declare(FlagBank::Seen, 1, "y");
  Declare(FlagBank::Global, 2, "y");
  Declare(FlagBank::Seen, 0, "only_seen");
  store.SetFlag("y", 8);
  EXPECT_EQ(store.Value(FlagBank::Global, 2), 8);
  EXPECT_EQ(store.Value(FlagBank::Seen, 1), 0);
  EXPECT_EQ(store.GetFlag("y"), 0);  // reads still find the seen slot first

  store.SetFlag("only_seen", 3);
  EXPECT_EQ(store.Value(FlagBank::Seen, 0), 0);
  EXPECT_TRUE(Traced("変数『only_seen』は未定義"));
  store.SetFlag("nobody", 3);
  EXPECT_TRUE(Traced("変数『nobody』は未定義"));
}

// ---- Assignment lines.

TEST_F(FlagsFixture, AssignParsesNameAndExpression) {
  Declare(FlagBank::Local, 0, "count");
  EXPECT_TRUE(store.Assign("count = 1 + 2"));
  EXPECT_EQ(store.GetFlag("count"), 3);
  EXPECT_TRUE(store.Assign(" \tcount=count*4"));
  EXPECT_EQ(store.GetFlag("count"), 12);
  EXPECT_TRUE(store.Assign("count\t=\t  count - 2"));
  EXPECT_EQ(store.GetFlag("count"), 10);
  // The name ends at the first blank; the '=' may come later.
  EXPECT_TRUE(store.Assign("count junk = 5"));
  EXPECT_EQ(store.GetFlag("count"), 5);
  // An empty expression assigns 0.
  EXPECT_TRUE(store.Assign("count ="));
  EXPECT_EQ(store.GetFlag("count"), 0);
}

TEST_F(FlagsFixture, AssignKeepsPartialValuesAndFailsOnlyOnShape) {
  Declare(FlagBank::Local, 0, "v");
  EXPECT_TRUE(store.Assign("v = 5 / 0"));
  EXPECT_EQ(store.GetFlag("v"), 5);
  EXPECT_TRUE(store.Assign("v = 1 + 2) * 10"));
  EXPECT_EQ(store.GetFlag("v"), 3);

  EXPECT_FALSE(store.Assign("v 5"));
  EXPECT_FALSE(store.Assign(""));
  EXPECT_EQ(store.GetFlag("v"), 3);

  const std::string name250(250, 'k');
  Declare(FlagBank::Local, 1, name250);
  EXPECT_TRUE(store.Assign(name250 + " = 4"));
  EXPECT_EQ(store.Value(FlagBank::Local, 1), 4);
  EXPECT_FALSE(store.Assign(name250 + "k = 4"));

  // An undeclared target still "succeeds" as a line; only the trace tells.
  EXPECT_TRUE(store.Assign("ghost = 1"));
  EXPECT_TRUE(Traced("変数『ghost』は未定義"));
}

// ---- Flag files in the save folder.

class FlagFilesTest : public FlagsFixture {
 protected:
  FlagFilesTest() { store.SetSaveFolder(dir.path()); }

  // Reads a bank file back through the scrambled layer.
  FlagStore::Values ReadBank(const char* name) {
    SaveDataFile file(dir.path());
    EXPECT_TRUE(file.OpenForRead(name));
    std::string bytes(kFlagBankBytes, '\0');
    EXPECT_EQ(file.Size(), kFlagBankBytes);
    EXPECT_TRUE(file.Read(bytes.data(), bytes.size()));
    file.Close();
    FlagStore::Values values;
    FlagStore::DecodeBank(bytes, values);
    return values;
  }

  void WriteRaw(const char* name, std::string_view bytes) {
    SaveDataFile file(dir.path());
    ASSERT_TRUE(file.OpenForWrite(name));
    file.Write(bytes);
    ASSERT_TRUE(file.Close());
  }

  bool Exists(const char* name) const { return fs::exists(dir.path() / name); }

  testing::TempDir dir;
};

TEST_F(FlagFilesTest, GlobalAssignmentsRewriteTheFileEvenWithoutChange) {
  Declare(FlagBank::Global, 12, "cleared");
  Declare(FlagBank::Local, 0, "local");
  store.SetFlag("local", 6);
  EXPECT_FALSE(Exists(kGlobalFlagFile));

  store.SetFlag("cleared", -2);
  ASSERT_TRUE(Exists(kGlobalFlagFile));
  FlagStore::Values values = ReadBank(kGlobalFlagFile);
  EXPECT_EQ(values[12], -2);
  EXPECT_EQ(values[0], 0);  // the local value never reaches the global file
  // The file is scrambled on disk, not the plain bank layout.
  EXPECT_NE(testing::ReadFileBytes(dir.path() / kGlobalFlagFile), FlagStore::EncodeBank(values));

  fs::remove(dir.path() / kGlobalFlagFile);
  store.SetFlag("cleared", -2);
  EXPECT_TRUE(Exists(kGlobalFlagFile));
  EXPECT_FALSE(Exists(kSeenFlagFile));
}

TEST_F(FlagFilesTest, MarkSeenWritesEveryTimeButOnlyForSeenNames) {
  Declare(FlagBank::Seen, 7, "bg_sea");
  Declare(FlagBank::Global, 3, "m01");
  store.MarkSeen("m01");  // a global name is not a seen mark
  store.MarkSeen("unknown");
  EXPECT_FALSE(Exists(kSeenFlagFile));
  EXPECT_EQ(store.Value(FlagBank::Global, 3), 0);

  store.MarkSeen("bg_sea");
  EXPECT_EQ(ReadBank(kSeenFlagFile)[7], 1);
  const std::string first = testing::ReadFileBytes(dir.path() / kSeenFlagFile);
  fs::remove(dir.path() / kSeenFlagFile);
  store.MarkSeen("bg_sea");
  EXPECT_EQ(testing::ReadFileBytes(dir.path() / kSeenFlagFile), first);
  EXPECT_FALSE(Exists(kGlobalFlagFile));
}

TEST_F(FlagFilesTest, LoadDefinitionsReadsConfigAndBothFiles) {
  ConfigTree config;
  config.Insert("Define", "Flag", "L000", "route");
  config.Insert("Define", "Flag", "G012", "cleared_route_a");
  config.Insert("Define", "Flag", "F999", "ev_end");
  config.Insert("Define", "Flag", "G001", "");  // empty value: undeclared
  config.Insert("Define", "Other", "L001", "elsewhere");

  FlagStore::Values global{};
  global[12] = 77;
  global[999] = -1;
  WriteRaw(kGlobalFlagFile, FlagStore::EncodeBank(global));
  FlagStore::Values seen{};
  seen[999] = 1;
  WriteRaw(kSeenFlagFile, FlagStore::EncodeBank(seen));

  store.SetValue(FlagBank::Local, 0, 5);
  store.LoadFlagDefinitions(config);
  EXPECT_EQ(store.Name(FlagBank::Global, 12), "cleared_route_a");
  EXPECT_EQ(store.GetFlag("cleared_route_a"), 77);
  EXPECT_EQ(store.Value(FlagBank::Global, 999), -1);
  EXPECT_EQ(store.GetFlag("ev_end"), 1);
  EXPECT_EQ(store.GetFlag("route"), 0);
  EXPECT_TRUE(store.Name(FlagBank::Global, 1).empty());
  EXPECT_EQ(store.GetFlag("elsewhere"), 0);
  EXPECT_TRUE(Traced("変数『elsewhere』は定義されていません"));
}

TEST_F(FlagFilesTest, MissingAndShortFilesLeaveZeros) {
  ConfigTree config;
  config.Insert("Define", "Flag", "G000", "a");
  config.Insert("Define", "Flag", "G001", "b");
  config.Insert("Define", "Flag", "G002", "c");
  store.SetValue(FlagBank::Global, 2, 9);
  store.SetValue(FlagBank::Seen, 2, 9);
  store.LoadFlagDefinitions(config);
  EXPECT_EQ(store.GetFlag("c"), 0);  // missing file: zeros, no trace of it
  EXPECT_EQ(store.Value(FlagBank::Seen, 2), 0);

  // Nine bytes: two whole values and one stray byte.
  std::string bytes = FlagStore::EncodeBank(FlagStore::Values{{3, 4, 5}}).substr(0, 9);
  WriteRaw(kGlobalFlagFile, bytes);
  store.LoadFlagDefinitions(config);
  EXPECT_EQ(store.GetFlag("a"), 3);
  EXPECT_EQ(store.GetFlag("b"), 4);
  EXPECT_EQ(store.GetFlag("c"), 0);

  // An oversized file contributes only the bank's 4000 bytes.
  std::string big = FlagStore::EncodeBank(FlagStore::Values{{6, 7, 8}}) + std::string(5000, 'x');
  WriteRaw(kGlobalFlagFile, big);
  store.LoadFlagDefinitions(config);
  EXPECT_EQ(store.GetFlag("c"), 8);
}

// ---- The local bank inside a save.

TEST_F(FlagsFixture, LocalFlagsTravelThroughTheSaveSection) {
  Declare(FlagBank::Local, 0, "first");
  Declare(FlagBank::Local, 999, "last");
  store.SetFlag("first", -123456);
  store.SetFlag("last", 999);
  store.SetValue(FlagBank::Global, 0, 55);

  SaveArchive out;
  store.SerializeLocalFlags(out);
  SaveArchive in;
  in.OpenForReading(out.bytes());
  ASSERT_TRUE(in.Contains("Flags"));
  // Key length, key, value length, value.
  EXPECT_EQ(out.bytes().size(), 4u + 5u + 4u + kFlagBankBytes);

  FlagStore other(trace, fs::path());
  other.SetValue(FlagBank::Local, 1, 8);
  other.SerializeLocalFlags(in);
  EXPECT_EQ(other.Value(FlagBank::Local, 0), -123456);
  EXPECT_EQ(other.Value(FlagBank::Local, 999), 999);
  EXPECT_EQ(other.Value(FlagBank::Local, 1), 0);
  EXPECT_EQ(other.Value(FlagBank::Global, 0), 0);
}

TEST_F(FlagsFixture, DamagedSaveSectionKeepsCurrentFlags) {
  store.SetValue(FlagBank::Local, 3, 33);
  SaveArchive wrongSize;
  std::string small(3996, '\0');
  wrongSize.ExchangeBytes("Flags", small.data(), small.size());
  SaveArchive in;
  in.OpenForReading(wrongSize.bytes());
  store.SerializeLocalFlags(in);
  EXPECT_EQ(store.Value(FlagBank::Local, 3), 33);

  SaveArchive empty;
  empty.OpenForReading("");
  store.SerializeLocalFlags(empty);
  EXPECT_EQ(store.Value(FlagBank::Local, 3), 33);
}

}  // namespace
}  // namespace lyraban
