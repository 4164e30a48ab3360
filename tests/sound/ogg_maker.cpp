#include "ogg_maker.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace lyraban::testing {

std::vector<i16> MakeTones(int channels, int rate, const std::vector<ToneSegment>& segments) {
  std::vector<i16> pcm;
  for (const ToneSegment& segment : segments) {
    const size_t frames = static_cast<size_t>(segment.seconds * rate);
    for (size_t i = 0; i < frames; ++i) {
      const double value = segment.amplitude * std::sin(2 * std::numbers::pi * segment.frequency * i / rate);
      pcm.insert(pcm.end(), channels, static_cast<i16>(std::lrint(value)));
    }
  }
  return pcm;
}

std::vector<u8> EncodeOgg(int channels, int rate, const std::vector<i16>& pcm,
                          const std::vector<std::pair<std::string, std::string>>& comments) {
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
  ogg_packet packets[3];
  vorbis_analysis_headerout(&dsp, &comment, &packets[0], &packets[1], &packets[2]);
  for (ogg_packet& header : packets) ogg_stream_packetin(&stream, &header);

  std::vector<u8> out;
  ogg_page page;
  auto flush = [&](int (*next)(ogg_stream_state*, ogg_page*)) {
    while (next(&stream, &page)) {
      out.insert(out.end(), page.header, page.header + page.header_len);
      out.insert(out.end(), page.body, page.body + page.body_len);
    }
  };
  flush(ogg_stream_flush);  // the headers stand on pages of their own
  // All the samples in one go, then the end of the stream.
  const int frames = static_cast<int>(pcm.size() / channels);
  float** buffer = vorbis_analysis_buffer(&dsp, frames);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) buffer[c][i] = pcm[static_cast<size_t>(i) * channels + c] / 32768.0f;
  vorbis_analysis_wrote(&dsp, frames);
  vorbis_analysis_wrote(&dsp, 0);
  while (vorbis_analysis_blockout(&dsp, &block) == 1) {
    vorbis_analysis(&block, nullptr);
    vorbis_bitrate_addblock(&block);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&dsp, &packet)) ogg_stream_packetin(&stream, &packet);
    flush(ogg_stream_pageout);
  }
  flush(ogg_stream_flush);
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
  for (size_t i = 0; i < n; ++i) sum += std::pow(static_cast<double>(samples[first * channels + i]), 2);
  return n ? std::sqrt(sum / n) : 0.0;
}

}  // namespace lyraban::testing
