#include "screens/backlog.h"

#include <gtest/gtest.h>

#include "persist/save_archive.h"
#include "screens_fixture.h"
#include "text/fake_fonts.h"
#include "text/text_pen.h"

namespace lyraban::testing {
namespace {

// Adds `count` lines named "n<i>" with text "t<i>" (i from 1); lines listed
// in `voiced`, or all when `allVoiced`, get the voice "v<i>".
void AddLines(BacklogStore& store, int count, std::vector<int> voiced = {}, bool allVoiced = false) {
  for (int i = 1; i <= count; ++i) {
    if (allVoiced || std::find(voiced.begin(), voiced.end(), i) != voiced.end())
      store.SetPendingVoice("v" + std::to_string(i));
    store.AddBacklogEntry("n" + std::to_string(i), "t" + std::to_string(i));
  }
}

TEST(BacklogStore, RingKeepsTheSixtyNewestByAge) {
  BacklogStore store;
  AddLines(store, 61);
  EXPECT_EQ(store.GetBacklogEntry(1).Text, "t61") << "age 1 is the newest line";
  EXPECT_EQ(store.GetBacklogEntry(60).Text, "t2") << "the 61st line overwrote the first";
  EXPECT_EQ(store.GetBacklogEntry(0).Text, "t2") << "age 0 is the slot about to be overwritten";
  EXPECT_EQ(store.writeIndex(), 1u);
}

TEST(BacklogStore, AVoiceGoesWithTheNextLineOnly) {
  BacklogStore store;
  store.SetPendingVoice("voice\\a01.ogg");
  store.AddBacklogEntry("", "first");
  store.AddBacklogEntry("", "second");
  EXPECT_EQ(store.GetBacklogEntry(2).Voice, "voice\\a01.ogg");
  EXPECT_EQ(store.GetBacklogEntry(1).Voice, "");
  store.SetPendingVoice("x");
  store.SetPendingVoice("");
  store.AddBacklogEntry("", "third");
  EXPECT_EQ(store.GetBacklogEntry(1).Voice, "") << "an empty path clears the pending voice";
}

// The backlog section of a store with `marked` lines up to its page mark and
// `after` more lines past it, `voiced` as for AddLines; `keep` of its bytes
// are read back.
SaveArchive Section(int marked, int after, std::vector<int> voiced, double keep = 1) {
  BacklogStore saved;
  AddLines(saved, marked, std::move(voiced));
  saved.MarkBacklogPage();
  AddLines(saved, after);
  SaveArchive section;
  saved.SerializeBacklog(section);
  std::string bytes = section.bytes();
  bytes.resize(static_cast<std::size_t>(bytes.size() * keep));
  SaveArchive reading;
  reading.OpenForReading(bytes);
  return reading;
}

TEST(BacklogStore, SectionRoundTripRewindsToThePageMark) {
  SaveArchive reading = Section(5, 2, {3});  // resume point after line 5; the script shows the other two again
  for (const char* key : {"LastLogPos", "Text59", "Voice2"}) EXPECT_TRUE(reading.Contains(key)) << key;
  BacklogStore loaded;
  AddLines(loaded, 9);
  loaded.SerializeBacklog(reading);
  EXPECT_EQ(loaded.writeIndex(), 5u) << "the write index comes back at the page mark";
  EXPECT_EQ(loaded.pageMark(), 5u);
  EXPECT_EQ(loaded.GetBacklogEntry(1).Text, "t5");
  EXPECT_EQ(loaded.GetBacklogEntry(3).Voice, "v3");
  EXPECT_EQ(loaded.GetBacklogEntry(0).Text, "t1") << "slots past the mark keep what the file holds";
}

TEST(BacklogStore, DamagedSectionKeepsWhatItCouldRead) {
  SaveArchive reading = Section(3, 0, {}, 0.5);  // cut inside the slots
  BacklogStore loaded;
  loaded.SerializeBacklog(reading);
  EXPECT_EQ(loaded.writeIndex(), 3u);
  EXPECT_EQ(loaded.GetBacklogEntry(3).Text, "t1");
  EXPECT_EQ(loaded.GetBacklogEntry(1).Text, "t3");
}

TEST(BacklogScreen, HandleDragMapsToPositions) {
  // Handle y, position; far above the track is clamped at the oldest.
  for (auto [y, position] : {std::pair{100, 49}, {540, 5}, {579, 0}})
    EXPECT_EQ(BacklogScreen::PositionForHandleY(y), position) << y;
  EXPECT_EQ(std::pair(BacklogScreen::HandleY(0), BacklogScreen::HandleY(49)), std::pair(520, 20));
}

class BacklogScreenTest : public ::testing::Test {
 protected:
  BacklogScreenTest() {
    files.Button("sys_log_item.png", 780, 75, 3);
    files.Button("sys_log_icon_up.png", 20, 20, 1);
    files.Button("sys_log_icon_down.png", 20, 20, 1);
    host.expectedContext = 2;
    FillRect(host.screen, 200, 200, 200, 0, 0, 800, 600);
  }
  void Run() {
    BacklogScreen screen(
        host, sets, files.reader(),
        [this](int size, int gap) {
          auto pen = std::make_unique<TextPen>(rig.rasterizer, rig.fonts, 800, 600);
          pen->SetFont(size, gap);
          return pen;
        },
        [this](std::string_view voice) { played.emplace_back(voice); });
    screen.RunBacklog(store);
  }
  // The centre of row r (0 top … 7 bottom), inside the row's button.
  static i32 RowY(int row) { return 75 * row + 40; }

