#include "resources/resources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "base/codepage.h"
#include "packwriter/pack_writer.h"
#include "resources/archive.h"
#include "resources/pack_keystream.h"
#include "resources/text_lines.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

// Expected bytes were worked out by hand from the sequence x(k) = seed * 69069^k
// and the tempering with this format's masks, outside this code base.
TEST(PackKeystream, KnownAnswersAcrossRefillsAndPieces) {
  PackKeystream ks(kPackBaseSeed);
  std::vector<u8> base(1249);
  for (u8& b : base) b = ks.Next(0);
  EXPECT_EQ(std::vector<u8>(base.begin(), base.begin() + 8),
            (std::vector<u8>{0xC7, 0x63, 0xBC, 0xFF, 0xC8, 0x64, 0x2B, 0xAE}));
  EXPECT_EQ(base[623], 0x37);   // last slot of the first table
  EXPECT_EQ(base[624], 0xE7);   // first byte after the refill from slot 623
  EXPECT_EQ(base[1248], 0x0B);  // first byte after the second refill
  // The same stream applied in uneven pieces across a refill.
  std::string pieces(base.size(), '\x5A');
  PackKeystream again(kPackBaseSeed);
  const size_t cuts[] = {0, 1, 623, 626, pieces.size()};
  for (size_t i = 0; i + 1 < std::size(cuts); ++i) again.Apply(pieces.data() + cuts[i], cuts[i + 1] - cuts[i]);
  for (size_t i = 0; i < base.size(); ++i) ASSERT_EQ(static_cast<u8>(pieces[i]), base[i] ^ 0x5A) << i;
  // Entry data with scramble code 1 uses its own seed; seeding again restarts.
  ks.Seed(kPackBaseSeed + 1);
  EXPECT_EQ(ks.Next(0x10), 0xE3 ^ 0x10);
  EXPECT_EQ(ks.Next(0), 0x8C);
}

TEST(TextLines, BreaksAreCrOrCrLfOrLfWithoutAnyCrAndBlanksGoAtLineStartsAndTextEnd) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"a\r\n\r\n  b  \r\n", {"a", "", "b  "}},
      {"one\ntwo", {"one", "two"}},  // no CR anywhere: LF breaks lines
      {"a\n\n  b  \n", {"a", "", "b  "}},
      {"one\rtwo\nthree", {"one", "two\nthree"}},  // one CR anywhere: a lone LF stays inside its line
      {"a  \n  \t ", {"a  "}},
      {"x\ry\r\rz", {"x", "y", "", "z"}},
      {"p\r\n\nq", {"p", "\nq"}},  // CR LF is one break; the LF after it is kept
      {"\t  lead\r\n \tnext \t", {"lead", "next"}},
      {"a  \r\n  \t ", {"a  "}},  // trailing blanks of the text go even behind a final break
      {"a\r\n\r\n", {"a", ""}},
      {std::string("ab\r\ncd\0ef\r\ngh", 12), {"ab", "cd"}},  // the text stops at a NUL
  };
  TextLines lines;
  for (const auto& [text, want] : cases) {
    ASSERT_TRUE(SplitTextLines(lines, text));
    std::vector<std::string> got;
    for (std::string line; lines.GetLine(got.size(), line);) got.push_back(line);
    EXPECT_EQ(got, want) << text;
  }
  EXPECT_FALSE(SplitTextLines(lines, ""));
  EXPECT_TRUE(lines.empty() && lines.Line(5).empty());
}

std::string Build(u32 priority, std::vector<std::pair<std::string, std::string>> files, u8 code = 0) {
  PackWriter writer;
  for (const auto& [name, data] : files) EXPECT_TRUE(writer.AddFile(name, data, code));
  std::string bytes;
  EXPECT_TRUE(writer.Build(priority, bytes));
  return bytes;
}

class ResourcesTest : public ::testing::Test {
 protected:
  ResourcesTest() : resources_(trace_) {
    trace_.SetSink([this](std::string_view m) { last_ += m, ++traced_; });
    std::filesystem::create_directories(game_.path() / "data");
    resources_.OpenDataFolder(game_.str());
  }
  void Pack(const std::string& file, u32 priority, std::vector<std::pair<std::string, std::string>> files,
            u8 code = 0) {
    game_.Write("data/" + file, Build(priority, std::move(files), code));
  }
  bool Open(const std::string& bytes, const std::string& file) {
    return OpenArchive(directory_, game_.Write(file, bytes).string(), file);
  }
  std::string Whole(std::string_view folder, std::string_view name) {
    std::string out;
    return resources_.ReadWholeResource(folder, name, out) ? out : "<failed>";
  }
  bool LastHas(std::string_view text) const { return last_.find(text) != std::string::npos; }
  void Fifo(const std::string& relative) {
    const auto path = game_.path() / "data" / relative;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << relative;
  }

