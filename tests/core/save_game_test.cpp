#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "persist/save_archive.h"
#include "persist/save_slots.h"
#include "resources/pack_keystream.h"
#include "test_game.h"

// Saved games through the whole engine: where the restored scripts resume,
// what comes back with them, every way a player saves and loads, and where
// the saves are kept.
namespace lyraban {
namespace {

namespace fs = std::filesystem;
using testing::Gbk;
using testing::Play;
using testing::Played;
using testing::TestGame;

// A game whose flags include the engine's own: L002 "シーン回想" and
// L003 "死亡回数".
struct SaveGame : TestGame {
  SaveGame() : TestGame(64, 48, "L002=" + Gbk("シーン回想") + "\r\nL003=" + Gbk("死亡回数") + "\r\n") {}
  // A section of slot 0, read with the engine's own reader.
  SaveArchive Section(std::string_view name) const {
    SaveDataFile file(dir.path() / "save");
    std::string header(SlotHeader::kSize, '\0'), rest;
    SaveArchive outer, section;
    if (file.OpenForRead(SaveSlots::SlotFileName(0)) && file.Read(header.data(), header.size()) && file.ReadRest(rest))
      outer.OpenForReading(rest);
    EXPECT_TRUE(outer.ExchangeArchive(name, section)) << name;
    return section;
  }
};

std::string StringEntry(SaveArchive& a, std::string_view key) {
  std::string s = "<missing>";
  a.ExchangeString(key, s);
  return s;
}
template <class T>
T Value(SaveArchive& a, std::string_view key) {
  T v{};
  EXPECT_TRUE(a.Exchange(key, v)) << key;
  return v;
}

TEST(SavedGame, CallChainTwoLevelsDeepResumesEachProgramAtItsSavePoint) {
  SaveGame game;
  // b counts its entries (runs) and its ends (bonus); a and the root add to
  // score after their CALLs, the root with its local tmp.
  game.File("b.txt", "?runs = runs + 1\r\nfirst\r\n?never = 0\r\nsecond\r\n?never = 0\r\n?bonus = bonus + 1\r\n");
  game.File("a.txt", ".CALL b.txt\r\n?score = score + 10\r\n");
  game.Script("?tmp = 7\r\n.CALL a.txt\r\n?score = score + tmp\r\n.QUIT\r\n");
  // Past the first text, quick save at the second, then on to the end.
  Played first(game, "2000 click 5 5\n4000 key Insert\n5000 click 5 5\n", 30000);
  EXPECT_EQ(game.Globals(), (std::vector<i32>{17, 1, 1}));

  SaveArchive script = game.Section("Data_Script");
  EXPECT_EQ(std::tuple(Value<u32>(script, "StackCount"), StringEntry(script, "Name0"), StringEntry(script, "Name1"),
                       StringEntry(script, "Name2")),
            std::tuple(3u, "start.txt", "a.txt", "b.txt"));
  // a resumes after its CALL, b at the line that ended its shown block.
  EXPECT_EQ(std::tuple(Value<u32>(script, "Line1"), Value<u32>(script, "Line2"), int{Value<u8>(script, "CaseEnable0")}),
            std::tuple(1u, 2u, 0));
  EXPECT_EQ(game.Header(0).comment(), Gbk("クイックセーブ"));

  // The second play starts the root with another tmp, then quick-loads at
  // b's second text: b does not count another entry, and the root adds the
  // tmp that was saved.
  game.Script("?tmp = 100\r\n.CALL a.txt\r\n?score = score + tmp\r\n.QUIT\r\n");
  Played second(game, "2000 click 5 5\n4000 key Delete\n6000 click 5 5\n", 30000);
  EXPECT_EQ(game.Globals(), (std::vector<i32>{17 + 17, 2, 2})) << "score, ends of b, entries of b";
  EXPECT_FALSE(second.Traced("エラー（"));
}

TEST(SavedGame, NovelModeAndWholeMinutesOfPlayComeBack) {
  SaveGame game;
  game.Script(
      "?runs = runs + 1\r\n.IF runs > 1\r\n.GOTO loader\r\n"
      ".mode novel\r\n.\r\npage one\r\n?tmp = 1\r\n.QUIT\r\n"
      "#loader\r\nwaiting\r\n?tmp = 2\r\n.QUIT\r\n");
  // Saved 59 s into the second minute; the run ends 1.5 s later.
  Played first(game, "119000 key Insert\n", 120500);
  ASSERT_TRUE(fs::exists(game.Slot(0)));
  SaveArchive script = game.Section("Data_Script");
  EXPECT_EQ(Value<u32>(script, "PlayTime"), 1u);
  EXPECT_EQ(Value<u8>(script, "ScriptMode"), kModeNovel);
  EXPECT_EQ(first.engine->GetPlayMinutes(), 1u) << "the save dropped the running fraction of a minute";

  Played second(game, "3000 key Delete\n", 50000);
  EXPECT_EQ(second.engine->interpreter().ScriptMode, kModeNovel);
  EXPECT_EQ(second.engine->GetPlayMinutes(), 1u) << "47 s after loading one whole minute";
  EXPECT_EQ(game.Global(2), 2) << "the restored root resumed after its page break, not at its top";
}

// A slot written here byte by byte from the format, not by the engine.
std::string LE(u32 v) { return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)}; }
std::string Item(std::string_view key, std::string_view value) {
  return LE(static_cast<u32>(key.size())) + std::string(key) + LE(static_cast<u32>(value.size())) + std::string(value);
}
std::string Z(std::string_view text) { return std::string(text) + '\0'; }
// Stores `plain` as the quick-save slot, scrambled as the engine writes it.
void WriteQuickSlot(const TestGame& game, std::string plain) {
  PackKeystream(0x3C5A).Apply(plain.data(), plain.size());
  game.dir.Write("save/savedata.000", plain);
}

