// Decoding a 1280 × 720 H.264/AAC movie of four seconds (25 pictures a
// second, sound at 48 kHz resampled to the output's 44.1 kHz stereo): the
// engine's player against a plain loop over the same FFmpeg libraries, so
// the ratio is our own overhead. Neither side displays anything.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "graphics/surface.h"
#include "movie/movie_player.h"
#include "platform/ffmpeg/ffmpeg_movie.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace lyraban {
namespace {

constexpr double kMovieSeconds = 4.0;

// Made once per run with the ffmpeg program; empty when that fails.
const std::string& BenchMovie() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() / ("lyraban-bench-" + std::to_string(getpid()) + ".mp4");
    const std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=s=1280x720:r=25:d=4 -f lavfi -i "
        "sine=frequency=440:sample_rate=48000:d=4 -ac 2 -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac '" +
        file.string() + "'";
    if (std::system(command.c_str()) != 0) return std::string();
    std::atexit([] { std::filesystem::remove(BenchMovie()); });
    return file.string();
  }();
  return path;
}

// Time moves only when the player sleeps, so every picture is on time.
class SteppedClock final : public platform::Clock {
 public:
  u32 Now() override { return now_; }
  void Sleep(u32 ms) override { now_ += ms; }
  void WaitOnWorker(u32) override {}
  void Wake() override {}

 private:
  u32 now_ = 0;
};

// A platform that takes the YUV pictures itself, as the desktop one does.
class NullHost final : public MovieHost {
 public:
  NullHost() { screen_.Create(3, 800, 600); }
  bool PumpInput() override { return true; }
  u8 PendingCommand() override { return 0; }
  void ClearPendingInput() override {}
  bool PresentVideo(const platform::VideoPicture& picture) override {
    benchmark::DoNotOptimize(picture.planes[0][0]);
    return true;
  }
  Surface& ScreenSurface() override { return screen_; }
  void PresentSurface() override {}
  Mixer* SoundMixer() override { return nullptr; }
  i32 MusicAttenuation() override { return 0; }

 private:
  Surface screen_;
};

void MovieDecodeLyraban(benchmark::State& state) {
  const std::string& path = BenchMovie();
  if (path.empty()) return state.SkipWithError("ffmpeg could not make the movie");
  platform::FfmpegMovieDecoderFactory decoders;
  NullHost host;
  Trace trace;
  u32 shown = 0;
  for (auto _ : state) {
    SteppedClock clock;
    MoviePlayer player(host, decoders, clock, trace);
    if (!player.Play(path, {})) return state.SkipWithError("the player could not open the movie");
    shown = player.lastStats().shown;
  }
  state.counters["pictures"] = shown;
  state.counters["movie_s"] = kMovieSeconds;
}
BENCHMARK(MovieDecodeLyraban)->Name("MovieDecode/lyraban")->Unit(benchmark::kMillisecond)->UseRealTime();

void MovieDecodeFfmpeg(benchmark::State& state) {
  const std::string& path = BenchMovie();
  if (path.empty()) return state.SkipWithError("ffmpeg could not make the movie");
  int pictures = 0;
  for (auto _ : state) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return state.SkipWithError("open failed");
    avformat_find_stream_info(format, nullptr);
    const int v = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int a = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, v, nullptr, 0);
    AVCodecContext* codec[2] = {};
    for (int i = 0; i < 2; ++i) {
      const AVCodecParameters* par = format->streams[i == 0 ? v : a]->codecpar;
      codec[i] = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
      avcodec_parameters_to_context(codec[i], par);
      avcodec_open2(codec[i], nullptr, nullptr);
    }
    SwrContext* swr = nullptr;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, 44100, &codec[1]->ch_layout, codec[1]->sample_fmt,
                        codec[1]->sample_rate, 0, nullptr);
    swr_init(swr);
    std::vector<i16> sound;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    pictures = 0;
    auto drain = [&](int i) {
      while (avcodec_receive_frame(codec[i], frame) >= 0) {
        if (i == 0) {
          benchmark::DoNotOptimize(frame->data[0][0]);
          ++pictures;
        } else {
          const int room = swr_get_out_samples(swr, frame->nb_samples);
          sound.resize(static_cast<size_t>(room) * 2);
          u8* out = reinterpret_cast<u8*>(sound.data());
          swr_convert(swr, &out, room, const_cast<const u8**>(frame->extended_data), frame->nb_samples);
        }
        av_frame_unref(frame);
      }
    };
    while (av_read_frame(format, packet) >= 0) {
      const int i = packet->stream_index == v ? 0 : packet->stream_index == a ? 1 : -1;
      if (i >= 0) {
        avcodec_send_packet(codec[i], packet);
        drain(i);
      }
      av_packet_unref(packet);
    }
    for (int i = 0; i < 2; ++i) {
      avcodec_send_packet(codec[i], nullptr);
      drain(i);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&swr);
    for (auto& c : codec) avcodec_free_context(&c);
    avformat_close_input(&format);
  }
  state.counters["pictures"] = pictures;
  state.counters["movie_s"] = kMovieSeconds;
}
BENCHMARK(MovieDecodeFfmpeg)->Name("MovieDecode/ffmpeg")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lyraban
