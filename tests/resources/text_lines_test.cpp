#include "resources/text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lyraban {
namespace {

using V = std::vector<std::string>;

TEST(TextLines, BreaksAreCrOrCrLfAndBlanksGoAtLineStartsAndTextEnd) {
  const std::pair<std::string, V> cases[] = {
      {"a\r\n\r\n  b  \r\n", {"a", "", "b  "}},
      {"one\ntwo", {"one\ntwo"}},  // a lone LF stays inside its line
      {"x\ry\r\rz", {"x", "y", "", "z"}},
      {"p\r\n\nq", {"p", "\nq"}},  // CR LF is one break; the LF after it is kept
      {"\t  lead\r\n \tnext \t", {"lead", "next"}},
      {"a  \r\n  \t ", {"a  "}},  // trailing blanks of the text go even behind a final break
      {"   \t", {""}},
      {"\r\n", {""}},
      {"a\r\n\r\n", {"a", ""}},
      {std::string("ab\r\ncd\0ef\r\ngh", 12), {"ab", "cd"}},  // the text stops at a NUL
      {std::string("\0x", 2), {}},
  };
  TextLines lines;
  for (const auto& [text, want] : cases) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(SplitTextLines(lines, text));
    V got;
    std::string line;
    for (size_t i = 0; lines.GetLine(i, line); ++i) {
      EXPECT_EQ(lines.Line(i), line);
      got.push_back(line);
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(lines.LineCount(), want.size());
  }
}

TEST(TextLines, EmptyTextOutOfRangeAndMove) {
  TextLines lines;
  ASSERT_TRUE(SplitTextLines(lines, "1\r\n2"));
  EXPECT_FALSE(SplitTextLines(lines, ""));
  EXPECT_TRUE(lines.empty());
  ASSERT_TRUE(SplitTextLines(lines, "m1\r\nm2"));
  std::string out = "unchanged";
  EXPECT_FALSE(lines.GetLine(2, out));
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(lines.Line(5), "");
  TextLines moved = std::move(lines);  // the lines stay valid
  EXPECT_EQ(moved.Line(1), "m2");
}

TEST(TokenList, SplitsAtSpacesAndTabsIntoItsOwnCopy) {
  TokenList tokens;
  {
    std::string source = "  one\ttwo\r\nx  ";
    SplitTokens(tokens, source);
    source.assign("xxxxxxxxxxxxxxx");
  }
  ASSERT_EQ(tokens.Count(), 2u);
  EXPECT_EQ(tokens[0], "one");
  EXPECT_EQ(tokens[1], "two\r\nx");
  EXPECT_EQ(tokens[2], "");
  EXPECT_EQ(tokens[-1], "");
  SplitTokens(tokens, " \t ");
  EXPECT_EQ(tokens.Count(), 0u);
}

}  // namespace
}  // namespace lyraban
