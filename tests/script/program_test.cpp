#include "script/program.h"

#include <gtest/gtest.h>

#include "persist/read_log.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

TEST(LineModelTest, FirstByteDecidesTheKind) {
  EXPECT_EQ(ClassifyLine(""), LineKind::Blank);
  EXPECT_EQ(ClassifyLine(std::string_view("\0x", 2)), LineKind::Blank);
  EXPECT_EQ(ClassifyLine("; note"), LineKind::Comment);
  EXPECT_EQ(ClassifyLine("#scene2"), LineKind::Label);
  EXPECT_EQ(ClassifyLine("{ x"), LineKind::BlockOpen);
  EXPECT_EQ(ClassifyLine("}"), LineKind::BlockClose);
  EXPECT_EQ(ClassifyLine("?count = 1"), LineKind::Assignment);
  EXPECT_EQ(ClassifyLine(".bgm m02"), LineKind::Command);
  EXPECT_EQ(ClassifyLine("Name:words"), LineKind::Text);
  EXPECT_EQ(ClassifyLine(" .not a command"), LineKind::Text);
}

TEST(LineModelTest, CommandKeywordStopsAtBlanksParenthesesAndDigits) {
  struct Case {
    std::string_view line, keyword, arguments;
  };
  const Case cases[] = {
      {".wait100", "wait", "100"},
      {".GOTO start", "GOTO", "start"},
      {"..CASE 1", "CASE", "1"},
      {".bgm\t \tm01 noloop  ", "bgm", "m01 noloop  "},
      {".f(1, 2)", "f", "(1, 2)"},
      {".", "", ""},
      {"..", "", ""},
      {"...", ".", ""},
      {".ELSE ", "ELSE", ""},
      {".img2 girl#3", "img", "2 girl#3"},
      {".GOTO#x", "GOTO#x", ""},
  };
  for (const Case& c : cases) {
    const CommandParts parts = SplitCommand(c.line);
    EXPECT_EQ(parts.keyword, c.keyword) << c.line;
    EXPECT_EQ(parts.arguments, c.arguments) << c.line;
  }
}

TEST(LineModelTest, SpeakerEndsAtTheFirstColon) {
  SpeakerText t = SplitSpeaker("Aya:one/two:three");
  EXPECT_TRUE(t.hasSpeaker);
  EXPECT_EQ(t.speaker, "Aya");
  EXPECT_EQ(t.words, "one/two:three");

  t = SplitSpeaker("no speaker/here");
  EXPECT_FALSE(t.hasSpeaker);
  EXPECT_EQ(t.words, "no speaker/here");

  t = SplitSpeaker(":x");
  EXPECT_TRUE(t.hasSpeaker);
  EXPECT_EQ(t.speaker, "");
  EXPECT_EQ(t.words, "x");
}

class ScriptProgramTest : public ::testing::Test {
 protected:
  ScriptProgramTest() { resources.OpenDataFolder(dir.str()); }
  void Write(std::string_view name, std::string_view bytes) { dir.Write("data/script/" + std::string(name), bytes); }
  std::string Line(const ScriptProgram& p, u32 i) {
    std::string_view text;
    EXPECT_TRUE(p.GetLine(i, text)) << i;
    return std::string(text);
  }

  TempDir dir;
  Trace trace;
  Resources resources{trace};
  ReadLog readLog{trace};
  ScriptProgram program{resources, readLog};
};

TEST_F(ScriptProgramTest, LoadSplitsLinesAndStartsAtTheTop) {
  Write("start.txt", "  \t.bgm x\r\nabc   \r\n\r\n;c\rlast   ");
  ASSERT_TRUE(program.Load("start.txt"));
  EXPECT_EQ(program.Name, "start.txt");
  EXPECT_EQ(program.NextLine, 0u);
  ASSERT_EQ(program.LineCount(), 5u);
  EXPECT_EQ(Line(program, 0), ".bgm x");
  EXPECT_EQ(Line(program, 1), "abc   ");
  EXPECT_EQ(Line(program, 2), "");
  EXPECT_EQ(Line(program, 3), ";c");
  EXPECT_EQ(Line(program, 4), "last");
  std::string_view past;
  EXPECT_FALSE(program.GetLine(5, past));
  // The read log now counts text against this script.
  EXPECT_EQ(readLog.currentKey(), "start");
}

TEST_F(ScriptProgramTest, LineFeedAloneDoesNotEndALine) {
  Write("lf.txt", "one\ntwo\nthree\n");
  ASSERT_TRUE(program.Load("lf.txt"));
  EXPECT_EQ(program.LineCount(), 1u);
}

TEST_F(ScriptProgramTest, EmptyFileLoadsWithNoLines) {
  Write("empty.txt", "");
  ASSERT_TRUE(program.Load("empty.txt"));
  EXPECT_EQ(program.Name, "empty.txt");
  EXPECT_EQ(program.LineCount(), 0u);

  Write("blank2.txt", "\r\n\r\n");
  ASSERT_TRUE(program.Load("blank2.txt"));
  EXPECT_EQ(program.LineCount(), 2u);
}

TEST_F(ScriptProgramTest, LoadResetsEveryFieldAndFailureLeavesItCleared) {
  Write("a.txt", "x\r\ny\r\n");
  ASSERT_TRUE(program.Load("a.txt"));
  program.NextLine = 2;
  program.ResumeLine = 1;
  program.CaseID = 3;
  program.CaseEnable = true;
  program.PendingText = "pending";
  program.Child = program.MakeChild();
  ASSERT_TRUE(program.Load("a.txt"));
  EXPECT_EQ(program.NextLine, 0u);
  EXPECT_EQ(program.ResumeLine, 0u);
  EXPECT_EQ(program.CaseID, 0);
  EXPECT_FALSE(program.CaseEnable);
  EXPECT_TRUE(program.PendingText.empty());
  EXPECT_EQ(program.Child, nullptr);

  program.NextLine = 1;
  EXPECT_FALSE(program.Load("missing.txt"));
  EXPECT_TRUE(program.Name.empty());
  EXPECT_EQ(program.LineCount(), 0u);
  EXPECT_EQ(program.NextLine, 0u);
}

TEST_F(ScriptProgramTest, LongChildChainIsFreedWithoutDeepRecursion) {
  // Freed level by level a chain this long would overflow the stack.
  ScriptProgram* tail = &program;
  for (int i = 0; i < 200000; ++i) {
    tail->Child = tail->MakeChild();
    tail = tail->Child.get();
  }
  program.Clear();
  EXPECT_EQ(program.Child, nullptr);

  auto owner = program.MakeChild();
  tail = owner.get();
  for (int i = 0; i < 200000; ++i) {
    tail->Child = tail->MakeChild();
    tail = tail->Child.get();
  }
  owner.reset();
  EXPECT_EQ(owner, nullptr);
}

}  // namespace
}  // namespace lyraban
