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
constexpr Severity kError = Severity::Error;
constexpr Severity kWarning = Severity::Warning;

// A small game that uses every kind of file and reference the checker looks
// at, written as loose files in GBK with CR LF line ends, each line one
// string here.
std::map<std::string, std::vector<std::string>> CleanGame() {
  return {
      {"config/config.txt", {"system.txt", "flags.txt"}},
      {"config/system.txt", {"; the game", "[System.Info]", "Title=测试", "[System.Setting]", "ScreenWidth=800"}},
      {"config/flags.txt", {"[Define.Flag]", "L000=好感", "G000=done", "F000=bg.png"}},
      {"script/start.txt",
       {"; title",
        "#top",
        ".mode adv",
        ".bgm m.ogg",
        ".img 0 room.img#1",
        ".img 1 face.png center",
        ".se click.ogg",
        ".voice \\v",
        ".voice ak_1.ogg",
        "空:你好",
        ".IF 好感 > 0",
        "{",
        "?好感 = 0",
        "}",
        ".ELSE",
        "?好感 = 好感 + 1",
        ".SELECT",
        "一",
        "二 done",
        ".CASE 1",
        ".CALL sub.txt",
        ".CASE 2",
        "{",
        ".SELECT town.map",
        "home home bg.png",
        ".CASE 1",
        ".LOAD sub.txt",
        ".ENDSEL",
        "}",
        ".ENDSEL",
        ".wipe rule.png 500",
        ".custom 好感 done",
        ".GOTO top"}},
      {"script/sub.txt", {"words", "", ".wait 10"}},
      {"anime/room.img", {"Type=back", "Base=bg.png", "#1", "Img0=ov.png", "Mode0=Screen", "Alpha0=50%"}},
      {"map/town.map", {"; a map", "ICON: home 4 icon.png", "PLACE: home 10 20 label.png 0 0"}},
      {"flow/flowdata.txt", {"keypoint 0 0", "flag start"}},
  };
}

const char* const kBinaryFiles[] = {"img/bg.png",    "img/face.png", "img/ov.png",   "img/rule.png",    "img/icon.png",
                                    "img/label.png", "bgm/m.ogg",    "se/click.ogg", "voice/v/ak_1.ogg"};

class GameCheckerTest : public ::testing::Test {
 protected:
  using Files = std::map<std::string, std::vector<std::string>>;

