#include "check/game_checker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "packwriter/pack_writer.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using Severity = Finding::Severity;
constexpr Severity kError = Severity::Error, kWarning = Severity::Warning;

// A small game that uses every kind of file and reference the checker looks
// at, written as loose files in GBK with CR LF line ends, each line one
// string here.
std::map<std::string, std::vector<std::string>> CleanGame() {
  // clang-format off
  return {
      {"config/config.txt", {"system.txt", "flags.txt"}},
      {"config/system.txt", {"; the game", "[System.Info]", "Title=测试", "[System.Setting]", "ScreenWidth=800"}},
      {"config/flags.txt", {"[Define.Flag]", "L000=好感", "G000=done", "F000=bg.png"}},
      {"script/start.txt", {"; title", "#top", ".mode adv", ".bgm m.ogg", ".img 0 room.img#1",
                            ".img 1 face.png center", ".se click.ogg", ".voice \\v", ".voice ak_1.ogg", "空:你好",
                            ".IF 好感 > 0", "{", "?好感 = 0", "}", ".ELSE", "?好感 = 好感 + 1",
                            ".SELECT", "一", "二 done", ".CASE 1", ".CALL sub.txt",
                            ".CASE 2", "{", ".SELECT town.map", "home home bg.png", ".CASE 1", ".LOAD sub.txt", ".ENDSEL", "}",
                            ".ENDSEL", ".wipe rule.png 500", ".custom 好感 done", ".GOTO top"}},
      {"script/sub.txt", {"words", "", ".wait 10"}},
      {"anime/room.img", {"Type=back", "Base=bg.png", "#1", "Img0=ov.png", "Mode0=Screen", "Alpha0=50%"}},
      {"map/town.map", {"; a map", "ICON: home 4 icon.png", "PLACE: home 10 20 label.png 0 0"}},
      {"flow/flowdata.txt", {"keypoint 0 0", "flag start"}},
  };
  // clang-format on
}

const char* const kBinaryFiles[] = {"img/bg.png",    "img/face.png", "img/ov.png",   "img/rule.png",    "img/icon.png",
                                    "img/label.png", "bgm/m.ogg",    "se/click.ogg", "voice/v/ak_1.ogg"};

class GameCheckerTest : public ::testing::Test {
 protected:
  using Files = std::map<std::string, std::vector<std::string>>;

  // Writes the game into a new folder; every text line is converted to GBK
  // and ended by CR LF.
  void Write(const Files& files) {
    dir = std::make_unique<testing::TempDir>();
    for (const auto& [name, lines] : files) {
      std::string text;
      for (const std::string& line : lines) text += gbk.FromUtf8(line) + "\r\n";
      dir->Write("data/" + name, text);
    }
    for (const char* name : kBinaryFiles) dir->Write(std::string("data/") + name, "x");
  }
  std::string Listing(const std::vector<Finding>& findings) const {
    std::string all;
    for (const Finding& f : findings) all += FormatFinding(f) + "\n";
    return all;
  }
  // The game gives exactly one finding, and it is this one.
  void ExpectOnly(const std::string& file, int line, Severity severity, const char* says) {
    const std::vector<Finding> findings = CheckGame(dir->str());
    ASSERT_EQ(findings.size(), 1u) << Listing(findings);
    EXPECT_EQ(findings[0].file, file);
    EXPECT_EQ(findings[0].line, line);
    EXPECT_EQ(findings[0].severity, severity);
    EXPECT_NE(findings[0].message.find(says), std::string::npos) << findings[0].message;
  }

  const CodePage gbk{CodePage::Kind::Gbk};
  std::unique_ptr<testing::TempDir> dir;
};

TEST_F(GameCheckerTest, TheCleanGameHasNoFinding) {
  Write(CleanGame());
  EXPECT_EQ(Listing(CheckGame(dir->str())), "");
}

