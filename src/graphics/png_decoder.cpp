#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "graphics/draw_internal.h"
#include "graphics/png.h"
#include "graphics/png_filters.h"
#include "resources/resources.h"

namespace lyraban {

namespace {

// Most bytes one compressed byte can inflate to, and an allowance for the
// smallest streams.
constexpr u64 kMaxDeflateRatio = 1032;
constexpr u64 kDeflateSlack = 65536;

constexpr u8 kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

u32 BigEndian32(const u8* p) { return (u32{p[0]} << 24) | (u32{p[1]} << 16) | (u32{p[2]} << 8) | u32{p[3]}; }

// Walks the chunks of a file held in memory. Every length is checked against
// the bytes that remain, so a lying length is a read failure, never an
// overread; CRCs are skipped unchecked.
class ChunkReader {
 public:
  explicit ChunkReader(std::string_view bytes)
      : data_(reinterpret_cast<const u8*>(bytes.data())), size_(bytes.size()), pos_(8) {}

  bool Next() {
    if (size_ - pos_ < 8) return false;
    const u32 length = BigEndian32(data_ + pos_);
    std::memcpy(type_, data_ + pos_ + 4, 4);
    const std::size_t rest = size_ - pos_ - 8;
    if (length > rest || rest - length < 4) return false;
    chunk_ = data_ + pos_ + 8;
    length_ = length;
    pos_ += std::size_t{8} + length + 4;
    return true;
  }

  // Advances to the next "IDAT" with data; false at "IEND" or the end of
  // the file.
  bool NextImageData() {
    while (Next()) {
      if (IsType("IEND")) return false;
      if (IsType("IDAT") && length_ != 0) return true;
    }
    return false;
  }

  bool IsType(const char* type) const { return std::memcmp(type_, type, 4) == 0; }
  const u8* data() const { return chunk_; }
  u32 length() const { return length_; }

