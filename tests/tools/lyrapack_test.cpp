#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "packwriter/pack_writer.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string out;
};

// Runs the built tool with its standard output captured.
ToolRun Lyrapack(const std::string& args) {
  const std::string command = std::string("'") + LYRAPACK_PATH + "' " + args + " 2>/dev/null";
  ToolRun run{-1, {}};
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

class LyrapackTest : public ::testing::Test {
 protected:
  fs::path Src() const { return dir_.path() / "src"; }
  fs::path Archive(const std::string& name = "out.dat") const { return dir_.path() / name; }
  TempDir dir_;
};

TEST_F(LyrapackTest, CreateListExtractRoundTrip) {
  std::string binary(1500, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31);
  dir_.Write("src/script/Start.txt", "hello\r\n");
  dir_.Write("src/img/bg/night.png", binary);
  dir_.Write("src/se/empty.ogg", "");
  dir_.Write("src/a.txt", "top");

  ASSERT_EQ(Lyrapack("create " + Q(Archive()) + " " + Q(Src()) + " --scramble 42 --priority 9").status, 0);
  const ToolRun list = Lyrapack("list " + Q(Archive()));
  ASSERT_EQ(list.status, 0);
  EXPECT_EQ(list.out, "a.txt 3 42\nimg\\bg\\night.png 1500 42\nscript\\Start.txt 7 42\nse\\empty.ogg 0 42\n");

  ASSERT_EQ(Lyrapack("extract " + Q(Archive()) + " " + Q(dir_.path() / "x")).status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.path() / "x/img/bg/night.png"), binary);
  EXPECT_EQ(ReadFileBytes(dir_.path() / "x/script/Start.txt"), "hello\r\n");
  EXPECT_TRUE(fs::exists(dir_.path() / "x/se/empty.ogg"));

  // The engine reads the same archive, with its priority.
  TempDir game;
  fs::create_directories(game.path() / "data");
  fs::copy_file(Archive(), game.path() / "data/system.dat");
  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game.str());
  std::vector<u8> bytes;
  ASSERT_TRUE(resources.ReadWholeResource("IMG\\BG", "Night.png", bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), binary);
  EXPECT_EQ(resources.directory().Find("a.txt")->priority, 9u);
  EXPECT_EQ(resources.directory().Find("a.txt")->scrambleCode, 42);
}

TEST_F(LyrapackTest, OutputIsReproducible) {
  dir_.Write("src/z.txt", "z");
  dir_.Write("src/m/k.txt", "k");
  dir_.Write("src/b.txt", "b");
  ASSERT_EQ(Lyrapack("create " + Q(Archive("1.dat")) + " " + Q(Src())).status, 0);
  // Same content written in another order, into a fresh folder.
  dir_.Write("src2/b.txt", "b");
  dir_.Write("src2/z.txt", "z");
  dir_.Write("src2/m/k.txt", "k");
  ASSERT_EQ(Lyrapack("create " + Q(Archive("2.dat")) + " " + Q(dir_.path() / "src2")).status, 0);
  EXPECT_EQ(ReadFileBytes(Archive("1.dat")), ReadFileBytes(Archive("2.dat")));
  // Entries are in order of their paths and stored plain by default.
  EXPECT_EQ(Lyrapack("list " + Q(Archive("1.dat"))).out, "b.txt 1 0\nm\\k.txt 1 0\nz.txt 1 0\n");
  EXPECT_NE(ReadFileBytes(Archive("1.dat")).find("bkz"), std::string::npos);
}

