#pragma once
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "base/trace.h"
#include "base/types.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "sound/mixer.h"

namespace lyraban {

class Surface;

// What the movie player needs from the engine.
class MovieHost {
 public:
  virtual ~MovieHost() = default;
  // The menu input set, without yielding; false once the program quits.
  virtual bool PumpInput() = 0;
  virtual u8 PendingCommand() = 0;
  virtual void ClearPendingInput() = 0;
  // Shows a picture over the game screen where the platform draws movies
  // itself; false when it leaves them to the screen surface.
  virtual bool PresentVideo(const platform::VideoPicture& picture) = 0;
  virtual Surface& ScreenSurface() = 0;
  // Puts the screen surface on the display, although presentation is
  // otherwise suspended while a movie plays.
  virtual void PresentSurface() = 0;
  // The mixer while sound output runs (else null), and the attenuation of
  // the music channel in hundredths of a decibel.
  virtual Mixer* SoundMixer() = 0;
  virtual i32 MusicAttenuation() = 0;
};

// How the last movie went.
struct MovieStats {
  u32 shown = 0;    // pictures put on the screen
  u32 dropped = 0;  // pictures skipped because a later one was already due
  bool cancelled = false, quit = false, completed = false;
};

// Plays a movie file over the game screen with its sound through the
// engine's mixer. The sound is the clock: a picture is shown when the sound
// reaches its time, and skipped when the next one is due as well. Without a
// sound track (or sound output) the platform clock stands in.
class MoviePlayer {
 public:
  static constexpr u8 kCancelCommand = 3;
  // Longest sleep between looks at the input and the clock.
  static constexpr u32 kMaxWaitMs = 10;
  // Sound decoded ahead of the clock, and the most the queue may hold.
  static constexpr u32 kSoundLeadMs = 300;
  static constexpr u32 kMaxSoundQueuedMs = 4000;
  // Pictures decoded ahead at most.
  static constexpr size_t kMaxQueuedPictures = 16;
  // A picture due this long after the clock with no sound waiting is a gap
  // in a damaged file: the clock jumps to it instead of waiting.
  static constexpr u32 kMaxGapMs = 5000;

  MoviePlayer(MovieHost& host, platform::MovieDecoderFactory& decoders, platform::Clock& clock, Trace& trace);
  ~MoviePlayer();
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  // The whole playback of a file named in the game's code page: until it
  // ends, a cancel command or a quit. The screen is black afterwards. False
  // when the file cannot be found or played (traced with the reason).
  bool Play(std::string_view name, const std::string& gameFolder);
  bool playing() const { return decoder_ != nullptr; }
  bool available() const {
    SettleOpenAhead();
    return decoders_.Available();
  }
  // Whether Play now would first load the decoder's libraries (nothing
  // opened ahead or prepared holds them).
  bool OpenLoads() const {
    SettleOpenAhead();
    return decoders_.OpenLoads();
  }

  // The movie a script is about to play (its first line, at start-up): the
  // file is found and opened on a worker while the main thread goes on, and
  // Play of the same name and folder starts from it. Nothing is traced
  // there; Play says what went wrong, as always.
  void OpenAhead(std::string_view name, const std::string& gameFolder);
  // What was opened ahead and not played yet is closed.
  void DropOpenAhead();
  const MovieStats& lastStats() const { return stats_; }

  // A name relative to the working directory first, then to the game
  // folder; backslashes separate folders as in the game's other names.
  // Empty when neither is a file.
  static std::string FindMovieFile(std::string_view utf8Name, const std::string& gameFolder);

 private:
  void DecodeAhead(u32 now);
  u32 PlayClock();
  void ShowDue(u32 now);
  void Show(const platform::VideoPicture& picture);
  u32 SoundQueuedMs() const;
  void Close();
  // Waits for the worker opening ahead, if one runs; the decoders are then
  // free for the main thread again.
  void SettleOpenAhead() const;

  struct Ahead {
    std::thread worker;
    std::string name, gameFolder;  // as Play will be given them
    std::string path, reason;
    std::unique_ptr<platform::MovieDecoder> decoder;
  };
  std::unique_ptr<Ahead> ahead_;

  MovieHost& host_;
  platform::MovieDecoderFactory& decoders_;
  platform::Clock& clock_;
  Trace& trace_;

  std::unique_ptr<platform::MovieDecoder> decoder_;
  std::deque<std::unique_ptr<platform::VideoPicture>> pictures_;
  bool ended_ = false;
  Mixer* mixer_ = nullptr;
  Mixer::BufferId stream_ = 0;
  bool soundStarted_ = false;
  u32 soundOrigin_ = 0;  // movie time of the first sound
  // When the last picture decoded so far is due, and how long it lasts (the
  // spacing of the two before it).
  u32 lastPictureMs_ = 0, pictureSpacingMs_ = 0;
  // Sound queued so far, and the movie time when it is over.
  u64 soundFrames_ = 0;
  u32 soundEndMs_ = 0;
  u64 lastPlayed_ = 0;
  // The clock: movie time `base_` at `baseWall_` ms after the start, running
  // on with the platform clock until the sound moves it again.
  u32 start_ = 0, base_ = 0, baseWall_ = 0, clockMs_ = 0;
  MovieStats stats_;
};

}  // namespace lyraban
