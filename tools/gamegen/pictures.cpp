#include <cmath>

#include "assets.h"
#include "lettering.h"

namespace lyraban::gamegen {

namespace {

constexpr int kW = 800;
constexpr int kH = 600;
constexpr float kPi = 3.14159265f;

Rgba C(int r, int g, int b, float a = 1) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }

void Stars(Canvas& c, int count, int maxY, unsigned seed) {
  Noise n(seed);
  for (int i = 0; i < count; ++i) {
    const float x = (n.Next() + 1) / 2 * kW, y = (n.Next() + 1) / 2 * maxY;
    const float r = 0.8f + (n.Next() + 1) * 0.7f;
    c.FillCircle(x, y, r, C(255, 250, 220, 0.6f + 0.2f * n.Next()));
  }
}

// A lyre drawn from strokes: the game's emblem on the title and splash.
void Lyre(Canvas& c, float cx, float cy, float s, const Rgba& colour) {
  for (int side : {-1, 1}) {
    float px = cx + side * 20 * s, py = cy + 60 * s;
    for (int i = 1; i <= 24; ++i) {
      const float t = i / 24.0f;
      const float x = cx + side * (20 + 45 * std::sin(t * kPi * 0.9f)) * s, y = cy + (60 - 140 * t) * s;
      c.Line(px, py, x, y, 7 * s, colour);
      px = x, py = y;
    }
  }
  c.Line(cx - 42 * s, cy - 66 * s, cx + 42 * s, cy - 66 * s, 6 * s, colour);
  c.RoundRect(cx - 30 * s, cy + 52 * s, cx + 30 * s, cy + 68 * s, 6 * s, colour);
  for (int i = -2; i <= 2; ++i) c.Line(cx + i * 9 * s, cy - 64 * s, cx + i * 9 * s, cy + 54 * s, 1.5f * s, colour);
}

Canvas TitlePicture() {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, kH, C(12, 16, 48), C(70, 60, 120));
  Stars(c, 160, 380, 7);
  // The moon stays above the first button of the title menu (y 160).
  c.Glow(650, 78, 100, C(255, 250, 210, 0.5f));
  c.FillCircle(650, 78, 40, C(255, 250, 225));
  c.FillCircle(668, 68, 36, C(24, 28, 70, 0.9f));
  c.FillShape(
      0, 420, kW, kH, [](float x, float y) { return 470 + 25 * std::sin(x / 90.0f) - y; }, C(20, 30, 60));
  c.FillShape(
      0, 480, kW, kH, [](float x, float y) { return 520 + 15 * std::sin(x / 50.0f + 1) - y; }, C(30, 50, 90));
  // The emblem sits above the title menu, whose buttons start at y 160.
  Lyre(c, 400, 86, 0.82f, C(240, 215, 140));
  return c;
}

Canvas Room() {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, 430, C(236, 222, 196), C(210, 190, 160));
  c.VerticalGradient(0, 430, kW, kH, C(150, 105, 70), C(110, 75, 50));
  for (int x = 0; x < kW; x += 80) c.Line(x, 432, x - 40, kH, 2, C(90, 60, 40, 0.6f));
  // Window with the sky behind it.
  c.FillRect(470, 80, 730, 330, C(120, 90, 60));
  c.VerticalGradient(482, 92, 718, 318, C(120, 180, 240), C(200, 230, 250));
  c.Line(600, 92, 600, 318, 8, C(120, 90, 60));
  c.Line(482, 205, 718, 205, 8, C(120, 90, 60));
  // Desk, shelf and books.
  c.FillRect(60, 360, 380, 380, C(120, 80, 50));
  c.FillRect(80, 380, 100, 520, C(100, 65, 40));
  c.FillRect(340, 380, 360, 520, C(100, 65, 40));
  c.FillRect(60, 150, 300, 160, C(120, 80, 50));
  const Rgba books[] = {C(180, 60, 60), C(60, 110, 170), C(80, 150, 90), C(200, 170, 60), C(140, 80, 160)};
  for (int i = 0; i < 10; ++i) c.FillRect(70 + i * 22, 95 + (i % 3) * 6, 88 + i * 22, 150, books[i % 5]);
  c.FillEllipse(220, 350, 30, 12, C(250, 250, 250));
  return c;
}