  testing::TempDir game_;
  Trace trace_;
  Resources resources_;
  ResourceDirectory directory_;
  std::string last_;
  int traced_ = 0;  // lines traced
  char buf_[16];
};

TEST_F(ResourcesTest, ArchiveNamesFoldAsciiOnlyAndKeepOffsetsSizesAndCodes) {
  // Shift-JIS katakana A is 83 41: its trail byte is an ASCII capital and folds too.
  ASSERT_TRUE(Open(Build(4, {{"Script\\Start.TXT", "12345"}, {"img\\\x83\x41.png", "pp"}}, 9), "system.dat"));
  const PackEntry* e = directory_.Find("SCRIPT\\start.txt");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->name + "|" + e->archive, "script\\start.txt|system.dat");
  EXPECT_EQ(e->priority * 100 + e->size * 10 + e->scrambleCode, 459u);
  const PackEntry* png = directory_.Find("IMG\\\x83\x61.PNG");
  EXPECT_EQ(png ? png->offset : 0, e->offset + 5);
}

TEST_F(ResourcesTest, BadHeadersAndEveryCutOfTheDirectory) {
  ASSERT_TRUE(Open(Build(0, {{"keep", "k"}}), "good.dat"));
  const std::string good = Build(0, {{"one", "1"}, {"two", "2"}, {"three", "3"}});
  EXPECT_FALSE(OpenArchive(directory_, (game_.path() / "no.dat").string(), "no.dat") ||
               OpenArchive(directory_, game_.str(), "folder.dat"));
  EXPECT_EQ(directory_.size(), 1u);
  // Record sizes: 2 + name + 8. Cuts never crash; complete records survive.
  const size_t end1 = 20 + 13, end2 = end1 + 13, end3 = end2 + 15;
  for (size_t len = 0; len <= end3; ++len) {
    directory_.Clear();
    EXPECT_EQ(Open(good.substr(0, len), "cut.dat"), len == end3) << len;  // data bytes are not checked
    EXPECT_EQ(directory_.size(), len >= end3 ? 3u : len >= end2 ? 2u : len >= end1 ? 1u : 0u) << len;
  }
  // Magic, version 203 -> 202 / 459, a zero name length (fails at that record),
  // a count far beyond the file (not trusted).
  for (auto [at, patch, left] : {std::tuple{size_t{7}, std::string("L"), 0u},
                                 {8, "\xCA", 0u},
                                 {9, "\x01", 0u},
                                 {end1 + 1, std::string(1, '\0'), 1u},
                                 {16, std::string(4, '\xFF'), 3u}}) {
    std::string bad = good;
    bad.replace(at, patch.size(), patch);
    directory_.Clear();
    EXPECT_TRUE(!Open(bad, "bad.dat") && directory_.size() == left) << at;
  }
}

TEST_F(ResourcesTest, AllArchivesInByteOrderOfNamesWithPriorities) {
  EXPECT_FALSE(resources_.OpenAllArchives());
  Pack("b.dat", 1, {{"same.txt", "from b"}, {"high.txt", "b"}});
  Pack("a.dat", 1, {{"same.txt", "from a"}, {"high.txt", "a"}, {"gone.txt", "g"}});
  Pack("C.DAT", 0, {{"same.txt", "from C"}, {"upper.txt", "C"}});
  Pack("d.dat", 2, {{"high.txt", "d"}});
  game_.Write("data/notes.txt.bak", "x");
  std::filesystem::create_directories(game_.path() / "data" / "folder.dat");
  game_.Write("data/broken.dat", "LYRAPACK\xCB");
  ASSERT_TRUE(resources_.OpenAllArchives());
  // "C.DAT" sorts before "a.dat" in byte order, so b.dat is the last of priority 1.
  EXPECT_EQ(Whole("", "same.txt") + Whole("", "high.txt") + Whole("", "upper.txt"), "from bdC");
  std::filesystem::remove(game_.path() / "data" / "a.dat");
  ASSERT_TRUE(resources_.OpenAllArchives());  // opening again starts from an empty directory
  EXPECT_EQ(resources_.directory().Find("gone.txt"), nullptr);
  // The data folder opens system.dat only; an empty game folder means the program's folder.
  resources_.OpenDataFolder(game_.str() + "/");
  EXPECT_EQ(resources_.dataFolder() + std::to_string(resources_.directory().size()), game_.str() + "/data/0");
  resources_.OpenDataFolder();
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(resources_.dataFolder(), exe.substr(0, exe.rfind('/')) + "/data/");
}

