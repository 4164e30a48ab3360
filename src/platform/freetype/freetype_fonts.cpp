#include "platform/freetype/freetype_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <system_error>
#include <thread>
#include <utility>

namespace lyraban::platform {

namespace {

// A face fontconfig picked: its file, its index in a collection and whether
// it is the face asked for rather than a stand-in.
struct FoundFace {
  std::string file;
  int index = 0;
  bool requested = false;
};

FoundFace MatchFace(FcConfig* fc, FontFamily family, int weight);

// Matches are cached by family and by whether the weight asks for bold
// (the only weights fontconfig is told about).
int FaceKey(FontFamily family, int weight) { return static_cast<int>(family) * 2 + (weight > 400 ? 1 : 0); }

}  // namespace

struct SystemFonts {
  std::thread worker;
  FcConfig* fc = nullptr;
  std::map<int, FoundFace> found;

  ~SystemFonts() {
    if (worker.joinable()) worker.join();
    if (fc) FcConfigDestroy(fc);
  }
};

std::shared_ptr<SystemFonts> LoadSystemFontsAhead() {
  auto fonts = std::make_shared<SystemFonts>();
  SystemFonts* target = fonts.get();
  // The worker touches nothing but its own SystemFonts, which the owner
  // reads only after joining it.
  try {
    fonts->worker = std::thread([target] {
      target->fc = FcInitLoadConfigAndFonts();
      if (target->fc) {
        const FontFamily family = FontFamily::Heiti;
        target->found[FaceKey(family, 400)] = MatchFace(target->fc, family, 400);
      }
    });
  } catch (const std::system_error&) {
    return nullptr;  // no thread: the service loads the list itself
  }
  return fonts;
}

// Owns the FreeType and fontconfig handles; shared with every font so that
// fonts may outlive the service.
struct FreeTypeFontService::Library {
  FT_Library ft = nullptr;
  FcConfig* fc = nullptr;
  std::shared_ptr<SystemFonts> ahead;  // until first needed
  bool fcLoaded = false;
  std::map<int, FoundFace> found;

  FcConfig* Config() {
    if (fcLoaded) return fc;
    fcLoaded = true;
    if (ahead) {
      if (ahead->worker.joinable()) ahead->worker.join();
      fc = std::exchange(ahead->fc, nullptr);
      found = std::move(ahead->found);
      ahead.reset();
    } else {
      fc = FcInitLoadConfigAndFonts();
    }
    return fc;
  }

