#include "resources/resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "packwriter/pack_writer.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

using testing::TempDir;

class ResourcesTest : public ::testing::Test {
 protected:
  ResourcesTest() : resources_(trace_) {
    trace_.SetSink([this](std::string_view m) { messages_.emplace_back(m); });
    std::filesystem::create_directories(game_.path() / "data");
    resources_.OpenDataFolder(game_.str());
  }

  void Pack(const std::string& fileName, u32 priority, std::vector<std::pair<std::string, std::string>> files,
            u8 code = 0) {
    PackWriter writer;
    for (auto& [name, data] : files) ASSERT_TRUE(writer.AddFile(name, data, code));
    ASSERT_TRUE(writer.Write((game_.path() / "data" / fileName).string(), priority));
  }
  void Loose(const std::string& relative, const std::string& data) { game_.Write("data/" + relative, data); }

  std::string Whole(std::string_view folder, std::string_view name) {
    std::string out;
    return resources_.ReadWholeResource(folder, name, out) ? out : "<failed>";
  }

  bool LastMessageHas(std::string_view text) const {
    return !messages_.empty() && messages_.back().find(text) != std::string::npos;
  }

  TempDir game_;
  Trace trace_;
  Resources resources_;
  std::vector<std::string> messages_;
};

TEST_F(ResourcesTest, DataFolderAndSystemArchive) {
  EXPECT_EQ(resources_.dataFolder(), game_.str() + "/data/");
  Pack("system.dat", 0, {{"config\\config.txt", "sys"}});
  Pack("other.dat", 0, {{"script\\start.txt", "s"}});
  resources_.OpenDataFolder(game_.str() + "/");
  EXPECT_EQ(resources_.dataFolder(), game_.str() + "/data/");
  // Only the system archive is opened at this stage.
  EXPECT_EQ(resources_.directory().size(), 1u);
  EXPECT_EQ(Whole("config", "config.txt"), "sys");

  // An empty game folder means the folder of the running program.
  Resources own(trace_);
  own.OpenDataFolder();
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(own.dataFolder(), exe.substr(0, exe.rfind('/')) + "/data/");
}

TEST_F(ResourcesTest, AllArchivesInNameOrderWithPriorities) {
  EXPECT_FALSE(resources_.OpenAllArchives());
  Pack("b.dat", 1, {{"same.txt", "from b"}, {"high.txt", "b"}});
  Pack("a.dat", 1, {{"same.txt", "from a"}, {"high.txt", "a"}, {"gone.txt", "g"}});
  Pack("C.DAT", 0, {{"same.txt", "from C"}, {"upper.txt", "C"}});
  Pack("d.dat", 2, {{"high.txt", "d"}});
  Loose("notes.txt.bak", "x");
  std::filesystem::create_directories(game_.path() / "data" / "folder.dat");
  game_.Write("data/broken.dat", "LYRAPACK\xCB");

  ASSERT_TRUE(resources_.OpenAllArchives());
  // "C.DAT" sorts before "a.dat" in byte order, so b.dat is the last of priority 1.
  EXPECT_EQ(Whole("", "same.txt"), "from b");
  EXPECT_EQ(Whole("", "high.txt"), "d");
  EXPECT_EQ(Whole("", "upper.txt"), "C");

  // Opening again starts from an empty directory.
  std::filesystem::remove(game_.path() / "data" / "a.dat");
  ASSERT_TRUE(resources_.OpenAllArchives());
  EXPECT_EQ(resources_.directory().Find("gone.txt"), nullptr);
}

TEST_F(ResourcesTest, ArchiveEntriesFoundInAnyCaseAndWinOverLooseFiles) {
  Pack("system.dat", 0, {{"script\\start.txt", "archived"}, {"Img\\Bg.png", "png"}}, 5);
  Loose("script/start.txt", "loose");
  Loose("script/other.txt", "loose other");
  ASSERT_TRUE(resources_.OpenAllArchives());

  EXPECT_EQ(Whole("script", "START.TXT"), "archived");
  EXPECT_EQ(Whole("SCRIPT", "start.txt"), "archived");
  EXPECT_EQ(Whole("", "script\\start.txt"), "archived");
  EXPECT_EQ(Whole("img", "bg.PNG"), "png");
  EXPECT_EQ(Whole("script", "other.txt"), "loose other");

  PackFile file;
  ASSERT_TRUE(resources_.OpenResource(file, "script", "Start.txt"));
  EXPECT_EQ(file.resolvedName(), "script\\Start.txt");
  EXPECT_EQ(file.size(), 8u);
  EXPECT_EQ(file.scrambleCode(), 5);
  // Reads in pieces continue the keystream.
  char buf[8];
  ASSERT_TRUE(resources_.ReadResource(file, buf, 3));
  ASSERT_TRUE(resources_.ReadResource(file, buf + 3, 5));
  EXPECT_EQ(std::string(buf, 8), "archived");

  // A moved file keeps its stream and state.
  ASSERT_TRUE(resources_.OpenResource(file, "img", "bg.png"));
  char b1;
  ASSERT_TRUE(resources_.ReadResource(file, &b1, 1));
  PackFile moved = std::move(file);
  EXPECT_FALSE(file.IsOpen());
  char rest[2];
  ASSERT_TRUE(resources_.ReadResource(moved, rest, 2));
  EXPECT_EQ(std::string(1, b1) + std::string(rest, 2), "png");
  resources_.CloseResource(moved);
  EXPECT_FALSE(moved.IsOpen());
  EXPECT_EQ(moved.resolvedName(), "");
  EXPECT_EQ(moved.size(), 0u);
}

