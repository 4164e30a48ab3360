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
  // Puts the archive in a game as its system.dat, as the engine opens it.
  void Install(const fs::path& archive) {
    fs::create_directories(game_.path() / "data");
    fs::copy_file(archive, game_.path() / "data/system.dat", fs::copy_options::overwrite_existing);
    resources_.OpenDataFolder(game_.str());
  }
  std::string Read(std::string_view folder, std::string_view name) {
    std::string out;
    return resources_.ReadWholeResource(folder, name, out) ? out : "<failed>";
  }

  TempDir dir_, game_;
  Trace trace_;
  Resources resources_{trace_};
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
  Install(Archive());
  EXPECT_EQ(Read("IMG\\BG", "Night.png"), binary);
  EXPECT_EQ(resources_.directory().Find("a.txt")->priority, 9u);
  EXPECT_EQ(resources_.directory().Find("a.txt")->scrambleCode, 42);
}

TEST_F(LyrapackTest, OutputIsReproducible) {
  // The same files written in two orders into two folders, each holding its name's last letter.
  for (const std::string name : {"src/z", "src/m/k", "src/b", "src2/b", "src2/z", "src2/m/k"})
    dir_.Write(name + ".txt", name.substr(name.size() - 1));
  ASSERT_EQ(Lyrapack("create " + Q(Archive("1.dat")) + " " + Q(Src())).status, 0);
  ASSERT_EQ(Lyrapack("create " + Q(Archive("2.dat")) + " " + Q(dir_.path() / "src2")).status, 0);
  EXPECT_EQ(ReadFileBytes(Archive("1.dat")), ReadFileBytes(Archive("2.dat")));
  // Entries are in order of their paths and stored plain by default.
  EXPECT_EQ(Lyrapack("list " + Q(Archive("1.dat"))).out, "b.txt 1 0\nm\\k.txt 1 0\nz.txt 1 0\n");
  EXPECT_NE(ReadFileBytes(Archive("1.dat")).find("bkz"), std::string::npos);
}

TEST_F(LyrapackTest, ConvertsTextFilesToTheCodePageAndBack) {
  dir_.Write("src/script/start.txt", "\xEF\xBB\xBF开始\r\n");  // with a byte order mark
  dir_.Write("src/anime/face.IMG", "表情");
  dir_.Write("src/map/linux.map", "a\nb\r\nc\n");  // lone LFs gain a CR; CR LF stays as it is
  dir_.Write("src/img/raw.png", "开始");
  dir_.Write("src/img/背景.png", "bg");
  ASSERT_EQ(Lyrapack("create " + Q(Archive()) + " " + Q(Src()) + " --convert-text").status, 0);
  Install(Archive());
  const CodePage gbk(CodePage::Kind::Gbk);
  EXPECT_EQ(Read("script", "start.txt"), gbk.FromUtf8("开始\r\n"));
  EXPECT_EQ(Read("anime", "face.img"), gbk.FromUtf8("表情"));
  EXPECT_EQ(Read("map", "linux.map"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(Read("img", "raw.png"), "开始");  // not a text file: untouched
  EXPECT_EQ(Read("img", gbk.FromUtf8("背景.png")), "bg");

  ASSERT_EQ(Lyrapack("extract " + Q(Archive()) + " " + Q(dir_.path() / "x") + " --convert-text gbk").status, 0);
  EXPECT_EQ(ReadFileBytes(dir_.path() / "x/script/start.txt"), "开始\r\n");
  EXPECT_EQ(ReadFileBytes(dir_.path() / "x/img/背景.png"), "bg");

  ASSERT_EQ(Lyrapack("create " + Q(Archive("sjis.dat")) + " " + Q(Src()) + " --convert-text sjis").status, 0);
  Install(Archive("sjis.dat"));
  EXPECT_EQ(Read("anime", "face.img"), CodePage(CodePage::Kind::ShiftJis).FromUtf8("表情"));
}

TEST_F(LyrapackTest, RefusesBadInput) {
  // A name longer than 255 bytes: nested folders, since one component cannot be that long here.
  const std::string longDir = std::string(200, 'd');
  dir_.Write("src/" + longDir + "/" + std::string(60, 'f') + ".txt", "x");
  EXPECT_NE(Lyrapack("create " + Q(Archive()) + " " + Q(Src())).status, 0);
  EXPECT_FALSE(fs::exists(Archive()));

  dir_.Write("ok/a.txt", "a");
  const std::string create = "create " + Q(Archive()) + " ";
  for (const std::string& args :
       {create + Q(dir_.path() / "missing"), create + Q(dir_.path() / "ok") + " --scramble 256",
        create + Q(dir_.path() / "ok") + " --priority -1", create + Q(dir_.path() / "ok") + " --bogus",
        std::string("list"), std::string("frobnicate a b"), "list " + Q(dir_.path() / "none.dat")})
    EXPECT_NE(Lyrapack(args).status, 0) << args;
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