  ~Library() {
    if (fc) FcConfigDestroy(fc);
    if (ft) FT_Done_FreeType(ft);
  }
};

namespace {

// Faces asked for by name first, then by generic family; the language makes
// fontconfig prefer faces that hold Chinese. The first `own` names are the
// face itself (in its languages); the others are known stand-ins.
struct FamilyNames {
  const char* names[3];
  const char* generic;
  int own;
};

FamilyNames NamesFor(FontFamily family) {
  switch (family) {
    case FontFamily::Mincho:
      return {{"MS Mincho", "Noto Serif CJK JP", "AR PL UMing CN"}, "serif", 1};
    case FontFamily::Gothic:
      return {{"MS Gothic", "Noto Sans CJK JP", "WenQuanYi Micro Hei"}, "sans-serif", 1};
    case FontFamily::Heiti:
    default:
      return {{"黑体", "SimHei", "WenQuanYi Micro Hei"}, "sans-serif", 2};
  }
}

// System faces are read through a file descriptor rather than mapped whole:
// a CJK collection is several megabytes, of which a game touches a few
// tables and the outlines it draws. Mapped, each touch pulls the pages
// around it into resident memory until the face is closed; read, FreeType
// keeps only what it copied out.
unsigned long ReadFontStream(FT_Stream stream, unsigned long offset, unsigned char* buffer, unsigned long count) {
  const int fd = static_cast<int>(stream->descriptor.value);
  // A seek alone (count 0) must succeed for any offset inside the file.
  if (count == 0) return offset <= stream->size ? 0 : 1;
  unsigned long done = 0;
  while (done < count) {
    const ssize_t n = pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<unsigned long>(n);
  }
  return done;
}

void CloseFontStream(FT_Stream stream) {
  close(static_cast<int>(stream->descriptor.value));
  delete stream;
}

// Opens face `index` of the file; FreeType closes the stream with the face.
FT_Error OpenFileFace(FT_Library library, const std::string& file, int index, FT_Face* face) {
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FT_Err_Cannot_Open_Resource;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
    close(fd);
    return FT_Err_Cannot_Open_Resource;
  }
  auto* stream = new FT_StreamRec();
  stream->descriptor.value = fd;
  stream->size = static_cast<unsigned long>(info.st_size);
  stream->read = ReadFontStream;
  stream->close = CloseFontStream;
  FT_Open_Args args{};
  args.flags = FT_OPEN_STREAM;
  args.stream = stream;
  // On failure FreeType has already closed the stream.
  return FT_Open_Face(library, &args, index, face);
}

class FreeTypeOutline : public FontOutline {
 public:
  // `substitute`: the face stands in for another one whose ideographs fill
  // the whole cell (ascent plus descent is one em). Sizing it by its own,
  // taller line box would shrink every character and break the layout made
  // for that face, so its em is made the cell height instead, with the em
  // box centred in the face's own line box.
  FreeTypeOutline(std::shared_ptr<FreeTypeFontService::Library> library, std::shared_ptr<const std::vector<u8>> data,
                  FT_Face face, int height, bool substitute)
      : library_(std::move(library)), data_(std::move(data)), face_(face), height_(height) {
    // Windows fonts size the cell by the OS/2 "win" extents; other faces by
    // their ascender and descender.
    long ascent = face->ascender;
    long descent = -face->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
      if (os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
      }
    }
    if (ascent + descent <= 0) {
      ascent = face->units_per_EM;
      descent = 0;
    }
    const long em = face->units_per_EM;
    if (substitute) {
      ascent = std::clamp((ascent - descent + em) / 2, 0L, em);
      descent = em - ascent;
    }
    cellUnits_ = static_cast<double>(ascent + descent);
    ascent_ = static_cast<int>(std::lround(static_cast<double>(ascent) * height / cellUnits_));
  }
  ~FreeTypeOutline() override { FT_Done_Face(face_); }

  int Ascent() const override { return ascent_; }

  bool GetGlyphBitmap(u32 codePoint, i32 magnify16_16, GlyphMetrics& metrics, std::vector<u8>& bits) override {
    metrics = GlyphMetrics();
    bits.clear();
    if (magnify16_16 <= 0) return false;
    if (magnify16_16 != sizedFor_) {
      const double em = height_ * face_->units_per_EM / cellUnits_ * (magnify16_16 / 65536.0);
      const auto size26_6 = static_cast<FT_F26Dot6>(std::lround(em * 64.0));
      // Bounded so that a hostile magnification cannot ask for a huge bitmap.
      if (size26_6 <= 0 || size26_6 > 4096 * 64) return false;
      if (FT_Set_Char_Size(face_, 0, size26_6, 72, 72) != 0) return false;
      sizedFor_ = magnify16_16;
    }
    const FT_UInt index = FT_Get_Char_Index(face_, codePoint);
    if (FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_MONO) != 0) return false;
    if (FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_MONO) != 0) return false;
    const FT_GlyphSlot slot = face_->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    metrics.cellIncX = static_cast<int>((slot->advance.x + 32) >> 6);
    metrics.cellIncY = static_cast<int>((slot->advance.y + 32) >> 6);
    if (bm.width == 0 || bm.rows == 0) return true;
    if (bm.pixel_mode != FT_PIXEL_MODE_MONO) return false;
    metrics.blackBoxX = static_cast<int>(bm.width);
    metrics.blackBoxY = static_cast<int>(bm.rows);
    metrics.originX = slot->bitmap_left;
    metrics.originY = slot->bitmap_top;
    const std::size_t rowBytes = ((bm.width + 31) & ~31u) / 8;
    const std::size_t used = (bm.width + 7) / 8;
    bits.assign(rowBytes * bm.rows, 0);
    for (unsigned y = 0; y < bm.rows; ++y) {
      const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
      std::memcpy(bits.data() + y * rowBytes, src, used);
    }
    return true;
  }

 private:
  std::shared_ptr<FreeTypeFontService::Library> library_;
  std::shared_ptr<const std::vector<u8>> data_;
  FT_Face face_;
  int height_;
  double cellUnits_ = 1;
  int ascent_ = 0;
  i32 sizedFor_ = 0;
};

}  // namespace

