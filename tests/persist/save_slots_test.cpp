#include "persist/save_slots.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "persist/save_data_file.h"
#include "resources/pack_keystream.h"
#include "support/temp_dir.h"

// The save slots: the file's layout, the header operations, the quick save,
// damaged files and a writer killed in the middle of a save.
namespace lyraban {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;

u32 U32At(const std::string& bytes, std::size_t at) {
  u32 v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<u8>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

// The whole file unscrambled by the keystream, byte i with output i.
std::string Plain(const fs::path& path) {
  std::string bytes = ReadFileBytes(path);
  PackKeystream keys(kSaveDataSeed);
  keys.Apply(bytes.data(), bytes.size());
  return bytes;
}

struct Entry {
  std::string key;
  std::string value;
};
// Walks a container by hand; stops at the first incomplete entry.
std::vector<Entry> Entries(const std::string& bytes) {
  std::vector<Entry> out;
  std::size_t p = 0;
  while (p + 4 <= bytes.size()) {
    const u32 k = U32At(bytes, p);
    if (p + 8 + k > bytes.size()) break;
    const u32 v = U32At(bytes, p + 4 + k);
    if (p + 8 + k + v > bytes.size()) break;
    out.push_back({bytes.substr(p + 4, k), bytes.substr(p + 8 + k, v)});
    p += 8 + k + v;
  }
  return out;
}

// A game in miniature: fixed time, chapter and thumbnail, and two owners
// whose state is one number each.
struct FakeGame final : SaveSlotHost {
  SaveMoment LocalNow() override { return moment; }
  i32 DeathCount() override { return deaths; }
  std::string ChapterDate() override { return date; }
  std::string ChapterName() override { return name; }
  void DrawThumbnail(u8* pixels) override {
    for (std::size_t i = 0; i < kThumbnailBytes; ++i) pixels[i] = static_cast<u8>(i % 251);
  }
  SaveMoment moment{2026, 12, 6, 3, 4, 5, 678};
  i32 deaths = -3;
  std::string date = "DAY1", name = "Harbour";
};

class SaveSlotsTest : public ::testing::Test {
 protected:
  SaveSlotsTest() {
    slots_.SetQuickSaveComment("QUICK");
    slots_.SetSectionOwner(SaveSectionKind::Script, [this](SaveArchive& a) {
      ++scriptCalls_;
      a.Exchange("Value", script_);
    });
    slots_.SetSectionOwner(SaveSectionKind::Flags, [this](SaveArchive& a) {
      ++flagCalls_;
      a.Exchange("Flags", flags_);
    });
  }
  fs::path Slot(int n) const { return dir_.path() / "save" / SaveSlots::SlotFileName(n); }
  // Writes plain bytes scrambled as the save folder keeps them.
  void WriteScrambled(int slot, std::string bytes) const {
    PackKeystream keys(kSaveDataSeed);
    keys.Apply(bytes.data(), bytes.size());
    dir_.Write("save/" + SaveSlots::SlotFileName(slot), bytes);
  }

  TempDir dir_;
  FakeGame game_;
  Trace trace_;
  SaveSlots slots_{dir_.path() / "save", game_, trace_};
  u32 script_ = 0x11223344;
  i32 flags_ = 9;
  int scriptCalls_ = 0, flagCalls_ = 0;
};

TEST(SaveSlotsTime, FileTimeCountsTenthsOfMicrosecondsFrom1601) {
  const std::pair<SaveMoment, u64> cases[] = {
      {{1601, 1, 1, 0, 0, 0, 0}, 0},
      {{1601, 1, 2, 0, 0, 1, 5}, 864000000000ull + 10000000ull + 50000ull},
      {{1970, 1, 1, 0, 0, 0, 0}, 116444736000000000ull},
      {{2000, 3, 1, 0, 0, 0, 0}, 125963424000000000ull},  // after a leap day of a century year
  };
  for (const auto& [moment, want] : cases) EXPECT_EQ(FileTimeOf(moment), want) << moment.year << "-" << moment.month;
}

TEST_F(SaveSlotsTest, FileIsTheHeaderThenSixSectionsInOrder) {
  ASSERT_TRUE(slots_.SaveGame(7));
  const std::string file = Plain(Slot(7));
  ASSERT_GT(file.size(), SlotHeader::kSize);

  u64 time = 0;
  std::memcpy(&time, file.data(), 8);
  // Time, protection (off for a new save), deaths, date, chapter, comment.
  EXPECT_EQ(std::tuple(time, U32At(file, 8), static_cast<i32>(U32At(file, 12)), std::string(file.data() + 16),
                       std::string(file.data() + 272), std::string(file.data() + 528)),
            std::tuple(FileTimeOf(game_.moment), 0u, -3, "2026/12/06 03:04", "DAY1 Harbour", ""));
  for (std::size_t i = 0; i < kThumbnailBytes; i += 997)
    EXPECT_EQ(static_cast<u8>(file[784 + i]), i % 251) << "thumbnail byte " << i;
  // Every unused byte of the texts is zero.
  EXPECT_EQ(file.substr(16 + 16, 256 - 16), std::string(240, '\0'));

  const std::vector<Entry> outer = Entries(file.substr(SlotHeader::kSize));
  ASSERT_EQ(outer.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(outer[i].key, kSaveSectionKeys[i]);
  // Sections without an owner are empty containers.
  for (std::size_t i : {1u, 2u, 4u, 5u}) EXPECT_EQ(outer[i].value, "") << outer[i].key;
  const std::vector<Entry> script = Entries(outer[0].value);
  ASSERT_EQ(script.size(), 1u);
  EXPECT_EQ(std::pair(script[0].key, U32At(script[0].value, 0)), std::pair(std::string("Value"), 0x11223344u));
}

TEST_F(SaveSlotsTest, SlotsOutsideTheRangeTouchNothing) {
  SlotHeader header;
  for (int slot : {-1, 50, 1000}) {
    EXPECT_FALSE(slots_.SaveGame(slot)) << slot;
    EXPECT_FALSE(slots_.LoadGame(slot)) << slot;
    EXPECT_FALSE(slots_.ReadSlotHeader(slot, header)) << slot;
    EXPECT_FALSE(slots_.WriteSlotHeader(slot, header)) << slot;
    EXPECT_FALSE(slots_.DeleteSlot(slot)) << slot;
  }
  EXPECT_FALSE(fs::exists(dir_.path() / "save")) << "no folder may be made for a refused slot";
  EXPECT_EQ(scriptCalls_, 0);
}

TEST_F(SaveSlotsTest, HeaderRewriteKeepsTheSectionsAndQuickSaveLabelsSlotZeroEvenWhenProtected) {
  ASSERT_TRUE(slots_.SaveGame(0));
  const std::string before = ReadFileBytes(Slot(0));
  SlotHeader header;
  ASSERT_TRUE(slots_.ReadSlotHeader(0, header));
  EXPECT_EQ(header.chapterText(), "DAY1 Harbour");
  header.setComment("my note");
  header.setProtected(true);
  ASSERT_TRUE(slots_.WriteSlotHeader(0, header));
  const std::string after = ReadFileBytes(Slot(0));
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(after.compare(SlotHeader::kSize, std::string::npos, before, SlotHeader::kSize) == 0)
      << "bytes after the header changed";
  SlotHeader again;
  ASSERT_TRUE(slots_.ReadSlotHeader(0, again));
  EXPECT_EQ(std::pair(again.comment(), again.isProtected()), std::pair(std::string_view("my note"), true));
  script_ = 0, flags_ = 0;
  ASSERT_TRUE(slots_.LoadGame(0));
  EXPECT_EQ(std::pair(script_, flags_), std::pair(0x11223344u, 9));

  script_ = 77;
  ASSERT_TRUE(slots_.QuickSave());
  ASSERT_TRUE(slots_.ReadSlotHeader(0, again));
  EXPECT_EQ(std::pair(again.comment(), again.isProtected()), std::pair(std::string_view("QUICK"), false))
      << "a save starts with the protection off";
  script_ = 0;
  ASSERT_TRUE(slots_.QuickLoad());
  EXPECT_EQ(script_, 77u);

  EXPECT_TRUE(slots_.DeleteSlot(0));
  EXPECT_FALSE(fs::exists(Slot(0)));
  EXPECT_FALSE(slots_.DeleteSlot(0)) << "deleting an empty slot";
  EXPECT_FALSE(slots_.QuickLoad());
  // Rewriting the header of a slot that does not exist makes no file.
  EXPECT_FALSE(slots_.WriteSlotHeader(0, header));
  EXPECT_FALSE(fs::exists(Slot(0)));
}

TEST_F(SaveSlotsTest, ChapterTextKeepsItsSpaceAndLongTextsStayTerminated) {
  game_.date = "";
  game_.name = std::string(400, 'n');
  ASSERT_TRUE(slots_.SaveGame(4));
  SlotHeader header;
  ASSERT_TRUE(slots_.ReadSlotHeader(4, header));
  EXPECT_EQ(header.chapterText(), " " + std::string(254, 'n'));
  // A file whose texts fill their fields reads back with their last byte NUL.
  std::string plain = Plain(Slot(4));
  std::memset(plain.data() + 528, 'c', 256);
  WriteScrambled(4, plain);
  ASSERT_TRUE(slots_.ReadSlotHeader(4, header));
  EXPECT_EQ(header.comment(), std::string(255, 'c'));
}

TEST_F(SaveSlotsTest, BadFilesLoadNothingAndAreNotOffered) {
  ASSERT_TRUE(slots_.SaveGame(3));
  const std::string good = Plain(Slot(3));
  const std::string header = good.substr(0, SlotHeader::kSize);
  const std::string sectionsWithoutScript =
      header + good.substr(SlotHeader::kSize + 4 + 11 + 4 + Entries(good.substr(SlotHeader::kSize))[0].value.size());
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"shorter than the header", good.substr(0, 100)},
      {"header only", header},
      {"no script section", sectionsWithoutScript},
      {"garbage after the header", header + std::string(64, '\xFF')},
  };
  int traces = 0;
  trace_.SetSink([&](std::string_view) { ++traces; });
  for (const Case& c : cases) {
    WriteScrambled(5, c.bytes);
    SlotHeader got;
    script_ = 1, flags_ = 2, scriptCalls_ = flagCalls_ = 0;
    EXPECT_FALSE(slots_.LoadGame(5)) << c.what;
    // Owners run, script, flags: all untouched.
    EXPECT_EQ(std::tuple(scriptCalls_ + flagCalls_, script_, flags_), std::tuple(0, 1u, 2)) << c.what;
    EXPECT_FALSE(slots_.InspectSlot(5, got)) << c.what;
  }
  EXPECT_GE(traces, 4) << "every damaged file but the empty one is traced";
  SlotHeader got;
  EXPECT_TRUE(slots_.InspectSlot(3, got));
  EXPECT_EQ(got.dateText(), "2026/12/06 03:04");
}

TEST_F(SaveSlotsTest, CutShortContainerKeepsTheSectionsBeforeTheCut) {
  ASSERT_TRUE(slots_.SaveGame(6));
  const std::string good = Plain(Slot(6));
  // Cut inside the flags section's value: script survives, flags do not.
  const std::size_t flagsEntry = good.find("Data_Flags", SlotHeader::kSize);
  ASSERT_NE(flagsEntry, std::string::npos);
  WriteScrambled(6, good.substr(0, flagsEntry + 10 + 6));
  script_ = 0, flags_ = 123, flagCalls_ = 0;
  ASSERT_TRUE(slots_.LoadGame(6));
  // A missing section keeps the current value; its owner still runs, on an empty container.
  EXPECT_EQ(std::tuple(script_, flags_, flagCalls_), std::tuple(0x11223344u, 123, 1));
}

TEST_F(SaveSlotsTest, WriterKilledMidSaveNeverCostsTheEarlierSave) {
  script_ = 1111;
  ASSERT_TRUE(slots_.SaveGame(8));
  const std::string earlier = ReadFileBytes(Slot(8));

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Half of a new save reaches the disk, then the process dies.
    SaveDataFile file(dir_.path() / "save");
    if (file.OpenForWrite(SaveSlots::SlotFileName(8))) file.Write(std::string(SlotHeader::kSize / 2, 'x'));
    ::kill(::getpid(), SIGKILL);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer was not killed";

  EXPECT_EQ(ReadFileBytes(Slot(8)), earlier) << "the killed write replaced the earlier save";
  script_ = 0;
  ASSERT_TRUE(slots_.LoadGame(8));
  EXPECT_EQ(script_, 1111u);
  // The left-over temporary file does not get in the way of the next save.
  script_ = 2222;
  ASSERT_TRUE(slots_.SaveGame(8));
  script_ = 0;
  ASSERT_TRUE(slots_.LoadGame(8));
  EXPECT_EQ(script_, 2222u);
}

}  // namespace
}  // namespace lyraban