TEST(SavedGame, HandWrittenSlotLoadsWithItsValues) {
  SaveGame game;
  game.Script(
      "?bonus = bonus + 1\r\nwaiting\r\n?score = 1\r\n.QUIT\r\n"
      "#resumed\r\n?score = tmp + 1000\r\n?runs = runs + 1\r\n.QUIT\r\n");
  std::string header(25120, '\0');
  header.replace(16, 16, "2020/02/29 23:59");
  const std::string script = Item("ChapterDate", Z("Day 3")) + Item("ChapterName", Z("Cliffs")) +
                             Item("PlayTime", LE(75)) + Item("ScriptMode", Z("")) + Item("Name0", Z("start.txt")) +
                             Item("Line0", LE(5)) + Item("CaseID0", LE(0)) + Item("CaseEnable0", Z("")) +
                             Item("StackCount", LE(1));
  std::string flags(4000, '\0');
  flags.replace(0, 4, LE(42));  // L000 tmp
  game.dir.Write("data/img/bg.png", testing::SolidPng(64, 48, 10, 200, 30));
  const std::string anime =
      Item("Name0", Z("bg.png")) + Item("Code0", LE(0)) + Item("PosX0", LE(0)) + Item("PosY0", LE(0));
  WriteQuickSlot(game, header + Item("Data_Script", script) + Item("Data_Sound", "") + Item("Data_Anime", anime) +
                           Item("Data_Flags", Item("Flags", flags)) + Item("Data_Log", "") + Item("Data_Flow", ""));

  Played play(game, "1000 key Delete\n", 20000);
  // Resumed at line 5 with the saved local flag; the root did not start again.
  EXPECT_EQ(game.Globals(), (std::vector<i32>{1042, 1, 1}));
  EXPECT_EQ(play.engine->interpreter().ChapterDate, "Day 3");
  EXPECT_EQ(play.engine->interpreter().ChapterName, "Cliffs");
  EXPECT_EQ(play.engine->GetPlayMinutes(), 75u);
  ASSERT_NE(play.engine->layers(), nullptr);
  EXPECT_EQ(play.engine->layers()->layer(0)->name, "bg.png");
  EXPECT_EQ(play.Pixel(32, 24), (std::array<int, 3>{10, 200, 30})) << "the restored scene is shown";
}

TEST(SavedGame, DamagedQuickSaveLeavesTheRunningGameAsItWas) {
  SaveGame game;
  game.Script("?tmp = 5\r\nwaiting\r\n?score = tmp\r\n.QUIT\r\n");
  const std::pair<const char*, std::string> cases[] = {
      {"too short", std::string(300, 'a')},
      {"no script section", std::string(25120, '\0') + Item("Data_Flags", Item("Flags", std::string(4000, '\x01')))},
  };
  for (const auto& [what, plain] : cases) {
    WriteQuickSlot(game, plain);
    Played play(game, "1000 key Delete\n2000 click 5 5\n", 20000);
    EXPECT_EQ(game.Global(0), 5) << what;
    EXPECT_TRUE(play.Traced("savedata.000")) << what << ": no diagnostic";
  }
}

TEST(SavedGame, SceneRecollectionBlocksQuickSaveAndLoadButNotTheBossKey) {
  SaveGame game;
  game.Script("?" + Gbk("シーン回想") + " = 1\r\n?" + Gbk("死亡回数") + " = 4\r\nwaiting\r\n?score = 1\r\n.QUIT\r\n");
  // Had the save or load screen opened, the click would not reach the text.
  Played blocked(game, "1000 key Insert\n1200 key Home\n1300 key End\n1500 key Delete\n2000 click 5 5\n", 20000);
  EXPECT_FALSE(fs::exists(game.Slot(0))) << "quick save ran during a scene recollection";
  EXPECT_EQ(game.Global(0), 1);

  // Boss key action 2 from F5: a quick save, then the program ends unasked.
  Play boss(game, "1000 key F5\n", 20000);
  boss.RunWithSettings(game, [](UserSettings& s) { s.BossKeyAction = 2, s.FunctionKeyCommands[4] = cmd::BossKey; });
  ASSERT_TRUE(fs::exists(game.Slot(0)));
  EXPECT_EQ(game.Header(0).comment(), Gbk("クイックセーブ"));
  EXPECT_EQ(game.Header(0).deathCount(), 4);
  EXPECT_TRUE(boss.platform.questionsAsked().empty());
  EXPECT_LT(boss.platform.clock().Now(), 2000u);
}