TEST_F(ResourcesTest, LooseFilesMatchComponentsWithoutLetterCase) {
  Loose("Script/Chapter1/Start.Txt", "mixed");
  Loose("img/a.png", "lower");
  Loose("img/A.png", "upper");
  EXPECT_EQ(Whole("script", "chapter1\\START.TXT"), "mixed");
  EXPECT_EQ(Whole("SCRIPT\\CHAPTER1", "start.txt"), "mixed");
  EXPECT_EQ(Whole("script", "chapter1/start.txt"), "mixed");
  // An exact match is taken before a folded one.
  EXPECT_EQ(Whole("img", "A.png"), "upper");
  EXPECT_EQ(Whole("img", "a.png"), "lower");
  // A trail byte equal to a backslash is part of its character (GBK 81 5C).
  Loose("img/\x81\x5C.png", "dbcs");
  EXPECT_EQ(Whole("IMG", "\x81\x5C.png"), "dbcs");

  PackFile file;
  EXPECT_FALSE(resources_.OpenResource(file, "script", "missing.txt"));
  EXPECT_TRUE(LastMessageHas("アーカイブを開けない"));
  EXPECT_FALSE(resources_.OpenResource(file, "", "script"));  // a folder is no resource
  EXPECT_FALSE(resources_.OpenResource(file, "script", ""));
  EXPECT_TRUE(LastMessageHas("？？？"));
}

TEST_F(ResourcesTest, FullPathsBypassArchives) {
  const auto outside = game_.Write("outside/file.txt", "outside");
  Pack("system.dat", 0, {{outside.string(), "archived"}, {"c:\\file.txt", "archived"}});
  ASSERT_TRUE(resources_.OpenAllArchives());
  EXPECT_EQ(Whole("ignored", outside.string()), "outside");
  PackFile file;
  ASSERT_TRUE(resources_.OpenResource(file, "folder", outside.string()));
  EXPECT_EQ(file.resolvedName(), outside.string());
  // A name with a colon is never looked up in the archives.
  EXPECT_FALSE(resources_.OpenResource(file, "", "c:\\file.txt"));
  EXPECT_TRUE(LastMessageHas("アーカイブを開けない"));
}

TEST_F(ResourcesTest, DiagnosticsNameTheFileSizeAndCode) {
  Pack("system.dat", 0, {{"se\\click.ogg", std::string(300, 'c')}}, 0x1F);
  ASSERT_TRUE(resources_.OpenAllArchives());
  std::filesystem::remove(game_.path() / "data" / "system.dat");
  PackFile file;
  messages_.clear();
  EXPECT_FALSE(resources_.OpenResource(file, "se", "click.ogg"));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0],
            "ファイル:\n\t　　エラー内容:アーカイブを開けない\n\t　　ファイル名:se\\click.ogg\n"
            "\tファイルサイズ:300\n\t　暗号化コード:001F\n");
  EXPECT_FALSE(file.IsOpen());

  // Names are converted from the game's code page for the trace.
  const std::string gbkName = "\xB1\xB3\xBE\xB0.png";  // 背景.png in GBK
  EXPECT_FALSE(resources_.OpenResource(file, "img", gbkName));
  EXPECT_TRUE(LastMessageHas("ファイル名:img\\背景.png\n"));
}

TEST_F(ResourcesTest, ReadFailures) {
  Loose("short.bin", "abc");
  PackFile file;
  ASSERT_TRUE(resources_.OpenResource(file, "", "short.bin"));
  char buf[8];
  messages_.clear();
  EXPECT_FALSE(resources_.ReadResource(file, nullptr, 1));
  EXPECT_FALSE(resources_.ReadResource(file, buf, 0));
  EXPECT_EQ(messages_.size(), 2u);
  EXPECT_TRUE(LastMessageHas("？？？"));
  EXPECT_FALSE(resources_.ReadResource(file, buf, 4));
  EXPECT_TRUE(LastMessageHas("読みこみ失敗"));

  // Empty resources give nothing to read.
  Loose("empty.txt", "");
  std::vector<u8> bytes{1, 2};
  EXPECT_FALSE(resources_.ReadWholeResource("", "empty.txt", bytes));
  EXPECT_TRUE(bytes.empty());
  TextLines lines;
  EXPECT_FALSE(resources_.LoadTextLines(lines, "", "empty.txt"));
}

