// Data folders that hold things no game should: FIFOs, huge files, NUL bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "resources/archive.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

class HostileResources : public ::testing::Test {
 protected:
  HostileResources() : resources_(trace_) {
    trace_.SetSink([this](std::string_view m) { messages_.emplace_back(m); });
    std::filesystem::create_directories(game_.path() / "data");
  }
  void Fifo(const std::string& relative) {
    const auto path = game_.path() / "data" / relative;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << relative;
  }
  std::string Last() const { return messages_.empty() ? "nothing traced" : messages_.back(); }

  testing::TempDir game_;
  Trace trace_;
  std::vector<std::string> messages_;
  Resources resources_;
};

// Opening a FIFO for reading waits for a writer; each of these would hang.
TEST_F(HostileResources, FifosAreRefusedWithoutBlocking) {
  Fifo("system.dat");
  Fifo("z.dat");
  Fifo("img/pic.png");
  resources_.OpenDataFolder(game_.str());
  EXPECT_FALSE(resources_.OpenAllArchives());
  std::string bytes;
  EXPECT_FALSE(resources_.ReadWholeResource("img", "pic.png", bytes));
  EXPECT_NE(Last().find("アーカイブを開けない"), std::string::npos) << Last();
  PackHeader header;
  EXPECT_FALSE(ReadArchiveDirectory((game_.path() / "data" / "z.dat").string(), header, [](PackRecord&&) {}));
}

// A loose file larger than any game needs is refused before it is read; a
// sparse file stands in for a real one.
TEST_F(HostileResources, HugeLooseFilesAreRefusedWithATrace) {
  const std::pair<const char*, u64> sizes[] = {{"just over the cap", u64{Resources::kMaxWholeResourceBytes} + 1},
                                               {"4 GiB - 1", 0xFFFFFFFFull}};
  for (const auto& [label, size] : sizes) {
    SCOPED_TRACE(label);
    const auto path = game_.Write("data/bgm/huge.ogg", "OggS");
    std::filesystem::resize_file(path, size);
    resources_.OpenDataFolder(game_.str());
    messages_.clear();
    std::vector<u8> bytes;
    EXPECT_FALSE(resources_.ReadWholeResource("bgm", "huge.ogg", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(Last().find("リソースが大きすぎる"), std::string::npos) << Last();
  }
  // At the cap itself the file is still read.
  game_.Write("data/bgm/edge.ogg", std::string(1000, 'e'));
  resources_.OpenDataFolder(game_.str());
  std::vector<u8> bytes;
  EXPECT_TRUE(resources_.ReadWholeResource("bgm", "edge.ogg", bytes));
}

TEST_F(HostileResources, ANulByteCutsTextWithATraceAndCopiesShareTheText) {
  game_.Write("data/script/a.txt", std::string("one\r\ntwo\r\n\0three\r\n", 19));
  game_.Write("data/script/b.txt", std::string("one\r\ntwo\0", 9));  // a terminating NUL is no cut
  resources_.OpenDataFolder(game_.str());
  TextLines lines;
  ASSERT_TRUE(resources_.LoadTextLines(lines, "script", "a.txt"));
  EXPECT_EQ(lines.LineCount(), 2u);
  EXPECT_TRUE(lines.cutAtNul());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("script\\a.txt：2 行目"), std::string::npos) << messages_[0];
  ASSERT_TRUE(resources_.LoadTextLines(lines, "script", "b.txt"));
  EXPECT_FALSE(lines.cutAtNul());
  EXPECT_EQ(messages_.size(), 1u);

  const TextLines copy = lines;
  EXPECT_EQ(copy.Line(1).data(), lines.Line(1).data()) << "a copy must share the text, not duplicate it";
  lines.Clear();
  EXPECT_EQ(copy.Line(1), "two");
}

}  // namespace
}  // namespace lyraban
