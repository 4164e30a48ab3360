#include "platform/ffmpeg/ffmpeg_movie.h"

#include <dlfcn.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/ffmpeg/movie_module.h"

namespace lyraban::platform {

namespace {

// Calls `visit(start, end, path)` for every mapping of a file.
template <typename Visit>
void ForEachFileMapping(Visit visit) {
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (!maps) return;
  char line[4096];
  while (std::fgets(line, sizeof line, maps)) {
    unsigned long start = 0;
    unsigned long end = 0;
    const char* slash = std::strchr(line, '/');
    if (!slash || std::sscanf(line, "%lx-%lx", &start, &end) != 2 || end <= start) continue;
    std::string path(slash);
    if (path.back() == '\n') path.pop_back();
    visit(start, end, std::move(path));
  }
  std::fclose(maps);
}

// The files the process maps now.
std::set<std::string> MappedFiles() {
  std::set<std::string> files;
  ForEachFileMapping([&](unsigned long, unsigned long, std::string path) { files.insert(std::move(path)); });
  return files;
}

// Asks the system to page out every mapping of a file not in `before`.
void PageOutFilesMappedSince(const std::set<std::string>& before) {
#ifdef MADV_PAGEOUT
  ForEachFileMapping([&](unsigned long start, unsigned long end, const std::string& path) {
    // Only a hint: written pages are kept (or swapped), clean ones come back
    // from the file if a later movie runs them again.
    if (before.count(path) != 0) return;
    void* const address = reinterpret_cast<void*>(start);
    madvise(address, end - start, MADV_PAGEOUT);
    // Without read-around, a page the movie touches again brings back that
    // page, not the 64 KB about it.
    madvise(address, end - start, MADV_RANDOM);
  });
#else
  (void)before;
#endif
}

}  // namespace

// The loaded movie module. Every decoder and picture made by it holds it, so
// it is unloaded only once the last of them is gone.
class FfmpegMovieDecoderFactory::Module {
 public:
  Module(void* handle, LyrabanMovieModuleOpen* open, LyrabanMovieModuleAvailable* available,
         std::set<std::string> filesBefore)
      : handle_(handle), open_(open), available_(available), filesBefore_(std::move(filesBefore)) {}
  ~Module() {
    // Unloading touches the libraries' pages once more; the movie's own
    // buffers, freed by now, go back to the system before that.
    malloc_trim(0);
    if (!FfmpegMovieDecoderFactory::kUnloads) return;
    dlclose(handle_);
    // Several of FFmpeg's dependencies can never be unloaded (they are
    // marked so, or hold unique symbols), and keep megabytes of pages the
    // movie touched. They are not used again until the next movie.
    PageOutFilesMappedSince(filesBefore_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  MovieDecoder* Open(const char* path, std::string* reason) const { return open_(path, reason); }
  bool Available() const { return available_(); }

 private:
  void* handle_;
  LyrabanMovieModuleOpen* open_;
  LyrabanMovieModuleAvailable* available_;
  std::set<std::string> filesBefore_;
};

namespace {

using Module = FfmpegMovieDecoderFactory::Module;

// A picture of the module, handed on with the module kept loaded.
class ModulePicture final : public VideoPicture {
 public:
  ModulePicture(std::unique_ptr<VideoPicture> inner, std::shared_ptr<const Module> module)
      : module_(std::move(module)), inner_(std::move(inner)) {
    width = inner_->width;
    height = inner_->height;
    for (int i = 0; i < 3; ++i) {
      planes[i] = inner_->planes[i];
      pitches[i] = inner_->pitches[i];
    }
    ms = inner_->ms;
  }

 private:
  // Declared first so that it is released last, after the picture's code ran.
  std::shared_ptr<const Module> module_;
  std::unique_ptr<VideoPicture> inner_;
};

class ModuleDecoder final : public MovieDecoder {
 public:
  ModuleDecoder(std::unique_ptr<MovieDecoder> inner, std::shared_ptr<const Module> module)
      : module_(std::move(module)), inner_(std::move(inner)) {}

  bool hasVideo() const override { return inner_->hasVideo(); }
  bool hasAudio() const override { return inner_->hasAudio(); }
  Item Next() override { return inner_->Next(); }
  std::unique_ptr<VideoPicture> TakePicture() override {
    auto picture = inner_->TakePicture();
    if (!picture) return nullptr;
    return std::make_unique<ModulePicture>(std::move(picture), module_);
  }
  const std::vector<i16>& sound() const override { return inner_->sound(); }
  u32 soundMs() const override { return inner_->soundMs(); }
  bool ConvertToBgr(const VideoPicture& picture, u8* bgr, int width, int height, int pitch) override {
    return inner_->ConvertToBgr(picture, bgr, width, height, pitch);
  }

 private:
  std::shared_ptr<const Module> module_;
  std::unique_ptr<MovieDecoder> inner_;
};

// The folder of the running program, with a trailing slash (empty when
// unknown).
std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string folder(path, static_cast<size_t>(n));
  const size_t slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

}  // namespace

FfmpegMovieDecoderFactory::FfmpegMovieDecoderFactory() {
  // An installed program finds the module relative to itself; a program in
  // the build tree (the engine, the tests) where the build put it.
  const std::string folder = ProgramFolder();
  if (!folder.empty()) modulePaths_.push_back(folder + LYRABAN_MOVIE_MODULE_FROM_BINDIR);
  modulePaths_.push_back(LYRABAN_MOVIE_MODULE_BUILT);
}

FfmpegMovieDecoderFactory::FfmpegMovieDecoderFactory(std::vector<std::string> modulePaths)
    : modulePaths_(std::move(modulePaths)) {}

FfmpegMovieDecoderFactory::~FfmpegMovieDecoderFactory() { FinishPreparing(); }

void FfmpegMovieDecoderFactory::Prepare() {
  FinishPreparing();
  if (prepared_ || !loaded_.expired()) return;
  preparing_ = std::thread([this] {
    std::string reason;
    prepared_ = LoadModule(reason);
  });
}

void FfmpegMovieDecoderFactory::Unprepare() {
  FinishPreparing();
  prepared_.reset();
}

void FfmpegMovieDecoderFactory::FinishPreparing() const {
  if (preparing_.joinable()) preparing_.join();
}

std::shared_ptr<const FfmpegMovieDecoderFactory::Module> FfmpegMovieDecoderFactory::LoadModule(std::string& reason) {
  if (auto module = loaded_.lock()) return module;
  // The libraries about to be mapped are the largest single cost of the
  // program; memory the game has freed (pictures of the scene before the
  // movie) goes back to the system first rather than add to it.
  malloc_trim(0);
  std::set<std::string> filesBefore = kUnloads ? MappedFiles() : std::set<std::string>();
  reason = "the movie module is missing";
  for (const std::string& path : modulePaths_) {
    if (access(path.c_str(), F_OK) != 0) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* error = dlerror();
      reason = error ? error : "the movie module cannot be loaded";
      continue;
    }
    auto* init = reinterpret_cast<LyrabanMovieModuleInit*>(dlsym(handle, kMovieModuleInit));
    auto* open = reinterpret_cast<LyrabanMovieModuleOpen*>(dlsym(handle, kMovieModuleOpen));
    auto* available = reinterpret_cast<LyrabanMovieModuleAvailable*>(dlsym(handle, kMovieModuleAvailable));
    if (!init || !open || !available) {
      dlclose(handle);
      reason = "the movie module is damaged";
      continue;
    }
    init();
    // Linking touched every page of symbols and code of a hundred
    // libraries; a movie needs few of them, and those come back as it runs.
    if (kUnloads) PageOutFilesMappedSince(filesBefore);
    auto module = std::make_shared<const Module>(handle, open, available, std::move(filesBefore));
    loaded_ = module;
    available_ = module->Available();
    return module;
  }
  return nullptr;
}

std::unique_ptr<MovieDecoder> FfmpegMovieDecoderFactory::Open(const std::string& path, std::string& reason) {
  FinishPreparing();
  // What was prepared serves this movie only: afterwards the module goes
  // with the movie's last decoder and picture.
  auto module = prepared_ ? std::move(prepared_) : LoadModule(reason);
  if (!module) return nullptr;
  reason.clear();
  std::unique_ptr<MovieDecoder> decoder(module->Open(path.c_str(), &reason));
  if (!decoder) return nullptr;
  return std::make_unique<ModuleDecoder>(std::move(decoder), std::move(module));
}

bool FfmpegMovieDecoderFactory::Available() const {
  FinishPreparing();
  // Loading the libraries only to ask costs tens of megabytes for a
  // moment; the answer does not change while the program runs.
  if (!available_) {
    std::string reason;
    auto module = const_cast<FfmpegMovieDecoderFactory*>(this)->LoadModule(reason);
    available_ = module && module->Available();
  }
  return *available_;
}

bool FfmpegMovieDecoderFactory::OpenLoads() const {
  FinishPreparing();
  return !prepared_ && loaded_.expired();
}

bool FfmpegMovieDecoderFactory::ModuleLoaded() const {
  FinishPreparing();
  return !loaded_.expired();
}

}  // namespace lyraban::platform
