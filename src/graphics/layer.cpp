#include "graphics/layer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/strings.h"
#include "persist/save_archive.h"
#include "resources/resources.h"

namespace lyraban {
namespace {

// Positions far outside any surface draw the same as these bounds and keep
// the clipping arithmetic away from overflow.
int DrawPosition(i64 value) {
  constexpr i64 kLimit = i64{1} << 24;
  return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

bool HasImgExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && EqualsNoCase(name.substr(dot + 1), "img");
}

}  // namespace

LayerSet::LayerSet(Resources& resources, Trace& trace, platform::Clock& clock, int screenWidth, int screenHeight,
                   Hooks hooks)
    : resources_(resources),
      trace_(trace),
      clock_(clock),
      reader_(ResourceReaderFor(resources)),
      screenWidth_(screenWidth),
      screenHeight_(screenHeight),
      hooks_(std::move(hooks)) {}

Layer* LayerSet::Find(int index) {
  return index >= 0 && index < kLayerCount ? &layers_[static_cast<size_t>(index)] : nullptr;
}

const Layer* LayerSet::layer(int index) const {
  return index >= 0 && index < kLayerCount ? &layers_[static_cast<size_t>(index)] : nullptr;
}

void LayerSet::ResetLayer(int index) {
  Layer* layer = Find(index);
  if (!layer) return;
  layer->name.clear();
  layer->displayName.clear();
  layer->baseName.clear();
  layer->faceName.clear();
  layer->code = 0;
  layer->x = layer->y = 0;
  layer->type = LayerType::Empty;
  layer->definition.Clear();
  layer->colour = {};
  layer->anchorX = layer->anchorY = 0;
  layer->faceX = layer->faceY = 0;
  layer->anime.clear();
  layer->basePicture.Release();
  layer->facePicture.Release();
  for (OverlaySlot& slot : layer->overlays) {
    slot.name.clear();
    slot.picture.Release();
    slot.mode = static_cast<u8>(BlendMode::Normal);
    slot.opacity = 255;
  }
  dirty_ = true;
}

void LayerSet::ClearAllLayers() {
  for (int i = 0; i < kLayerCount; ++i) ResetLayer(i);
  dirty_ = true;
}

bool LayerSet::SetLayerImage(int index, std::string_view name) {
  Layer* layer = Find(index);
  if (!layer) return false;
  if (hooks_.markSeen) hooks_.markSeen(name);
  dirty_ = true;

  ResetLayer(index);
  layer->timerBase = clock_.Now();
  layer->name = name;

  LayerColour colour;
  if (HasImgExtension(name)) {
    // The type stays empty until the definition names one.
    if (!resources_.LoadTextLines(layer->definition, "anime", name)) return false;
  } else if (hooks_.lookupColour && hooks_.lookupColour(name, colour)) {
    layer->type = LayerType::Colour;
    layer->colour = colour;
  } else {
    layer->type = LayerType::Picture;
    // A failed picture keeps whatever rows were decoded and shows them at the
    // top-left, as the base name stays empty.
    std::string why;
    if (!LoadLayerImage(layer->basePicture, name, &why)) {
      trace_.DebugTrace("画像『%s』を表示できない：%s", name, why);
      return false;
    }
    if (!WithinPictureBudget(layer->basePicture)) return false;
    layer->baseName = name;
  }

  ApplyLayerDefinition(index, 0);

  // Layer 0 is the background, kept at the top-left; the others stand on the
  // bottom centre of the screen.
  if (index != 0 && (layer->type == LayerType::Picture || layer->type == LayerType::Actor)) {
    layer->x = screenWidth_ / 2;
    layer->y = screenHeight_;
    if (layer->type == LayerType::Picture) {
      layer->anchorX = layer->basePicture.width() / 2;
      layer->anchorY = layer->basePicture.height();
    }
  }
  return true;
}

void LayerSet::SetLayerX(int index, i32 x) {
  if (Layer* layer = Find(index)) {
    layer->x = x;
    dirty_ = true;
  }
}

void LayerSet::SetLayerY(int index, i32 y) {
  if (Layer* layer = Find(index)) {
    layer->y = y;
    dirty_ = true;
  }
}

void LayerSet::ResetLayerAnchor(int index) {
  if (Layer* layer = Find(index)) {
    layer->anchorX = layer->anchorY = 0;
    dirty_ = true;
  }
}

std::size_t LayerSet::PictureBytes() const {
  std::size_t total = 0;
  for (const Layer& layer : layers_) {
    total += layer.basePicture.ByteSize() + layer.facePicture.ByteSize();
    for (const OverlaySlot& slot : layer.overlays) total += slot.picture.ByteSize();
  }
  return total;
}

bool LayerSet::WithinPictureBudget(ImageSurface& picture) {
  if (PictureBytes() <= pictureBudget_) return true;
  // The name stays, so the picture is not read again on every frame.
  trace_.DebugTrace("レイヤーの画像が多すぎるので『%s』を表示しない（上限 %zu バイト）", picture.name(),
                    pictureBudget_);
  picture.Surface::Release();
  return false;
}

void LayerSet::LoadPicture(ImageSurface& picture, const std::string& name) {
  // An empty name loads nothing; the picture keeps what it holds.
  // The name is kept after a failure, so a broken picture is said once.
  if (name.empty() || name == picture.name()) return;
  std::string why;
  if (!LoadLayerImage(picture, name, &why))
    trace_.DebugTrace("定義ファイルの画像『%s』を表示できない：%s", name, why);
  else
    WithinPictureBudget(picture);
}

bool LayerSet::LoadLayerImage(ImageSurface& picture, std::string_view name, std::string* why) {
  if (takeDecoded_ && !name.empty() && name != picture.name()) {
    Surface decoded;
    if (takeDecoded_(name, decoded)) {
      // What LoadImage leaves after a successful decode.
      picture.Release();
      picture.SetName(name);
      static_cast<Surface&>(picture) = std::move(decoded);
      return true;
    }
  }
  return LoadImage(reader_, picture, name, why);
}

std::vector<std::string> LayerSet::PendingPictureNames() const {
  std::vector<std::string> names;
  const auto add = [&](const std::string& name, const ImageSurface& picture) {
    if (!name.empty() && name != picture.name() && std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(name);
  };
  for (const Layer& layer : layers_) {
    add(layer.baseName, layer.basePicture);
    add(layer.faceName, layer.facePicture);
    for (const OverlaySlot& slot : layer.overlays) add(slot.name, slot.picture);
  }
  return names;
}

void LayerSet::DrawLayer(Layer& layer, Surface& composed) {
  LoadPicture(layer.basePicture, layer.baseName);
  LoadPicture(layer.facePicture, layer.faceName);
  for (OverlaySlot& slot : layer.overlays) LoadPicture(slot.picture, slot.name);

  const i64 left = i64{layer.x} - layer.anchorX;
  const i64 top = i64{layer.y} - layer.anchorY;
  auto drawBase = [&] {
    if (layer.basePicture.HasPixels()) BlitAll(composed, layer.basePicture, DrawPosition(left), DrawPosition(top));
  };

  switch (layer.type) {
    case LayerType::Picture:
    case LayerType::Back:
      drawBase();
      break;
    case LayerType::Colour:
      FillScreen(composed, layer.colour.red, layer.colour.green, layer.colour.blue);
      break;
    case LayerType::Actor:
      drawBase();
      if (layer.facePicture.HasPixels())
        BlitAll(composed, layer.facePicture, DrawPosition(left + layer.faceX), DrawPosition(top + layer.faceY));
      break;
    case LayerType::Movie: {
      registers_.Clear();
      drawBase();
      std::array<const ImageSurface*, Layer::kSlotCount> slots;
      for (size_t i = 0; i < slots.size(); ++i) slots[i] = &layer.overlays[i].picture;
      const double t = static_cast<double>(ElapsedMs(layer.timerBase, clock_.Now()));
      for (const AnimeCommand& command : layer.anime)
        RunAnimeCommand(command, registers_, composed, slots, t, layer.x, layer.y);
      break;
    }
    case LayerType::Empty:
    default:
      break;
  }
}

void LayerSet::ComposeLayers(Surface& composed) {
  if (composed.HasPixels()) std::memset(composed.pixels(), 0, composed.ByteSize());
  for (Layer& layer : layers_) DrawLayer(layer, composed);
  // Overlays of every "back" layer lie above all bases, bodies and faces.
  for (Layer& layer : layers_) {
    if (layer.type != LayerType::Back) continue;
    for (OverlaySlot& slot : layer.overlays) {
      if (!slot.picture.HasPixels() || slot.mode == 0) continue;
      if (slot.mode == static_cast<u8>(BlendMode::Normal))
        BlitWithOpacity(composed, slot.picture, 0, 0, slot.opacity);
      else
        BlendAll(composed, slot.picture, static_cast<BlendMode>(slot.mode), 0, 0, slot.opacity);
    }
  }
  dirty_ = false;
}

void LayerSet::SaveLayers(SaveArchive& section) {
  for (int i = 0; i < kLayerCount; ++i) {
    Layer& layer = layers_[static_cast<size_t>(i)];
    const std::string n = std::to_string(i);
    std::string name = layer.name;
    i32 code = layer.code, x = layer.x, y = layer.y;
    section.ExchangeString("Name" + n, name);
    section.Exchange("Code" + n, code);
    section.Exchange("PosX" + n, x);
    section.Exchange("PosY" + n, y);
  }
}

void LayerSet::LoadLayers(SaveArchive& section, Surface& composed) {
  for (int i = 0; i < kLayerCount; ++i) {
    const std::string n = std::to_string(i);
    std::string name;
    i32 code = 0;
    section.ExchangeString("Name" + n, name);
    section.Exchange("Code" + n, code);
    SetLayerImage(i, name);
    ApplyLayerDefinition(i, code);
    // A missing position keeps the one the layer was just given.
    Layer& layer = layers_[static_cast<size_t>(i)];
    section.Exchange("PosX" + n, layer.x);
    section.Exchange("PosY" + n, layer.y);
  }
  ComposeLayers(composed);
}

}  // namespace lyraban