Canvas Street() {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, 450, C(250, 150, 90), C(255, 215, 150));
  c.Glow(200, 330, 160, C(255, 240, 180, 0.8f));
  Noise n(11);
  for (int i = 0; i < 12; ++i) {
    const int x0 = i * 70 - 10, w = 50 + static_cast<int>((n.Next() + 1) * 20);
    const int top = 180 + static_cast<int>((n.Next() + 1) * 90);
    c.FillRect(x0, top, x0 + w, 450, C(70 + i * 3, 50, 70));
    for (int wy = top + 15; wy < 430; wy += 30)
      for (int wx = x0 + 8; wx < x0 + w - 10; wx += 16)
        if (n.Next() > 0) c.FillRect(wx, wy, wx + 8, wy + 12, C(255, 220, 130));
  }
  c.VerticalGradient(0, 450, kW, kH, C(90, 85, 90), C(60, 55, 60));
  for (int x = 0; x < kW; x += 100) c.FillRect(x + 20, 520, x + 70, 528, C(230, 230, 210));
  return c;
}

Canvas Sea() {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, 300, C(90, 160, 230), C(190, 225, 250));
  for (int i = 0; i < 4; ++i) {
    const float x = 120 + i * 190.0f, y = 80 + (i % 2) * 50.0f;
    for (int k = 0; k < 4; ++k) c.FillCircle(x + k * 28, y + (k % 2) * 8, 26, C(255, 255, 255, 0.9f));
  }
  c.VerticalGradient(0, 300, kW, 460, C(40, 110, 180), C(80, 170, 200));
  for (int y = 310; y < 460; y += 18)
    for (int x = (y * 7) % 60; x < kW; x += 60) c.Line(x, y, x + 24, y, 2, C(220, 240, 255, 0.6f));
  c.FillShape(
      0, 420, kW, kH, [](float x, float y) { return 450 + 12 * std::sin(x / 70.0f) - y; }, C(238, 215, 165));
  c.FillCircle(660, 500, 18, C(250, 240, 230));
  return c;
}

Canvas Map() {
  Canvas c(kW, kH, C(236, 224, 190));
  c.FillShape(
      0, 0, kW, kH, [](float x, float y) { return 600 + 40 * std::sin(y / 80.0f) - x; }, C(120, 180, 220));
  c.Line(0, 300, 600, 320, 14, C(200, 180, 140));
  c.Line(180, 0, 200, 600, 14, C(200, 180, 140));
  c.Line(200, 310, 560, 120, 10, C(200, 180, 140));
  for (int i = 0; i < 14; ++i) c.FillCircle(320 + (i % 5) * 40.0f, 420 + (i / 5) * 40.0f, 16, C(90, 150, 80));
  c.Ring(400, 300, 280, 286, C(150, 120, 80, 0.5f));
  for (int side = 0; side < 4; ++side) {
    if (side < 2)
      c.FillRect(0, side * (kH - 8), kW, side * (kH - 8) + 8, C(120, 90, 50));
    else
      c.FillRect((side - 2) * (kW - 8), 0, (side - 2) * (kW - 8) + 8, kH, C(120, 90, 50));
  }
  return c;
}

Canvas Girl() {
  Canvas c(320, 540);
  const Rgba hair = C(90, 55, 40), skin = C(255, 225, 205), dress = C(80, 120, 200);
  c.FillEllipse(160, 170, 105, 150, hair);
  c.Triangle(60, 540, 260, 540, 160, 210, dress);
  c.RoundRect(100, 230, 220, 420, 30, dress);
  c.Line(110, 260, 70, 400, 26, skin);
  c.Line(210, 260, 250, 400, 26, skin);
  c.FillRect(145, 180, 175, 235, skin);
  c.FillCircle(160, 130, 72, skin);
  c.FillEllipse(160, 80, 80, 40, hair);
  c.Triangle(195, 60, 240, 60, 232, 150, hair);
  c.FillCircle(230, 70, 12, C(240, 90, 110));
  c.Triangle(150, 232, 170, 232, 160, 262, C(240, 90, 110));
  return c;
}

