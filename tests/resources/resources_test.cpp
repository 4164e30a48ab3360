#include "resources/resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "packwriter/pack_writer.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

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

  testing::TempDir game_;
  Trace trace_;
  Resources resources_;
  std::vector<std::string> messages_;
  char buf_[16];
};

TEST_F(ResourcesTest, DataFolderOpensTheSystemArchiveOnly) {
  Pack("system.dat", 0, {{"config\\config.txt", "sys"}});
  Pack("other.dat", 0, {{"script\\start.txt", "s"}});
  resources_.OpenDataFolder(game_.str() + "/");
  EXPECT_EQ(resources_.dataFolder(), game_.str() + "/data/");
  EXPECT_EQ(resources_.directory().size(), 1u);
  EXPECT_EQ(Whole("config", "config.txt"), "sys");
  // An empty game folder means the folder of the running program.
  Resources own(trace_);
  own.OpenDataFolder();
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(own.dataFolder(), exe.substr(0, exe.rfind('/')) + "/data/");
}

TEST_F(ResourcesTest, AllArchivesInByteOrderOfNamesWithPriorities) {
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
  EXPECT_EQ(Whole("", "same.txt") + Whole("", "high.txt") + Whole("", "upper.txt"), "from bdC");
  // Opening again starts from an empty directory.
  std::filesystem::remove(game_.path() / "data" / "a.dat");
  ASSERT_TRUE(resources_.OpenAllArchives());
  EXPECT_EQ(resources_.directory().Find("gone.txt"), nullptr);
}

TEST_F(ResourcesTest, ArchiveEntriesWinOverLooseFilesAndUnscrambleInPieces) {
  Pack("system.dat", 0, {{"script\\start.txt", "archived"}}, 5);
  Loose("script/start.txt", "loose");
  Loose("script/other.txt", "loose other");
  ASSERT_TRUE(resources_.OpenAllArchives());
  EXPECT_EQ(Whole("SCRIPT", "START.TXT"), "archived");
  EXPECT_EQ(Whole("", "script\\start.txt"), "archived");
  EXPECT_EQ(Whole("script", "other.txt"), "loose other");
  PackFile file;
  ASSERT_TRUE(resources_.OpenResource(file, "script", "Start.txt"));
  EXPECT_EQ(file.resolvedName(), "script\\Start.txt");
  EXPECT_EQ(file.size(), 8u);
  char buf[8];
  ASSERT_TRUE(resources_.ReadResource(file, buf, 3));
  ASSERT_TRUE(resources_.ReadResource(file, buf + 3, 5));
  EXPECT_EQ(std::string(buf, 8), "archived");
}

