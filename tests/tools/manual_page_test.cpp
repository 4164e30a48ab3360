#include <gtest/gtest.h>

#include <string>

#include "base/usage_doc.h"
#include "roff.h"

// The --help text and the manual page made from one description.
namespace lyraban {
namespace {

constexpr const char* kForms[] = {"make ARCHIVE", "--help"};
constexpr UsageItem kArgs[] = {{"make ARCHIVE", "build it"}};
constexpr UsageItem kOpts[] = {{"--level N", "how hard"}, {"-q", "quiet"}};
constexpr ManualSection kSections[] = {
    {"DESCRIPTION", "First paragraph,\nsame paragraph.\n\nSecond one."},
    {"FILES", "~/.demo/x.cfg\n  The settings.\n\n  demo make out.dat\n  .hidden"},
};
constexpr ProgramDoc kDoc{"demo", 1, "make demos", kForms, "COMMANDS", kArgs, kOpts, kSections};

TEST(ManualPage, HelpTextAlignsEveryTerm) {
  EXPECT_EQ(FormatHelp(kDoc),
            "usage: demo make ARCHIVE\n"
            "       demo --help\n"
            "  make ARCHIVE  build it\n"
            "  --level N     how hard\n"
            "  -q            quiet\n");
}

TEST(ManualPage, WholePageInTheManMacros) {
  EXPECT_EQ(ManualPage(kDoc, "9.1"),
            ".\\\" Made from the program's own description of its command line; edit that, not this.\n"
            ".TH DEMO 1 \"\" \"Lyraban 9.1\" \"User Commands\"\n"
            ".SH NAME\ndemo \\- make demos\n"
            ".SH SYNOPSIS\n\\fBdemo\\fR make ARCHIVE\n.br\n\\fBdemo\\fR \\-\\-help\n"
            ".SH DESCRIPTION\n.PP\nFirst paragraph,\nsame paragraph.\n.PP\nSecond one.\n"
            ".SH COMMANDS\n.TP\n\\fBmake\\fR \\fIARCHIVE\\fR\nbuild it\n"
            ".SH OPTIONS\n.TP\n\\fB\\-\\-level\\fR \\fIN\\fR\nhow hard\n.TP\n\\fB\\-q\\fR\nquiet\n"
            ".SH FILES\n.TP\n\\fB~/.demo/x.cfg\\fR\nThe settings.\n"
            ".PP\n.RS 4\n.nf\ndemo make out.dat\n\\&.hidden\n.fi\n.RE\n");
}

TEST(ManualPage, EscapesForRoff) {
  const std::pair<const char*, const char*> cases[] = {
      {"--trace FILE", "\\-\\-trace FILE"},
      {"script\\start.txt", "script\\estart.txt"},
      {".dat files", "\\&.dat files"},
      {"'quoted' line", "\\&'quoted' line"},
      {"end.", "end."},
      {"“a”", "\\[u201C]a\\[u201D]"},
      {"琴音", "\\[u7434]\\[u97F3]"},
      {"\xF0\x9F\x8E\xB5", "\\[u1F3B5]"},
      {"bad\xFF", "bad\\[uFFFD]"},
      {"\xC0\xAF", "\\[uFFFD]\\[uFFFD]"},               // overlong '/'
      {"\xF8\x80\x80", "\\[uFFFD]\\[uFFFD]\\[uFFFD]"},  // no such lead byte
      {"\xED\xA0\x80", "\\[uFFFD]\\[uFFFD]\\[uFFFD]"},  // a surrogate
      {"\xE7\x90", "\\[uFFFD]\\[uFFFD]"},               // cut short
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(RoffEscape(in), out) << "input: " << in;
}

}  // namespace
}  // namespace lyraban
