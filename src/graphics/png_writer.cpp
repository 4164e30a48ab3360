#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "graphics/png.h"

namespace lyraban {

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

// Surface bytes back to PNG channel order: grey; grey, alpha; red, green,
// blue; red, green, blue, alpha.
void ToPngOrder(const u8* src, u8* dst, int width, int bpp) {
  for (int i = 0; i < width; ++i, src += bpp, dst += bpp) {
    switch (bpp) {
      case 1:
        dst[0] = src[0];
        break;
      case 2:
        dst[0] = src[1], dst[1] = src[0];
        break;
      case 3:
        dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
        break;
      case 4:
        dst[0] = src[3], dst[1] = src[2], dst[2] = src[1], dst[3] = src[0];
        break;
    }
  }
}

// libpng reports errors by longjmp; every object with a destructor lives in
// the caller, so nothing is skipped on the way out.
bool EncodeRows(const Surface& surface, std::string& out, int level, std::vector<u8>& row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  static constexpr int kColourTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                          PNG_COLOR_TYPE_RGB_ALPHA};
  const int bpp = surface.bytesPerPixel();
  png_set_write_fn(png, &out, AppendToString, FlushNothing);
  png_set_compression_level(png, level);
  png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width()), static_cast<png_uint_32>(surface.height()), 8,
               kColourTypes[bpp], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < surface.height(); ++y) {
    ToPngOrder(surface.Row(y), row.data(), surface.width(), bpp);
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool EncodePng(const Surface& surface, std::string& out, int compressionLevel) {
  out.clear();
  if (!surface.HasPixels()) return false;
  std::vector<u8> row(static_cast<std::size_t>(surface.width()) * surface.bytesPerPixel());
  if (compressionLevel < 0 || compressionLevel > 9) compressionLevel = 6;
  if (!EncodeRows(surface, out, compressionLevel, row)) {
    out.clear();
    return false;
  }
  return true;
}

bool WritePng(const std::string& path, const Surface& surface) {
  if (surface.bytesPerPixel() != 3 && surface.bytesPerPixel() != 4) return false;
  std::string bytes;
  if (!EncodePng(surface, bytes)) return false;
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.flush();
    if (!file) {
      file.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace lyraban