// Eyes and mouth drawn over the girl's head; mood 0 smile, 1 sad, 2 surprised.
Canvas GirlFace(int mood) {
  Canvas c(120, 90);
  const Rgba eye = C(60, 40, 90), mouth = C(200, 80, 90);
  for (int side : {-1, 1}) {
    const float x = 60 + side * 28.0f;
    if (mood == 0) {
      c.Line(x - 11, 36, x, 28, 4, eye);
      c.Line(x, 28, x + 11, 36, 4, eye);
    } else {
      c.FillEllipse(x, 34, 9, mood == 2 ? 14 : 11, eye);
      c.FillCircle(x + 3, 30, 3, C(255, 255, 255));
    }
    if (mood == 1) c.Line(x - 12, 16 - side * 4.0f, x + 12, 16 + side * 4.0f, 3, C(90, 55, 40));
    c.FillEllipse(x + side * 6, 52, 10, 5, C(250, 150, 150, 0.6f));
  }
  if (mood == 0) {
    for (int i = 0; i < 8; ++i) {
      const float a0 = kPi * (0.15f + 0.7f * i / 8), a1 = kPi * (0.15f + 0.7f * (i + 1) / 8);
      c.Line(60 + 14 * std::cos(a0), 56 + 10 * std::sin(a0), 60 + 14 * std::cos(a1), 56 + 10 * std::sin(a1), 3, mouth);
    }
  } else if (mood == 1) {
    c.Line(50, 70, 60, 66, 3, mouth);
    c.Line(60, 66, 70, 70, 3, mouth);
  } else {
    c.FillEllipse(60, 66, 7, 9, mouth);
  }
  return c;
}

Canvas Boy() {
  Canvas c(300, 520);
  const Rgba hair = C(40, 40, 50), skin = C(245, 215, 190), coat = C(60, 80, 70);
  c.Triangle(40, 520, 260, 520, 150, 200, coat);
  c.RoundRect(80, 220, 220, 520, 26, coat);
  c.Line(90, 250, 60, 420, 28, coat);
  c.Line(210, 250, 240, 420, 28, coat);
  c.FillRect(135, 170, 165, 230, skin);
  c.FillCircle(150, 120, 66, skin);
  c.FillEllipse(150, 78, 74, 38, hair);
  c.Triangle(80, 80, 110, 80, 86, 140, hair);
  c.Triangle(190, 80, 220, 80, 214, 140, hair);
  for (int side : {-1, 1}) {
    c.FillEllipse(150 + side * 25.0f, 124, 7, 10, C(40, 40, 60));
    c.Line(150 + side * 14.0f, 104, 150 + side * 36.0f, 100, 4, hair);
  }
  c.Line(138, 160, 162, 160, 3, C(170, 90, 80));
  c.FillRect(120, 232, 180, 246, C(230, 230, 230));
  return c;
}

// Full-screen overlays for "back" layers.
// The window's light. Overlays of a background lie over the characters too,
// so the glow stays around the window and leaves the people in the room
// their own colours.
Canvas LightOverlay() {
  Canvas c(kW, kH, C(0, 0, 0));
  c.Glow(600, 205, 260, C(255, 240, 200, 0.55f));
  return c;
}

Canvas ShadeOverlay() {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, kH, C(255, 255, 255), C(120, 110, 150));
  return c;
}

Canvas TintOverlay() {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, kH, C(255, 140, 60), C(120, 60, 140));
  return c;
}

Canvas RainOverlay() {
  Canvas c(kW, kH);
  Noise n(5);
  for (int i = 0; i < 500; ++i) {
    const float x = (n.Next() + 1) / 2 * (kW + 100), y = (n.Next() + 1) / 2 * kH;
    c.Line(x, y, x - 8, y + 26, 1.5f, C(200, 220, 255, 0.7f));
  }
  return c;
}

Canvas Petal() {
  Canvas c(24, 24);
  c.FillEllipse(12, 12, 10, 6, C(255, 190, 210));
  c.Line(5, 12, 19, 12, 1, C(240, 150, 180));
  return c;
}

Canvas Star() {
  Canvas c(32, 32);
  c.Glow(16, 16, 16, C(255, 250, 200, 0.8f));
  for (int i = 0; i < 5; ++i) {
    const float a = -kPi / 2 + i * 2 * kPi / 5;
    c.Triangle(16, 16, 16 + 14 * std::cos(a - 0.3f), 16 + 14 * std::sin(a - 0.3f), 16 + 14 * std::cos(a + 0.3f),
               16 + 14 * std::sin(a + 0.3f), C(255, 240, 150));
  }
  return c;
}

