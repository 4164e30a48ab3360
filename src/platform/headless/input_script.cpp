#include "platform/headless/input_script.h"

#include <charconv>
#include <vector>

namespace lyraban::platform {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

template <class T>
bool Number(std::string_view text, T& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

struct Scheduled {
  u32 at;
  Event event;
  i32 menuAnswer = -1;  // 0 and above: the answer of a popup menu instead
  enum class Kind : u8 { Event, Menu, Dialog, Pad } kind = Kind::Event;
  HeadlessPlatform::DialogAction action = {};
  int padButtons = -1;
};

}  // namespace

u16 KeyFromName(std::string_view name) {
  struct Named {
    const char* name;
    u16 key;
  };
  static constexpr Named kNames[] = {
      {"Enter", vk::Return},    {"Escape", vk::Escape}, {"Space", vk::Space},      {"Tab", vk::Tab},
      {"Backspace", vk::Back},  {"Insert", vk::Insert}, {"Delete", vk::Delete},    {"Home", vk::Home},
      {"End", vk::End},         {"PageUp", vk::Prior},  {"PageDown", vk::Next},    {"Up", vk::Up},
      {"Down", vk::Down},       {"Left", vk::Left},     {"Right", vk::Right},      {"Apps", vk::Apps},
      {"Alt", vk::Menu},        {"KpPlus", vk::Add},    {"KpMinus", vk::Subtract}, {"KpMultiply", vk::Multiply},
      {"KpDivide", vk::Divide},
  };
  for (const Named& n : kNames)
    if (EqualsNoCaseAscii(name, n.name)) return n.key;
  if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
    int n = 0;
    if (Number(name.substr(1), n) && n >= 1 && n <= 12) return static_cast<u16>(vk::F1 + n - 1);
  }
  if (name.size() == 3 && EqualsNoCaseAscii(name.substr(0, 2), "Kp") && name[2] >= '0' && name[2] <= '9')
    return static_cast<u16>(vk::Numpad0 + (name[2] - '0'));
  if (name.size() == 1) {
    char c = name[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<u16>(c);
  }
  return 0;
}

bool ScheduleInputScript(HeadlessPlatform& platform, std::string_view text, std::string& error) {
  std::vector<Scheduled> events;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    auto words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;

    auto fail = [&](const char* why) {
      error = "input line " + std::to_string(lineNumber) + ": " + why + ": " + std::string(line);
      return false;
    };
    u32 at = 0;
    if (!Number(words[0], at)) return fail("the time is not a number of milliseconds");
    if (words.size() < 2) return fail("no event");
    const std::string_view kind = words[1];
    auto point = [&](Event& e) { return words.size() == 4 && Number(words[2], e.x) && Number(words[3], e.y); };
    Event e;
    if (kind == "move" || kind == "click" || kind == "down" || kind == "up" || kind == "rclick" || kind == "mclick") {
      if (!point(e)) return fail("expected X and Y");
      if (kind == "move") {
        e.kind = EventKind::MouseMove;
        events.push_back({at, e});
        continue;
      }
      e.button = kind == "rclick" ? MouseButton::Right : kind == "mclick" ? MouseButton::Middle : MouseButton::Left;
      if (kind != "up") {
        e.kind = EventKind::MouseDown;
        events.push_back({at, e});
      }
      if (kind != "down") {
        e.kind = EventKind::MouseUp;
        events.push_back({at, e});
      }
    } else if (kind == "wheel") {
      if (words.size() != 3 || (words[2] != "up" && words[2] != "down")) return fail("expected wheel up or down");
      e.kind = EventKind::MouseWheel;
      e.wheel = words[2] == "up" ? 1 : -1;
      events.push_back({at, e});
    } else if (kind == "key") {
      if (words.size() != 3) return fail("expected one key name");
      std::string_view name = words[2];
      u8 mods = 0;
      for (;;) {
        if (name.size() > 6 && EqualsNoCaseAscii(name.substr(0, 6), "Shift+")) {
          mods |= ModShift;
          name.remove_prefix(6);
        } else if (name.size() > 5 && EqualsNoCaseAscii(name.substr(0, 5), "Ctrl+")) {
          mods |= ModControl;
          name.remove_prefix(5);
        } else if (name.size() > 4 && EqualsNoCaseAscii(name.substr(0, 4), "Alt+")) {
          mods |= ModAlt;
          name.remove_prefix(4);
        } else {
          break;
        }
      }
      e.key = KeyFromName(name);
      if (e.key == 0) return fail("unknown key name");
      // A lone Alt arrives as the Alt key with Alt held.
      if (e.key == vk::Menu) mods |= ModAlt;
      e.modifiers = mods;
      e.kind = EventKind::KeyDown;
      events.push_back({at, e});
      e.kind = EventKind::KeyUp;
      events.push_back({at, e});
    } else if (kind == "ctrl") {
      if (words.size() != 3 || (words[2] != "down" && words[2] != "up")) return fail("expected ctrl down or up");
      e.kind = words[2] == "down" ? EventKind::KeyDown : EventKind::KeyUp;
      e.key = vk::Control;
      e.modifiers = ModControl;
      events.push_back({at, e});
    } else if (kind == "close") {
      e.kind = EventKind::CloseRequest;
      events.push_back({at, e});
    } else if (kind == "text") {
      // Everything after one blank is the text, blanks included.
      const std::size_t from = static_cast<std::size_t>(words[1].data() - line.data()) + 4;
      if (from >= line.size()) return fail("expected the text to type");
      e.kind = EventKind::TextInput;
      e.text = std::string(line.substr(from + 1));
      while (!e.text.empty() && e.text.back() == '\r') e.text.pop_back();
      if (e.text.empty()) return fail("expected the text to type");
      events.push_back({at, e});
    } else if (kind == "menu") {
      // Item identifiers are command codes, so one byte; 0 dismisses.
      i32 id = 0;
      if (words.size() != 3 || !Number(words[2], id) || id < 0 || id > 255)
        return fail("expected a menu item number 0 to 255");
      Scheduled menu{at, e, id};
      menu.kind = Scheduled::Kind::Menu;
      events.push_back(menu);
    } else if (kind == "dialog") {
      // dialog CONTROL [VALUE]: the control names are the dialog's own.
      Scheduled d{at, e};
      d.kind = Scheduled::Kind::Dialog;
      if (words.size() < 3 || words.size() > 4) return fail("expected dialog CONTROL [VALUE]");
      d.action.control = std::string(words[2]);
      if (words.size() == 4) {
        if (!Number(words[3], d.action.value)) return fail("the dialog value is not a number");
        d.action.hasValue = true;
      }
      if (d.action.control == "tab" && (!d.action.hasValue || d.action.value < 1))
        return fail("expected dialog tab and a page number from 1");
      events.push_back(d);
    } else if (kind == "pad") {
      // pad N: a joystick with N buttons plugged in; pad none pulls it out.
      Scheduled p{at, e};
      p.kind = Scheduled::Kind::Pad;
      if (words.size() != 3 ||
          (words[2] != "none" && (!Number(words[2], p.padButtons) || p.padButtons < 0 || p.padButtons > 32)))
        return fail("expected pad and a button count, or pad none");
      if (words[2] == "none") p.padButtons = -1;
      events.push_back(p);
    } else {
      return fail("unknown event");
    }
  }
  for (const Scheduled& s : events) {
    switch (s.kind) {
      case Scheduled::Kind::Menu:
        platform.ScheduleMenuAnswer(s.at, s.menuAnswer);
        break;
      case Scheduled::Kind::Dialog:
        platform.ScheduleDialogAction(s.at, s.action);
        break;
      case Scheduled::Kind::Pad:
        platform.ScheduleJoystickDevice(s.at, s.padButtons);
        break;
      case Scheduled::Kind::Event:
        platform.Schedule(s.at, s.event);
        break;
    }
  }
  return true;
}

}  // namespace lyraban::platform