TEST(SavedGame, BacklogAndFlowRecordComeBackFromTheSlotFile) {
  SaveGame game;
  game.dir.Write("data/flow/checklist.txt", "start\r\nb\r\n");
  game.File("b.txt", "?never = 0\r\n");
  game.Script(
      "?runs = runs + 1\r\n.IF runs > 1\r\n.GOTO second\r\n"
      ".voice \\hikari\r\n.voice hk_001.ogg\r\nfirst line\r\n.\r\n.CALL b.txt\r\nsaved here\r\n.\r\n.QUIT\r\n"
      "#second\r\nother\r\n.\r\n.QUIT\r\n");
  Played first(game, "2000 click 5 5\n4000 key Insert\n", 8000);
  SaveArchive log = game.Section("Data_Log"), flow = game.Section("Data_Flow");
  EXPECT_EQ(Value<u32>(log, "LastLogPos"), 1u) << "the mark stands before the line that waits, which is shown again";
  EXPECT_EQ(StringEntry(log, "Voice0"), "hikari\\hk_001.ogg");
  EXPECT_EQ(StringEntry(flow, "LastNode"), "b");
  EXPECT_EQ(Value<u32>(flow, "AL_Count"), 1u);

  // The second play shows another line and enters no story point past the
  // start, then loads the quick save.
  Played second(game, "2000 key Delete\n", 6000);
  const BacklogStore& backlog = second.engine->backlog();
  EXPECT_EQ(backlog.GetBacklogEntry(2).Text, "first line") << "the ring is the saved one";
  EXPECT_EQ(backlog.GetBacklogEntry(2).Voice, "hikari\\hk_001.ogg");
  EXPECT_EQ(backlog.GetBacklogEntry(1).Text, "saved here");
  EXPECT_EQ(second.engine->flow().lastNode(), "b");
  EXPECT_EQ(second.engine->flow().LinkState("start\tb"), 2) << "the saved route";
}

// A game the player cannot write, as installed games are: saves and
// settings move to the player's own folders, one per product.
struct ReadOnlyRun {
  ReadOnlyRun(const TestGame& game, const fs::path& home, const std::string& input = {}) : play(game, input) {
    FolderEnvironment env;
    env.xdgDataHome = (home / "data").string();
    env.xdgConfigHome = (home / "config").string();
    env.canWrite = [](const fs::path&) { return false; };
    play.engine = std::make_unique<Engine>(play.platform, play.options, env);
    play.engine->trace().SetSink([this](std::string_view m) { play.trace.emplace_back(m); });
    play.engine->Run();
  }
  Play play;
};

TEST(InstalledGame, SavesAndSettingsLiveInThePlayersFoldersPerProduct) {
  testing::TempDir home;
  TestGame first(64, 48, "[System.Setting]\r\nProductID=First\r\n");
  first.Script(".chapter One\r\n?runs = runs + 1\r\nwaiting\r\n.QUIT\r\n");
  // The player's settings for this product: chapter in the caption.
  fs::create_directories(home.path() / "config/lyraban/First");
  testing::WriteSettings(home.path() / "config/lyraban/First/lyraban.cfg",
                         [](UserSettings& s) { s.ShowChapterInCaption = 1; });

  // A quick save, then on to the end.
  const std::string input = "1000 key Insert\n2000 click 5 5\n";
  ReadOnlyRun run(first, home.path(), input);
  const fs::path saves = home.path() / "data/lyraban/First/save";
  EXPECT_EQ(run.play.engine->saveFolder(), (saves / "").string());
  EXPECT_EQ(run.play.engine->settingsFile(), (home.path() / "config/lyraban/First/lyraban.cfg").string());
  for (const char* file : {"flagdata.000", "complete.log", "savedata.000"})
    EXPECT_TRUE(fs::exists(saves / file)) << file << " was not saved in the player's folder";
  EXPECT_FALSE(fs::exists(first.dir.path() / "save")) << "a save folder appeared beside a read-only game";
  EXPECT_EQ(run.play.platform.caption(), "Flags　「One」");
  EXPECT_TRUE(run.play.Traced(saves.string())) << "the trace does not name the save folder";

  // The same product again counts on; another product starts from nothing.
  ReadOnlyRun again(first, home.path(), input);
  EXPECT_EQ(testing::BankSlot(saves, "flagdata.000", 2), 2) << "runs";

  TestGame second(64, 48, "[System.Setting]\r\nProductID=Second\r\n");
  second.Script(".chapter Two\r\n?runs = runs + 1\r\n.QUIT\r\n");
  ReadOnlyRun other(second, home.path());
  EXPECT_EQ(other.play.engine->saveFolder(), (home.path() / "data/lyraban/Second/save/").string());
  // No settings file of its own: the defaults, which leave the chapter out.
  EXPECT_EQ(other.play.platform.caption(), "Flags");
}

}  // namespace
}  // namespace lyraban