TEST_F(ResourcesTest, LooseFilesMatchComponentsWithoutLetterCaseAndFullPathsBypassArchives) {
  Loose("Script/Chapter1/Start.Txt", "mixed");
  Loose("img/a.png", "lower");
  Loose("img/A.png", "upper");
  Loose("img/\x81\x5C.png", "dbcs");
  EXPECT_EQ(Whole("SCRIPT\\CHAPTER1", "start.txt"), "mixed");
  EXPECT_EQ(Whole("script", "chapter1/start.txt"), "mixed");
  EXPECT_EQ(Whole("img", "A.png") + Whole("img", "a.png"), "upperlower");  // an exact match comes first
  EXPECT_EQ(Whole("IMG", "\x81\x5C.png"), "dbcs");  // a trail byte equal to a backslash (GBK 81 5C)
  PackFile file;
  EXPECT_FALSE(resources_.OpenResource(file, "", "script"));  // a folder is no resource
  EXPECT_TRUE(LastMessageHas("アーカイブを開けない"));
  EXPECT_FALSE(resources_.OpenResource(file, "script", ""));
  EXPECT_TRUE(LastMessageHas("？？？"));

  const auto outside = game_.Write("outside/file.txt", "outside");
  Pack("system.dat", 0, {{outside.string(), "archived"}, {"c:\\file.txt", "archived"}});
  ASSERT_TRUE(resources_.OpenAllArchives());
  EXPECT_EQ(Whole("ignored", outside.string()), "outside");
  EXPECT_EQ(Whole("", "c:\\file.txt"), "<failed>");  // a name with a colon is never looked up in archives
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
  // Names are converted from the game's code page for the trace.
  EXPECT_FALSE(resources_.OpenResource(file, "img", "\xB1\xB3\xBE\xB0.png"));
  EXPECT_TRUE(LastMessageHas("ファイル名:img\\背景.png\n"));

  Loose("short.bin", "abc");
  ASSERT_TRUE(resources_.OpenResource(file, "", "short.bin"));
  EXPECT_FALSE(resources_.ReadResource(file, nullptr, 1));
  EXPECT_TRUE(LastMessageHas("？？？"));
  EXPECT_FALSE(resources_.ReadResource(file, buf_, 4));
  EXPECT_TRUE(LastMessageHas("読みこみ失敗"));
  Loose("empty.txt", "");
  std::vector<u8> bytes{1, 2};
  EXPECT_FALSE(resources_.ReadWholeResource("", "empty.txt", bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(ResourcesTest, LyingEntriesFailBeforeAllocating) {
  PackWriter writer;
  ASSERT_TRUE(writer.AddFile("huge", "0123456789"));
  ASSERT_TRUE(writer.AddFile("far", "abc"));
  std::string bytes;
  ASSERT_TRUE(writer.Build(0, bytes));
  // Claim 4 GiB for the first entry and move the second past the end.
  const size_t sizeAt = 20 + 2 + 4 + 4;
  bytes.replace(sizeAt, 4, "\xFF\xFF\xFF\xFF");
  bytes[sizeAt + 4 + 2 + 3 + 3] = '\x70';
  game_.Write("data/system.dat", bytes);
  ASSERT_TRUE(resources_.OpenAllArchives());
  std::vector<u8> out;
  EXPECT_FALSE(resources_.ReadWholeResource("", "huge", out));
  EXPECT_TRUE(LastMessageHas("読みこみ失敗"));
  EXPECT_TRUE(LastMessageHas("ファイルサイズ:-1"));
  EXPECT_LT(out.capacity(), 1u << 20);  // the claimed size was never allocated
  EXPECT_FALSE(resources_.ReadWholeResource("", "far", out));
  // A plain read of what is there still works.
  PackFile file;
  ASSERT_TRUE(resources_.OpenResource(file, "", "huge"));
  EXPECT_FALSE(file.IsComplete());
  ASSERT_TRUE(resources_.ReadResource(file, buf_, 10));
  EXPECT_EQ(std::string(buf_, 10), "0123456789");
}

TEST_F(ResourcesTest, EveryTruncationOfAnArchiveIsSafe) {
  PackWriter writer;
  ASSERT_TRUE(writer.AddFile("script\\a.txt", "  line one\r\nline two  ", 3));
  ASSERT_TRUE(writer.AddFile("img\\b.png", std::string(40, 'b')));
  std::string full;
  ASSERT_TRUE(writer.Build(0, full));
  const size_t textEnd = full.size() - 40;
  for (size_t len = 0; len <= full.size(); ++len) {
    game_.Write("data/system.dat", full.substr(0, len));
    resources_.OpenAllArchives();
    TextLines lines;
    EXPECT_EQ(resources_.LoadTextLines(lines, "script", "A.TXT"), len >= textEnd) << len;
    EXPECT_EQ(Whole("img", "b.png"), len == full.size() ? std::string(40, 'b') : "<failed>") << len;
    if (len >= textEnd) {
      ASSERT_EQ(lines.LineCount(), 2u);
      EXPECT_EQ(std::string(lines.Line(0)) + "|" + std::string(lines.Line(1)), "line one|line two");
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

}  // namespace
}  // namespace lyraban
