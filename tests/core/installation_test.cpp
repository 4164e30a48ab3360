#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/command_line_doc.h"
#include "core/default_game.h"
#include "core/options.h"
#include "support/temp_dir.h"

// What an installed lyraban relies on: finding the sample game beside its
// installation, and a command line that is exactly what its help describes.
namespace lyraban {
namespace {

namespace fs = std::filesystem;

TEST(DefaultGame, BesideTheProgramThenTheInstalledSampleThenNothing) {
  testing::TempDir root;
  const std::string bin = (root.path() / "usr/bin").string();
  fs::create_directories(bin);
  const char* sample = "../share/games/lyraban/sample";
  // Nothing anywhere: the program's folder, where the player hears there is
  // no game.
  EXPECT_EQ(DefaultGameFolder(bin, sample), bin);
  // The installed sample game, written without the "..".
  fs::create_directories(root.path() / "usr/share/games/lyraban/sample/data");
  EXPECT_EQ(DefaultGameFolder(bin, sample), (root.path() / "usr/share/games/lyraban/sample").string());
  EXPECT_EQ(DefaultGameFolder(bin, ""), bin);
  // A game shipped with its own program wins over the sample.
  fs::create_directories(root.path() / "usr/bin/data");
  EXPECT_EQ(DefaultGameFolder(bin, sample), bin);
  EXPECT_EQ(DefaultGameFolder("", sample), ".");
}

TEST(DefaultGame, ThisBuildLooksWhereItInstallsTheSample) {
  testing::TempDir root;
  fs::create_directories(root.path() / "bin");
  fs::create_directories(root.path() / "share/games/lyraban/sample/data");
  EXPECT_EQ(DefaultGameFolder((root.path() / "bin").string()), (root.path() / "share/games/lyraban/sample").string());
}

TEST(CommandLine, EveryDocumentedOptionIsAcceptedAndNothingElse) {
  for (const UsageItem& item : command_line_doc::kOptions) {
    const std::string term = item.term;
    const std::size_t space = term.find(' ');
    std::vector<std::string> args{term.substr(0, space)};
    if (space != std::string::npos) args.push_back("5");
    std::string error;
    const bool parsed = ParseCommandLine(args, error).has_value();
    const bool isHelp = args[0] == "--help";
    EXPECT_EQ(parsed, !isHelp) << term;
    EXPECT_EQ(error, "") << term;
  }
  std::string error;
  EXPECT_FALSE(ParseCommandLine({"--headles"}, error));
  EXPECT_EQ(error, "unknown option --headles");
}

}  // namespace
}  // namespace lyraban
