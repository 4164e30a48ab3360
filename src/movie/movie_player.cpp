#include "movie/movie_player.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <system_error>
#include <utility>

#include "graphics/surface.h"
#include "platform/audio.h"

namespace lyraban {

namespace {

bool IsFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// A decoder whose first items were decoded ahead (on the worker that opened
// it): Next hands those out first, exactly as they came, then goes on
// decoding.
class PrefetchedDecoder final : public platform::MovieDecoder {
 public:
  explicit PrefetchedDecoder(std::unique_ptr<platform::MovieDecoder> real) : real_(std::move(real)) {}

  // Decodes until the first picture and `soundMs` of sound are in hand (of
  // what the movie has), the file ends, or `maxItems` are held.
  void Prefetch(u32 soundMs, std::size_t maxItems) {
    bool picture = !real_->hasVideo();
    u64 soundFrames = 0;
    const u64 wantFrames = real_->hasAudio() ? u64{soundMs} * platform::kAudioRate / 1000 : 0;
    while ((!picture || soundFrames < wantFrames) && items_.size() < maxItems) {
      Buffered item;
      item.item = real_->Next();
      if (item.item == Item::Video) {
        item.picture = real_->TakePicture();
        picture = true;
      } else if (item.item == Item::Audio) {
        item.sound = real_->sound();
        item.soundMs = real_->soundMs();
        soundFrames += item.sound.size() / platform::kAudioChannels;
      }
      items_.push_back(std::move(item));
      if (items_.back().item == Item::End) break;
    }
  }

  bool hasVideo() const override { return real_->hasVideo(); }
  bool hasAudio() const override { return real_->hasAudio(); }
  Item Next() override {
    if (items_.empty()) {
      live_ = true;
      return real_->Next();
    }
    current_ = std::move(items_.front());
    items_.pop_front();
    return current_.item;
  }
  std::unique_ptr<platform::VideoPicture> TakePicture() override {
    return live_ ? real_->TakePicture() : std::move(current_.picture);
  }
  const std::vector<i16>& sound() const override { return live_ ? real_->sound() : current_.sound; }
  u32 soundMs() const override { return live_ ? real_->soundMs() : current_.soundMs; }
  bool ConvertToBgr(const platform::VideoPicture& picture, u8* bgr, int width, int height, int pitch) override {
    return real_->ConvertToBgr(picture, bgr, width, height, pitch);
  }

 private:
  struct Buffered {
    Item item = Item::End;
    std::unique_ptr<platform::VideoPicture> picture;
    std::vector<i16> sound;
    u32 soundMs = 0;
  };
  std::unique_ptr<platform::MovieDecoder> real_;
  std::deque<Buffered> items_;
  Buffered current_;
  bool live_ = false;  // items now come straight from the real decoder
};

}  // namespace

MoviePlayer::MoviePlayer(MovieHost& host, platform::MovieDecoderFactory& decoders, platform::Clock& clock, Trace& trace)
    : host_(host), decoders_(decoders), clock_(clock), trace_(trace) {}

MoviePlayer::~MoviePlayer() {
  DropOpenAhead();
  Close();
}

void MoviePlayer::OpenAhead(std::string_view name, const std::string& gameFolder) {
  DropOpenAhead();
  auto ahead = std::make_unique<Ahead>();
  ahead->name = name;
  ahead->gameFolder = gameFolder;
  Ahead* target = ahead.get();
  const std::string utf8Name = trace_.codePage().ToUtf8(name);
  try {
    // The worker writes only its own Ahead, read after joining it.
    ahead->worker = std::thread([this, target, utf8Name] {
      target->path = FindMovieFile(utf8Name, target->gameFolder);
      target->reason = "no such file";
      if (!target->path.empty()) target->decoder = decoders_.Open(target->path, target->reason);
      if (!target->decoder) return;
      // The first picture and the sound the first frame queues are decoded
      // here too.
      auto prefetched = std::make_unique<PrefetchedDecoder>(std::move(target->decoder));
      prefetched->Prefetch(kSoundLeadMs, kMaxQueuedPictures);
      target->decoder = std::move(prefetched);
    });
  } catch (const std::system_error&) {
    return;  // no thread: Play opens the file itself
  }
  ahead_ = std::move(ahead);
}

void MoviePlayer::SettleOpenAhead() const {
  if (ahead_ && ahead_->worker.joinable()) ahead_->worker.join();
}

void MoviePlayer::DropOpenAhead() {
  SettleOpenAhead();
  ahead_.reset();
}

std::string MoviePlayer::FindMovieFile(std::string_view utf8Name, const std::string& gameFolder) {
  std::string name(utf8Name);
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.empty()) return {};
  if (IsFile(name)) return name;
  if (!gameFolder.empty() && name.front() != '/') {
    const std::filesystem::path inGame = std::filesystem::path(gameFolder) / name;
    if (IsFile(inGame)) return inGame.string();
  }
  return {};
}

