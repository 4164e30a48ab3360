#include "graphics/layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/base/strings.h"
#include "graphics/png.h"
#include "persist/save_archive.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

// Pixels are given in memory order (alpha first for 4-byte pictures).
std::string Png(int bytesPerPixel, int width, int height, std::initializer_list<std::vector<u8>> pixels) {
  Surface s;
  EXPECT_TRUE(s.Create(bytesPerPixel, width, height));
  u8* p = s.pixels();
  for (const std::vector<u8>& pixel : pixels) {
    std::memcpy(p, pixel.data(), pixel.size());
    p += pixel.size();
  }
  std::string bytes;
  EXPECT_TRUE(EncodePng(s, bytes));
  return bytes;
}

std::string SolidPng(int bytesPerPixel, int width, int height, std::vector<u8> pixel) {
  Surface s;
  EXPECT_TRUE(s.Create(bytesPerPixel, width, height));
  for (int i = 0; i < width * height; ++i) std::memcpy(s.pixels() + i * bytesPerPixel, pixel.data(), pixel.size());
  std::string bytes;
  EXPECT_TRUE(EncodePng(s, bytes));
  return bytes;
}

std::vector<u8> PixelAt(const Surface& s, int x, int y) {
  const u8* p = s.Row(y) + x * s.bytesPerPixel();
  return std::vector<u8>(p, p + s.bytesPerPixel());
}

class LayerTest : public ::testing::Test {
 protected:
  void SetUpScreen(int width, int height) {
    resources_.OpenDataFolder(game_.str());
    layers_ = std::make_unique<LayerSet>(resources_, trace_, clock_, width, height,
                                         LayerSet::Hooks{[this](std::string_view name) { seen_.emplace_back(name); },
                                                         [](std::string_view name, LayerColour& colour) {
                                                           if (EqualsNoCase(name, "black"))
                                                             colour = {0, 0, 0};
                                                           else if (EqualsNoCase(name, "skyblue"))
                                                             colour = {142, 208, 255};
                                                           else
                                                             return false;
                                                           return true;
                                                         }});
    ASSERT_TRUE(composed_.Create(3, width, height));
  }
  void SetUp() override { SetUpScreen(800, 600); }

  void Image(const std::string& name, const std::string& bytes) { game_.Write("data/img/" + name, bytes); }
  void Definition(const std::string& name, const std::string& text) { game_.Write("data/anime/" + name, text); }

  const Layer& L(int i) { return *layers_->layer(i); }

  testing::TempDir game_;
  Trace trace_;
  Resources resources_{trace_};
  platform::VirtualClock clock_{1000};
  std::unique_ptr<LayerSet> layers_;
  std::vector<std::string> seen_;
  Surface composed_;
};

// ---- Setting layers ----

TEST_F(LayerTest, PicturesStandBottomCentredExceptOnTheBackground) {
  Image("a.png", SolidPng(3, 200, 400, {1, 2, 3}));
  ASSERT_TRUE(layers_->SetLayerImage(1, "a.png"));
  EXPECT_EQ(L(1).type, LayerType::Picture);
  EXPECT_EQ(L(1).x, 400);
  EXPECT_EQ(L(1).y, 600);
  EXPECT_EQ(L(1).anchorX, 100);
  EXPECT_EQ(L(1).anchorY, 400);
  EXPECT_EQ(seen_, std::vector<std::string>{"a.png"});

  layers_->ComposeLayers(composed_);
  EXPECT_EQ(PixelAt(composed_, 300, 200), (std::vector<u8>{1, 2, 3}));
  EXPECT_EQ(PixelAt(composed_, 499, 599), (std::vector<u8>{1, 2, 3}));
  EXPECT_EQ(PixelAt(composed_, 299, 200), (std::vector<u8>{0, 0, 0}));
  EXPECT_EQ(PixelAt(composed_, 300, 199), (std::vector<u8>{0, 0, 0}));

  // Numbers given after resetting the anchor put the top-left there.
  layers_->ResetLayerAnchor(1);
  layers_->SetLayerX(1, 10);
  layers_->SetLayerY(1, 20);
  layers_->ComposeLayers(composed_);
  EXPECT_EQ(PixelAt(composed_, 10, 20), (std::vector<u8>{1, 2, 3}));
  EXPECT_EQ(PixelAt(composed_, 9, 20), (std::vector<u8>{0, 0, 0}));

  ASSERT_TRUE(layers_->SetLayerImage(0, "a.png"));
  EXPECT_EQ(L(0).x, 0);
  EXPECT_EQ(L(0).anchorY, 0);
}