// Each case is the clean game with exactly one mistake, lines added to the
// end of a file, and the one finding it must give in that file (its line
// counted within the added lines).
TEST_F(GameCheckerTest, EachMistakeGivesExactlyItsFinding) {
  const struct {
    const char* file;
    std::vector<std::string> lines;
    int line;
    Severity severity;
    const char* says;
  } cases[] = {
      // clang-format off
    {"config/system.txt", {"Title 测试"}, 1, kWarning, "neither a [Section.Subsection] header nor a Key=Value line"},
    {"config/system.txt", {"[System.Option"}, 1, kWarning, "a header without ']'"},
    {"config/flags.txt", {"[System.Info]", "Title=again"}, 2, kWarning, "already set"},
    {"config/system.txt", {"[System.Option]", "SplashImage=splash.png"}, 2, kError,
     "splash image splash.png is in no archive"},
    {"config/config.txt", {"nope.txt"}, 1, kError, "lists nope.txt"},
    {"script/start.txt", {"?好感 1"}, 1, kError, "does not parse: the assignment has no '='"},
    {"script/start.txt", {".GOTO #结局"}, 1, kError, "label #结局 not found in this script"},
    {"script/start.txt", {".CALL 第二章.txt"}, 1, kError, "script 第二章.txt is in no archive and no loose file"},
    {"script/start.txt", {".LOAD gone.txt"}, 1, kError, "script gone.txt is in no archive"},
    {"script/start.txt", {".SELECT", "甲", "乙"}, 1, kError, "no .CASE follows the choices"},
    {"script/start.txt", {".SELECT", "甲", ".CASE 1", ".wait 1"}, 1, kError, "no .ENDSEL before the end of the file"},
    {"script/start.txt", {".SELECT", "甲", ".CASE 1", ".wait 1", ".ENDSEL ; end", ".ENDSEL"}, 5, kWarning,
     "only a line that is exactly .ENDSEL ends a choice"},
    {"script/start.txt", {".SELECT", "甲", ".CASE 2", ".wait 1", ".ENDSEL"}, 3, kWarning, "there is no choice 2"},
    {"script/start.txt", {".CASE 1", ".wait 1"}, 1, kWarning, "does not belong to a .SELECT"},
    {"script/start.txt", {".ELSE", ".wait 1"}, 1, kWarning, ".ELSE does not follow"},
    {"script/start.txt", {".IF 好感"}, 1, kError, "the file ends before the line or block that this .IF governs"},
    {"script/start.txt", {"{", ".wait 1"}, 1, kError, "this { is never closed"},
    {"script/start.txt", {"#top"}, 1, kWarning, "label #top is also on line 2"},
    {"script/start.txt", {".movie movie\\op.webm"}, 1, kWarning, "movie movie\\op.webm is not a file of the game folder"},
    {"script/start.txt", {".fooo 1"}, 1, kError, "unknown tag .fooo"},
    {"script/start.txt", {".Wait 1"}, 1, kError, "tag names are case-sensitive: .wait"},
    {"script/start.txt", {".wait 1 2"}, 1, kWarning, ".wait takes 0 to 1 arguments, not 2"},
    {"script/start.txt", {".se"}, 1, kWarning, ".se takes 1 argument, not 0"},
    {"script/start.txt", {".fade 70000"}, 1, kWarning, "60000 is used"},
    {"script/start.txt", {".mode wait"}, 1, kWarning, ".mode wait does nothing"},
    {"script/start.txt", {".img 12 face.png"}, 1, kError, "img: layer 12 is outside 0 to 9: the line fails"},
    {"script/start.txt", {".img 2 hero.png left"}, 1, kError,
     "image hero.png is in no archive and no loose file (folder img)"},
    {"script/start.txt", {".img 2 hero.img#2"}, 1, kError, "image definition hero.img is in no archive"},
    {"script/start.txt", {".wipe rule2.png 300 fade"}, 1, kError, "wipe picture rule2.png"},
    {"script/start.txt", {".bgm m2.ogg noloop"}, 1, kError, "music m2.ogg is in no archive"},
    {"script/start.txt", {".voice \\w", ".voice ak_1.ogg"}, 2, kError, "voice w\\ak_1.ogg is in no archive"},
    {"script/start.txt", {".SELECT nomap.map", "home", ".CASE 1", ".wait 1", ".ENDSEL"}, 1, kError,
     "map nomap.map is in no archive"},
    {"script/start.txt", {".SELECT town.map", "home shop", ".CASE 1", ".wait 1", ".ENDSEL"}, 2, kError,
     "place shop is not declared in map town.map"},
    {"script/start.txt", {".IF 友情 > 1", ".wait 1", ".wait 2"}, 1, kError, "flag '友情' is used but never defined"},
    {"script/start.txt", {".SELECT", "甲 seen", ".CASE 1", ".wait 1", ".ENDSEL"}, 2, kError,
     "flag 'seen' is used but never defined"},
    {"script/start.txt", {"?bg.png = 1"}, 1, kError, "flag 'bg.png' is assigned"},
    {"script/start.txt", {".IF 好感 == 1", ".wait 1", ".wait 2"}, 1, kError, "should come at column 4, not '=='"},
    {"anime/room.img", {"#2", "Face=smile.png"}, 2, kError, "image smile.png is in no archive"},
    {"anime/room.img", {"Mode1=Screan"}, 1, kWarning, "unknown blend mode"},
    {"map/town.map", {"ICON: shop 4 shop.png"}, 1, kError, "icon image shop.png is in no archive"},
    {"map/town.map", {"ICONS: shop 4 icon.png"}, 1, kWarning, "neither ICON nor PLACE"},
    {"map/town.map", {"PLACE:"}, 1, kError, "without a name"},
    {"script/sub.txt", {"the end"}, 1, kWarning, "never shown"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    Files files = CleanGame();
    const int before = static_cast<int>(files[c.file].size());
    files[c.file].insert(files[c.file].end(), c.lines.begin(), c.lines.end());
    Write(files);
    ExpectOnly(c.file, before + c.line, c.severity, c.says);
  }
}

TEST_F(GameCheckerTest, LineEndsAndCodePageOfTheRawText) {
  const struct {
    std::string bytes;
    int line;
    Severity severity;
    const char* says;
  } cases[] = {
      {"words\n\n.wait 10\n", 1, kWarning, "LF-only line ends"},
      {"words\r\nmore\nwords\r\n\r\n.wait 1\r\n", 2, kError, "mixed line ends"},  // a lone LF among CR LF
      // A loose UTF-8 file holding what GBK cannot.
      {"好\r\n\r\n.wait 1\r\n.chapter 😀\r\n", 4, kError, "'😀' cannot be written in GBK: the game shows '?' instead"},
      {"ok\r\n\xFF\xFF\r\n\r\n.wait 1\r\n", 2, kError, "bytes that are not GBK text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    Write(CleanGame());
    dir->Write("data/script/sub.txt", c.bytes);
    ExpectOnly("script/sub.txt", c.line, c.severity, c.says);
  }
}

TEST_F(GameCheckerTest, ArchivesAndUtf8NamedLooseFilesAreCheckedAsTheEngineFindsThem) {
  Files files = CleanGame();
  // The script that the archive holds wins over its loose twin; a loose
  // script named in UTF-8 on disk is found by its GBK name.
  files["script/start.txt"].push_back(".CALL 第一章.txt");
  Write(files);
  dir->Write("data/script/第一章.txt", gbk.FromUtf8("内容\r\n\r\n.GOTO nowhere\r\n"));
  PackWriter writer;
  ASSERT_TRUE(writer.AddFile("script\\sub.txt", ".fooo\r\n", 0));
  ASSERT_TRUE(writer.AddFile("script\\packed.txt", "\xE5\xBC\x80\xE5\xA7\x8B\r\n\r\n", 0));  // UTF-8 packed as is
  dir->Write("data/script/loose.txt", "开始\r\n\r\n.chapter 第一章\r\n");  // UTF-8 loose: converted when read
  std::string archive;
  ASSERT_TRUE(writer.Build(0, archive));
  dir->Write("data/script.dat", archive);
  EXPECT_EQ(Listing(CheckGame(dir->str())),
            "script/packed.txt:1: error: this text is UTF-8, not GBK: the game shows it garbled; pack it with lyrapack "
            "create --convert-text\n"
            "script/sub.txt:1: error: unknown tag .fooo: the line fails\n"
            "script/第一章.txt:3: error: label #nowhere not found in this script\n");
}

TEST_F(GameCheckerTest, ReportFormatAndExitStatus) {
  Write(CleanGame());
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(RunGameCheck(dir->str(), out), 0);
  dir->Write("data/script/sub.txt", ".wait 1 2\r\n");
  EXPECT_EQ(RunGameCheck(dir->str(), out), 0);  // warnings alone pass
  dir->Write("data/script/sub.txt", ".wait 1 2\r\n.nope\r\n");
  EXPECT_EQ(RunGameCheck(dir->str(), out), 1);
  std::rewind(out);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  EXPECT_EQ(text,
            "script/sub.txt:1: warning: .wait takes 0 to 1 arguments, not 2: the rest is ignored\n"
            "script/sub.txt:1: warning: .wait takes 0 to 1 arguments, not 2: the rest is ignored\n"
            "script/sub.txt:2: error: unknown tag .nope: the line fails\n");
  testing::TempDir empty;
  const std::vector<Finding> none = CheckGame(empty.str());
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].file, "data");
  EXPECT_EQ(none[0].severity, kError);
}

}  // namespace
}  // namespace lyraban