bool MoviePlayer::Play(std::string_view name, const std::string& gameFolder) {
  Close();
  stats_ = MovieStats{};
  SettleOpenAhead();
  std::unique_ptr<Ahead> ahead = std::move(ahead_);
  std::string reason = "no such file";
  if (ahead && ahead->name == name && ahead->gameFolder == gameFolder) {
    decoder_ = std::move(ahead->decoder);
    reason = std::move(ahead->reason);
  } else {
    // Another movie than the one opened ahead; that one closes only after
    // this opens, so the module it holds is not loaded twice.
    const std::string path = FindMovieFile(trace_.codePage().ToUtf8(name), gameFolder);
    if (!path.empty()) decoder_ = decoders_.Open(path, reason);
  }
  ahead.reset();
  if (!decoder_) {
    trace_.DebugTrace("ムービーを再生できない（%s）：%s", name, reason);
    return false;
  }
  ended_ = false;
  mixer_ = decoder_->hasAudio() ? host_.SoundMixer() : nullptr;
  if (mixer_) {
    stream_ = mixer_->CreateStream();
    mixer_->SetVolume(stream_, host_.MusicAttenuation());
    mixer_->Play(stream_, false);
  }
  soundStarted_ = false;
  soundOrigin_ = 0;
  lastPlayed_ = 0;
  lastPictureMs_ = pictureSpacingMs_ = soundEndMs_ = 0;
  soundFrames_ = 0;
  start_ = clock_.Now();
  base_ = baseWall_ = clockMs_ = 0;

  host_.ClearPendingInput();
  for (;;) {
    if (!host_.PumpInput()) {
      stats_.quit = true;
      break;
    }
    if (host_.PendingCommand() == kCancelCommand) {
      stats_.cancelled = true;
      break;
    }
    DecodeAhead(clockMs_);
    const u32 now = PlayClock();
    ShowDue(now);
    const bool soundLeft = stream_ && mixer_->StreamQueued(stream_) > 0;
    // Over when the clock has passed the last picture and the sound. The
    // clock, not the queue, decides: a device that stops pulling must not
    // hold the movie forever.
    if (ended_ && pictures_.empty() && now >= std::max(lastPictureMs_ + pictureSpacingMs_, soundEndMs_)) {
      stats_.completed = true;
      break;
    }
    u32 wait = kMaxWaitMs;
    if (!pictures_.empty()) {
      const u32 due = pictures_.front()->ms;
      if (due > now + kMaxGapMs && !soundLeft) {
        // A hole in the timestamps: nothing plays meanwhile, so skip it.
        base_ = clockMs_ = due;
        baseWall_ = ElapsedMs(start_, clock_.Now());
        continue;
      }
      wait = std::clamp<u32>(due > now ? due - now : 1, 1, kMaxWaitMs);
    }
    clock_.Sleep(wait);
  }
  const bool shown = stats_.shown > 0;
  Close();
  host_.ClearPendingInput();
  // The last picture goes: the screen stays black until the script draws.
  Surface& screen = host_.ScreenSurface();
  if (shown && screen.HasPixels()) {
    FillScreen(screen, 0, 0, 0);
    host_.PresentSurface();
  }
  return true;
}