Canvas Bird() {
  Canvas c(48, 24);
  c.Line(4, 6, 24, 16, 3, C(40, 40, 50));
  c.Line(24, 16, 44, 6, 3, C(40, 40, 50));
  return c;
}

Canvas TestCard() {
  Canvas c(256, 256);
  const Rgba bars[] = {C(255, 255, 255), C(255, 255, 0), C(0, 255, 255), C(0, 255, 0),
                       C(255, 0, 255),   C(255, 0, 0),   C(0, 0, 255),   C(0, 0, 0)};
  for (int i = 0; i < 8; ++i) c.FillRect(i * 32, 0, i * 32 + 32, 192, bars[i]);
  for (int i = 0; i < 8; ++i) c.FillRect(i * 32, 192, i * 32 + 32, 256, Mix(C(0, 0, 0), C(255, 255, 255), i / 7.0f));
  c.Ring(128, 128, 90, 96, C(0, 0, 0));
  return c;
}

// The box the dialogue is typed into: name plate at the top left, text
// area below it, and (kind 1) a round socket on the right for the clock.
// The engine blanks the top left 300 x 45 pixels for a line without a
// speaker, so the plate lies wholly inside them and the body wholly below;
// the plate is centred on the name's cell (x 142, rows 18 to 42).
Canvas Box(int kind) {
  Canvas c(kW, 200);
  c.RoundRect(20, 48, 780, 196, 14, C(20, 24, 56, 0.78f));
  // A thin frame: a slightly larger rounded outline.
  c.FillShape(
      0, 0, kW, 200, [](float x, float y) { return std::abs(RoundRectDistance(x, y, 22, 50, 778, 194, 13)) - 1.2f; },
      C(220, 200, 140, 0.9f));
  c.RoundRect(37, 16, 247, 44, 9, C(60, 40, 90, 0.9f));
  c.FillShape(
      0, 0, 300, 45, [](float x, float y) { return std::abs(RoundRectDistance(x, y, 37, 16, 247, 44, 9)) - 1; },
      C(220, 200, 140));
  if (kind == 1) {
    c.FillCircle(715, 105, 74, C(30, 30, 60, 0.9f));
    c.Ring(715, 105, 72, 78, C(220, 200, 140));
  } else if (kind == 2) {
    c.Line(660, 180, 760, 180, 2, C(220, 200, 140, 0.7f));
  }
  return c;
}

// Clock dial laid over the hands: a frame with marks, open in the middle.
Canvas ClockFace(int stage) {
  Canvas c(170, 200);
  const Rgba tint[] = {C(180, 220, 255), C(255, 220, 150), C(255, 160, 160)};
  c.Ring(85, 105, 70, 80, tint[(stage + 2) % 3]);
  for (int i = 0; i < 12; ++i) {
    const float a = i * kPi / 6;
    const float r0 = i % 3 == 0 ? 56.0f : 62.0f;
    c.Line(85 + r0 * std::cos(a), 105 + r0 * std::sin(a), 85 + 68 * std::cos(a), 105 + 68 * std::sin(a), 3,
           C(240, 230, 200));
  }
  for (int i = 0; i < stage; ++i) c.FillCircle(60 + i * 25.0f, 14, 7, tint[(stage + 2) % 3]);
  c.FillCircle(85, 105, 6, C(240, 230, 200));
  return c;
}

Canvas FlashDisc() {
  Canvas c(170, 200);
  c.Glow(85, 105, 85, C(255, 255, 230));
  return c;
}

Canvas Splash() {
  Canvas c(kW, kH, C(0, 0, 0));
  c.Glow(400, 280, 260, C(120, 100, 160, 0.6f));
  Lyre(c, 400, 280, 1.0f, C(230, 210, 150));
  return c;
}

Canvas Black() { return Canvas(kW, kH, C(0, 0, 0)); }

