#include "sound/sound_ahead.h"

#include <algorithm>

#include "base/strings.h"
#include "sound/sound.h"

namespace lyraban {

namespace {

// Whole-file sounds are short; a length beyond this (about 25 minutes of
// 44.1 kHz stereo) comes from a damaged or lying file.
constexpr i64 kMaxWholeBytes = i64{256} << 20;

bool IsMusic(SoundAhead::Kind kind) { return kind == SoundAhead::Kind::Music || kind == SoundAhead::Kind::MusicOnce; }

}  // namespace

SoundDecode DecodeWholeSound(std::vector<u8> fileBytes, WholeSound& out) {
  OggStream stream;
  if (!stream.Open(std::move(fileBytes))) return SoundDecode::OpenFailed;
  // The sample count comes from the file's last page and may be anything:
  // bound it before multiplying.
  const i64 frameBytes = i64{stream.channels()} * 2;
  const i64 samples = stream.TotalSamples();
  if (samples > kMaxWholeBytes / frameBytes) return SoundDecode::TooLong;
  out.pcm.assign(static_cast<size_t>(samples * frameBytes), 0);
  if (!out.pcm.empty()) stream.Decode(out.pcm.data(), out.pcm.size());
  if (stream.faulted()) return SoundDecode::Faulted;
  out.channels = stream.channels();
  out.rate = stream.rate();
  return SoundDecode::Ok;
}

SoundDecode OpenMusic(std::vector<u8> fileBytes, bool loop, std::size_t firstBytes, OggStream& stream,
                      std::vector<u8>& pcm) {
  if (!stream.Open(std::move(fileBytes))) return SoundDecode::OpenFailed;
  stream.SetLoop(loop);
  pcm.assign(firstBytes, 0);
  stream.Decode(pcm.data(), pcm.size());
  if (stream.faulted()) {
    stream.Close();
    return SoundDecode::Faulted;
  }
  return SoundDecode::Ok;
}

SoundAhead::SoundAhead(Reader quietReader, std::size_t budgetBytes)
    : reader_(std::move(quietReader)), budget_(budgetBytes) {}

const char* SoundAhead::Folder(Kind kind) {
  switch (kind) {
    case Kind::Env:
      return "env";
    case Kind::Se:
      return "se";
    case Kind::Voice:
      return "voice";
    case Kind::Music:
    case Kind::MusicOnce:
      break;
  }
  return "bgm";
}

void SoundAhead::SetChannels(Channels channels) {
  std::lock_guard lock(mutex_);
  channels_ = std::move(channels);
}

bool SoundAhead::Useless(const Item& item) const {
  switch (item.kind) {
    case Kind::Env:
      return !channels_.env;
    case Kind::Se:
      return !channels_.se;
    case Kind::Voice:
      return !channels_.voice;
    case Kind::Music:
    case Kind::MusicOnce:
      break;
  }
  return !channels_.music || EqualsNoCase(item.name, channels_.playingMusic);
}

void SoundAhead::SetWanted(std::vector<Item> items) {
  std::lock_guard lock(mutex_);
  ++request_;
  tooBig_.clear();
  for (Entry& entry : entries_)
    if (std::find(items.begin(), items.end(), entry.item) != items.end()) entry.wanted = request_;
  wanted_ = std::move(items);
}

SoundAhead::Entry* SoundAhead::Find(const Item& item) {
  for (Entry& entry : entries_)
    if (entry.item == item) return &entry;
  return nullptr;
}

bool SoundAhead::MakeRoom(std::size_t bytes) {
  if (bytes > budget_) return false;
  while (bytes_ + bytes > budget_) {
    auto victim = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.wanted < request_; });
    if (victim == entries_.end()) return false;
    bytes_ -= victim->bytes;
    entries_.erase(victim);
  }
  return true;
}

void SoundAhead::Produce(const Item& item) {
  const std::pair<Kind, std::string> key{item.kind, item.name};
  {
    std::lock_guard lock(mutex_);
    if (item.name.empty() || Useless(item) || Find(item) || failed_.count(key) || tooBig_.count(key)) return;
    decoding_ = true;
    decodingItem_ = item;
  }
  Entry entry{item, {}, nullptr, 0, 0};
  std::vector<u8> bytes;
  bool ok = reader_(Folder(item.kind), item.name, bytes);
  if (ok && IsMusic(item.kind)) {
    entry.stream = std::make_unique<OggStream>();
    ok = OpenMusic(std::move(bytes), item.kind == Kind::Music, kMusicBufferBytes, *entry.stream, entry.whole.pcm) ==
         SoundDecode::Ok;
    if (ok) entry.bytes = entry.whole.pcm.size() + entry.stream->FileBytes();
  } else if (ok) {
    ok = DecodeWholeSound(std::move(bytes), entry.whole) == SoundDecode::Ok;
    entry.bytes = entry.whole.pcm.size();
  }
  {
    std::lock_guard lock(mutex_);
    decoding_ = false;
    if (!ok) {
      failed_.insert(key);
    } else if (!MakeRoom(entry.bytes)) {
      tooBig_.insert(key);
    } else {
      // Kept while the latest request names it.
      const bool named = std::find(wanted_.begin(), wanted_.end(), item) != wanted_.end();
      entry.wanted = named ? request_ : 0;
      bytes_ += entry.bytes;
      peak_ = std::max(peak_, bytes_);
      entries_.push_back(std::move(entry));
    }
  }
  done_.notify_all();
}

bool SoundAhead::TakeEntry(std::unique_lock<std::mutex>& lock, const Item& item, Entry& out) {
  for (;;) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (!(it->item == item)) continue;
      bytes_ -= it->bytes;
      out = std::move(*it);
      entries_.erase(it);
      tooBig_.clear();
      return true;
    }
    // The worker is further along than a fresh decode would be.
    if (!decoding_ || !(decodingItem_ == item)) return false;
    done_.wait(lock);
  }
}

bool SoundAhead::TakeWhole(Kind kind, std::string_view name, WholeSound& out) {
  std::unique_lock lock(mutex_);
  Entry entry;
  if (!TakeEntry(lock, Item{kind, std::string(name)}, entry)) return false;
  out = std::move(entry.whole);
  return true;
}

bool SoundAhead::TakeMusic(std::string_view name, bool loop, OggStream& stream, std::vector<u8>& pcm) {
  std::unique_lock lock(mutex_);
  Entry entry;
  if (!TakeEntry(lock, Item{loop ? Kind::Music : Kind::MusicOnce, std::string(name)}, entry)) return false;
  stream.Swap(*entry.stream);
  pcm = std::move(entry.whole.pcm);
  return true;
}

void SoundAhead::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  wanted_.clear();
  failed_.clear();
  tooBig_.clear();
  bytes_ = 0;
}

std::size_t SoundAhead::HeldBytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

std::size_t SoundAhead::PeakBytes() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

bool SoundAhead::Holds(Kind kind, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const Item item{kind, std::string(name)};
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.item == item; });
}

}  // namespace lyraban