u32 MoviePlayer::SoundQueuedMs() const {
  if (!stream_) return 0;
  return static_cast<u32>(std::min<u64>(mixer_->StreamQueued(stream_) * 1000 / platform::kAudioRate, 0x7fffffff));
}

void MoviePlayer::DecodeAhead(u32 now) {
  while (!ended_) {
    const bool needPicture = decoder_->hasVideo() && (pictures_.empty() || pictures_.back()->ms <= now + kMaxWaitMs);
    const u32 queuedMs = SoundQueuedMs();
    const bool needSound = stream_ && queuedMs < kSoundLeadMs;
    if (!needPicture && !needSound) break;
    // Bounds for files whose picture and sound lie far apart.
    if (pictures_.size() >= kMaxQueuedPictures || queuedMs >= kMaxSoundQueuedMs) break;
    switch (decoder_->Next()) {
      case platform::MovieDecoder::Item::Video:
        if (auto picture = decoder_->TakePicture()) {
          if (picture->ms > lastPictureMs_) pictureSpacingMs_ = std::min<u32>(picture->ms - lastPictureMs_, 1000);
          lastPictureMs_ = picture->ms;
          pictures_.push_back(std::move(picture));
        }
        break;
      case platform::MovieDecoder::Item::Audio: {
        if (!stream_) break;
        const std::vector<i16>& sound = decoder_->sound();
        if (!soundStarted_) {
          soundStarted_ = true;
          soundOrigin_ = decoder_->soundMs();
        }
        mixer_->QueueStream(stream_, sound.data(), sound.size() / platform::kAudioChannels);
        soundFrames_ += sound.size() / platform::kAudioChannels;
        soundEndMs_ =
            soundOrigin_ + static_cast<u32>(std::min<u64>(soundFrames_ * 1000 / platform::kAudioRate, 0x7fffffff));
        break;
      }
      case platform::MovieDecoder::Item::End:
        ended_ = true;
        break;
    }
  }
}

u32 MoviePlayer::PlayClock() {
  const u32 wall = ElapsedMs(start_, clock_.Now());
  if (stream_ && soundStarted_) {
    const u64 played = mixer_->StreamPlayed(stream_);
    if (played != lastPlayed_) {
      lastPlayed_ = played;
      base_ = soundOrigin_ + static_cast<u32>(std::min<u64>(played * 1000 / platform::kAudioRate, 0x7fffffff));
      baseWall_ = wall;
    }
  }
  // Between the sound device's pulls the platform clock carries on; the
  // clock never runs backwards.
  clockMs_ = std::max(clockMs_, base_ + (wall - baseWall_));
  return clockMs_;
}

void MoviePlayer::ShowDue(u32 now) {
  std::unique_ptr<platform::VideoPicture> due;
  while (!pictures_.empty() && pictures_.front()->ms <= now) {
    if (due) ++stats_.dropped;
    due = std::move(pictures_.front());
    pictures_.pop_front();
  }
  if (due) Show(*due);
}

void MoviePlayer::Show(const platform::VideoPicture& picture) {
  ++stats_.shown;
  if (host_.PresentVideo(picture)) return;
  Surface& screen = host_.ScreenSurface();
  if (!screen.HasPixels() || screen.bytesPerPixel() != 3) return;
  if (decoder_->ConvertToBgr(picture, screen.pixels(), screen.width(), screen.height(), screen.stride() * 3))
    host_.PresentSurface();
}

void MoviePlayer::Close() {
  pictures_.clear();
  if (stream_) mixer_->Release(stream_);
  stream_ = 0;
  mixer_ = nullptr;
  decoder_.reset();
}

}  // namespace lyraban