FreeTypeFontService::FreeTypeFontService(Trace& trace, std::shared_ptr<SystemFonts> ahead)
    : trace_(trace), library_(std::make_shared<Library>()) {
  if (FT_Init_FreeType(&library_->ft) != 0) {
    library_->ft = nullptr;
    trace_.DebugTrace("FreeType を初期化できません");
  }
  library_->ahead = std::move(ahead);
  // Without a worker the list is read now, as it always was.
  if (!library_->ahead) library_->Config();
}

FreeTypeFontService::~FreeTypeFontService() = default;

namespace {

FoundFace MatchFace(FcConfig* fc, FontFamily family, int weight) {
  FcPattern* pattern = FcPatternCreate();
  const FamilyNames names = NamesFor(family);
  for (const char* name : names.names) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(names.generic));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcPatternAddInteger(pattern, FC_WEIGHT, weight > 400 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(fc, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(fc, pattern, &result);
  FcPatternDestroy(pattern);
  FoundFace face;
  if (match) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
      face.file = reinterpret_cast<const char*>(path);
    int i = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &i) == FcResultMatch) face.index = i;
    // A face lists its family in several languages; any of them may be the
    // name that was asked for.
    FcChar8* familyName = nullptr;
    for (int n = 0; FcPatternGetString(match, FC_FAMILY, n, &familyName) == FcResultMatch; ++n)
      for (int k = 0; k < names.own; ++k)
        if (std::strcmp(reinterpret_cast<const char*>(familyName), names.names[k]) == 0) face.requested = true;
    FcPatternDestroy(match);
  }
  return face;
}

}  // namespace

std::string FreeTypeFontService::FindFontFile(FontFamily family, int weight, int& index, bool* requested) const {
  index = 0;
  if (requested) *requested = false;
  FcConfig* fc = library_->Config();
  if (!fc) return {};
  const int key = FaceKey(family, weight);
  auto it = library_->found.find(key);
  if (it == library_->found.end()) it = library_->found.emplace(key, MatchFace(fc, family, weight)).first;
  index = it->second.index;
  if (requested) *requested = it->second.requested;
  return it->second.file;
}

bool FreeTypeFontService::HasCjkFace() const {
  auto font = const_cast<FreeTypeFontService*>(this)->CreateFont({24, 400, FontFamily::Heiti});
  if (!font) return false;
  GlyphMetrics metrics;
  std::vector<u8> bits;
  // U+9ED1 is the first character of the face name; a face without it has
  // no ideographs worth drawing.
  if (!font->GetGlyphBitmap(0x9ED1, 65536, metrics, bits)) return false;
  return !bits.empty();
}

std::unique_ptr<FontOutline> FreeTypeFontService::CreateFont(const FontRequest& request) {
  if (!library_->ft || request.height <= 0 || request.height > 4096) return nullptr;
  FT_Face face = nullptr;
  // The game's own font and the requested face are sized exactly; any other
  // face the system offers is a stand-in.
  bool exact = true;
  if (gameFont_) {
    if (FT_New_Memory_Face(library_->ft, gameFont_->data(), static_cast<FT_Long>(gameFont_->size()), 0, &face) != 0) {
      trace_.DebugTrace("フォントを開けません");
      return nullptr;
    }
  } else {
    int index = 0;
    const std::string file = FindFontFile(request.family, request.weight, index, &exact);
    if (file.empty() || OpenFileFace(library_->ft, file, index, &face) != 0) {
      trace_.DebugTrace("フォントが見つかりません");
      return nullptr;
    }
  }
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
    FT_Done_Face(face);
    trace_.DebugTrace("フォントを開けません");
    return nullptr;
  }
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  return std::make_unique<FreeTypeOutline>(library_, gameFont_, face, request.height, !exact);
}

bool FreeTypeFontService::UseFontData(std::vector<u8> data) {
  if (!library_->ft || data.empty()) return false;
  auto shared = std::make_shared<const std::vector<u8>>(std::move(data));
  // Open once to reject files FreeType cannot read before they replace the
  // system faces.
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(library_->ft, shared->data(), static_cast<FT_Long>(shared->size()), 0, &face) != 0) {
    trace_.DebugTrace("フォントを開けません");
    return false;
  }
  const bool scalable = FT_IS_SCALABLE(face);
  FT_Done_Face(face);
  if (!scalable) return false;
  gameFont_ = std::move(shared);
  return true;
}

}  // namespace lyraban::platform
