#include "sound/ogg_stream.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>

namespace lyraban {

namespace {

// Consecutive read errors after which the stream is taken as ended; a damaged
// file would otherwise keep the retry going for ever.
constexpr int kMaxReadErrors = 64;
// ov_read hands out at most one packet anyway; larger requests gain nothing.
constexpr size_t kMaxReadRequest = 65536;

// --- containment of the decoder's arithmetic faults ---------------------------
//
// Some damaged setup headers pass the library's checks and then make it
// divide by zero while decoding (SIGFPE: a residue's partition book of
// dimension 0), which would end the program. Such a fault is synchronous and
// happens inside the library's own arithmetic, before the block allocates
// for its partitions, with no lock held; so every call into the decoder runs
// under a jump point: the fault returns to it, the stream is marked broken,
// never decoded again, and cleared as usual (its pointers are all whole). A fault outside these calls goes to the
// handler that was there before (the default one ends the program, as
// before). The handler is installed once per process; the jump point is per
// thread, as the music thread decodes too.
thread_local sigjmp_buf* t_decoderFault = nullptr;
struct sigaction g_previousFpeAction {};

void OnArithmeticFault(int signal, siginfo_t* info, void* context) {
  if (sigjmp_buf* target = t_decoderFault) siglongjmp(*target, 1);
  // Not the decoder's: put the previous handling back; the faulting
  // instruction runs again and meets it.
  sigaction(SIGFPE, &g_previousFpeAction, nullptr);
  (void)signal;
  (void)info;
  (void)context;
}

void InstallFaultHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnArithmeticFault;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, &g_previousFpeAction);
  });
}

// Runs `call` with the fault contained; false when it faulted.
template <class Call>
bool Contained(Call&& call) {
  sigjmp_buf target;
  sigjmp_buf* const outer = t_decoderFault;
  if (sigsetjmp(target, 1) != 0) {
    t_decoderFault = outer;
    return false;
  }
  t_decoderFault = &target;
  call();
  t_decoderFault = outer;
  return true;
}

struct Memory {
  std::vector<u8> bytes;
  size_t position = 0;
};

size_t ReadMemory(void* ptr, size_t size, size_t count, void* source) {
  auto* memory = static_cast<Memory*>(source);
  if (size == 0 || count == 0) return 0;
  const size_t remaining = memory->bytes.size() - memory->position;
  const size_t wanted = count > SIZE_MAX / size ? SIZE_MAX : size * count;
  const size_t copied = std::min(wanted, remaining);
  if (copied) std::memcpy(ptr, memory->bytes.data() + memory->position, copied);
  memory->position += copied;
  return copied / size;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* memory = static_cast<Memory*>(source);
  const i64 length = static_cast<i64>(memory->bytes.size());
  const i64 position = static_cast<i64>(memory->position);
  i64 target;
  switch (whence) {
    case SEEK_SET:
      if (offset < 0 || offset > length) return -1;
      target = offset;
      break;
    case SEEK_CUR:
      if (offset < -position || offset > length - position) return -1;
      target = position + offset;
      break;
    case SEEK_END:
      if (offset < -length || offset > 0) return -1;
      target = length + offset;
      break;
    default:
      return -1;
  }
  memory->position = static_cast<size_t>(target);
  return 0;
}

int CloseMemory(void* source) {
  auto* memory = static_cast<Memory*>(source);
  std::vector<u8>().swap(memory->bytes);
  memory->position = 0;
  return 0;
}

long TellMemory(void* source) { return static_cast<long>(static_cast<Memory*>(source)->position); }

// Leading decimal digits (with an optional sign), like atoi, kept in a range
// that cannot overflow the byte arithmetic of Decode.
i64 ParseSamplePosition(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '-' || *text == '+') negative = *text++ == '-';
  i64 value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = std::min<i64>(value * 10 + (*text - '0'), i64{1} << 40);
  return negative ? -value : value;
}

}  // namespace

struct OggStream::Decoder {
  Memory memory;
  OggVorbis_File file{};
  int bitstream = 0;
  bool faulted = false;  // the library faulted: decode nothing more
};

OggStream::OggStream() = default;
OggStream::~OggStream() { Close(); }

bool OggStream::isOpen() const { return decoder_ != nullptr; }