TEST_F(ResourcesTest, ArchiveEntriesWinOverLooseFilesWhichMatchWithoutLetterCase) {
  Pack("system.dat", 0, {{"script\\start.txt", "archived"}}, 5);
  game_.Write("data/script/start.txt", "loose");
  game_.Write("data/Story/Chapter1/Start.Txt", "mixed");
  game_.Write("data/img/a.png", "lower");
  game_.Write("data/img/A.png", "upper");
  game_.Write("data/img/\x81\x5C.png", "dbcs");
  const auto outside = game_.Write("outside/file.txt", "outside");
  resources_.OpenDataFolder(game_.str());
  EXPECT_EQ(Whole("SCRIPT", "START.TXT") + Whole("", "script\\start.txt"), "archivedarchived");
  PackFile file;  // unscrambled in pieces
  ASSERT_TRUE(resources_.OpenResource(file, "script", "Start.txt"));
  EXPECT_EQ(file.resolvedName() + std::to_string(file.size()), "script\\Start.txt8");
  ASSERT_TRUE(resources_.ReadResource(file, buf_, 3) && resources_.ReadResource(file, buf_ + 3, 5));
  EXPECT_EQ(std::string(buf_, 8), "archived");
  EXPECT_EQ(Whole("STORY\\CHAPTER1", "start.txt") + Whole("story", "chapter1/start.txt"), "mixedmixed");
  EXPECT_EQ(Whole("img", "A.png") + Whole("img", "a.png"), "upperlower");  // an exact match comes first
  EXPECT_EQ(Whole("IMG", "\x81\x5C.png"), "dbcs");  // a trail byte equal to a backslash (GBK 81 5C)
  last_.clear();
  EXPECT_TRUE(!resources_.OpenResource(file, "", "script") && LastHas("アーカイブを開けない"));  // a folder
  EXPECT_TRUE(!resources_.OpenResource(file, "script", "") && LastHas("？？？"));
  Pack("system.dat", 0, {{outside.string(), "archived"}, {"c:\\file.txt", "archived"}});
  ASSERT_TRUE(resources_.OpenAllArchives());  // full paths bypass the archives
  EXPECT_EQ(Whole("ignored", outside.string()) + Whole("", "c:\\file.txt"), "outside<failed>");
}