TEST_F(LayerTest, ColourLayersFillTheScreenWhateverTheirPosition) {
  Image("bg.png", SolidPng(3, 800, 600, {9, 9, 9}));
  ASSERT_TRUE(layers_->SetLayerImage(0, "bg.png"));
  ASSERT_TRUE(layers_->SetLayerImage(3, "SkyBlue"));
  EXPECT_EQ(L(3).type, LayerType::Colour);
  EXPECT_EQ(L(3).colour, (LayerColour{142, 208, 255}));
  layers_->SetLayerX(3, 700);
  layers_->ComposeLayers(composed_);
  EXPECT_EQ(PixelAt(composed_, 0, 0), (std::vector<u8>{255, 208, 142}));
  EXPECT_EQ(PixelAt(composed_, 799, 599), (std::vector<u8>{255, 208, 142}));
}

TEST_F(LayerTest, FailuresAndOutOfRangeIndices) {
  EXPECT_FALSE(layers_->SetLayerImage(10, "a.png"));
  EXPECT_FALSE(layers_->SetLayerImage(-1, "a.png"));
  EXPECT_EQ(layers_->layer(10), nullptr);
  EXPECT_TRUE(seen_.empty());
  layers_->SetLayerX(10, 5);
  layers_->ResetLayer(-3);

  EXPECT_FALSE(layers_->SetLayerImage(2, "missing.png"));
  EXPECT_EQ(L(2).type, LayerType::Picture);
  EXPECT_EQ(L(2).name, "missing.png");
  EXPECT_EQ(L(2).x, 0);
  EXPECT_EQ(seen_, std::vector<std::string>{"missing.png"}) << "a name is seen even when it fails";

  EXPECT_FALSE(layers_->SetLayerImage(4, "missing.img"));
  EXPECT_EQ(L(4).type, LayerType::Empty);

  // A picture whose data is damaged after a sound header fails, but keeps
  // its size and shows at the top-left with its anchor unset.
  std::string bad = SolidPng(3, 4, 4, {7, 7, 7});
  const size_t data = bad.find("IDAT");
  ASSERT_NE(data, std::string::npos);
  for (size_t i = data + 4; i < bad.size() - 12; ++i) bad[i] = '\xff';
  Image("bad.png", bad);
  EXPECT_FALSE(layers_->SetLayerImage(5, "bad.png"));
  layers_->ComposeLayers(composed_);
  EXPECT_EQ(L(5).type, LayerType::Picture);
  EXPECT_EQ(L(5).x, 0);
  EXPECT_EQ(L(5).anchorX, 0);
  EXPECT_EQ(L(5).baseName, "");
  EXPECT_EQ(L(5).basePicture.width(), 4);
}

TEST_F(LayerTest, DirtyFlagFollowsChangesAndComposition) {
  EXPECT_FALSE(layers_->dirty());
  layers_->SetLayerY(0, 1);
  EXPECT_TRUE(layers_->dirty());
  layers_->ComposeLayers(composed_);
  EXPECT_FALSE(layers_->dirty());
  layers_->ResetLayerAnchor(0);
  EXPECT_TRUE(layers_->dirty());
  layers_->ComposeLayers(composed_);
  layers_->ClearAllLayers();
  EXPECT_TRUE(layers_->dirty());
  layers_->ComposeLayers(composed_);
  layers_->SetLayerImage(1, "missing.png");
  EXPECT_TRUE(layers_->dirty());
}