 private:
  const u8* data_;
  std::size_t size_;
  std::size_t pos_;
  char type_[4] = {};
  const u8* chunk_ = nullptr;
  u32 length_ = 0;
};

int ChannelsOf(u8 colourType) {
  switch (colourType) {
    case 0:
      return 1;
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
  }
  return 0;
}

// Releases the inflater however decoding ends.
struct Inflater {
  z_stream stream{};
  bool live = false;
  ~Inflater() {
    if (live) inflateEnd(&stream);
  }
};

}  // namespace

bool DecodePng(std::string_view bytes, Surface& target, std::string* why) {
  // Only the pixels: an ImageSurface keeps the name it is being loaded for.
  target.Surface::Release();
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return false;
  ChunkReader chunks(bytes);
  if (!chunks.Next() || !chunks.IsType("IHDR") || chunks.length() != 13) return false;
  const u8* header = chunks.data();
  const u32 width = BigEndian32(header);
  const u32 height = BigEndian32(header + 4);
  const u8 bitDepth = header[8], colourType = header[9];
  if (bitDepth != 8 || header[10] != 0 || header[11] != 0 || header[12] != 0) return false;
  const int channels = ChannelsOf(colourType);
  if (channels == 0) return false;
  // Size limits are checked before anything is allocated.
  if (width == 0 || height == 0 || width > u32{kMaxSurfaceSide} || height > u32{kMaxSurfaceSide} ||
      std::size_t{width} * height * channels > kMaxSurfaceBytes) {
    if (why) *why = "declares " + std::to_string(width) + "x" + std::to_string(height) + ", beyond the largest picture";
    return false;
  }
  // Deflate expands at most about 1032:1, so rows beyond what the image data
  // could ever hold come from a lying header: refuse them before allocating.
  // A file that merely ends early, within that bound, still decodes.
  {
    ChunkReader scan(bytes);
    scan.Next();
    u64 compressed = 0;
    while (scan.NextImageData()) compressed += scan.length();
    const u64 raw = u64{height} * (u64{width} * static_cast<u64>(channels) + 1);
    if (raw > compressed * kMaxDeflateRatio + kDeflateSlack) {
      if (why)
        *why = "declares " + std::to_string(width) + "x" + std::to_string(height) + " but holds only " +
               std::to_string(compressed) + " compressed bytes";
      return false;
    }
  }
  if (!target.Create(channels, static_cast<int>(width), static_cast<int>(height))) return false;
  // Rows are zeroed only when decoding stops before reaching them, which
  // spares a pass over the whole picture in the usual complete case.
  auto zeroFrom = [&](u32 row) {
    std::memset(target.Row(static_cast<int>(row)), 0, std::size_t{height - row} * width * channels);
  };

  const std::size_t rowBytes = std::size_t{width} * channels;
  const std::size_t lineBytes = rowBytes + 1;  // the filter type byte leads each row
  // Two raw rows (current and prior) side by side; the prior starts as zero.
  std::unique_ptr<u8[]> rows(new (std::nothrow) u8[2 * lineBytes + 16]);
  if (!rows) {
    zeroFrom(0);
    return false;
  }
  u8* current = rows.get();
  u8* prior = rows.get() + lineBytes + 8;
  std::memset(prior, 0, lineBytes);

  Inflater inflater;
  if (inflateInit(&inflater.stream) != Z_OK) {
    zeroFrom(0);
    return false;
  }
  inflater.live = true;
  z_stream& z = inflater.stream;
  // The stream's checksum is never looked at (rows are taken as soon as they
  // are inflated), so skip computing it.
  inflateValidate(&z, 0);

  const png::Unfilter unfilter = png::UnfilterFor(channels);
  const png::StoreRow store = png::StoreRowFor(channels);
  bool streamEnded = false;
  for (u32 y = 0; y < height; ++y) {
    z.next_out = current;
    z.avail_out = static_cast<uInt>(lineBytes);
    while (z.avail_out > 0) {
      if (z.avail_in == 0) {
        if (streamEnded || !chunks.NextImageData()) {  // out of data: the rest stays zero
          zeroFrom(y);
          return true;
        }
        z.next_in = const_cast<Bytef*>(chunks.data());
        z.avail_in = chunks.length();
      }
      const int result = inflate(&z, Z_NO_FLUSH);
      if (result == Z_STREAM_END) {
        streamEnded = true;
        if (z.avail_out > 0) {
          zeroFrom(y);
          return true;
        }
      } else if (result != Z_OK) {
        zeroFrom(y);
        return false;
      }
    }
    unfilter(current[0], current + 1, prior + 1, rowBytes);
    store(target.Row(static_cast<int>(y)), current + 1, width);
    std::swap(current, prior);
  }
  return true;
}

ResourceReader ResourceReaderFor(Resources& resources) {
  return [&resources](std::string_view folder, std::string_view name, std::string& bytes) {
    return resources.ReadWholeResource(folder, name, bytes);
  };
}

bool LoadPng(const ResourceReader& reader, std::string_view name, Surface& target, std::string* why) {
  target.Surface::Release();
  std::string bytes;
  if (!reader || !reader("img", name, bytes)) {
    if (why) *why = "cannot be read";
    return false;
  }
  if (DecodePng(bytes, target, why)) return true;
  if (why && why->empty()) *why = "is not a PNG this engine decodes";
  return false;
}

bool LoadImage(const ResourceReader& reader, ImageSurface& image, std::string_view name, std::string* why) {
  if (name.empty()) return false;
  if (name == image.name()) return true;
  image.Release();
  image.SetName(name);
  return LoadPng(reader, name, image, why);
}

bool LoadScreenMask(const ResourceReader& reader, Surface& mask, std::string_view name, int screenWidth,
                    int screenHeight, const TakeDecodedFn& take) {
  if (!mask.HasPixels() && !mask.Create(1, screenWidth, screenHeight)) return false;
  std::memset(mask.pixels(), 0, mask.ByteSize());
  ImageSurface image;
  const bool taken = take && !name.empty() && take(name, image);
  if ((!taken && !LoadImage(reader, image, name)) || !image.HasPixels()) return false;
  return BlitAnchored(mask, image, screenWidth / 2, screenHeight / 2, 8);
}

}  // namespace lyraban
