#pragma once
#include <string>
#include <utility>
#include <vector>

namespace lyraban::gamegen {

// Interleaved float samples in -1..1.
struct Pcm {
  int channels = 1;
  int rate = 22050;
  std::vector<float> samples;

  Pcm(int channelCount, int sampleRate, double seconds);
  long frames() const { return channels > 0 ? static_cast<long>(samples.size()) / channels : 0; }
  // Adds v to frame i on every channel, panned (-1 left .. 1 right) in stereo.
  void Add(long frame, float v, float pan = 0);
};

// A plucked or bell-like note: harmonics with their own decays, a short
// attack, and an exponential release.
struct Voice {
  double attack = 0.01;                  // seconds
  double decay = 1.0;                    // seconds for the level to fall to 1/e
  std::vector<float> partials = {1.0f};  // amplitude of harmonic n+1
  double detune = 0;                     // inharmonic stretch for bells (0 = harmonic)
};

void AddNote(Pcm& pcm, double start, double length, double frequency, float amplitude, const Voice& voice,
             float pan = 0);

// Frequency of a MIDI note number (69 = A4 = 440 Hz).
double NoteFrequency(int midi);

// Deterministic white noise in -1..1.
class Noise {
 public:
  explicit Noise(unsigned seed) : state_(seed ? seed : 1) {}
  float Next();

 private:
  unsigned state_;
};

// Scales the whole buffer so its peak is `peak`; silence stays silent.
void Normalise(Pcm& pcm, float peak);

// Encodes with libvorbisenc at the given VBR quality (-0.1 .. 1), adding the
// comments (tag, value). False when the encoder refuses the format.
bool EncodeOgg(const Pcm& pcm, float quality, const std::vector<std::pair<std::string, std::string>>& comments,
               std::string& out);

bool SaveOgg(const Pcm& pcm, float quality, const std::vector<std::pair<std::string, std::string>>& comments,
             const std::string& path);

}  // namespace lyraban::gamegen