TEST_F(ResourcesTest, LooseNamesFallBackToTheirUtf8SpellingPerComponentWithoutLetterCase) {
  const CodePage gbk(CodePage::Kind::Gbk);
  game_.Write("data/script/第一章.txt", "utf8 chapter");
  game_.Write("data/img/图片/Face.PNG", "utf8 folder");
  game_.Write("data/script/\xB5\xDA\xB6\xFE.txt", "gbk bytes");  // 第二 as GBK bytes on disk
  game_.Write("data/script/第二.txt", "utf8 twin");
  game_.Write("data/bgm/Αx.ogg", "greek capital");
  Pack("system.dat", 0, {{gbk.FromUtf8("script\\第三.txt"), "archived"}});
  game_.Write("data/script/第三.txt", "loose twin");
  resources_.OpenDataFolder(game_.str());
  const struct {
    std::string folder, name, want;
  } cases[] = {
      {"script", gbk.FromUtf8("第一章.txt"), "utf8 chapter"},
      {"SCRIPT", gbk.FromUtf8("第一章.TXT"), "utf8 chapter"},  // ASCII letters fold in the UTF-8 spelling too
      {gbk.FromUtf8("IMG\\图片"), "face.png", "utf8 folder"},  // per component: a GBK folder, an ASCII file
      {"script", gbk.FromUtf8("第二.txt"), "gbk bytes"},       // the game's own bytes win over the UTF-8 spelling
      {"script", "第一章.txt", "utf8 chapter"},                // a name already in UTF-8 is found as it is
      {"script", gbk.FromUtf8("第三.txt"), "archived"},        // archives still come first
      {"script", gbk.FromUtf8("第四.txt"), "<failed>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Whole(c.folder, c.name), c.want) << c.folder << " / " << c.name;
  // Only ASCII letters fold: a non-ASCII letter in another case is another name.
  EXPECT_EQ(Whole("bgm", gbk.FromUtf8("αX.ogg")), "<failed>");
  trace_.SetCodePage(CodePage(CodePage::Kind::ShiftJis));
  game_.Write("data/voice/こえ.ogg", "sjis game");
  EXPECT_EQ(Whole("voice", CodePage(CodePage::Kind::ShiftJis).FromUtf8("こえ.ogg")), "sjis game");
}

TEST_F(ResourcesTest, LooseUtf8TextFilesAreReadInTheGamesCodePage) {
  const CodePage gbk(CodePage::Kind::Gbk);
  const std::string gbkText = gbk.FromUtf8("你好\r\n");
  game_.Write("data/script/utf8.txt", "你好\r\n");
  game_.Write("data/script/bom.TXT", "\xEF\xBB\xBFhi\r\n");
  game_.Write("data/script/gbk.txt", gbkText);
  game_.Write("data/map/town.map", "ICON: 家 1 a.png");
  game_.Write("data/img/utf8.png", "你好");
  Pack("system.dat", 0, {{"script\\packed.txt", "你好"}});
  resources_.OpenDataFolder(game_.str());
  const std::pair<std::string, std::string> cases[] = {
      {Whole("script", "utf8.txt"), gbkText},
      {Whole("script", "bom.txt"), "hi\r\n"},                        // the byte order mark goes
      {Whole("script", "gbk.txt"), gbkText},                         // text in the code page stays
      {Whole("map", "town.map"), gbk.FromUtf8("ICON: 家 1 a.png")},  // every text extension
      {Whole("img", "utf8.png"), "你好"},                            // not a text file
      {Whole("script", "packed.txt"), "你好"},                       // archive entries stay as packed
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
  TextLines lines;
  ASSERT_TRUE(resources_.LoadTextLines(lines, "script", "utf8.txt"));
  EXPECT_EQ(lines.Line(0), gbk.FromUtf8("你好"));
}

TEST_F(ResourcesTest, DiagnosticsNameTheFileSizeAndCode) {
  Pack("system.dat", 0, {{"se\\click.ogg", std::string(300, 'c')}}, 0x1F);
  ASSERT_TRUE(resources_.OpenAllArchives());
  std::filesystem::remove(game_.path() / "data" / "system.dat");
  PackFile file;
  last_.clear();
  EXPECT_FALSE(resources_.OpenResource(file, "se", "click.ogg"));
  EXPECT_EQ(
      last_,
      "ファイル:\n\t　　エラー内容:アーカイブを開けない\n\t　　ファイル名:se\\click.ogg\n"
      "\tファイルサイズ:300\n\t　暗号化コード:001F\n — archive system.dat holds se\\click.ogg but cannot be opened");
  // Names are converted from the game's code page for the trace.
  last_.clear();
  EXPECT_TRUE(!resources_.OpenResource(file, "img", "\xB1\xB3\xBE\xB0.png") && LastHas("ファイル名:img\\背景.png\n"));
  EXPECT_TRUE(LastHas("\n — img\\背景.png is in no archive and no loose file"));
  game_.Write("data/short.bin", "abc");
  ASSERT_TRUE(resources_.OpenResource(file, "", "short.bin"));
  EXPECT_TRUE(!resources_.ReadResource(file, buf_, 4) && LastHas("読みこみ失敗"));
  game_.Write("data/empty.txt", "");
  std::vector<u8> bytes{1, 2};
  EXPECT_FALSE(resources_.ReadWholeResource("", "empty.txt", bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(ResourcesTest, LyingEntriesFailBeforeAllocating) {
  std::string bytes = Build(0, {{"huge", "0123456789"}, {"far", "abc"}});
  // Claim 4 GiB for the first entry and move the second past the end.
  const size_t sizeAt = 20 + 2 + 4 + 4;
  bytes.replace(sizeAt, 4, "\xFF\xFF\xFF\xFF");
  bytes[sizeAt + 4 + 2 + 3 + 3] = '\x70';
  game_.Write("data/system.dat", bytes);
  ASSERT_TRUE(resources_.OpenAllArchives());
  std::vector<u8> out;
  EXPECT_FALSE(resources_.ReadWholeResource("", "huge", out));
  EXPECT_TRUE(LastHas("読みこみ失敗") && LastHas("ファイルサイズ:-1"));
  EXPECT_LT(out.capacity(), 1u << 20);  // the claimed size was never allocated
  EXPECT_FALSE(resources_.ReadWholeResource("", "far", out));
}

TEST_F(ResourcesTest, EveryTruncationOfAnArchiveIsSafe) {
  const std::string full =
      Build(0, {{"script\\a.txt", "  line one\r\nline two  "}, {"img\\b.png", std::string(40, 'b')}}, 3);
  const size_t textEnd = full.size() - 40;
  for (size_t len = 0; len <= full.size(); ++len) {
    game_.Write("data/system.dat", full.substr(0, len));
    resources_.OpenAllArchives();
    TextLines lines;
    EXPECT_EQ(resources_.LoadTextLines(lines, "script", "A.TXT"), len >= textEnd) << len;
    EXPECT_EQ(Whole("img", "b.png"), len == full.size() ? std::string(40, 'b') : "<failed>") << len;
    EXPECT_EQ(std::string(lines.Line(0)) + "|" + std::string(lines.Line(1)) + std::to_string(lines.LineCount()),
              len >= textEnd ? "line one|line two2" : "|0")
        << len;
  }
}

// Data folders that hold things no game should: FIFOs, huge files, NUL bytes.

// Opening a FIFO for reading waits for a writer; each of these would hang.
TEST_F(ResourcesTest, FifosAreRefusedWithoutBlocking) {
  Fifo("system.dat");
  Fifo("z.dat");
  Fifo("img/pic.png");
  resources_.OpenDataFolder(game_.str());
  EXPECT_FALSE(resources_.OpenAllArchives());
  std::string bytes;
  EXPECT_FALSE(resources_.ReadWholeResource("img", "pic.png", bytes));
  EXPECT_TRUE(LastHas("アーカイブを開けない")) << last_;
  PackHeader header;
  EXPECT_FALSE(ReadArchiveDirectory((game_.path() / "data" / "z.dat").string(), header, [](PackRecord&&) {}));
}

// A loose file larger than any game needs is refused before it is read; a
// sparse file stands in for a real one.
TEST_F(ResourcesTest, HugeLooseFilesAreRefusedWithATrace) {
  const std::pair<const char*, u64> sizes[] = {{"just over the cap", u64{Resources::kMaxWholeResourceBytes} + 1},
                                               {"4 GiB - 1", 0xFFFFFFFFull}};
  for (const auto& [label, size] : sizes) {
    SCOPED_TRACE(label);
    const auto path = game_.Write("data/bgm/huge.ogg", "OggS");
    std::filesystem::resize_file(path, size);
    last_.clear();
    std::vector<u8> bytes;
    EXPECT_FALSE(resources_.ReadWholeResource("bgm", "huge.ogg", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(LastHas("リソースが大きすぎる")) << last_;
  }
  // At the cap itself the file is still read.
  game_.Write("data/bgm/edge.ogg", std::string(1000, 'e'));
  std::vector<u8> bytes;
  EXPECT_TRUE(resources_.ReadWholeResource("bgm", "edge.ogg", bytes));
}

TEST_F(ResourcesTest, ANulByteCutsTextWithATraceAndCopiesShareTheText) {
  game_.Write("data/script/a.txt", std::string("one\r\ntwo\r\n\0three\r\n", 19));
  game_.Write("data/script/b.txt", std::string("one\r\ntwo\0", 9));  // a terminating NUL is no cut
  TextLines lines;
  ASSERT_TRUE(resources_.LoadTextLines(lines, "script", "a.txt"));
  EXPECT_EQ(lines.LineCount(), 2u);
  EXPECT_TRUE(lines.cutAtNul());
  EXPECT_EQ(traced_, 1);
  EXPECT_TRUE(LastHas("script\\a.txt：2 行目")) << last_;
  ASSERT_TRUE(resources_.LoadTextLines(lines, "script", "b.txt"));
  EXPECT_FALSE(lines.cutAtNul());
  EXPECT_EQ(traced_, 1);

  const TextLines copy = lines;
  EXPECT_EQ(copy.Line(1).data(), lines.Line(1).data()) << "a copy must share the text, not duplicate it";
  lines.Clear();
  EXPECT_EQ(copy.Line(1), "two");
}

}  // namespace
}  // namespace lyraban
