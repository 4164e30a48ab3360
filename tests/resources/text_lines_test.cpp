#include "resources/text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lyraban {
namespace {

std::vector<std::string> Lines(std::string_view text) {
  TextLines lines;
  EXPECT_TRUE(SplitTextLines(lines, text));
  std::vector<std::string> out;
  std::string line;
  for (size_t i = 0; lines.GetLine(i, line); ++i) {
    EXPECT_EQ(lines.Line(i), line);
    out.push_back(line);
  }
  EXPECT_EQ(out.size(), lines.LineCount());
  return out;
}

using V = std::vector<std::string>;

TEST(TextLines, LineBreaksAreCrOrCrLf) {
  EXPECT_EQ(Lines("a\r\n\r\n  b  \r\n"), (V{"a", "", "b  "}));
  EXPECT_EQ(Lines("one\ntwo\nthree"), (V{"one\ntwo\nthree"}));
  EXPECT_EQ(Lines("x\ry\r\rz"), (V{"x", "y", "", "z"}));
  // A CR LF pair is one break; LF CR is a kept LF then a break.
  EXPECT_EQ(Lines("p\r\n\nq"), (V{"p", "\nq"}));
  EXPECT_EQ(Lines("last"), (V{"last"}));
}

TEST(TextLines, BlanksAtStartOfEveryLineAndEndOfText) {
  EXPECT_EQ(Lines("\t  lead\r\n \tnext \t"), (V{"lead", "next"}));
  // Trailing blanks of the text go even behind a final break.
  EXPECT_EQ(Lines("a  \r\n  \t "), (V{"a  "}));
  // Text of blanks only is one empty line; a lone break too.
  EXPECT_EQ(Lines("   \t"), (V{""}));
  EXPECT_EQ(Lines("\r\n"), (V{""}));
  EXPECT_EQ(Lines("a\r\n"), (V{"a"}));
  EXPECT_EQ(Lines("a\r\n\r\n"), (V{"a", ""}));
}

TEST(TextLines, EmptyTextNulAndReuse) {
  TextLines lines;
  EXPECT_FALSE(SplitTextLines(lines, ""));
  EXPECT_EQ(lines.LineCount(), 0u);

  // Text stops at an embedded NUL.
  EXPECT_EQ(Lines(std::string("ab\r\ncd\0ef\r\ngh", 12)), (V{"ab", "cd"}));
  EXPECT_TRUE(SplitTextLines(lines, std::string("\0x", 2)));
  EXPECT_EQ(lines.LineCount(), 0u);

  ASSERT_TRUE(SplitTextLines(lines, "1\r\n2\r\n3"));
  ASSERT_TRUE(SplitTextLines(lines, "only"));
  EXPECT_EQ(lines.LineCount(), 1u);
  std::string out = "unchanged";
  EXPECT_FALSE(lines.GetLine(1, out));
  EXPECT_EQ(out, "unchanged");
  EXPECT_EQ(lines.Line(5), "");
  lines.Clear();
  EXPECT_TRUE(lines.empty());
  EXPECT_FALSE(lines.GetLine(0, out));

  // Moving keeps the lines valid.
  ASSERT_TRUE(SplitTextLines(lines, "m1\r\nm2"));
  TextLines moved = std::move(lines);
  EXPECT_EQ(moved.Line(1), "m2");
}

TEST(TokenList, SplitsAtSpacesAndTabs) {
  TokenList tokens;
  SplitTokens(tokens, "  one\ttwo  ");
  ASSERT_EQ(tokens.Count(), 2u);
  EXPECT_EQ(tokens.Token(0), "one");
  EXPECT_EQ(tokens.Token(1), "two");
  EXPECT_EQ(tokens.Token(2), "");
  EXPECT_EQ(tokens.Token(-1), "");

  SplitTokens(tokens, "a\t\t b\r\nc");
  ASSERT_EQ(tokens.Count(), 2u);
  EXPECT_EQ(tokens[1], "b\r\nc");

  SplitTokens(tokens, " \t ");
  EXPECT_EQ(tokens.Count(), 0u);
  SplitTokens(tokens, "");
  EXPECT_EQ(tokens.Token(0), "");

  // The list owns its copy: the source may go away.
  {
    std::string source = "left right";
    SplitTokens(tokens, source);
    source.assign("xxxxxxxxxx");
  }
  EXPECT_EQ(tokens.Token(1), "right");
}

}  // namespace
}  // namespace lyraban
