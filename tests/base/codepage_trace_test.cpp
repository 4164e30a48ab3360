#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/strings.h"
#include "base/trace.h"
#include "base/types.h"

namespace lyraban {
namespace {

TEST(CodePage, GbkRoundTripAndLeadBytes) {
  CodePage gbk(CodePage::Kind::Gbk);
  const std::string utf8 = "结束游戏？";
  const std::string bytes = gbk.FromUtf8(utf8);
  // Five double-byte characters.
  ASSERT_EQ(bytes.size(), 10u);
  EXPECT_EQ(bytes.substr(0, 2), "\xBD\xE1");  // 结
  EXPECT_TRUE(gbk.IsLeadByte(0xBD));
  EXPECT_FALSE(gbk.IsLeadByte('A'));
  EXPECT_FALSE(gbk.IsLeadByte(0x80));
  EXPECT_EQ(gbk.ToUtf8(bytes), utf8);
}

TEST(CodePage, ShiftJisLeadBytesAndUnmappable) {
  CodePage sjis(CodePage::Kind::ShiftJis);
  // Half-width katakana (A0 to DF) are single bytes.
  for (const auto& [byte, lead] :
       {std::pair{0x81, true}, {0x9F, true}, {0xA0, false}, {0xDF, false}, {0xE0, true}, {0xFC, true}, {0xFD, false}})
    EXPECT_EQ(sjis.IsLeadByte(static_cast<u8>(byte)), lead) << std::hex << byte;
  EXPECT_EQ(sjis.ToUtf8(sjis.FromUtf8("シーン回想")), "シーン回想");
  // A character outside the code page becomes one question mark.
  EXPECT_EQ(sjis.FromUtf8("a😀b"), "a?b");
  // A truncated double-byte character is marked, not dropped silently.
  EXPECT_EQ(sjis.ToUtf8("x\x82"), "x\xEF\xBF\xBD");
}

TEST(Trace, OffByDefaultAndConvertsStringArguments) {
  Trace trace{CodePage(CodePage::Kind::Gbk)};
  EXPECT_FALSE(trace.Enabled());
  trace.DebugTrace("no sink %d", 1);  // must not crash

  std::vector<std::string> seen;
  trace.SetSink([&](std::string_view m) { seen.emplace_back(m); });
  const std::string gameText = CodePage(CodePage::Kind::Gbk).FromUtf8("开始.txt");
  trace.DebugTrace("エラー（%s:%d）", gameText, 12);
  const char* nullName = nullptr;
  trace.DebugTrace("%s|%u", nullName, 7u);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "エラー（开始.txt:12）");
  EXPECT_EQ(seen[1], "(null)|7");
}

TEST(Trace, ANotedReasonFollowsTheNextMessageOnceAfterTheSeparator) {
  Trace trace(CodePage(CodePage::Kind::Gbk));
  trace.Because("dropped %d", 1);  // without a sink nothing is kept
  std::vector<std::string> seen;
  trace.SetSink([&](std::string_view m) { seen.emplace_back(m); });
  EXPECT_TRUE(trace.pendingReason().empty());
  const CodePage gbk(CodePage::Kind::Gbk);
  trace.Because("label #%s not found in %s", gbk.FromUtf8("结局"), gbk.FromUtf8("开始.txt"));
  trace.DebugTrace("エラー（%s:%d）", gbk.FromUtf8("开始.txt"), 12);
  trace.DebugTrace("エラー（%s:%d）", "a.txt", 3);
  trace.Because("first");
  trace.Because("second");
  trace.Emit("x");
  trace.Because("stale");
  trace.ClearReason();
  trace.Emit("y");
  const std::vector<std::string> want = {"エラー（开始.txt:12） — label #结局 not found in 开始.txt",
                                         "エラー（a.txt:3）", "x — second", "y"};
  EXPECT_EQ(seen, want);
}

TEST(Trace, LineSinkEscapesBackslashesAndBreaks) {
  char buffer[256] = {};
  std::FILE* f = fmemopen(buffer, sizeof buffer, "w");
  ASSERT_NE(f, nullptr);
  auto sink = MakeLineSink(f);
  sink("a\n\tb\r");
  sink("img\\no_such.png \\\\ \\");  // a name with a backslash before n is not a line break
  sink("c");
  std::fclose(f);
  EXPECT_STREQ(buffer, "a\\n\\tb\\r\nimg\\\\no_such.png \\\\\\\\ \\\\\nc\n");
}

// A loop that traces the same line gives it once with a count, written when
// another line comes or the sink goes away.
TEST(Trace, LineSinkFoldsRepeatedLines) {
  char buffer[512] = {};
  std::FILE* f = fmemopen(buffer, sizeof buffer, "w");
  ASSERT_NE(f, nullptr);
  {
    auto sink = MakeLineSink(f);
    for (int i = 0; i < 1000; ++i) sink("again");
    sink("other");
    sink("other");
    sink("last");
  }
  std::fclose(f);
  EXPECT_STREQ(buffer, "again\n（直前の行がさらに 999 回）\nother\n（直前の行がさらに 1 回）\nlast\n");
}

TEST(Strings, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsNoCase("Script\\START.TXT", "script\\start.txt"));
  EXPECT_FALSE(EqualsNoCase("\xC1", "\xE1"));  // Latin-1 letters are not folded
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_EQ(CompareNoCase("ab", "AB"), 0);
  EXPECT_LT(CompareNoCase("ab", "abc"), 0);
  // '_' (0x5F) sorts between upper and lower case letters; folding to lower
  // must put it before every letter.
  EXPECT_LT(CompareNoCase("_", "A"), 0);
}

TEST(Time, ElapsedWrapsLikeTheMillisecondCounter) {
  EXPECT_EQ(ElapsedMs(100, 250), 150u);
  EXPECT_EQ(ElapsedMs(0xFFFFFFF0u, 5), 0xFu + 5u);
  EXPECT_EQ(ElapsedMs(7, 7), 0u);
}

}  // namespace
}  // namespace lyraban
