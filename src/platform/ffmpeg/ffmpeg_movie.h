#pragma once
#include "platform/video.h"

namespace lyraban::platform {

// Movies through the FFmpeg libraries: whatever container and codec they
// decode plays. FFmpeg's own console messages are silenced; the reason a
// file cannot be played is handed back to the caller instead.
class FfmpegMovieDecoderFactory final : public MovieDecoderFactory {
 public:
  FfmpegMovieDecoderFactory();
  std::unique_ptr<MovieDecoder> Open(const std::string& path, std::string& reason) override;
  bool Available() const override;
};

}  // namespace lyraban::platform
