#pragma once
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "base/types.h"
#include "graphics/anime.h"
#include "graphics/blend.h"
#include "graphics/png.h"
#include "graphics/surface.h"
#include "platform/clock.h"
#include "resources/text_lines.h"

namespace lyraban {

class Resources;
class SaveArchive;

enum class LayerType : u8 {
  Empty = 0,
  Picture = 1,
  Colour = 2,
  Back = 3,
  Movie = 4,
  Actor = 5,
};

// Red, green, blue.
struct LayerColour {
  u8 red = 0;
  u8 green = 0;
  u8 blue = 0;
  friend bool operator==(const LayerColour&, const LayerColour&) = default;
};

// One full-screen picture of a "back" layer, or a picture an anime program
// draws. Mode 0 is never drawn.
struct OverlaySlot {
  std::string name;
  ImageSurface picture;
  u8 mode = static_cast<u8>(BlendMode::Normal);
  u8 opacity = 255;
};

struct Layer {
  static constexpr int kSlotCount = 10;

  std::string name;  // what the layer was set to
  i32 code = 0;      // section code the definition was last applied with
  i32 x = 0;
  i32 y = 0;
  LayerType type = LayerType::Empty;
  TextLines definition;  // kept so another code can be applied later
  std::string displayName;
  i32 anchorX = 0;  // point of the picture placed at (x, y)
  i32 anchorY = 0;
  i32 faceX = 0;  // face offset from the body's top-left
  i32 faceY = 0;
  LayerColour colour;
  std::string baseName;
  std::string faceName;
  ImageSurface basePicture;
  ImageSurface facePicture;
  std::vector<AnimeCommand> anime;
  std::array<OverlaySlot, kSlotCount> overlays;
  u32 timerBase = 0;
};

// The ten display layers, drawn 0..9 into the composed screen buffer. Every
// change sets the dirty flag so the next screen update recomposes and
// cross-fades; composing clears it.
class LayerSet {
 public:
  static constexpr int kLayerCount = 10;
  // Pixels all layers' pictures may hold together; a picture that would go
  // beyond is dropped (traced) and the layer drawn without it.
  static constexpr std::size_t kPictureBudgetBytes = std::size_t{512} << 20;
  std::size_t PictureBytes() const;
  void SetPictureBudget(std::size_t bytes) { pictureBudget_ = bytes; }
  // Anime programs longer than this are cut: no real definition comes near,
  // and each command runs on every composed frame.
  static constexpr size_t kMaxAnimeCommands = 4096;

  using MarkSeenFn = std::function<void(std::string_view name)>;
  // False for a name that is not a colour.
  using ColourLookupFn = std::function<bool(std::string_view name, LayerColour& colour)>;

  // A definition line that applying a code passes over, with the reason
  // (the game checker reports them; the engine ignores them silently).
  using IgnoredLineFn = std::function<void(size_t lineIndex, std::string_view why)>;

  struct Hooks {
    MarkSeenFn markSeen;
    ColourLookupFn lookupColour;
  };

  LayerSet(Resources& resources, Trace& trace, platform::Clock& clock, int screenWidth, int screenHeight,
           Hooks hooks = {});

  // Index outside 0..9: nothing (nullptr).
  const Layer* layer(int index) const;
  bool dirty() const { return dirty_; }
  void MarkDirty() { dirty_ = true; }
  int screenWidth() const { return screenWidth_; }
  int screenHeight() const { return screenHeight_; }

  void SetIgnoredLineHook(IgnoredLineFn hook) { ignoredLine_ = std::move(hook); }

  // Where pictures decoded ahead of need come from: true when `pixels` now
  // holds the complete picture `name`. A picture it does not give is
  // decoded here as always.
  void SetDecodedSource(TakeDecodedFn take) { takeDecoded_ = std::move(take); }

  void ResetLayer(int index);
  void ClearAllLayers();
  // A picture, a colour name or a ".img" definition; marks the name seen.
  // False when the picture or definition cannot be loaded.
  bool SetLayerImage(int index, std::string_view name);
  bool ApplyLayerDefinition(int index, i32 code);
  void SetLayerX(int index, i32 x);
  void SetLayerY(int index, i32 y);
  void ResetLayerAnchor(int index);

  // Fills `composed` (the screen-size 3-byte buffer) with black and draws
  // every layer, then every overlay of the "back" layers.
  void ComposeLayers(Surface& composed);
  // The pictures layers name but have not loaded yet (the next composition
  // loads them), in drawing order, each once.
  std::vector<std::string> PendingPictureNames() const;

  // The "Data_Anime" section content. Loading rebuilds each layer from its
  // name and code, then composes into `composed`.
  void SaveLayers(SaveArchive& section);
  void LoadLayers(SaveArchive& section, Surface& composed);

 private:
  Layer* Find(int index);
  bool WithinPictureBudget(ImageSurface& picture);
  void DrawLayer(Layer& layer, Surface& composed);
  void LoadPicture(ImageSurface& picture, const std::string& name);
  bool LoadLayerImage(ImageSurface& picture, std::string_view name, std::string* why);
  // Null when the line took effect, else why it was passed over.
  const char* ApplyKeyLine(Layer& layer, std::string_view line);

  Resources& resources_;
  Trace& trace_;
  platform::Clock& clock_;
  ResourceReader reader_;
  int screenWidth_;
  int screenHeight_;
  Hooks hooks_;
  IgnoredLineFn ignoredLine_;
  TakeDecodedFn takeDecoded_;
  std::array<Layer, kLayerCount> layers_;
  std::size_t pictureBudget_ = kPictureBudgetBytes;
  AnimeRegisters registers_;
  bool dirty_ = false;
};

// Parses an opacity value: "50%" is 50 × 255 / 100, "50" is 50; clamped to
// 0..255.
u8 ParseLayerOpacity(std::string_view token);

// The pictures a definition names (Base, Face, Img0..9) in the lines that
// applying `code` takes effect with, in file order, each once.
std::vector<std::string> DefinitionPictureNames(const TextLines& definition, i32 code);

}  // namespace lyraban
