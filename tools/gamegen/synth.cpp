#include "synth.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace lyraban::gamegen {

namespace {

constexpr double kPi = 3.14159265358979323846;

void AppendPage(const ogg_page& page, std::string& out) {
  out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
  out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

}  // namespace

Pcm::Pcm(int channelCount, int sampleRate, double seconds)
    : channels(channelCount),
      rate(sampleRate),
      samples(static_cast<size_t>(std::max(0.0, seconds) * sampleRate) * std::max(channelCount, 1), 0.0f) {}

void Pcm::Add(long frame, float v, float pan) {
  if (frame < 0 || frame >= frames()) return;
  const size_t at = static_cast<size_t>(frame) * channels;
  if (channels == 1) {
    samples[at] += v;
    return;
  }
  // Equal-power pan keeps a centred note as loud as a mono one.
  const double angle = (std::clamp(pan, -1.0f, 1.0f) + 1) * kPi / 4;
  samples[at] += static_cast<float>(v * std::cos(angle) * std::sqrt(2.0));
  samples[at + 1] += static_cast<float>(v * std::sin(angle) * std::sqrt(2.0));
}

double NoteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

void AddNote(Pcm& pcm, double start, double length, double frequency, float amplitude, const Voice& voice, float pan) {
  const long first = static_cast<long>(start * pcm.rate);
  // Let the note ring for its release but never past the buffer.
  const double release = 0.08;
  const long count = static_cast<long>((length + release) * pcm.rate);
  for (long i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / pcm.rate;
    double env = std::min(1.0, t / std::max(voice.attack, 1e-4)) * std::exp(-t / std::max(voice.decay, 1e-3));
    if (t > length) env *= std::max(0.0, 1 - (t - length) / release);
    if (env <= 1e-5) continue;
    double v = 0;
    for (size_t n = 0; n < voice.partials.size(); ++n) {
      const double k = static_cast<double>(n + 1) * (1 + voice.detune * n);
      const double f = frequency * k;
      if (f >= pcm.rate / 2.0) break;
      // Upper partials die away sooner, as strings and bells do.
      v += voice.partials[n] * std::sin(2 * kPi * f * t) * std::exp(-t * n * 0.8 / std::max(voice.decay, 1e-3));
    }
    pcm.Add(first + i, static_cast<float>(v * env * amplitude), pan);
  }
}

float Noise::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return static_cast<float>(state_ / 4294967295.0 * 2 - 1);
}

void Normalise(Pcm& pcm, float peak) {
  float top = 0;
  for (float s : pcm.samples) top = std::max(top, std::abs(s));
  if (top <= 0) return;
  const float k = peak / top;
  for (float& s : pcm.samples) s *= k;
}

bool EncodeOgg(const Pcm& pcm, float quality, const std::vector<std::pair<std::string, std::string>>& comments,
               std::string& out) {
  out.clear();
  if (pcm.channels < 1 || pcm.channels > 2 || pcm.rate <= 0) return false;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, pcm.channels, pcm.rate, quality) != 0) {
    vorbis_info_clear(&info);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  for (const auto& [tag, value] : comments) vorbis_comment_add_tag(&comment, tag.c_str(), value.c_str());
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  // A fixed serial number keeps the build reproducible.
  ogg_stream_init(&stream, 0x4C797261);

  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) AppendPage(page, out);

  const long frames = pcm.frames();
  long done = 0;
  bool ended = false;
  while (!ended) {
    const long chunk = std::min<long>(4096, frames - done);
    if (chunk <= 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
      for (long i = 0; i < chunk; ++i)
        for (int c = 0; c < pcm.channels; ++c)
          buffer[c][i] = std::clamp(pcm.samples[static_cast<size_t>(done + i) * pcm.channels + c], -1.0f, 1.0f);
      vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
      done += chunk;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) {
          AppendPage(page, out);
          if (ogg_page_eos(&page)) ended = true;
        }
      }
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return !out.empty();
}

bool SaveOgg(const Pcm& pcm, float quality, const std::vector<std::pair<std::string, std::string>>& comments,
             const std::string& path) {
  std::string bytes;
  if (!EncodeOgg(pcm, quality, comments, bytes)) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) return false;
  }
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

}  // namespace lyraban::gamegen
