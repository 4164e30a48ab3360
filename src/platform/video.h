#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/types.h"

namespace lyraban::platform {

// One decoded movie picture in planar YUV 4:2:0 (luma at full size, the two
// chroma planes at half width and height, rounded up), the layout graphics
// cards take directly. The decoder owns the pixels; they live as long as
// this object.
class VideoPicture {
 public:
  virtual ~VideoPicture() = default;
  int width = 0, height = 0;
  const u8* planes[3] = {nullptr, nullptr, nullptr};  // Y, U, V
  int pitches[3] = {0, 0, 0};
  u32 ms = 0;  // when it is due, from the start of the movie
};

// Reads a movie file and hands out its pictures and its sound in file order.
// The sound comes already in the output format (16-bit stereo at kAudioRate).
class MovieDecoder {
 public:
  enum class Item : u8 { Video, Audio, End };

  virtual ~MovieDecoder() = default;
  virtual bool hasVideo() const = 0;
  virtual bool hasAudio() const = 0;
  // Decodes until a picture or a block of sound is ready, or the file ends.
  // Damaged packets are skipped; a read error ends the file.
  virtual Item Next() = 0;
  // After Video: the picture, now the caller's.
  virtual std::unique_ptr<VideoPicture> TakePicture() = 0;
  // After Audio: interleaved output-format samples, valid until Next, and
  // when the block starts (ms from the start of the movie).
  virtual const std::vector<i16>& sound() const = 0;
  virtual u32 soundMs() const = 0;
  // Scales a picture into 24-bit blue, green, red pixels of width × height
  // (on the processor, for platforms that cannot show YUV themselves).
  virtual bool ConvertToBgr(const VideoPicture& picture, u8* bgr, int width, int height, int pitch) = 0;
};

class MovieDecoderFactory {
 public:
  virtual ~MovieDecoderFactory() = default;
  // Null when the file cannot be played; `reason` then says why.
  virtual std::unique_ptr<MovieDecoder> Open(const std::string& path, std::string& reason) = 0;
  // Whether movies can be played at all (the system information page).
  virtual bool Available() const = 0;
  // A movie is about to be opened: get ready for it off the main thread.
  // What is prepared is kept for the next Open only, or until Unprepare.
  virtual void Prepare() {}
  virtual void Unprepare() {}
  // Whether the next Open first loads the decoder's libraries: a brief
  // cost of tens of megabytes on top of the game.
  virtual bool OpenLoads() const { return false; }
};

}  // namespace lyraban::platform
