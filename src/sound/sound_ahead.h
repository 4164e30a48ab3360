#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/types.h"
#include "sound/ogg_stream.h"

namespace lyraban {

// A whole-file sound decoded to PCM, as the mixer takes it.
struct WholeSound {
  int channels = 0;
  int rate = 0;
  std::vector<u8> pcm;
};

enum class SoundDecode : u8 { Ok, OpenFailed, TooLong, Faulted };

// The one decode of a whole-file sound, on whichever thread: the main
// thread and the worker give the same bytes because they run the same code.
SoundDecode DecodeWholeSound(std::vector<u8> fileBytes, WholeSound& out);
// Opens music and decodes its first `firstBytes` of PCM (TooLong is never
// given). On failure the stream is closed.
SoundDecode OpenMusic(std::vector<u8> fileBytes, bool loop, std::size_t firstBytes, OggStream& stream,
                      std::vector<u8>& pcm);

// Sounds the script is about to play, decoded on the decode-ahead worker so
// that the frame that starts them does not pay for libvorbis: whole-file
// sounds (ambience, effects, voices) as PCM, music as an opened stream with
// its first buffer. Only complete successes are held: anything that fails
// is decoded again on the main thread, which traces why as it always did.
// The worker never traces; its reader must be silent.
//
// What is held stays within a byte budget (PCM, plus the file a music
// stream keeps). A sound that would go beyond it first evicts sounds the
// latest request no longer names (oldest first); when that is not enough it
// is not kept and the main thread decodes it when it comes to it.
class SoundAhead {
 public:
  enum class Kind : u8 { Env, Se, Voice, Music, MusicOnce };
  struct Item {
    Kind kind = Kind::Se;
    std::string name;  // voices: "folder\name"
    friend bool operator==(const Item&, const Item&) = default;
  };
  using Reader = std::function<bool(const char* folder, std::string_view name, std::vector<u8>& bytes)>;

  // Ambience, a few voices and effects, and the opening of the next music:
  // about a minute and a half of 44.1 kHz stereo.
  static constexpr std::size_t kDefaultBudget = std::size_t{16} << 20;

  SoundAhead(Reader quietReader, std::size_t budgetBytes);
  SoundAhead(const SoundAhead&) = delete;
  SoundAhead& operator=(const SoundAhead&) = delete;

  static const char* Folder(Kind kind);

  // What the sound system would do with a sound now: nothing for a channel
  // that is off, and nothing for the music that is already playing. The
  // worker leaves such sounds alone.
  struct Channels {
    bool music = true, env = true, se = true, voice = true;
    std::string playingMusic;
  };
  void SetChannels(Channels channels);

  // Main thread: what the lines ahead name, nearest first.
  void SetWanted(std::vector<Item> items);
  // Worker: decodes `item` unless it is held, known to fail or too big.
  void Produce(const Item& item);
  // Main thread: moves a finished sound out and forgets it. Waits when the
  // worker is decoding that very sound. False when the caller must decode
  // it itself.
  bool TakeWhole(Kind kind, std::string_view name, WholeSound& out);
  bool TakeMusic(std::string_view name, bool loop, OggStream& stream, std::vector<u8>& pcm);
  // With the worker stopped: drops everything.
  void Clear();

  std::size_t budgetBytes() const { return budget_; }
  std::size_t HeldBytes() const;
  std::size_t PeakBytes() const;
  bool Holds(Kind kind, std::string_view name) const;

 private:
  struct Entry {
    Item item;
    WholeSound whole;
    std::unique_ptr<OggStream> stream;  // music only
    std::size_t bytes = 0;
    u64 wanted = 0;
  };

  // With the lock held.
  Entry* Find(const Item& item);
  bool MakeRoom(std::size_t bytes);
  bool TakeEntry(std::unique_lock<std::mutex>& lock, const Item& item, Entry& out);
  bool Useless(const Item& item) const;

  Reader reader_;
  const std::size_t budget_;

  mutable std::mutex mutex_;
  std::condition_variable done_;
  std::list<Entry> entries_;  // oldest first
  std::vector<Item> wanted_;
  Channels channels_;
  std::set<std::pair<Kind, std::string>> failed_, tooBig_;
  bool decoding_ = false;
  Item decodingItem_;
  u64 request_ = 0;
  std::size_t bytes_ = 0;
  std::size_t peak_ = 0;
};

}  // namespace lyraban