void OggStream::Swap(OggStream& other) noexcept {
  std::swap(decoder_, other.decoder_);
  std::swap(channels_, other.channels_);
  std::swap(rate_, other.rate_);
  std::swap(loop_, other.loop_);
  std::swap(faulted_, other.faulted_);
  std::swap(loopStart_, other.loopStart_);
  std::swap(loopEnd_, other.loopEnd_);
}

size_t OggStream::FileBytes() const { return decoder_ ? decoder_->memory.bytes.size() : 0; }

bool OggStream::Open(std::vector<u8> fileBytes) {
  Close();
  faulted_ = false;
  auto decoder = std::make_unique<Decoder>();
  decoder->memory.bytes = std::move(fileBytes);
  const ov_callbacks callbacks{ReadMemory, SeekMemory, CloseMemory, TellMemory};
  InstallFaultHandler();
  // On failure the library has already cleared its state.
  int opened = -1;
  if (!Contained([&] { opened = ov_open_callbacks(&decoder->memory, &decoder->file, nullptr, 0, callbacks); })) {
    ov_clear(&decoder->file);
    faulted_ = true;
    return false;
  }
  if (opened < 0) return false;
  const vorbis_info* info = ov_info(&decoder->file, -1);
  if (!info || info->channels < 1 || info->rate < 1) {
    ov_clear(&decoder->file);
    return false;
  }
  channels_ = info->channels;
  rate_ = static_cast<int>(info->rate);
  vorbis_comment* comment = ov_comment(&decoder->file, -1);
  loopStart_ = comment ? ParseSamplePosition(vorbis_comment_query(comment, "start", 0)) : 0;
  loopEnd_ = comment ? ParseSamplePosition(vorbis_comment_query(comment, "end", 0)) : 0;
  decoder_ = std::move(decoder);
  return true;
}

void OggStream::Close() {
  if (!decoder_) return;
  ov_clear(&decoder_->file);
  decoder_.reset();
  channels_ = 0;
  rate_ = 0;
  loopStart_ = 0;
  loopEnd_ = 0;
}

i64 OggStream::TotalSamples() {
  if (!decoder_) return 0;
  const ogg_int64_t total = ov_pcm_total(&decoder_->file, -1);
  return total > 0 ? static_cast<i64>(total) : 0;
}

bool OggStream::Decode(u8* dst, size_t bytes) {
  std::memset(dst, 0, bytes);
  if (!decoder_) return false;
  OggVorbis_File* file = &decoder_->file;
  const i64 frameBytes = static_cast<i64>(channels_) * 2;
  size_t done = 0;
  int errors = 0;
  // A wrap is allowed again only after the previous one produced sound, so a
  // loop that is empty (start at or after its end) cannot spin.
  bool wrapped = false;
  size_t doneAtWrap = 0;
  while (done < bytes) {
    size_t request = std::min(bytes - done, kMaxReadRequest);
    long got = 0;
    bool atEnd = false;
    if (loopEnd_ > 0) {
      const i64 left = (loopEnd_ - static_cast<i64>(ov_pcm_tell(file))) * frameBytes;
      if (left <= 0)
        atEnd = true;
      else
        request = static_cast<size_t>(std::min<i64>(static_cast<i64>(request), left));
    }
    if (decoder_->faulted) return false;
    if (!atEnd) {
      if (!Contained([&] {
            got = ov_read(file, reinterpret_cast<char*>(dst + done), static_cast<int>(request), 0, 2, 1,
                          &decoder_->bitstream);
          })) {
        decoder_->faulted = faulted_ = true;
        std::memset(dst + done, 0, bytes - done);
        return false;
      }
      if (got < 0) {
        if (++errors >= kMaxReadErrors) return false;
        continue;  // a hole in the data: read on
      }
      errors = 0;
      atEnd = got == 0;
    }
    if (atEnd) {
      if (!loop_ || (wrapped && done == doneAtWrap)) return false;
      int seek = -1;
      if (!Contained([&] { seek = ov_pcm_seek(file, loopStart_); })) {
        decoder_->faulted = faulted_ = true;
        return false;
      }
      if (seek != 0) return false;
      wrapped = true;
      doneAtWrap = done;
      continue;
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace lyraban