// ---- Definition files ----

TEST_F(LayerTest, DefinitionKeysPrefixesAndOpacities) {
  Definition("k.img",
             "; a comment: with = signs\r\n"
             "Type=back\r\n"
             "name = Room  extra\r\n"
             "POSX=12\r\n"
             "PosY\t=-7\r\n"
             "Base=room.png\r\n"
             "Face=f.png\r\n"
             "FaceX=3\r\nFaceY=4\r\n"
             "Img0=a.png\r\nImg9=b.png\r\nImg10=c.png\r\nImg-1=d.png\r\n"
             "Mode0=screen\r\nMode1=div\r\nMode2=sparkle\r\nMode12=add\r\n"
             "Alpha2=50%\r\nAlpha3=300\r\nAlpha4=-5\r\nAlpha5=100%\r\nAlpha6=99999999999%\r\nAlpha7=abc\r\n"
             "Type=spaceship\r\n"
             "Unknown=1\r\n"
             "just words\r\n");
  ASSERT_TRUE(layers_->SetLayerImage(2, "K.IMG"));
  const Layer& l = L(2);
  EXPECT_EQ(l.type, LayerType::Back) << "an unknown type value is ignored";
  EXPECT_EQ(l.displayName, "Room");
  EXPECT_EQ(l.anchorX, 12);
  EXPECT_EQ(l.anchorY, -7);
  EXPECT_EQ(l.baseName, "room.png");
  EXPECT_EQ(l.faceName, "f.png");
  EXPECT_EQ(l.faceX, 3);
  EXPECT_EQ(l.faceY, 4);
  EXPECT_EQ(l.overlays[0].name, "a.png");
  EXPECT_EQ(l.overlays[9].name, "b.png");
  for (int i = 1; i < 9; ++i) EXPECT_EQ(l.overlays[i].name, "") << i;
  EXPECT_EQ(l.overlays[0].mode, static_cast<u8>(BlendMode::Screen));
  EXPECT_EQ(l.overlays[1].mode, static_cast<u8>(BlendMode::Div));
  EXPECT_EQ(l.overlays[2].mode, 0);
  EXPECT_EQ(l.overlays[3].mode, static_cast<u8>(BlendMode::Normal));
  EXPECT_EQ(l.overlays[2].opacity, 127);
  EXPECT_EQ(l.overlays[3].opacity, 255);
  EXPECT_EQ(l.overlays[4].opacity, 0);
  EXPECT_EQ(l.overlays[5].opacity, 255);
  EXPECT_EQ(l.overlays[6].opacity, 255);
  EXPECT_EQ(l.overlays[7].opacity, 0);
  EXPECT_EQ(l.overlays[0].opacity, 255);
  // "back" layers are not moved to the bottom centre.
  EXPECT_EQ(l.x, 0);
  EXPECT_EQ(l.y, 0);
}

