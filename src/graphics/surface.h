#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/types.h"

namespace lyraban {

// A packed pixel image. Formats by bytes per pixel (byte order in memory):
// 1 grey; 2 alpha, grey; 3 blue, green, red; 4 alpha, blue, green, red.
// Rows are packed (stride == width) and the first pixel is 8-byte aligned,
// which the word-wise screen loops rely on.
class Surface {
 public:
  Surface() = default;
  virtual ~Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  Surface(Surface&& other) noexcept;
  Surface& operator=(Surface&& other) noexcept;

  int bytesPerPixel() const { return bytesPerPixel_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  // Every writable access counts as a drawing: edits() then tells a frame
  // that was drawn into from one that was not touched. Readers go through
  // the const accessors.
  u8* pixels() {
    ++edits_;
    if (IsShared()) Unshare();
    return pixels_;
  }
  const u8* pixels() const { return pixels_; }
  // Grows with every writable access, new storage and release; equal
  // values mean the pixels are the same as when it was read.
  u64 edits() const { return edits_; }
  bool HasPixels() const { return pixels_ != nullptr && bytesPerPixel_ != 0; }
  std::size_t ByteSize() const { return static_cast<std::size_t>(width_) * height_ * bytesPerPixel_; }
  u8* Row(int y) {
    ++edits_;
    if (IsShared()) Unshare();
    return pixels_ + static_cast<std::size_t>(y) * stride_ * bytesPerPixel_;
  }
  const u8* Row(int y) const { return pixels_ + static_cast<std::size_t>(y) * stride_ * bytesPerPixel_; }

  // Sets format and size and allocates new (uncleared) storage. False, with
  // the surface left empty, for a bad format or size or when allocation
  // fails.
  bool Create(int bytesPerPixel, int width, int height);
  virtual void Release();

  // Holds the same pixels as `other` without copying them, for pictures
  // that are only read (a decoded picture both on screen and kept for
  // later). The first writable access of either holder copies them first.
  void ShareFrom(const Surface& other);
  // Whether another surface holds these pixels too.
  bool IsShared() const { return storage_ && storage_.use_count() > 1; }

 private:
  void Unshare();

  std::shared_ptr<u8[]> storage_;
  u8* pixels_ = nullptr;
  int bytesPerPixel_ = 0;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  u64 edits_ = 0;
};

// A picture loaded from a file, remembered by name so that asking for the
// same name again reads nothing.
class ImageSurface : public Surface {
 public:
  const std::string& name() const { return name_; }
  void SetName(std::string_view name) { name_ = name; }
  void Release() override;

 private:
  std::string name_;
};

// Largest side and largest pixel storage a surface may have; anything larger
// is a corrupt or hostile file, not a picture.
inline constexpr int kMaxSurfaceSide = 16384;
inline constexpr std::size_t kMaxSurfaceBytes = std::size_t{1} << 28;

bool CreateSurface(Surface& surface, int bytesPerPixel, int width, int height);
void ReleaseSurface(Surface& surface);
Surface& AssignSurface(Surface& target, const Surface& source);

// Hit test: false outside or on an empty surface; alpha formats need a
// non-zero alpha byte.
bool IsOpaqueAt(const Surface& surface, int x, int y);

// Clipped draw with format conversion and alpha (all 16 format pairs).
bool Blit(Surface& dst, const Surface& src, int x, int y, int width, int height, int srcX, int srcY);
bool BlitAll(Surface& dst, const Surface& src, int x, int y);

// Anchor codes 0..8 = 3 × row + column; column 0 left, 1 right, 2 centre;
// row 0 top, 1 bottom, 2 middle. Other codes leave (x, y) as given.
bool BlitAnchored(Surface& dst, const Surface& src, int x, int y, int anchor);
void ApplyAnchor(const Surface& src, int anchor, int& x, int& y);

bool BlitWithOpacity(Surface& dst, const Surface& src, int x, int y, int opacity);

// Colours are given as red, green, blue.
bool FillRect(Surface& surface, u8 red, u8 green, u8 blue, int x, int y, int width, int height);
bool FillRectWithOpacity(Surface& surface, u8 red, u8 green, u8 blue, int x, int y, int width, int height, int opacity);

// Whole-screen operations on 3-byte surfaces of equal size.
bool CopyScreen(Surface& dst, const Surface& src);
bool FillScreen(Surface& surface, u8 red, u8 green, u8 blue);
// Sets `size` bytes to zero, giving whole pages of a large block back to the
// system rather than writing them (they read as zeros again).
void ZeroBytes(u8* bytes, std::size_t size);

// Nearest-pixel rotated and scaled draw over the whole destination; formats
// 1, 3 and 4 only.
bool RotateBlit(Surface& dst, const Surface& src, int dstCenterX, int dstCenterY, int srcCenterX, int srcCenterY,
                double turns, double scale);

// Area-averaged resampling of a whole 3-byte source into a whole 3-byte
// destination (save thumbnails).
bool ScaleDown(Surface& dst, const Surface& src);

// The three screen-size 3-byte buffers every frame is built in. Owned by the
// engine; contents are undefined until drawn.
class ScreenBuffers {
 public:
  bool Create(int width, int height);
  void Release();

  int width() const { return width_; }
  int height() const { return height_; }

  // What the window shows.
  Surface& FrontBuffer() { return front_; }
  // All layers composed.
  Surface& ComposedBuffer() { return composed_; }
  // The composition before the last change, for cross-fades and soft wipes.
  Surface& PreviousBuffer() { return previous_; }

 private:
  Surface front_;
  Surface composed_;
  Surface previous_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace lyraban
