#include "core/opening_movie.h"

#include <gtest/gtest.h>

#include <string>

#include "base/trace.h"

namespace lyraban {
namespace {

TEST(OpeningMovieTest, OnlyAMovieTagBeforeAnythingElseOpensTheGame) {
  struct Case {
    const char* script;
    bool opens;
    const char* name;  // the file opened ahead
  };
  const Case cases[] = {
      {".movie movie\\op.webm\r\n#title\r\n", true, "movie\\op.webm"},
      {"; the opening\r\n\r\n#start\r\n  .movie op.avi\r\n", true, "op.avi"},  // comments, blanks, labels, indent
      {".movie\r\n", true, ""},                                                // even without a file: it is tried
      {".movie \t op.webm  later\r\n", true, "op.webm"},                       // blanks split the arguments
      {".bgm theme.ogg\r\n.movie op.webm\r\n", false, ""},                     // something else comes first
      {"Hello.\r\n.movie op.webm\r\n", false, ""},                             // text first
      {"?a = 1\r\n.movie op.webm\r\n", false, ""},
      {".Movie op.webm\r\n", false, ""},  // tag names compare byte for byte
      {".movies op.webm\r\n", false, ""},
      {"; only comments\r\n", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    TextLines lines;
    lines.Split(c.script);
    EXPECT_EQ(OpensWithMovie(lines), c.opens);
    EXPECT_EQ(OpeningMovieName(lines), c.name);
  }
}

TEST(OpeningMovieTest, AMutedTraceWritesNothingAndSpeaksAgainAfterwards) {
  Trace trace;
  std::string written;
  trace.SetSink([&written](std::string_view line) { written.append(line).append("|"); });
  trace.DebugTrace("before");
  {
    Trace::Muted muted(trace);
    EXPECT_FALSE(trace.Enabled());
    trace.DebugTrace("while muted");
  }
  EXPECT_TRUE(trace.Enabled());
  trace.DebugTrace("after");
  EXPECT_EQ(written, "before|after|");
}

}  // namespace
}  // namespace lyraban