TEST_F(LayerTest, SectionsSelectLinesByCode) {
  std::string text =
      "Type=actor\r\nBase=common.png\r\nFaceX=1\r\n#1 3\r\nFace=smile.png\r\nFaceY=13\r\n#2\r\n"
      "Face=cry.png\r\nFaceX=2\r\n#\r\nPosX=5\r\n#x\r\nPosY=9\r\n";
  Definition("s.img", text);

  ASSERT_TRUE(layers_->SetLayerImage(2, "s.img"));
  EXPECT_EQ(L(2).type, LayerType::Actor);
  EXPECT_EQ(L(2).faceName, "");
  EXPECT_EQ(L(2).faceX, 1);
  EXPECT_EQ(L(2).anchorX, 5);
  EXPECT_EQ(L(2).anchorY, 9) << "a token without digits reads as 0";
  EXPECT_EQ(L(2).x, 400);
  EXPECT_EQ(L(2).y, 600);

  ASSERT_TRUE(layers_->ApplyLayerDefinition(2, 3));
  EXPECT_EQ(L(2).code, 3);
  EXPECT_EQ(L(2).faceName, "smile.png");
  EXPECT_EQ(L(2).faceY, 13);
  EXPECT_EQ(L(2).faceX, 1);

  ASSERT_TRUE(layers_->ApplyLayerDefinition(2, 2));
  EXPECT_EQ(L(2).faceName, "cry.png");
  EXPECT_EQ(L(2).faceX, 2);
  EXPECT_EQ(L(2).faceY, 13) << "fields the code does not mention stay";

  ASSERT_TRUE(layers_->ApplyLayerDefinition(2, 0));
  EXPECT_EQ(L(2).faceName, "cry.png");
  EXPECT_EQ(L(2).faceX, 1);
  EXPECT_EQ(L(2).code, 0);
}

TEST_F(LayerTest, AnimeLinesResetTimerAndLimits) {
  std::string text = "Type=movie\r\nx: 4\r\nadd.y : x 1\r\nBase=c:\\odd.png\r\n#7\r\ndraw: 0 1 2\r\n#\r\n";
  for (int i = 0; i < 5000; ++i) text += "clip:\r\n";
  Definition("m.img", text);
  std::vector<std::string> traced;
  trace_.SetSink([&](std::string_view message) { traced.emplace_back(message); });
  ASSERT_TRUE(layers_->SetLayerImage(1, "m.img"));
  EXPECT_EQ(traced.size(), 1u) << "one diagnostic for the cut program, not one per line";
  EXPECT_EQ(L(1).baseName, "c:\\odd.png") << "a line with '=' is a key line even with a colon";
  ASSERT_EQ(L(1).anime.size(), LayerSet::kMaxAnimeCommands);
  EXPECT_EQ(L(1).anime[0].opcode, AnimeOpcode::Assign);
  EXPECT_EQ(L(1).anime[1].opcode, AnimeOpcode::Add);
  EXPECT_EQ(L(1).anime[1].target, 'y');
  EXPECT_EQ(L(1).anime[2].opcode, AnimeOpcode::Clip);
  EXPECT_EQ(L(1).timerBase, 1000u);

  layers_->ApplyLayerDefinition(1, 7);
  EXPECT_EQ(L(1).anime[2].opcode, AnimeOpcode::Draw) << "the program is rebuilt, not appended";

  Definition("t.img", "Type=movie\r\nresettimer\r\n");
  ASSERT_TRUE(layers_->SetLayerImage(3, "t.img"));
  EXPECT_EQ(L(3).timerBase, 1000u);
  clock_.Advance(250);
  layers_->ApplyLayerDefinition(3, 0);
  EXPECT_EQ(L(3).timerBase, 1250u);
}

TEST_F(LayerTest, GarbageDefinitionsNeverCrash) {
  std::string text;
  const char* lines[] = {"=",
                         ":",
                         "#",
                         "#-",
                         "Img",
                         "Img=",
                         "Alpha",
                         "Alpha=%",
                         "Mode=",
                         "Type=",
                         "x:",
                         "draw:",
                         "draw: 99999999999 -99999999999 x",
                         "a.b.c: 1",
                         ".x: 1",
                         "\xff\xfe:\x80",
                         "Img99999999999999=x",
                         "Alpha-2147483648=5",
                         "FaceX=-99999999999999"};
  for (const char* line : lines) text += std::string(line) + "\r\n";
  text += std::string(100000, 'z');
  Definition("g.img", text);
  ASSERT_TRUE(layers_->SetLayerImage(1, "g.img"));
  EXPECT_EQ(L(1).faceX, INT32_MIN);
  layers_->ComposeLayers(composed_);
}

// ---- Composition ----

