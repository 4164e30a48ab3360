// Every level of a recursive CALL once kept its own copy of the script text;
// a large self-calling script then grew memory by its size per level.
#include <gtest/gtest.h>

#include "persist/read_log.h"
#include "resources/resources.h"
#include "script/program.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

TEST(ScriptProgram, CalleesOfAScriptTheChainHoldsShareItsText) {
  testing::TempDir game;
  game.Write("data/script/self.txt", "first line\r\n.CALL self.txt\r\n");
  game.Write("data/script/other.txt", "first line\r\n");
  Trace trace;
  Resources resources(trace);
  resources.OpenDataFolder(game.str());
  ReadLog log(trace);
  ScriptProgram root(resources, log);
  ASSERT_TRUE(root.Load("self.txt"));
  ScriptProgram* level = &root;
  for (int depth = 0; depth < 3; ++depth) {
    level->Child = level->MakeChild();
    level = level->Child.get();
    ASSERT_TRUE(level->Load("self.txt"));
    EXPECT_EQ(level->Lines.Line(1), ".CALL self.txt");
    EXPECT_EQ(level->Lines.Line(0).data(), root.Lines.Line(0).data()) << "level " << depth + 1 << " copied the text";
  }
  // Another script is read for itself, and the shared text outlives the
  // program that loaded it first.
  level->Child = level->MakeChild();
  ASSERT_TRUE(level->Child->Load("other.txt"));
  EXPECT_NE(level->Child->Lines.Line(0).data(), root.Lines.Line(0).data());
  const std::string_view kept = root.Child->Lines.Line(1);
  root.Lines.Clear();
  EXPECT_EQ(kept, ".CALL self.txt");
}

}  // namespace
}  // namespace lyraban
