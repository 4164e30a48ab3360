#include <algorithm>

#include "platform/audio.h"
#include "platform/ffmpeg/movie_module.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace lyraban::platform {

namespace {

// Pictures larger than this come from broken or hostile files.
constexpr int kMaxSide = 4096;
// One decoded sound frame never holds more than this many output frames.
constexpr int kMaxSoundBlock = 1 << 20;

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

class FfmpegPicture final : public VideoPicture {
 public:
  explicit FfmpegPicture(AVFrame* frame) : frame_(frame) {
    width = frame->width;
    height = frame->height;
    for (int i = 0; i < 3; ++i) {
      planes[i] = frame->data[i];
      pitches[i] = frame->linesize[i];
    }
  }
  ~FfmpegPicture() override { av_frame_free(&frame_); }
  FfmpegPicture(const FfmpegPicture&) = delete;
  FfmpegPicture& operator=(const FfmpegPicture&) = delete;

 private:
  AVFrame* frame_;
};

class FfmpegDecoder final : public MovieDecoder {
 public:
  ~FfmpegDecoder() override {
    av_channel_layout_uninit(&inLayout_);
    sws_freeContext(toYuv_);
    sws_freeContext(toBgr_);
    swr_free(&resampler_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&video_);
    avcodec_free_context(&audio_);
    avformat_close_input(&format_);
  }