// A 4 × 2 scene: background, an actor with a face, then a "back" layer whose
// three overlays cover everything. Expected bytes are worked out from the
// blend and alpha formulas by hand.
TEST_F(LayerTest, ComposesASmallSceneExactly) {
  SetUpScreen(4, 2);
  Image("bg.png", SolidPng(3, 4, 2, {100, 150, 200}));
  Image("body.png", Png(4, 2, 2, {{255, 10, 20, 30}, {0, 99, 99, 99}, {128, 200, 100, 50}, {255, 1, 2, 3}}));
  Image("face.png", Png(4, 1, 1, {{255, 250, 250, 250}}));
  Image("mul.png", SolidPng(3, 4, 2, {128, 255, 0}));
  Image("red.png", SolidPng(4, 4, 2, {255, 0, 0, 255}));
  Image("grey.png", SolidPng(3, 4, 2, {64, 64, 64}));
  Definition("girl.img", "Type=actor\r\nBase=body.png\r\nFace=face.png\r\nFaceX=1\r\nPosX=1\r\nPosY=2\r\n");
  Definition("room.img",
             "Type=back\r\nImg0=mul.png\r\nMode0=Multi\r\nImg1=red.png\r\nAlpha1=50%\r\n"
             "Img2=grey.png\r\nMode2=Screen\r\nAlpha2=200\r\nImg3=grey.png\r\nMode3=div\r\n");

  ASSERT_TRUE(layers_->SetLayerImage(0, "bg.png"));
  ASSERT_TRUE(layers_->SetLayerImage(1, "girl.img"));
  ASSERT_TRUE(layers_->SetLayerImage(2, "room.img"));
  EXPECT_EQ(L(1).x, 2);
  EXPECT_EQ(L(1).y, 2);
  layers_->ComposeLayers(composed_);

  const std::vector<u8> expected = {70, 110, 152, 52, 58,  152, 101, 151, 152, 70, 110, 152,
                                    70, 110, 152, 80, 101, 152, 51,  51,  152, 70, 110, 152};
  EXPECT_EQ(std::vector<u8>(composed_.pixels(), composed_.pixels() + composed_.ByteSize()), expected);

  // Without the overlays the actor's alpha and face placement show directly.
  ASSERT_TRUE(layers_->SetLayerImage(2, "black"));
  layers_->ResetLayer(2);
  layers_->ComposeLayers(composed_);
  const std::vector<u8> actor = {100, 150, 200, 10,  20,  30,  250, 250, 250, 100, 150, 200,
                                 100, 150, 200, 150, 125, 125, 1,   2,   3,   100, 150, 200};
  EXPECT_EQ(std::vector<u8>(composed_.pixels(), composed_.pixels() + composed_.ByteSize()), actor);
}

TEST_F(LayerTest, MovieLayersRunTheirProgramOnTheClock) {
  SetUpScreen(8, 2);
  Image("dot.png", SolidPng(3, 1, 1, {5, 6, 7}));
  Definition("mv.img", "Type=movie\r\nImg0=dot.png\r\nx: 1\r\nmove.x: 1000 0\r\nmod.x: x 8\r\ndraw: 0 x 1\r\n");
  clock_.Advance(0xFFFFFFFFu - 1000 - 500);  // timer base just before the clock wraps
  ASSERT_TRUE(layers_->SetLayerImage(0, "mv.img"));
  layers_->ComposeLayers(composed_);
  EXPECT_EQ(PixelAt(composed_, 1, 1), (std::vector<u8>{5, 6, 7}));

  clock_.Advance(2000);  // the clock wraps past zero
  layers_->ComposeLayers(composed_);
  EXPECT_EQ(PixelAt(composed_, 1, 1), (std::vector<u8>{0, 0, 0}));
  // The wrapped reading counts 1999 ms (as every timed wait does): x = 2000 % 8.
  EXPECT_EQ(PixelAt(composed_, 0, 1), (std::vector<u8>{5, 6, 7}));

  // The same layer on 1..9 sits at the layer position; "movie" is not moved
  // to the bottom centre, so only SetLayerX shifts it.
  ASSERT_TRUE(layers_->SetLayerImage(4, "mv.img"));
  layers_->SetLayerX(4, 2);
  layers_->ResetLayer(0);
  layers_->ComposeLayers(composed_);
  EXPECT_EQ(PixelAt(composed_, 3, 1), (std::vector<u8>{5, 6, 7}));
}