TEST_F(ResourcesTest, LyingEntriesFailBeforeAllocating) {
  PackWriter writer;
  ASSERT_TRUE(writer.AddFile("huge", "0123456789"));
  ASSERT_TRUE(writer.AddFile("far", "abc"));
  std::string bytes;
  ASSERT_TRUE(writer.Build(0, bytes));
  // Claim 4 GiB for the first entry and move the second past the end.
  const size_t sizeAt = 20 + 2 + 4 + 4;
  for (int i = 0; i < 4; ++i) bytes[sizeAt + i] = '\xFF';
  const size_t offsetAt = sizeAt + 4 + 2 + 3;
  bytes[offsetAt + 3] = '\x70';
  game_.Write("data/system.dat", bytes);
  ASSERT_TRUE(resources_.OpenAllArchives());

  std::vector<u8> out;
  EXPECT_FALSE(resources_.ReadWholeResource("", "huge", out));
  EXPECT_TRUE(LastMessageHas("読みこみ失敗"));
  EXPECT_TRUE(LastMessageHas("ファイルサイズ:-1"));
  EXPECT_LT(out.capacity(), 1u << 20);  // the claimed size was never allocated
  EXPECT_FALSE(resources_.ReadWholeResource("", "far", out));
  TextLines lines;
  EXPECT_FALSE(resources_.LoadTextLines(lines, "", "huge"));
  EXPECT_TRUE(lines.empty());
  // A plain read of what is there still works.
  PackFile file;
  ASSERT_TRUE(resources_.OpenResource(file, "", "huge"));
  EXPECT_FALSE(file.IsComplete());
  char head[10];
  ASSERT_TRUE(resources_.ReadResource(file, head, 10));
  EXPECT_EQ(std::string(head, 10), "0123456789");
}

TEST_F(ResourcesTest, EveryTruncationOfAnArchiveIsSafe) {
  PackWriter writer;
  ASSERT_TRUE(writer.AddFile("script\\a.txt", "line one\r\nline two", 3));
  ASSERT_TRUE(writer.AddFile("img\\b.png", std::string(40, 'b')));
  std::string full;
  ASSERT_TRUE(writer.Build(0, full));
  const size_t dataStart = full.size() - 18 - 40;

  for (size_t len = 0; len <= full.size(); ++len) {
    game_.Write("data/system.dat", full.substr(0, len));
    resources_.OpenAllArchives();
    TextLines lines;
    const bool text = resources_.LoadTextLines(lines, "script", "a.txt");
    std::string png;
    const bool image = resources_.ReadWholeResource("img", "b.png", png);
    EXPECT_EQ(text, len >= dataStart + 18) << len;
    EXPECT_EQ(image, len == full.size()) << len;
    if (text) {
      ASSERT_EQ(lines.LineCount(), 2u);
      EXPECT_EQ(lines.Line(1), "line two");
    }
    if (image) {
      EXPECT_EQ(png, std::string(40, 'b'));
    }
  }
}

TEST_F(ResourcesTest, LoadTextLinesFromArchiveAndLooseFile) {
  Pack("system.dat", 0, {{"config\\config.txt", "  [Game]\r\nTitle\tTest\r\n\r\nEnd  "}}, 77);
  Loose("flow/flowdata.txt", "a\nb\r\nc");
  ASSERT_TRUE(resources_.OpenAllArchives());
  TextLines lines;
  ASSERT_TRUE(resources_.LoadTextLines(lines, "config", "CONFIG.TXT"));
  ASSERT_EQ(lines.LineCount(), 4u);
  EXPECT_EQ(lines.Line(0), "[Game]");
  EXPECT_EQ(lines.Line(1), "Title\tTest");
  EXPECT_EQ(lines.Line(2), "");
  EXPECT_EQ(lines.Line(3), "End");
  ASSERT_TRUE(resources_.LoadTextLines(lines, "flow", "flowdata.txt"));
  ASSERT_EQ(lines.LineCount(), 2u);
  EXPECT_EQ(lines.Line(0), "a\nb");
  EXPECT_FALSE(resources_.LoadTextLines(lines, "flow", "none.txt"));
  EXPECT_EQ(lines.LineCount(), 0u);
}

}  // namespace
}  // namespace lyraban