  bool Open(const std::string& path, std::string& reason) {
    if (int r = avformat_open_input(&format_, path.c_str(), nullptr, nullptr); r < 0) {
      reason = ErrorText(r);
      return false;
    }
    if (int r = avformat_find_stream_info(format_, nullptr); r < 0) {
      reason = ErrorText(r);
      return false;
    }
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) {
      reason = "out of memory";
      return false;
    }
    videoIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex_ >= 0 && !OpenCodec(videoIndex_, video_, reason)) return false;
    audioIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, videoIndex_, nullptr, 0);
    // A sound track that cannot be decoded leaves a silent movie.
    std::string soundReason;
    if (audioIndex_ >= 0 && !OpenCodec(audioIndex_, audio_, soundReason)) audioIndex_ = -1;
    if (!video_ && !audio_) {
      reason = "no picture or sound stream";
      return false;
    }
    if (video_ && (video_->width > kMaxSide || video_->height > kMaxSide)) {
      reason = "picture too large";
      return false;
    }
    startMs_ = format_->start_time == AV_NOPTS_VALUE ? 0 : format_->start_time / 1000;
    return true;
  }

  bool hasVideo() const override { return video_ != nullptr; }
  bool hasAudio() const override { return audio_ != nullptr; }

  Item Next() override {
    for (;;) {
      if (video_ && ReceiveVideo()) return Item::Video;
      if (audio_ && ReceiveAudio()) return Item::Audio;
      if (flushing_) return Item::End;
      const int r = av_read_frame(format_, packet_);
      if (r < 0) {
        // The end, or a read error: let the decoders give up what they hold.
        flushing_ = true;
        if (video_) avcodec_send_packet(video_, nullptr);
        if (audio_) avcodec_send_packet(audio_, nullptr);
        continue;
      }
      // A packet a decoder refuses is damaged: it is skipped.
      if (video_ && packet_->stream_index == videoIndex_)
        avcodec_send_packet(video_, packet_);
      else if (audio_ && packet_->stream_index == audioIndex_)
        avcodec_send_packet(audio_, packet_);
      av_packet_unref(packet_);
    }
  }

  std::unique_ptr<VideoPicture> TakePicture() override { return std::move(picture_); }
  const std::vector<i16>& sound() const override { return sound_; }
  u32 soundMs() const override { return soundMs_; }

  bool ConvertToBgr(const VideoPicture& picture, u8* bgr, int width, int height, int pitch) override {
    if (!bgr || width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return false;
    toBgr_ = sws_getCachedContext(toBgr_, picture.width, picture.height, AV_PIX_FMT_YUV420P, width, height,
                                  AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!toBgr_) return false;
    const u8* const source[4] = {picture.planes[0], picture.planes[1], picture.planes[2], nullptr};
    const int sourcePitch[4] = {picture.pitches[0], picture.pitches[1], picture.pitches[2], 0};
    u8* const target[4] = {bgr, nullptr, nullptr, nullptr};
    const int targetPitch[4] = {pitch, 0, 0, 0};
    return sws_scale(toBgr_, source, sourcePitch, 0, picture.height, target, targetPitch) == height;
  }

 private:
  bool OpenCodec(int index, AVCodecContext*& context, std::string& reason) {
    const AVCodecParameters* parameters = format_->streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
      reason = std::string("no decoder for ") + avcodec_get_name(parameters->codec_id);
      return false;
    }
    context = avcodec_alloc_context3(codec);
    if (!context) {
      reason = "out of memory";
      return false;
    }
    int r = avcodec_parameters_to_context(context, parameters);
    if (r >= 0) r = avcodec_open2(context, codec, nullptr);
    if (r < 0) {
      reason = ErrorText(r);
      avcodec_free_context(&context);
      return false;
    }
    return true;
  }

  u32 FrameMs(int index, i64 timestamp) const {
    if (timestamp == AV_NOPTS_VALUE) return 0;
    const i64 ms = av_rescale_q(timestamp, format_->streams[index]->time_base, AVRational{1, 1000}) - startMs_;
    return static_cast<u32>(std::clamp<i64>(ms, 0, 0x7fffffff));
  }

  bool ReceiveVideo() {
    for (;;) {
      if (avcodec_receive_frame(video_, frame_) < 0) return false;
      if (frame_->width <= 0 || frame_->height <= 0 || frame_->width > kMaxSide || frame_->height > kMaxSide) {
        av_frame_unref(frame_);
        continue;
      }
      const i64 stamp = frame_->best_effort_timestamp;
      lastVideoMs_ = stamp == AV_NOPTS_VALUE ? lastVideoMs_ : FrameMs(videoIndex_, stamp);
      AVFrame* own = av_frame_alloc();
      if (!own) {
        av_frame_unref(frame_);
        return false;
      }
      const bool direct = frame_->format == AV_PIX_FMT_YUV420P && frame_->linesize[0] > 0 && frame_->linesize[1] > 0 &&
                          frame_->linesize[2] > 0;
      if (direct) {
        av_frame_move_ref(own, frame_);
      } else if (!ToYuv(own)) {
        av_frame_free(&own);
        av_frame_unref(frame_);
        continue;
      }
      picture_ = std::make_unique<FfmpegPicture>(own);
      picture_->ms = lastVideoMs_;
      return true;
    }
  }

  // Other pixel layouts (4:2:2, 4:4:4, full-range, RGB) become 4:2:0.
  bool ToYuv(AVFrame* own) {
    own->format = AV_PIX_FMT_YUV420P;
    own->width = frame_->width;
    own->height = frame_->height;
    if (av_frame_get_buffer(own, 0) < 0) return false;
    toYuv_ = sws_getCachedContext(toYuv_, frame_->width, frame_->height, static_cast<AVPixelFormat>(frame_->format),
                                  own->width, own->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!toYuv_) return false;
    const bool ok =
        sws_scale(toYuv_, frame_->data, frame_->linesize, 0, frame_->height, own->data, own->linesize) == own->height;
    av_frame_unref(frame_);
    return ok;
  }

  bool ReceiveAudio() {
    for (;;) {
      if (avcodec_receive_frame(audio_, frame_) < 0) return flushing_ && DrainResampler();
      const bool ok = Resample();
      soundMs_ = FrameMs(audioIndex_, frame_->best_effort_timestamp);
      av_frame_unref(frame_);
      if (ok && !sound_.empty()) return true;
    }
  }

  bool Resample() {
    if (frame_->nb_samples <= 0 || frame_->sample_rate <= 0) return false;
    AVChannelLayout layout{};
    if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&frame_->ch_layout) == 0)
      av_channel_layout_default(&layout, std::max(1, frame_->ch_layout.nb_channels));
    else if (av_channel_layout_copy(&layout, &frame_->ch_layout) < 0)
      return false;
    const bool same = resampler_ && inRate_ == frame_->sample_rate && inFormat_ == frame_->format &&
                      av_channel_layout_compare(&inLayout_, &layout) == 0;
    if (!same) {
      swr_free(&resampler_);
      av_channel_layout_uninit(&inLayout_);
      AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
      if (swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_S16, kAudioRate, &layout,
                              static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0, nullptr) < 0 ||
          swr_init(resampler_) < 0) {
        swr_free(&resampler_);
        av_channel_layout_uninit(&layout);
        return false;
      }
      inRate_ = frame_->sample_rate;
      inFormat_ = frame_->format;
      inLayout_ = layout;
    } else {
      av_channel_layout_uninit(&layout);
    }
    const int room = swr_get_out_samples(resampler_, frame_->nb_samples);
    if (room <= 0 || room > kMaxSoundBlock) return false;
    sound_.resize(static_cast<size_t>(room) * kAudioChannels);
    u8* out = reinterpret_cast<u8*>(sound_.data());
    const int n =
        swr_convert(resampler_, &out, room, const_cast<const u8**>(frame_->extended_data), frame_->nb_samples);
    sound_.resize(static_cast<size_t>(std::max(n, 0)) * kAudioChannels);
    return n >= 0;
  }

  // What the resampler still holds once the sound has ended.
  bool DrainResampler() {
    if (!resampler_ || drained_) return false;
    drained_ = true;
    const int room = swr_get_out_samples(resampler_, 0);
    if (room <= 0 || room > kMaxSoundBlock) return false;
    sound_.resize(static_cast<size_t>(room) * kAudioChannels);
    u8* out = reinterpret_cast<u8*>(sound_.data());
    const int n = swr_convert(resampler_, &out, room, nullptr, 0);
    sound_.resize(static_cast<size_t>(std::max(n, 0)) * kAudioChannels);
    return !sound_.empty();
  }

  AVFormatContext* format_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* audio_ = nullptr;
  int videoIndex_ = -1, audioIndex_ = -1;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwsContext* toYuv_ = nullptr;
  SwsContext* toBgr_ = nullptr;
  SwrContext* resampler_ = nullptr;
  int inRate_ = 0, inFormat_ = -1;
  AVChannelLayout inLayout_{};
  i64 startMs_ = 0;
  bool flushing_ = false, drained_ = false;
  u32 lastVideoMs_ = 0;
  std::unique_ptr<FfmpegPicture> picture_;
  std::vector<i16> sound_;
  u32 soundMs_ = 0;
};

}  // namespace

}  // namespace lyraban::platform

extern "C" {

__attribute__((visibility("default"))) void lyraban_movie_module_init() { av_log_set_level(AV_LOG_QUIET); }

__attribute__((visibility("default"))) lyraban::platform::MovieDecoder* lyraban_movie_module_open(const char* path,
                                                                                                  std::string* reason) {
  auto decoder = std::make_unique<lyraban::platform::FfmpegDecoder>();
  if (!decoder->Open(path, *reason)) return nullptr;
  return decoder.release();
}

__attribute__((visibility("default"))) bool lyraban_movie_module_available() {
  return avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO) != nullptr && av_find_input_format("mpeg") != nullptr;
}

}  // extern "C"
