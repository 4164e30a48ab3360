#include <gtest/gtest.h>

#include <functional>

#include "platform/sdl/sdl_text_field.h"
#include "sdl_fixture.h"

// The comment field on SDL's dummy display: typed text (as an input method
// delivers it), refused characters, Enter and Escape.
namespace lyraban::platform {
namespace {

class SdlTextFieldTest : public SdlTest {
 protected:
  SdlTextFieldTest() : SdlTest(800, 600) {}
  void SetUp() override {
    SdlTest::SetUp();
    platform_->ShowMainWindow();
    field_.Attach(platform_->window(), SDL_GetRenderer(platform_->window()));
    Log();
  }
  void TearDown() override {
    field_.Detach();
    SdlTest::TearDown();
  }
  void Text(const char* utf8) {
    SDL_Event e{SDL_TEXTINPUT};
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    Push(e);
  }
  // Runs the field; `act` is called once frame 3 is drawn, Escape comes at
  // frame 40 should the field still be open.
  bool RunWith(std::string& text, const std::function<void()>& act) {
    int frames = 0;
    SdlTextField::Hooks hooks;
    hooks.drawFrame = Script(frames, act);
    hooks.forward = [&](const SDL_Event& e) { forwarded_ += e.type == SDL_WINDOWEVENT ? "window " : "other "; };
    TextFieldRequest request;
    request.x = 148, request.y = 522, request.width = 609, request.height = 20;
    const auto refuseSnowman = [](std::string_view t) { return t.find("\xE2\x98\x83") == std::string_view::npos; };
    return field_.Run(request, SdlTextField::Area{148, 522, 757, 542}, text, refuseSnowman, hooks);
  }
  SdlTextField field_;
  std::string forwarded_;
};

TEST_F(SdlTextFieldTest, TypedTextIsTakenOnEnterAndDroppedOnEscapeOrClose) {
  const struct {
    const char* what;
    std::function<void()> act;
    bool confirmed;
    std::string text;
  } cases[] = {
      {"typed and confirmed",
       [this] {
         Text("海边");
         Text("\xE2\x98\x83");  // refused by the check
         Text(" 1");
         Key(SDL_KEYDOWN, SDLK_RETURN);
       },
       true, "ab海边 1"},
      {"typed and cancelled",
       [this] {
         Text("zz");
         Key(SDL_KEYDOWN, SDLK_ESCAPE);
       },
       false, "ab"},
      {"the window closed", [this] { Window(SDL_WINDOWEVENT_CLOSE); }, false, "ab"},
  };
  for (const auto& c : cases) {
    std::string text = "ab";
    EXPECT_EQ(RunWith(text, c.act), c.confirmed) << c.what;
    EXPECT_EQ(text, c.text) << c.what;
  }
  EXPECT_EQ(forwarded_, "window ") << "the close box must still reach the game";
}

}  // namespace
}  // namespace lyraban::platform