Canvas SaveBase(bool save) {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, kH, save ? C(30, 40, 80, 0.92f) : C(70, 30, 50, 0.92f),
                     save ? C(10, 15, 40, 0.95f) : C(35, 10, 25, 0.95f));
  c.FillRect(0, 60, kW, 64, C(220, 200, 140));
  for (int r = 0; r < 4; ++r)
    for (int col = 0; col < 6; ++col)
      c.RoundRect(30 + 126.0f * col, 90 + 82.0f * r, 142 + 126.0f * col, 176 + 82.0f * r, 4, C(0, 0, 0, 0.5f));
  c.RoundRect(146, 452, 758, 590, 8, C(0, 0, 0, 0.5f));
  c.FillRect(148, 520, 757, 542, C(109, 0, 10, 0.6f));
  c.RoundRect(148, 553, 168, 573, 3, C(220, 200, 140));
  // A ribbon mark tells the two screens apart without text.
  for (int i = 0; i < 3; ++i)
    c.FillCircle(60 + i * 30.0f, 32, save ? 10.0f : 6.0f, save ? C(140, 200, 255) : C(255, 170, 190));
  return c;
}

Canvas SlotEmpty(bool save) {
  Canvas c(104, 78, save ? C(40, 50, 90) : C(80, 40, 60));
  c.Line(30, 39, 74, 39, 3, C(200, 200, 200, 0.6f));
  return c;
}

Canvas Cursor() {
  Canvas c(108, 82);
  c.FillShape(
      0, 0, 108, 82, [](float x, float y) { return std::abs(RoundRectDistance(x, y, 2, 2, 106, 80, 5)) - 2; },
      C(255, 230, 120));
  return c;
}

Canvas QuickMark() {
  Canvas c(40, 20);
  c.RoundRect(0, 0, 40, 20, 6, C(230, 80, 80, 0.9f));
  c.Triangle(12, 4, 12, 16, 28, 10, C(255, 255, 255));
  return c;
}

Canvas FlowBase() {
  Canvas c(kW, kH);
  c.VerticalGradient(0, 0, kW, kH, C(10, 20, 50), C(40, 20, 60));
  for (int x = 0; x < kW; x += 16) c.FillRect(x, 0, x + 1, kH, C(255, 255, 255, 0.06f));
  for (int y = 0; y < kH; y += 16) c.FillRect(0, y, kW, y + 1, C(255, 255, 255, 0.06f));
  return c;
}

// The map's hover label: the place's name on a dark plate with a band of
// the place's colour; without a CJK face the band alone names the place.
Canvas LabelPicture(const Rgba& colour, std::string_view name) {
  Canvas c(160, 40);
  c.RoundRect(0, 0, 160, 40, 10, C(0, 0, 0, 0.7f));
  c.RoundRect(6, 6, 14, 34, 4, colour);
  c.RoundRect(146, 6, 154, 34, 4, colour);
  if (!DrawText(c, name, 22, C(255, 250, 235), 80, 20)) c.RoundRect(20, 12, 140, 28, 6, colour);
  return c;
}

}  // namespace

Canvas MakeMapLabel(const Rgba& colour, std::string_view name) { return LabelPicture(colour, name); }
Canvas MakeTitle() { return TitlePicture(); }

Canvas MakePrompt() {
  Canvas c(kPromptSide, kPromptSide * kPromptFrames);
  for (int f = 0; f < kPromptFrames; ++f) {
    // A small diamond that bobs down and back and pulses, one step per frame;
    // the bob stays within the 24-pixel cell so frames never bleed.
    const float top = f * kPromptSide;
    const float bob = 2 * std::sin(f * 2 * kPi / kPromptFrames);
    const float alpha = 0.6f + 0.4f * std::cos(f * 2 * kPi / kPromptFrames);
    c.Triangle(12, top + 3 + bob, 20, top + 12 + bob, 4, top + 12 + bob, C(255, 230, 150, alpha));
    c.Triangle(4, top + 12 + bob, 20, top + 12 + bob, 12, top + 21 + bob, C(230, 190, 100, alpha));
  }
  return c;
}

