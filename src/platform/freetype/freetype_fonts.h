#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/trace.h"
#include "platform/font.h"

namespace lyraban::platform {

// The system's font list and the face text uses by default, looked up on a
// worker thread: reading fontconfig's configuration and caches takes several
// milliseconds that start-up need not spend on its main thread.
struct SystemFonts;
std::shared_ptr<SystemFonts> LoadSystemFontsAhead();

// Fonts from FreeType outlines. Faces are found through fontconfig, unless
// the game supplied its own font file, which then serves every family.
class FreeTypeFontService : public FontService {
 public:
  // `ahead`, when given, is the system font list a worker is loading (or
  // has loaded); the service waits for it only when it first needs a face.
  explicit FreeTypeFontService(Trace& trace, std::shared_ptr<SystemFonts> ahead = nullptr);
  ~FreeTypeFontService() override;
  FreeTypeFontService(const FreeTypeFontService&) = delete;
  FreeTypeFontService& operator=(const FreeTypeFontService&) = delete;

  std::unique_ptr<FontOutline> CreateFont(const FontRequest& request) override;
  bool UseFontData(std::vector<u8> data) override;

  // The file fontconfig picks for a family and weight (empty when none).
  // `index` is the face inside a collection; `requested`, when given, tells
  // whether it is the face asked for rather than a stand-in.
  std::string FindFontFile(FontFamily family, int weight, int& index, bool* requested = nullptr) const;
  // Whether the face chosen for Heiti holds CJK ideographs.
  bool HasCjkFace() const;

  struct Library;

 private:
  Trace& trace_;
  std::shared_ptr<Library> library_;
  std::shared_ptr<const std::vector<u8>> gameFont_;
};

}  // namespace lyraban::platform
