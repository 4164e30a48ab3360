#include "script/program.h"

#include <gtest/gtest.h>

#include "persist/read_log.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

TEST(LineModel, KindsCommandsAndSpeakers) {
  const std::pair<std::string_view, LineKind> kinds[] = {{"", LineKind::Blank},
                                                         {std::string_view("\0x", 2), LineKind::Blank},
                                                         {"; n", LineKind::Comment},
                                                         {"#s", LineKind::Label},
                                                         {"{ x", LineKind::BlockOpen},
                                                         {"}", LineKind::BlockClose},
                                                         {"?c = 1", LineKind::Assignment},
                                                         {".bgm", LineKind::Command},
                                                         {" .x", LineKind::Text}};
  for (auto [line, kind] : kinds) EXPECT_EQ(ClassifyLine(line), kind) << line;
  // clang-format off
  const std::string_view commands[][3] = {{".wait100", "wait", "100"}, {"..CASE 1", "CASE", "1"},
      {".bgm\t \tm01 noloop  ", "bgm", "m01 noloop  "}, {".f(1, 2)", "f", "(1, 2)"}, {".", "", ""}, {"..", "", ""},
      {"...", ".", ""}, {".ELSE ", "ELSE", ""}, {".GOTO#x", "GOTO#x", ""}};
  // clang-format on
  for (const auto& c : commands) {
    const CommandParts parts = SplitCommand(c[0]);
    EXPECT_EQ(std::string(parts.keyword) + "|" + std::string(parts.arguments),
              std::string(c[1]) + "|" + std::string(c[2]));
  }
  for (auto [block, speaker, words] : {std::tuple{"Aya:a/b:c", "Aya", "a/b:c"}, {":x", "", "x"}, {"a/b", "-", "a/b"}}) {
    const SpeakerText t = SplitSpeaker(block);
    EXPECT_EQ(t.hasSpeaker ? std::string(t.speaker) : "-", speaker);
    EXPECT_EQ(t.words, words);
  }
}

class ScriptProgramTest : public ::testing::Test {
 protected:
  ScriptProgramTest() { resources.OpenDataFolder(dir.str()); }
  void Write(std::string_view name, std::string_view bytes) { dir.Write("data/script/" + std::string(name), bytes); }

  testing::TempDir dir;
  Trace trace;
  Resources resources{trace};
  ReadLog readLog{trace};
  ScriptProgram program{resources, readLog};
};

TEST_F(ScriptProgramTest, LoadSplitsLinesResetsEveryFieldAndFailsClean) {
  Write("start.txt", "  \t.bgm x\r\nabc   \r\n\r\n;c\rlast   ");
  program.NextLine = 2;
  program.ResumeLine = program.CaseID = 1;
  program.CaseEnable = true;
  program.PendingText = "pending";
  program.Child = program.MakeChild();
  ASSERT_TRUE(program.Load("start.txt"));
  EXPECT_EQ(program.NextLine + program.ResumeLine + program.CaseID + program.CaseEnable, 0u);
  EXPECT_TRUE(program.PendingText.empty() && !program.Child);
  std::string lines;
  std::string_view line;
  for (u32 i = 0; program.GetLine(i, line); ++i) lines.append(line).append("|");
  EXPECT_EQ(lines, ".bgm x|abc   ||;c|last|");
  EXPECT_EQ(readLog.currentKey(), "start");

  Write("lf.txt", "one\ntwo\n");  // a line feed alone does not end a line
  ASSERT_TRUE(program.Load("lf.txt"));
  EXPECT_EQ(program.LineCount(), 1u);
  Write("empty.txt", "");
  ASSERT_TRUE(program.Load("empty.txt"));
  EXPECT_EQ(program.Name, "empty.txt");
  EXPECT_EQ(program.LineCount(), 0u);
  ASSERT_TRUE(program.Load("start.txt"));
  EXPECT_FALSE(program.Load("missing.txt"));
  EXPECT_TRUE(program.Name.empty());
  EXPECT_EQ(program.LineCount(), 0u);
}

TEST_F(ScriptProgramTest, LongChildChainIsFreedWithoutDeepRecursion) {
  // Freed level by level, chains this long would overflow the stack.
  for (int round = 0; round < 2; ++round) {
    auto owner = program.MakeChild();
    ScriptProgram* tail = owner.get();
    for (int i = 0; i < 200000; ++i) tail = (tail->Child = tail->MakeChild()).get();
    if (round == 0) {
      owner->Clear();
      EXPECT_EQ(owner->Child, nullptr);
    }
  }  // the second chain goes with its owner's destructor
}

}  // namespace
}  // namespace lyraban