  // Writes the game; every text line is converted to GBK and ended by CR LF.
  void Write(const Files& files) {
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

  // Each case writes its game into a new folder.
  void Fresh() { dir = std::make_unique<testing::TempDir>(); }

  const CodePage gbk{CodePage::Kind::Gbk};
  std::unique_ptr<testing::TempDir> dir = std::make_unique<testing::TempDir>();
};

TEST_F(GameCheckerTest, TheCleanGameHasNoFinding) {
  Write(CleanGame());
  EXPECT_EQ(Listing(CheckGame(dir->str())), "");
}

// Each case is the clean game with exactly one mistake: the lines added to
// the end of a file, or a file replaced, and the one finding it must give.
struct MistakeCase {
  const char* name;
  const char* file;
  std::vector<std::string> lines;
  bool append;
  const char* findingFile;
  int line;  // of the finding; for an appended mistake, counted within the added lines
  Severity severity;
  const char* says;
};

TEST_F(GameCheckerTest, EachMistakeGivesExactlyItsFinding) {
  // clang-format off
  const MistakeCase cases[] = {
    {"config line without =", "config/system.txt", {"Title 测试"}, true, "config/system.txt", 1, kWarning,
     "neither a [Section.Subsection] header nor a Key=Value line"},
    {"config header without ]", "config/system.txt", {"[System.Option"}, true, "config/system.txt", 1, kWarning,
     "a header without ']'"},
    {"config key set twice", "config/flags.txt", {"[System.Info]", "Title=again"}, true, "config/flags.txt", 2,
     kWarning, "already set"},
    {"missing splash image", "config/system.txt", {"[System.Option]", "SplashImage=splash.png"}, true,
     "config/system.txt", 2, kError, "splash image splash.png is in no archive"},
    {"config list names a missing file", "config/config.txt", {"system.txt", "nope.txt", "flags.txt"}, false,
     "config/config.txt", 2, kError, "lists nope.txt"},
    {"assignment without =", "script/start.txt", {"?好感 1"}, true, "script/start.txt", 1, kError,
     "does not parse: the assignment has no '='"},
    {"goto to a missing label", "script/start.txt", {".GOTO #结局"}, true, "script/start.txt", 1, kError,
     "label #结局 not found in this script"},
    {"call of a missing script", "script/start.txt", {".CALL 第二章.txt"}, true, "script/start.txt", 1, kError,
     "script 第二章.txt is in no archive and no loose file"},
    {"load of a missing script", "script/start.txt", {".LOAD gone.txt"}, true, "script/start.txt", 1, kError,
     "script gone.txt is in no archive"},
    {"select whose choices reach the end", "script/start.txt", {".SELECT", "甲", "乙"}, true, "script/start.txt", 1,
     kError, "no .CASE follows the choices"},
    {"select without endsel", "script/start.txt", {".SELECT", "甲", ".CASE 1", ".wait 1"}, true, "script/start.txt",
     1, kError, "no .ENDSEL before the end of the file"},
    {"endsel with a comment after it", "script/start.txt", {".SELECT", "甲", ".CASE 1", ".wait 1", ".ENDSEL ; end",
     ".ENDSEL"}, true, "script/start.txt", 5, kWarning, "only a line that is exactly .ENDSEL ends a choice"},
    {"case for a choice that does not exist", "script/start.txt", {".SELECT", "甲", ".CASE 2", ".wait 1", ".ENDSEL"},
     true, "script/start.txt", 3, kWarning, "there is no choice 2"},
    {"case outside a select", "script/start.txt", {".CASE 1", ".wait 1"}, true, "script/start.txt", 1, kWarning,
     "does not belong to a .SELECT"},
    {"else without if", "script/start.txt", {".ELSE", ".wait 1"}, true, "script/start.txt", 1, kWarning,
     ".ELSE does not follow"},
    {"if at the end of the file", "script/start.txt", {".IF 好感"}, true, "script/start.txt", 1, kError,
     "the file ends before the line or block that this .IF governs"},
    {"unclosed brace", "script/start.txt", {"{", ".wait 1"}, true, "script/start.txt", 1, kError,
     "this { is never closed"},
    {"duplicate label", "script/start.txt", {"#top"}, true, "script/start.txt", 1, kWarning,
     "label #top is also on line 2"},
    {"missing movie file", "script/start.txt", {".movie movie\\op.webm"}, true, "script/start.txt", 1, kWarning,
     "movie movie\\op.webm is not a file of the game folder"},
    {"unknown tag", "script/start.txt", {".fooo 1"}, true, "script/start.txt", 1, kError, "unknown tag .fooo"},
    {"tag in the wrong case", "script/start.txt", {".Wait 1"}, true, "script/start.txt", 1, kError,
     "tag names are case-sensitive: .wait"},
    {"too many arguments", "script/start.txt", {".wait 1 2"}, true, "script/start.txt", 1, kWarning,
     ".wait takes 0 to 1 arguments, not 2"},
    {"too few arguments", "script/start.txt", {".se"}, true, "script/start.txt", 1, kWarning,
     ".se takes 1 argument, not 0"},
    {"tag value clamped", "script/start.txt", {".fade 70000"}, true, "script/start.txt", 1, kWarning, "60000 is used"},
    {"tag word ignored", "script/start.txt", {".mode wait"}, true, "script/start.txt", 1, kWarning, ".mode wait does nothing"},
    {"layer out of range", "script/start.txt", {".img 12 face.png"}, true, "script/start.txt", 1, kError,
     "img: layer 12 is outside 0 to 9: the line fails"},
    {"missing image", "script/start.txt", {".img 2 hero.png left"}, true, "script/start.txt", 1, kError,
     "image hero.png is in no archive and no loose file (folder img)"},
    {"missing definition", "script/start.txt", {".img 2 hero.img#2"}, true, "script/start.txt", 1, kError,
     "image definition hero.img is in no archive"},
    {"missing wipe picture", "script/start.txt", {".wipe rule2.png 300 fade"}, true, "script/start.txt", 1, kError,
     "wipe picture rule2.png"},
    {"missing music", "script/start.txt", {".bgm m2.ogg noloop"}, true, "script/start.txt", 1, kError,
     "music m2.ogg is in no archive"},
    {"missing voice in its folder", "script/start.txt", {".voice \\w", ".voice ak_1.ogg"}, true, "script/start.txt",
     2, kError, "voice w\\ak_1.ogg is in no archive"},
    {"missing map", "script/start.txt", {".SELECT nomap.map", "home", ".CASE 1", ".wait 1", ".ENDSEL"}, true,
     "script/start.txt", 1, kError, "map nomap.map is in no archive"},
    {"place the map does not declare", "script/start.txt", {".SELECT town.map", "home shop", ".CASE 1", ".wait 1",
     ".ENDSEL"}, true, "script/start.txt", 2, kError, "place shop is not declared in map town.map"},
    {"missing image in a definition", "anime/room.img", {"#2", "Face=smile.png"}, true, "anime/room.img", 2, kError,
     "image smile.png is in no archive"},
    {"definition line that does nothing", "anime/room.img", {"Mode1=Screan"}, true, "anime/room.img", 1, kWarning,
     "unknown blend mode"},
    {"missing image in a map", "map/town.map", {"ICON: shop 4 shop.png"}, true, "map/town.map", 1, kError,
     "icon image shop.png is in no archive"},
    {"map line the reader ignores", "map/town.map", {"ICONS: shop 4 icon.png"}, true, "map/town.map", 1, kWarning,
     "neither ICON nor PLACE"},
    {"map line without a name", "map/town.map", {"PLACE:"}, true, "map/town.map", 1, kError,
     "without a name"},
    {"flag used but never defined", "script/start.txt", {".IF 友情 > 1", ".wait 1", ".wait 2"}, true, "script/start.txt", 1,
     kError, "flag '友情' is used but never defined"},
    {"flag in a choice condition never defined", "script/start.txt", {".SELECT", "甲 seen", ".CASE 1", ".wait 1",
     ".ENDSEL"}, true, "script/start.txt", 2, kError, "flag 'seen' is used but never defined"},
    {"assignment to a seen flag", "script/start.txt", {"?bg.png = 1"}, true, "script/start.txt", 1, kError,
     "flag 'bg.png' is assigned"},
    {"expression fault", "script/start.txt", {".IF 好感 == 1", ".wait 1", ".wait 2"}, true, "script/start.txt", 1, kError,
     "should come at column 4, not '=='"},
    {"text on the last line", "script/sub.txt", {"the end"}, true, "script/sub.txt", 1, kWarning,
     "never shown"},
  };
  // clang-format on
  for (const MistakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    Files files = CleanGame();
    std::vector<std::string>& lines = files[c.file];
    const int before = c.append ? static_cast<int>(lines.size()) : 0;
    if (c.append)
      lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    else
      lines = c.lines;
    Write(files);
    const std::vector<Finding> findings = CheckGame(dir->str());
    ASSERT_EQ(findings.size(), 1u) << Listing(findings);
    EXPECT_EQ(findings[0].file, c.findingFile);
    EXPECT_EQ(findings[0].line, before + c.line);
    EXPECT_EQ(findings[0].severity, c.severity);
    EXPECT_NE(findings[0].message.find(c.says), std::string::npos) << findings[0].message;
  }
}

TEST_F(GameCheckerTest, LineEndsAndCodePageOfTheRawText) {
  const struct {
    const char* name;
    std::string bytes;
    int line;
    Severity severity;
    const char* says;
  } cases[] = {
      {"LF only", "words\n\n.wait 10\n", 1, kWarning, "LF-only line ends"},
      {"a lone LF among CR LF", "words\r\nmore\nwords\r\n\r\n.wait 1\r\n", 2, kError, "mixed line ends"},
      {"a loose UTF-8 file holding what GBK cannot", "好\r\n\r\n.wait 1\r\n.chapter 😀\r\n", 4, kError,
       "'😀' cannot be written in GBK: the game shows '?' instead"},
      {"bytes that no code page holds", "ok\r\n\xFF\xFF\r\n\r\n.wait 1\r\n", 2, kError, "bytes that are not GBK text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    Write(CleanGame());
    dir->Write("data/script/sub.txt", c.bytes);
    const std::vector<Finding> findings = CheckGame(dir->str());
    ASSERT_EQ(findings.size(), 1u) << Listing(findings);
    EXPECT_EQ(findings[0].file, "script/sub.txt");
    EXPECT_EQ(findings[0].line, c.line);
    EXPECT_EQ(findings[0].severity, c.severity);
    EXPECT_NE(findings[0].message.find(c.says), std::string::npos) << findings[0].message;
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