  GameFiles files;
  FontRig rig;
  ButtonSets sets{files.reader()};
  FakeScreenHost host{sets};
  BacklogStore store;
  std::vector<std::string> played;
};

TEST_F(BacklogScreenTest, RowsReplayTheirOwnVoiceAndSilentRowsPlayNothing) {
  AddLines(store, 3, {2});
  host.ClickAt(100, RowY(6));  // age 2: voiced
  host.ClickAt(100, RowY(7));  // age 1: no voice, its button is disabled
  host.Key(3);
  Run();
  EXPECT_EQ(played, std::vector<std::string>{"v2"});
  EXPECT_FALSE(sets.saveLoadShown()) << "leaving hides the screen's buttons";
}

TEST_F(BacklogScreenTest, OnlyTheFiftySevenNewestLinesCanBeReached) {
  AddLines(store, 58, {}, true);             // every line voiced, so each row's button is live
  for (int i = 0; i < 60; ++i) host.Key(9);  // page up past the end
  host.ClickAt(100, RowY(0));                // top row at the oldest position
  host.Key(3);
  Run();
  EXPECT_EQ(played, std::vector<std::string>{"v2"}) << "age 57 is the oldest shown; line 1 (age 58) is out of reach";
}

TEST_F(BacklogScreenTest, DraggingTheHandleScrollsAndIconsStepOneLine) {
  AddLines(store, 60, {}, true);
  host.Do([](FakeScreenHost& h) { h.pointer = {790, 540, true}; });  // position 5
  host.Do([](FakeScreenHost& h) { h.pointer.leftDown = false; });
  host.ClickAt(100, RowY(7));  // age 6
  host.ClickAt(785, 5);        // up icon: position 6
  host.ClickAt(100, RowY(7));  // age 7
  host.ClickAt(785, 585);      // down icon: back to 5
  host.ClickAt(785, 585);      // 4
  host.ClickAt(100, RowY(7));  // age 5
  host.Key(3);
  Run();
  EXPECT_EQ(played, (std::vector<std::string>{"v55", "v54", "v56"}));
}

TEST_F(BacklogScreenTest, DrawsTheDarkenedSceneAndTheLines) {
  store.AddBacklogEntry("A", "B");
  host.Do([](FakeScreenHost&) {});
  host.Key(3);
  Run();
  const Surface& s = host.screen;
  EXPECT_EQ(Grey(s, 790, 300), (200 * 127) >> 8) << "scene darkened beside the rows";
  // The newest line sits in the bottom row: name cell at x 180 − 9, text at 200.
  EXPECT_EQ(Grey(s, 171 + 2, 75 * 7 + 12), 255) << "name drawn in white";
  EXPECT_EQ(Grey(s, 200 + 2, 75 * 7 + 12), 255) << "text drawn in white";
  EXPECT_NE(Grey(s, 200 + 2, 75 * 6 + 12), 255) << "an empty row has no text";
}

}  // namespace
}  // namespace lyraban::testing
