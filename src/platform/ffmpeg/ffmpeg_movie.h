#pragma once
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/video.h"

namespace lyraban::platform {

// Movies through the FFmpeg libraries: whatever container and codec they
// decode plays. FFmpeg's own console messages are silenced; the reason a
// file cannot be played is handed back to the caller instead.
//
// The decoder lives in a separate module, loaded when a movie opens and
// unloaded when its last decoder and picture are gone, so that a game pays
// for the FFmpeg libraries only while a movie plays.
class FfmpegMovieDecoderFactory final : public MovieDecoderFactory {
 public:
  FfmpegMovieDecoderFactory();
  // Looks for the module at these paths only, in order.
  explicit FfmpegMovieDecoderFactory(std::vector<std::string> modulePaths);
  ~FfmpegMovieDecoderFactory() override;

  std::unique_ptr<MovieDecoder> Open(const std::string& path, std::string& reason) override;
  bool Available() const override;
  // Loads the module on a worker thread (the libraries take tens of
  // milliseconds to map and link); the next Open waits for it and uses it.
  void Prepare() override;
  void Unprepare() override;
  bool OpenLoads() const override;

  // Whether the module is in memory now.
  bool ModuleLoaded() const;

  // Under the address sanitizer the module stays loaded once loaded: the
  // libraries' own start-up allocations would read as leaks once their
  // code is unmapped.
#if defined(__SANITIZE_ADDRESS__)
  static constexpr bool kUnloads = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  static constexpr bool kUnloads = false;
#else
  static constexpr bool kUnloads = true;
#endif
#else
  static constexpr bool kUnloads = true;
#endif

  class Module;

 private:
  std::shared_ptr<const Module> LoadModule(std::string& reason);

  // Waits for a Prepare still loading.
  void FinishPreparing() const;

  std::vector<std::string> modulePaths_;
  std::weak_ptr<const Module> loaded_;
  mutable std::optional<bool> available_;  // known once the module has been loaded
  // Set by the worker, which runs only between Prepare and the next call.
  mutable std::thread preparing_;
  std::shared_ptr<const Module> prepared_;
};

}  // namespace lyraban::platform