TEST_F(LyrapackTest, ConvertsTextFilesToTheCodePageAndBack) {
  const std::string text = "\xEF\xBB\xBF开始\r\n";  // with a byte order mark
  dir_.Write("src/script/start.txt", text);
  dir_.Write("src/anime/face.IMG", "表情");
  dir_.Write("src/map/linux.map", "a\nb\r\nc\n");  // lone LFs gain a CR; CR LF stays as it is
  dir_.Write("src/img/raw.png", "开始");
  dir_.Write("src/img/背景.png", "bg");
  ASSERT_EQ(Lyrapack("create " + Q(Archive()) + " " + Q(Src()) + " --convert-text").status, 0);

  TempDir game;
  fs::create_directories(game.path() / "data");
  fs::copy_file(Archive(), game.path() / "data/system.dat");
  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game.str());
  const CodePage gbk(CodePage::Kind::Gbk);
  std::string out;
  ASSERT_TRUE(resources.ReadWholeResource("script", "start.txt", out));
  EXPECT_EQ(out, gbk.FromUtf8("开始\r\n"));
  ASSERT_TRUE(resources.ReadWholeResource("anime", "face.img", out));
  EXPECT_EQ(out, gbk.FromUtf8("表情"));
  ASSERT_TRUE(resources.ReadWholeResource("map", "linux.map", out));
  EXPECT_EQ(out, "a\r\nb\r\nc\r\n");
  ASSERT_TRUE(resources.ReadWholeResource("img", "raw.png", out));
  EXPECT_EQ(out, "开始");  // not a text file: untouched
  ASSERT_TRUE(resources.ReadWholeResource("img", gbk.FromUtf8("背景.png"), out));
  EXPECT_EQ(out, "bg");

  ASSERT_EQ(Lyrapack("extract " + Q(Archive()) + " " + Q(dir_.path() / "x") + " --convert-text gbk").status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.path() / "x/script/start.txt"), "开始\r\n");
  EXPECT_EQ(ReadFileBytes(dir_.path() / "x/img/背景.png"), "bg");

  ASSERT_EQ(Lyrapack("create " + Q(Archive("sjis.dat")) + " " + Q(Src()) + " --convert-text sjis").status, 0);
  fs::copy_file(Archive("sjis.dat"), game.path() / "data/system.dat", fs::copy_options::overwrite_existing);
  resources.OpenDataFolder(game.str());
  ASSERT_TRUE(resources.ReadWholeResource("anime", "face.img", out));
  EXPECT_EQ(out, CodePage(CodePage::Kind::ShiftJis).FromUtf8("表情"));
}

TEST_F(LyrapackTest, RefusesBadInput) {
  // A name longer than 255 bytes: nested folders, since one component cannot be that long here.
  const std::string longDir = std::string(200, 'd');
  dir_.Write("src/" + longDir + "/" + std::string(60, 'f') + ".txt", "x");
  EXPECT_NE(Lyrapack("create " + Q(Archive()) + " " + Q(Src())).status, 0);
  EXPECT_FALSE(fs::exists(Archive()));

  dir_.Write("ok/a.txt", "a");
  EXPECT_NE(Lyrapack("create " + Q(Archive()) + " " + Q(dir_.path() / "missing")).status, 0);
  EXPECT_NE(Lyrapack("create " + Q(Archive()) + " " + Q(dir_.path() / "ok") + " --scramble 256").status, 0);
  EXPECT_NE(Lyrapack("create " + Q(Archive()) + " " + Q(dir_.path() / "ok") + " --priority -1").status, 0);
  EXPECT_NE(Lyrapack("create " + Q(Archive()) + " " + Q(dir_.path() / "ok") + " --bogus").status, 0);
  EXPECT_NE(Lyrapack("list").status, 0);
  EXPECT_NE(Lyrapack("frobnicate a b").status, 0);
  EXPECT_NE(Lyrapack("list " + Q(dir_.path() / "none.dat")).status, 0);
  EXPECT_FALSE(fs::exists(Archive()));

  // A damaged directory lists what it holds, then fails.
  ASSERT_EQ(Lyrapack("create " + Q(Archive()) + " " + Q(dir_.path() / "ok") + " --priority 0x10").status, 0);
  const std::string good = ReadFileBytes(Archive());
  testing::WriteFileBytes(Archive("cut.dat"), good.substr(0, good.size() - 1));
  EXPECT_EQ(Lyrapack("list " + Q(Archive("cut.dat"))).status, 0);  // only data is cut
  EXPECT_NE(Lyrapack("extract " + Q(Archive("cut.dat")) + " " + Q(dir_.path() / "cut")).status, 0);
  testing::WriteFileBytes(Archive("cut.dat"), good.substr(0, 25));
  EXPECT_NE(Lyrapack("list " + Q(Archive("cut.dat"))).status, 0);
}

TEST_F(LyrapackTest, ExtractStaysInsideTheTargetFolder) {
  const fs::path target = dir_.path() / "deep" / "target";
  for (const std::string name : {"..\\escape.txt", "a\\..\\..\\escape.txt", "\\abs.txt", "c:\\drive.txt", "a\\\\b.txt",
                                 "a/../../escape.txt", "."}) {
    PackWriter writer;
    ASSERT_TRUE(writer.AddFile("fine.txt", "f"));
    ASSERT_TRUE(writer.AddFile(name, "evil"));
    ASSERT_TRUE(writer.Write(Archive("evil.dat").string(), 0));
    EXPECT_NE(Lyrapack("extract " + Q(Archive("evil.dat")) + " " + Q(target)).status, 0) << name;
    EXPECT_FALSE(fs::exists(dir_.path() / "deep" / "escape.txt")) << name;
    EXPECT_FALSE(fs::exists(dir_.path() / "escape.txt")) << name;
    EXPECT_FALSE(fs::exists(target / "fine.txt")) << name;  // nothing is written at all
  }
}

}  // namespace
}  // namespace lyraban