Canvas MakeButtonFrames(int width, int height, int frames, const Rgba& base) {
  Canvas c(width, height * frames);
  for (int f = 0; f < frames; ++f) {
    const float top = static_cast<float>(f * height);
    Rgba fill = base;
    if (f == 1) fill = Mix(base, C(255, 255, 255, base.a), 0.35f);
    if (f == 2) fill = Mix(base, C(0, 0, 0, base.a), 0.35f);
    if (f == 3) {
      const float grey = (base.r + base.g + base.b) / 3;
      fill = {grey, grey, grey, base.a * 0.6f};
    }
    const float press = f == 2 ? 1.0f : 0.0f;
    c.RoundRect(1 + press, top + 1 + press, width - 1 + press, top + height - 1, std::min(height, width) / 4.0f, fill);
    if (f == 1 || f == 2)
      c.FillShape(
          0, static_cast<int>(top), width, static_cast<int>(top) + height,
          [=](float x, float y) {
            return std::abs(RoundRectDistance(x, y, 1, top + 1, width - 1.0f, top + height - 1.0f,
                                              std::min(height, width) / 4.0f)) -
                   1;
          },
          C(255, 240, 180));
  }
  return c;
}

Canvas MakeSelectItem() { return MakeButtonFrames(600, 60, 3, C(30, 40, 90, 0.8f)); }

Canvas MakeMessageBox(int kind) { return Box(kind); }

Canvas MakeClockHand(float length, float thickness, const Rgba& colour) {
  // Drawn pointing up from the pivot (80, 80), the centre of the picture.
  Canvas c(160, 160);
  c.Line(80, 80 + length * 0.15f, 80, 80 - length, thickness, colour);
  c.FillCircle(80, 80, thickness, colour);
  return c;
}

Canvas MakeRule(int kind) {
  Canvas c(kW, kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      float v = 0;
      if (kind == 0) v = x / static_cast<float>(kW - 1);                               // left to right
      if (kind == 1) v = std::min(1.0f, std::hypot(x - 400.0f, y - 300.0f) / 500.0f);  // iris out
      if (kind == 2) v = std::fmod(x / 100.0f, 1.0f) * 0.5f + y / (2.0f * kH);         // blinds
      c.Set(x, y, {v, v, v, 1});
    }
  }
  return c;
}

Canvas MakeMapIcon(const Rgba& colour, int shape) {
  Canvas c(64, 64 * 4);
  for (int f = 0; f < 4; ++f) {
    const float top = f * 64.0f;
    Rgba fill = colour;
    if (f == 1) fill = Mix(colour, C(255, 255, 255), 0.4f);
    if (f == 2) fill = Mix(colour, C(0, 0, 0), 0.3f);
    if (f == 3) fill = C(128, 128, 128, 0.7f);
    c.FillCircle(32, top + 32, 28, C(255, 255, 255, f == 3 ? 0.5f : 0.9f));
    c.FillCircle(32, top + 32, 24, fill);
    const Rgba mark = C(255, 255, 255);
    if (shape == 0) {  // house
      c.Triangle(16, top + 32, 48, top + 32, 32, top + 16, mark);
      c.FillRect(21, static_cast<int>(top) + 32, 43, static_cast<int>(top) + 46, mark);
    } else if (shape == 1) {  // shop: a bag
      c.RoundRect(20, top + 26, 44, top + 46, 4, mark);
      c.Ring(32, top + 26, 5, 8, mark);
    } else {  // sea: waves
      for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 4; ++i)
          c.Line(16 + i * 8.0f, top + 28 + k * 10 + (i % 2) * 4.0f, 24 + i * 8.0f,
                 top + 28 + k * 10 + ((i + 1) % 2) * 4.0f, 3, mark);
    }
  }
  return c;
}

