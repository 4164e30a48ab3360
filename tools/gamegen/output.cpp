#include <cstdio>

#include "assets.h"
#include "screen_size.h"

namespace lyraban::gamegen {

void Output::Picture(const std::string& relative, const Canvas& canvas, bool withAlpha) {
  if (SavePicture(ForScreen(relative, canvas, screenWidth, screenHeight), root + "/" + relative, withAlpha)) {
    files.push_back(relative);
  } else {
    ++failures;
    std::fprintf(stderr, "gamegen: cannot write %s/%s\n", root.c_str(), relative.c_str());
  }
}

void Output::Sound(const std::string& relative, const Pcm& pcm, float quality,
                   const std::vector<std::pair<std::string, std::string>>& comments) {
  if (SaveOgg(pcm, quality, comments, root + "/" + relative)) {
    files.push_back(relative);
  } else {
    ++failures;
    std::fprintf(stderr, "gamegen: cannot write %s/%s\n", root.c_str(), relative.c_str());
  }
}

}  // namespace lyraban::gamegen
