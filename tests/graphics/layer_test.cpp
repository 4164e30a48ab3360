#include "graphics/layer.h"

#include <array>
#include <tuple>

#include "base/strings.h"
#include "persist/save_archive.h"
#include "platform/headless/virtual_clock.h"
#include "resources/resources.h"
#include "support/temp_dir.h"
#include "surface_helpers.h"

namespace lyraban {
namespace {

using namespace gfxtest;

// A picture file of one colour (bytes in memory order, alpha first).
std::string Solid(int bpp, int w, int h, const Bytes& pixel) { return PngOf(Make(bpp, w, h, pixel)); }
// Position and anchor of a layer, for comparing all four at once.
std::array<i32, 4> Placement(const Layer& l) { return {l.x, l.y, l.anchorX, l.anchorY}; }

bool LookUpColour(std::string_view name, LayerColour& colour) {
  return colour = {0, 0, 0}, EqualsNoCase(name, "black");
}

class LayerTest : public ::testing::Test {
 protected:
  void SetUpScreen(int width, int height) {
    resources_.OpenDataFolder(game_.str());
    layers_ = std::make_unique<LayerSet>(
        resources_, trace_, clock_, width, height,
        LayerSet::Hooks{[this](std::string_view n) { seen_.emplace_back(n); }, LookUpColour});
    composed_ = Make(3, width, height, {0, 0, 0});
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

TEST_F(LayerTest, FailuresOutOfRangeIndicesAndTheDirtyFlag) {
  EXPECT_FALSE(layers_->SetLayerImage(10, "a.png") || layers_->SetLayerImage(-1, "a.png") || layers_->layer(10));
  layers_->SetLayerX(10, 5), layers_->ResetLayer(-3);
  EXPECT_FALSE(layers_->dirty());
  // A name is seen even when it fails.
  EXPECT_FALSE(layers_->SetLayerImage(2, "missing.png"));
  EXPECT_TRUE(layers_->dirty() && L(2).type == LayerType::Picture);
  EXPECT_EQ(seen_, std::vector<std::string>{"missing.png"});
  EXPECT_FALSE(layers_->SetLayerImage(4, "missing.img") || L(4).type != LayerType::Empty);
}

TEST_F(LayerTest, DefinitionKeysPrefixesOpacitiesAndGarbage) {
  std::string garbage;
  for (const char* line :
       {"=", ":", "#-", "Img", "Img=", "Alpha", "Mode=", "Type=", "x:", "draw:", "draw: 99999999999 -99999999999 x",
        "a.b.c: 1", ".x: 1", "\xff\xfe:\x80", "Img99999999999999=x", "Alpha-2147483648=5", "FaceY=-99999999999999"})
    garbage += std::string(line) + "\r\n";
  Definition("k.img",
             garbage +
                 "; a comment: with = signs\r\nType=back\r\nname = Room  extra\r\nPOSX=12\r\nPosY\t=-7\r\n"
                 "Base=room.png\r\nFace=f.png\r\nFaceX=3\r\n"
                 "Img0=a.png\r\nImg9=b.png\r\nImg10=c.png\r\nImg-1=d.png\r\n"
                 "Mode0=screen\r\nMode1=div\r\nMode2=sparkle\r\nMode12=add\r\n"
                 "Alpha2=50%\r\nAlpha3=300\r\nAlpha4=-5\r\nAlpha5=100%\r\nAlpha6=99999999999%\r\nAlpha7=abc\r\n"
                 "Type=spaceship\r\nUnknown=1\r\njust words\r\n" +
                 std::string(100000, 'z'));
  ASSERT_TRUE(layers_->SetLayerImage(2, "K.IMG"));
  const Layer& l = L(2);
  EXPECT_EQ(l.type, LayerType::Back) << "an unknown type value is ignored";
  EXPECT_EQ(std::tuple(l.displayName, l.baseName, l.faceName), std::tuple("Room", "room.png", "f.png"));
  // Back layers are not moved to the bottom centre.
  EXPECT_EQ((std::array{l.x, l.y, l.anchorX, l.anchorY, l.faceX, l.faceY}), (std::array{0, 0, 12, -7, 3, INT32_MIN}));
  std::string slots;  // name/mode/opacity of each overlay
  for (const OverlaySlot& slot : l.overlays)
    slots += slot.name + "/" + std::to_string(slot.mode) + "/" + std::to_string(slot.opacity) + " ";
  EXPECT_EQ(slots, "a.png/6/255 /5/255 /0/127 /1/255 /1/0 /1/255 /1/255 /1/0 /1/255 b.png/1/255 ");
  layers_->ComposeLayers(composed_);
  EXPECT_FALSE(layers_->dirty());
}

TEST_F(LayerTest, AnimeLinesResetTimerAndLimits) {
  std::string text = "Type=movie\r\nx: 4\r\nadd.y : x 1\r\nBase=c:\\o.png\r\n#7\r\ndraw: 0 1 2\r\nresettimer\r\n#\r\n";
  for (int i = 0; i < 5000; ++i) text += "clip:\r\n";
  Definition("m.img", text);
  std::vector<std::string> traced;
  trace_.SetSink([&](std::string_view message) { traced.emplace_back(message); });
  ASSERT_TRUE(layers_->SetLayerImage(1, "m.img"));
  EXPECT_EQ(traced.size(), 1u) << "one diagnostic for the cut program, not one per line";
  EXPECT_EQ(L(1).baseName, "c:\\o.png") << "a line with '=' is a key line even with a colon";
  ASSERT_EQ(L(1).anime.size(), LayerSet::kMaxAnimeCommands);
  EXPECT_TRUE(L(1).anime[1].target == 'y' && L(1).anime[2].opcode == AnimeOpcode::Clip);
  clock_.Advance(250);
  layers_->ApplyLayerDefinition(1, 7);
  EXPECT_TRUE(L(1).anime[2].opcode == AnimeOpcode::Draw && L(1).timerBase == 1250u) << "rebuilt, timer reset";
}

// A 4 × 2 scene: background, an actor with a face, then a "back" layer whose
// three overlays cover everything. Expected bytes are worked out from the
// blend and alpha formulas by hand.
TEST_F(LayerTest, ComposesASmallSceneExactly) {
  SetUpScreen(4, 2);
  Image("bg.png", Solid(3, 4, 2, {100, 150, 200}));
  Image("body.png", PngOf(Make(4, 2, 2, {255, 10, 20, 30, 0, 99, 99, 99, 128, 200, 100, 50, 255, 1, 2, 3})));
  Image("face.png", Solid(4, 1, 1, {255, 250, 250, 250}));
  Image("mul.png", Solid(3, 4, 2, {128, 255, 0}));
  Image("red.png", Solid(4, 4, 2, {255, 0, 0, 255}));
  Image("grey.png", Solid(3, 4, 2, {64, 64, 64}));
  Definition("girl.img", "Type=actor\r\nBase=body.png\r\nFace=face.png\r\nFaceX=1\r\nPosX=1\r\nPosY=2\r\n");
  Definition("room.img",
             "Type=back\r\nImg0=mul.png\r\nMode0=Multi\r\nImg1=red.png\r\nAlpha1=50%\r\n"
             "Img2=grey.png\r\nMode2=Screen\r\nAlpha2=200\r\nImg3=grey.png\r\nMode3=div\r\n");
  ASSERT_TRUE(layers_->SetLayerImage(0, "bg.png") && layers_->SetLayerImage(1, "girl.img") &&
              layers_->SetLayerImage(2, "room.img"));
  EXPECT_EQ(Placement(L(1)), (std::array{2, 2, 1, 2}));
  layers_->ComposeLayers(composed_);
  EXPECT_EQ(BytesOf(composed_), (Bytes{70, 110, 152, 52, 58,  152, 101, 151, 152, 70, 110, 152,
                                       70, 110, 152, 80, 101, 152, 51,  51,  152, 70, 110, 152}));
}

TEST_F(LayerTest, SaveAndLoadRebuildTheLayers) {
  Image("a.png", Solid(4, 20, 30, {255, 1, 2, 3}));
  Definition("s.img", "Type=actor\r\nBase=a.png\r\n#3\r\nPosX=4\r\n");
  ASSERT_TRUE(layers_->SetLayerImage(0, "a.png") && layers_->SetLayerImage(2, "s.img") &&
              layers_->ApplyLayerDefinition(2, 3) && layers_->SetLayerImage(5, "BLACK"));
  layers_->SetLayerX(2, -17);
  layers_->SetLayerY(5, 77);
  SaveArchive section, reading;
  layers_->SaveLayers(section);
  layers_->ComposeLayers(composed_);
  reading.OpenForReading(section.bytes());
  EXPECT_EQ(reading.EntryCount(), 40u);
  EXPECT_TRUE(reading.Contains("Name9") && reading.Contains("PosY0"));
  Surface composed = Make(3, 800, 600, {0, 0, 0});
  LayerSet restored(resources_, trace_, clock_, 800, 600, {nullptr, LookUpColour});
  restored.LoadLayers(reading, composed);
  EXPECT_EQ(std::tuple(restored.layer(2)->name, restored.layer(2)->code, restored.layer(5)->y),
            std::tuple("s.img", 3, 77));
  EXPECT_EQ(Placement(*restored.layer(2)), (std::array{-17, 600, 4, 0}));
  EXPECT_EQ(BytesOf(composed), BytesOf(composed_));
}

// Pictures held by the layers have a budget: one that goes beyond is dropped
// with a word in the trace, and the layers keep what they held. Corrupt
// pictures named in a definition are traced too.
TEST_F(LayerTest, PicturesBeyondTheBudgetAndCorruptDefinitionPicturesAreTraced) {
  std::vector<std::string> messages;
  trace_.SetSink([&](std::string_view m) { messages.emplace_back(m); });
  Image("a.png", Solid(4, 40, 40, {255, 1, 2, 3}));  // 6400 bytes each
  Image("b.png", Solid(4, 40, 40, {255, 4, 5, 6}));
  Image("broken.png", "\x89PNG\r\n\x1a\nnot really");
  Definition("face.img", "Base=a.png\r\nFace=broken.png\r\n");
  layers_->SetPictureBudget(10000);
  ASSERT_TRUE(layers_->SetLayerImage(1, "a.png"));
  EXPECT_FALSE(layers_->SetLayerImage(2, "b.png"));
  EXPECT_FALSE(L(2).basePicture.HasPixels());
  EXPECT_TRUE(L(1).basePicture.HasPixels());
  EXPECT_EQ(layers_->PictureBytes(), 6400u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("b.png"), std::string::npos) << messages[0];

  messages.clear();
  layers_->SetPictureBudget(LayerSet::kPictureBudgetBytes);
  ASSERT_TRUE(layers_->SetLayerImage(3, "face.img"));
  layers_->ComposeLayers(composed_);
  layers_->ComposeLayers(composed_);
  ASSERT_EQ(messages.size(), 1u) << "said once, not on every frame";
  EXPECT_NE(messages[0].find("broken.png"), std::string::npos) << messages[0];
}

}  // namespace
}  // namespace lyraban
