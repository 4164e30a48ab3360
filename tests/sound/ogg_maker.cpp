#include "ogg_maker.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace lyraban::testing {

std::vector<i16> MakeTones(int channels, int rate, const std::vector<ToneSegment>& segments) {
  std::vector<i16> pcm;
  for (const ToneSegment& segment : segments) {
    const size_t frames = static_cast<size_t>(segment.seconds * rate);
    for (size_t i = 0; i < frames; ++i) {
      const double value = segment.amplitude * std::sin(2 * std::numbers::pi * segment.frequency * i / rate);
      for (int c = 0; c < channels; ++c) pcm.push_back(static_cast<i16>(std::lrint(value)));
    }
  }
  return pcm;
}

std::vector<u8> EncodeOgg(int channels, int rate, const std::vector<i16>& pcm,
                          const std::vector<std::pair<std::string, std::string>>& comments) {
  std::vector<u8> out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0) std::abort();
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  for (const auto& [tag, value] : comments) vorbis_comment_add_tag(&comment, tag.c_str(), value.c_str());
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1234);
  ogg_page page;
  ogg_packet packet;

  auto writePage = [&] {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  while (ogg_stream_flush(&stream, &page)) writePage();

  const size_t frames = pcm.size() / channels;
  size_t done = 0;
  bool finished = false;
  while (!finished) {
    const size_t chunk = std::min<size_t>(1024, frames - done);
    if (chunk == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
      for (size_t i = 0; i < chunk; ++i)
        for (int c = 0; c < channels; ++c) buffer[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
      vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
      done += chunk;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) {
          writePage();
          if (ogg_page_eos(&page)) finished = true;
        }
      }
    }
    if (chunk == 0) finished = true;
  }
  while (ogg_stream_flush(&stream, &page)) writePage();
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

double Rms(const i16* samples, int channels, size_t first, size_t count) {
  double sum = 0;
  const size_t n = count * channels;
  for (size_t i = 0; i < n; ++i) {
    const double v = samples[first * channels + i];
    sum += v * v;
  }
  return n ? std::sqrt(sum / n) : 0.0;
}

double RmsBytes(const std::vector<u8>& pcm, int channels, size_t first, size_t count) {
  std::vector<i16> samples(pcm.size() / 2);
  std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
  return Rms(samples.data(), channels, first, count);
}

}  // namespace lyraban::testing