void MakePictures(Output& g, Output& system) {
  system.Picture("img/sys_splash.png", Splash(), false);

  g.Picture("img/bg_title.png", MakeTitle(), false);
  g.Picture("img/bg_room.png", Room(), false);
  g.Picture("img/bg_street.png", Street(), false);
  g.Picture("img/bg_sea.png", Sea(), false);
  g.Picture("img/bg_map.png", Map(), false);
  // The image the fade-out tag uses when no other is named; kept without
  // an extension because that is the name the tag asks for.
  g.Picture("img/black", Black(), false);
  g.Picture("img/_test.png", TestCard(), false);

  g.Picture("img/ov_light.png", LightOverlay(), false);
  g.Picture("img/ov_shade.png", ShadeOverlay(), false);
  g.Picture("img/ov_tint.png", TintOverlay(), false);
  g.Picture("img/ov_rain.png", RainOverlay(), true);
  g.Picture("img/an_petal.png", Petal(), true);
  g.Picture("img/an_star.png", Star(), true);
  g.Picture("img/an_bird.png", Bird(), true);

  g.Picture("img/chr_hikari.png", Girl(), true);
  g.Picture("img/face_hikari_smile.png", GirlFace(0), true);
  g.Picture("img/face_hikari_sad.png", GirlFace(1), true);
  g.Picture("img/face_hikari_surprised.png", GirlFace(2), true);
  g.Picture("img/chr_sora.png", Boy(), true);

  g.Picture("img/rule_left.png", MakeRule(0), false);
  g.Picture("img/rule_iris.png", MakeRule(1), false);
  g.Picture("img/rule_blinds.png", MakeRule(2), false);

  g.Picture("img/sys_box_normal.png", Box(0), true);
  g.Picture("img/sys_box_base.png", Box(1), true);
  g.Picture("img/sys_box_noclock.png", Box(2), true);
  g.Picture("img/sys_box_clock_a.png", MakeClockHand(40, 6, C(250, 240, 210)), true);
  g.Picture("img/sys_box_clock_b.png", MakeClockHand(60, 3, C(250, 200, 120)), true);
  g.Picture("img/sys_box_clock_c.png", MakeClockHand(64, 5, C(255, 120, 120)), true);
  for (int stage = 1; stage <= 3; ++stage)
    g.Picture("img/sys_box_clock" + std::to_string(stage) + ".png", ClockFace(stage), true);
  g.Picture("img/sys_box_flash.png", FlashDisc(), true);
  g.Picture("img/sys_box_prompt.png", MakePrompt(), true);
  g.Picture("img/sys_box_config.png", MakeButtonFrames(80, 24, 3, C(60, 40, 90, 0.9f)), true);
  g.Picture("img/sys_select_item.png", MakeSelectItem(), true);

  g.Picture("img/sys_log_bar.png", MakeButtonFrames(20, 600, 1, C(40, 40, 70, 0.8f)), true);
  g.Picture("img/sys_log_handle.png", MakeButtonFrames(20, 60, 1, C(220, 200, 140)), true);
  g.Picture("img/sys_log_item.png", MakeButtonFrames(780, 75, 3, C(20, 20, 40, 0.35f)), true);
  g.Picture("img/sys_log_icon_up.png", MakeButtonFrames(20, 20, 1, C(220, 200, 140)), true);
  g.Picture("img/sys_log_icon_down.png", MakeButtonFrames(20, 20, 1, C(220, 200, 140)), true);

  for (bool save : {true, false}) {
    const std::string p = save ? "img/sys_save_" : "img/sys_load_";
    const Rgba tone = save ? C(50, 90, 170) : C(170, 60, 100);
    g.Picture(p + "base.png", SaveBase(save), true);
    g.Picture(p + "empty.png", SlotEmpty(save), false);
    g.Picture(p + "ok.png", MakeButtonFrames(120, 40, 3, tone), true);
    g.Picture(p + "del.png", MakeButtonFrames(120, 40, 3, Mix(tone, C(0, 0, 0), 0.3f)), true);
    g.Picture(p + "back.png", MakeButtonFrames(120, 40, 3, Mix(tone, C(255, 255, 255), 0.2f)), true);
    g.Picture(p + "cursor.png", Cursor(), true);
  }
  g.Picture("img/sys_save_quick.png", QuickMark(), true);
  g.Picture("img/sys_flow_base.png", FlowBase(), false);

  g.Picture("img/map_icon_home.png", MakeMapIcon(C(220, 120, 80), 0), true);
  g.Picture("img/map_icon_shop.png", MakeMapIcon(C(90, 160, 90), 1), true);
  g.Picture("img/map_icon_sea.png", MakeMapIcon(C(60, 120, 200), 2), true);
  g.Picture("img/map_label_home.png", MakeMapLabel(C(220, 120, 80), "回家"), true);
  g.Picture("img/map_label_shop.png", MakeMapLabel(C(90, 160, 90), "面包店"), true);
  g.Picture("img/map_label_sea.png", MakeMapLabel(C(60, 120, 200), "海边"), true);
}

}  // namespace lyraban::gamegen