// ---- Save section ----

TEST_F(LayerTest, SaveAndLoadRebuildTheLayers) {
  Image("a.png", SolidPng(4, 20, 30, {255, 1, 2, 3}));
  Definition("s.img", "Type=actor\r\nBase=a.png\r\n#3\r\nPosX=4\r\n");
  ASSERT_TRUE(layers_->SetLayerImage(0, "a.png"));
  ASSERT_TRUE(layers_->SetLayerImage(2, "s.img"));
  ASSERT_TRUE(layers_->ApplyLayerDefinition(2, 3));
  layers_->SetLayerX(2, -17);
  ASSERT_TRUE(layers_->SetLayerImage(5, "BLACK"));
  layers_->SetLayerY(5, 77);

  SaveArchive section;
  layers_->SaveLayers(section);
  layers_->ComposeLayers(composed_);
  const std::vector<u8> before(composed_.pixels(), composed_.pixels() + composed_.ByteSize());

  SaveArchive reading;
  reading.OpenForReading(section.bytes());
  EXPECT_EQ(reading.EntryCount(), 40u);
  EXPECT_TRUE(reading.Contains("Name9"));
  EXPECT_TRUE(reading.Contains("PosY0"));

  LayerSet restored(resources_, trace_, clock_, 800, 600);
  Surface composed;
  ASSERT_TRUE(composed.Create(3, 800, 600));
  restored.LoadLayers(reading, composed);
  EXPECT_FALSE(restored.dirty());
  EXPECT_EQ(restored.layer(2)->name, "s.img");
  EXPECT_EQ(restored.layer(2)->code, 3);
  EXPECT_EQ(restored.layer(2)->anchorX, 4);
  EXPECT_EQ(restored.layer(2)->x, -17);
  EXPECT_EQ(restored.layer(5)->y, 77);
  EXPECT_EQ(restored.layer(0)->type, LayerType::Picture);
  // No colour table was given, so "BLACK" is a missing picture there.
  EXPECT_EQ(restored.layer(5)->type, LayerType::Picture);

  LayerSet again(resources_, trace_, clock_, 800, 600, {nullptr, [](std::string_view n, LayerColour& c) {
                                                          c = {};
                                                          return EqualsNoCase(n, "black");
                                                        }});
  reading.OpenForReading(section.bytes());
  again.LoadLayers(reading, composed);
  EXPECT_EQ(again.layer(5)->type, LayerType::Colour);
  EXPECT_EQ(std::vector<u8>(composed.pixels(), composed.pixels() + composed.ByteSize()), before);
}

TEST_F(LayerTest, LoadingAnIncompleteSectionKeepsDefaults) {
  Image("a.png", SolidPng(3, 20, 30, {1, 1, 1}));
  SaveArchive writing;
  std::string name = "a.png";
  writing.ExchangeString("Name1", name);
  i32 wrongSize = 0;
  writing.Exchange("PosY1", wrongSize);
  writing.ExchangeBytes("PosX1", &wrongSize, 2);
  SaveArchive reading;
  reading.OpenForReading(writing.bytes());
  layers_->LoadLayers(reading, composed_);
  EXPECT_EQ(L(1).x, 400) << "a value of the wrong size keeps the position SetLayerImage gave";
  EXPECT_EQ(L(1).y, 0);
  EXPECT_EQ(L(1).code, 0);
}

}  // namespace
}  // namespace lyraban
