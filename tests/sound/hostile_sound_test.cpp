// Sound files that lie about themselves: each fails with a word in the trace
// and never ends the program.
#include <gtest/gtest.h>

#include <algorithm>

#include "ogg_maker.h"
#include "platform/headless/virtual_audio.h"
#include "platform/sdl/sdl_audio.h"
#include "resources/resources.h"
#include "sound/ogg_stream.h"
#include "sound/sound.h"
#include "support/temp_dir.h"

namespace lyraban {
namespace {

// Ogg pages carry a CRC over the whole page; an edited page needs a new one
// or the demuxer drops it before the decoder sees the edit.
u32 OggCrc(const u8* data, size_t size) {
  u32 crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= u32{data[i]} << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

struct Page {
  size_t start, size;
};

std::vector<Page> Pages(const std::vector<u8>& file) {
  std::vector<Page> pages;
  for (size_t at = 0; at + 27 <= file.size();) {
    const size_t segments = file[at + 26];
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += file[at + 27 + i];
    pages.push_back({at, 27 + segments + body});
    at += 27 + segments + body;
  }
  return pages;
}

void FixCrc(std::vector<u8>& file, const Page& page) {
  for (int i = 0; i < 4; ++i) file[page.start + 22 + i] = 0;
  const u32 crc = OggCrc(file.data() + page.start, page.size);
  for (int i = 0; i < 4; ++i) file[page.start + 22 + i] = static_cast<u8>(crc >> (8 * i));
}

std::vector<u8> Sound(int channels, int rate, double seconds = 0.3) {
  return testing::EncodeOgg(channels, rate, testing::MakeTones(channels, rate, {{seconds, 8000}}));
}

class HostileSound : public ::testing::Test {
 protected:
  HostileSound() {
    trace_.SetSink([this](std::string_view m) { messages_.emplace_back(m); });
  }
  void Put(const std::string& name, const std::vector<u8>& bytes) {
    dir_.Write("data/" + name, std::string(bytes.begin(), bytes.end()));
  }
  void Start() {
    resources_.OpenDataFolder(dir_.str());
    ASSERT_TRUE(sound_.Start(output_));
  }
  bool Traced(std::string_view text) const {
    for (const auto& m : messages_)
      if (m.find(text) != std::string::npos) return true;
    return false;
  }

  testing::TempDir dir_;
  Trace trace_;
  std::vector<std::string> messages_;
  Resources resources_{trace_};
  platform::VirtualClock clock_;
  platform::VirtualAudioOutput output_{clock_};
  platform::SdlAudioConverterFactory converters_;
  SoundSystem sound_{resources_, clock_, converters_, trace_};
};

// The last page's granule position is the stream's length; an absurd one
// must be refused before it is turned into a buffer size.
TEST_F(HostileSound, AnAbsurdSampleCountIsRefusedWithoutOverflow) {
  const std::pair<const char*, u64> granules[] = {
      {"largest", 0x7FFFFFFFFFFFFFFFull}, {"2^62", u64{1} << 62}, {"just over the cap", u64{1} << 27}};
  for (const auto& [label, granule] : granules) {
    SCOPED_TRACE(label);
    // Long enough for several audio pages: the length is the last page's
    // granule less the first page's.
    std::vector<u8> file = Sound(2, 44100, 3.0);
    // The last page that ends a packet (a granule position other than -1).
    const std::vector<Page> pages = Pages(file);
    auto ends = [&](const Page& p) {
      for (int i = 0; i < 8; ++i)
        if (file[p.start + 6 + i] != 0xFF) return true;
      return false;
    };
    const Page last = *std::find_if(pages.rbegin(), pages.rend(), ends);
    for (int i = 0; i < 8; ++i) file[last.start + 6 + i] = static_cast<u8>(granule >> (8 * i));
    FixCrc(file, last);
    Put("se/long.ogg", file);
    Start();
    messages_.clear();
    EXPECT_FALSE(sound_.PlaySE("long.ogg"));
    EXPECT_TRUE(Traced("Oggが長すぎる")) << (messages_.empty() ? "nothing traced" : messages_[0]);
  }
}

// A rate the mixer cannot take plays nothing, but says so.
TEST_F(HostileSound, AnUnsupportedSampleRateIsTraced) {
  std::vector<u8> file = Sound(1, 22050);
  const Page first = Pages(file).front();
  // The identification header: packet type, "vorbis", version (4), channels
  // (1), then the rate (4, little-endian).
  const size_t rateAt = first.start + 27 + file[first.start + 26] + 12;
  const u32 rate = 500;
  for (int i = 0; i < 4; ++i) file[rateAt + i] = static_cast<u8>(rate >> (8 * i));
  FixCrc(file, first);
  Put("se/slow.ogg", file);
  Put("bgm/slow.ogg", file);
  Start();
  EXPECT_FALSE(sound_.PlaySE("slow.ogg"));
  EXPECT_TRUE(Traced("500 Hz")) << (messages_.empty() ? "nothing traced" : messages_[0]);
  messages_.clear();
  EXPECT_FALSE(sound_.PlayBGM("slow.ogg", true));
  EXPECT_TRUE(Traced("bgm\\slow.ogg：500 Hz"));
}

// A setup header whose damage the library does not catch makes it divide by
// zero in its first audio packet: the fault is contained, the sound refused
// with a word in the trace, and the program goes on.
TEST_F(HostileSound, ADecoderDivisionByZeroIsContained) {
  const std::string file = testing::ReadFileBytes(std::string(LYRABAN_SOURCE_DIR) +
                                                  "/fuzz/regressions/ogg_stream/"
                                                  "vorbis-setup-zero-dimension-partition-book.ogg");
  ASSERT_FALSE(file.empty());
  const std::vector<u8> bytes(file.begin(), file.end());
  Put("se/bad.ogg", bytes);
  Put("bgm/bad.ogg", bytes);
  Start();
  EXPECT_FALSE(sound_.PlaySE("bad.ogg"));
  EXPECT_TRUE(Traced("se\\bad.ogg：壊れたヘッダ")) << (messages_.empty() ? "nothing traced" : messages_.back());
  EXPECT_FALSE(sound_.PlayBGM("bad.ogg", true));
  EXPECT_TRUE(Traced("bgm\\bad.ogg：壊れたヘッダ")) << (messages_.empty() ? "nothing traced" : messages_.back());

  // The stream itself: opened, then broken at the first decode, for good.
  OggStream stream;
  ASSERT_TRUE(stream.Open(bytes));
  std::vector<u8> pcm(4096, 0xAA);
  EXPECT_FALSE(stream.Decode(pcm.data(), pcm.size()));
  EXPECT_TRUE(stream.faulted());
  EXPECT_EQ(std::count(pcm.begin(), pcm.end(), 0), 4096) << "what was not decoded is silence";
  EXPECT_FALSE(stream.Decode(pcm.data(), pcm.size()));
  // A good stream opened afterwards decodes normally.
  ASSERT_TRUE(stream.Open(Sound(1, 22050)));
  EXPECT_FALSE(stream.faulted());
  EXPECT_TRUE(stream.Decode(pcm.data(), pcm.size()));
}

}  // namespace
}  // namespace lyraban
