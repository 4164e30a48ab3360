#include "platform/dialog.h"

#include <functional>
#include <string>
#include <vector>

#include "platform/sdl/sdl_dialog.h"
#include "sdl_fixture.h"

namespace lyraban::platform {
namespace {

// A small form: one button and one check box; every call is written down.
class RecordingModel final : public DialogModel {
 public:
  RecordingModel() {
    form_.caption = "设置", form_.tabs = {"一", "二"};
    form_.width = 400, form_.height = 300, form_.tabWidth = 396, form_.tabHeight = 260;
    DialogWidget button;
    button.kind = WidgetKind::Button, button.text = "OK", button.id = 7, button.isDefault = true;
    button.x = 10, button.y = 40, button.width = 80, button.height = 30;
    form_.widgets.push_back(button);
  }
  const DialogForm& Form() override { return form_; }
  int CurrentPage() const override { return page_; }
  void SelectPage(int page) override { page_ = page; }
  void Change(int id, int value) override {
    log.push_back("change " + std::to_string(id) + "=" + std::to_string(value));
  }
  void Press(int id) override { Finish("press " + std::to_string(id)); }
  void Confirm() override { Finish("confirm"); }
  void Cancel() override { Finish("cancel"); }
  bool Finished() const override { return finished_; }
  bool Idle() override {
    ++idles;
    if (onIdle) onIdle(idles);
    return idles < quitAfterIdles;
  }
  void DevicesChanged() override { log.push_back("devices"); }

  std::vector<std::string> log;
  int idles = 0;
  int quitAfterIdles = 1000;
  std::function<void(int)> onIdle;

 private:
  void Finish(const std::string& what) { log.push_back(what), finished_ = true; }
  DialogForm form_;
  int page_ = 0;
  bool finished_ = false;
};

class SdlDialogTest : public SdlTest {
 protected:
  SdlDialogTest() : SdlTest(800, 600) {}
};

// Each case runs a fresh dialog; what the game's queue holds afterwards is
// checked too.
TEST_F(SdlDialogTest, KeysClicksPadsTheCloseBoxAndIdleQuitsEndTheDialog) {
  const auto key = [this](SDL_Keycode k) {
    return [=, this](RecordingModel&) {
      Key(SDL_KEYDOWN, k, 0, /*repeat=*/true);  // held from before: ignored
      Key(SDL_KEYDOWN, k);
    };
  };
  const struct {
    const char* what;
    std::function<void(RecordingModel&)> prepare;
    std::vector<std::string> log;
    const char* gameSees;
    bool completed = true;
  } cases[] = {
      {"Escape", key(SDLK_ESCAPE), {"cancel"}, ""},
      {"keypad plus", key(SDLK_KP_PLUS), {"cancel"}, ""},
      {"Return", key(SDLK_RETURN), {"confirm"}, ""},
      // Nothing happens until the first frames are drawn; then a click lands
      // on the button: the panel is centred, its client area under a 17-pixel
      // title bar (13-pixel text and its padding) over 300 rows; the button's
      // centre is at (50, 55) of the client area.
      {"click",
       [this](RecordingModel& model) {
         model.onIdle = [this](int idles) {
           if (idles != 3) return;
           const int x = (800 - 400) / 2 + 50, y = (600 - (300 + 17)) / 2 + 17 + 55;
           Click(x, y);
         };
       },
       {"press 7"},
       ""},
      // The game still gets the close request, after the dialog.
      {"pad added, then the close box",
       [this](RecordingModel&) {
         SDL_Event added{SDL_JOYDEVICEADDED};
         added.jdevice.which = 0;
         ASSERT_EQ(SDL_PushEvent(&added), 1);
         Window(SDL_WINDOWEVENT_CLOSE);
       },
       {"devices", "cancel"},
       "close"},
      // Quitting from the idle call ends the loop at once.
      {"idle call quits", [](RecordingModel& model) { model.quitAfterIdles = 3; }, {}, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingModel model;
    c.prepare(model);
    EXPECT_EQ(platform_->RunDialog(model), c.completed);
    if (!c.completed) {
      EXPECT_EQ(model.idles, 3);
    }
    EXPECT_EQ(model.log, c.log);
    EXPECT_EQ(Log(), c.gameSees);
  }
}

TEST(SdlDialogScale, FollowsTheGameUnlessThePanelWouldNotFit) {
  const struct {
    float game;
    int w, h;
    float expected;
  } cases[] = {
      {1.0f, 800, 600, 1.0f},    // the game at its own size
      {2.0f, 1600, 1200, 2.0f},  // a window twice as large
      {1.5f, 1200, 900, 1.5f},
      {1.0f, 640, 400, 0.85f},  // the panel would not fit the height: 400 / 470 rounded down to 1/20
      {0.1f, 64, 48, 0.5f},     // never smaller than half size
  };
  for (const auto& c : cases)
    EXPECT_FLOAT_EQ(SdlDialog::PanelScale(c.game, c.w, c.h, 629, 470), c.expected) << c.w << "x" << c.h;
}

}  // namespace
}  // namespace lyraban::platform
