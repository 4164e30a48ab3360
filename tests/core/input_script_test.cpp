#include "platform/headless/input_script.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

namespace lyraban::platform {
namespace {

std::vector<Event> Drain(HeadlessPlatform& p, u32 until) {
  std::vector<Event> out;
  Event e;
  while (p.clock().Now() <= until) {
    while (p.PollEvent(e)) out.push_back(e);
    p.clock().Sleep(1);
  }
  return out;
}

TEST(InputScript, EventsArriveWhenTheClockReachesThemAndControlIsHeldBetweenDownAndUp) {
  HeadlessPlatform p;
  std::string error;
  const char* script =
      "# a comment\n100 click 10 20\n\n50 key Shift+Down\r\n200 wheel down\n200 rclick 1 2\n250 ctrl down\n"
      "300 close\n350 ctrl up\n";
  ASSERT_TRUE(ScheduleInputScript(p, script, error)) << error;
  auto events = Drain(p, 60);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, EventKind::KeyDown);
  EXPECT_EQ(events[0].key, vk::Down);
  EXPECT_EQ(events[0].modifiers, ModShift);
  EXPECT_EQ(events[1].kind, EventKind::KeyUp);
  events = Drain(p, 260);
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].kind, EventKind::MouseDown);
  EXPECT_EQ(events[0].x, 10);
  EXPECT_EQ(events[0].y, 20);
  EXPECT_EQ(events[1].kind, EventKind::MouseUp);
  // Same time: kept in the order written.
  EXPECT_EQ(events[2].kind, EventKind::MouseWheel);
  EXPECT_EQ(events[2].wheel, -1);
  EXPECT_EQ(events[3].button, MouseButton::Right);
  EXPECT_TRUE(p.IsKeyHeld(vk::Control));
  events = Drain(p, 400);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, EventKind::CloseRequest);
  EXPECT_FALSE(p.IsKeyHeld(vk::Control));
}

TEST(InputScript, KeyNames) {
  EXPECT_EQ(KeyFromName("Enter"), vk::Return);
  EXPECT_EQ(KeyFromName("pageup"), vk::Prior);
  EXPECT_EQ(KeyFromName("F12"), vk::F12);
  EXPECT_EQ(KeyFromName("F13"), 0);
  EXPECT_EQ(KeyFromName("Kp7"), vk::Numpad7);
  EXPECT_EQ(KeyFromName("KpPlus"), vk::Add);
  EXPECT_EQ(KeyFromName("q"), 'Q');
  EXPECT_EQ(KeyFromName("Nope"), 0);
}

TEST(InputScript, MalformedLinesScheduleNothing) {
  HeadlessPlatform p;
  std::string error;
  EXPECT_FALSE(ScheduleInputScript(p, "10 click 1 2\nsoon click 1 2\n", error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  // Each line alone is refused.
  std::istringstream lines(
      "10 click 1\n10 wheel sideways\n10 key Hyper+A\n10 jump\n10\n10 ctrl maybe\n10 dialog\n"
      "10 dialog bgm-volume loud\n10 dialog tab\n10 dialog tab 0\n10 dialog space 4 5\n10 pad\n10 pad -1\n"
      "10 pad some\n10 text\n10 text \n10 menu\n10 menu x\n10 menu 256\n10 menu -1\n10 menu 3 4\n");
  for (std::string bad; std::getline(lines, bad);) EXPECT_FALSE(ScheduleInputScript(p, bad, error)) << bad;
  EXPECT_TRUE(Drain(p, 100).empty());
}

// The text field takes typed text (blanks kept) up to Enter, or is left by
// Escape; Backspace takes one whole character back; the check refuses text.
TEST(InputScript, TextEventsTypeIntoTheOpenField) {
  const struct {
    const char* script;
    bool confirmed;
    std::string text;
  } cases[] = {
      {"10 text 海边  note\r\n20 key Enter\n", true, "old海边  note"},
      {"10 text 海边\n15 key Backspace\n20 key Enter\n", true, "old海"},
      {"10 text xyz\n15 text NO\n20 key Enter\n", true, "oldxyz"},
      {"10 text xyz\n20 key Escape\n", false, "old"},
      {"10 text xyz\n", false, "old"},  // nothing ends it: given up when the script runs out
  };
  for (const auto& c : cases) {
    HeadlessPlatform p;
    std::string error;
    ASSERT_TRUE(ScheduleInputScript(p, c.script, error)) << error;
    std::string text = "old";
    const auto noCapitals = [](std::string_view t) { return t.find("NO") == std::string_view::npos; };
    EXPECT_EQ(p.EditText(TextFieldRequest{}, text, noCapitals), c.confirmed) << c.script;
    EXPECT_EQ(text, c.text) << c.script;
  }
}

// Very many events at one time used to be moved out of the schedule one by
// one from the middle of a vector; they must arrive in linear time and in
// the order written.
TEST(InputScript, ManyEventsAtOneTimeArriveInOrderAndQuickly) {
  HeadlessPlatform p;
  std::string script;
  constexpr int kCount = 200000;
  for (int i = 0; i < kCount; ++i) script += "10 move " + std::to_string(i) + " 1\n";
  std::string error;
  ASSERT_TRUE(ScheduleInputScript(p, script, error)) << error;
  const auto start = std::chrono::steady_clock::now();
  const auto events = Drain(p, 20);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(events.size(), static_cast<size_t>(kCount));
  int outOfOrder = 0;
  for (int i = 0; i < kCount; ++i) outOfOrder += events[static_cast<size_t>(i)].x != i;
  EXPECT_EQ(outOfOrder, 0);
  EXPECT_LT(seconds, 10.0) << "quadratic scheduling";
}

}  // namespace
}  // namespace lyraban::platform
