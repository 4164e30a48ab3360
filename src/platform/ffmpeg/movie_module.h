#pragma once
#include <string>

#include "platform/video.h"

// The entry points of the movie module, a shared object that holds the
// FFmpeg decoder and is loaded only while a movie needs it: the FFmpeg
// libraries and the hundred libraries they pull in cost tens of megabytes of
// resident memory once mapped, and most of a game runs without a movie.
extern "C" {
// Called once after loading.
using LyrabanMovieModuleInit = void();
// A decoder for the file (the caller deletes it), or null with `reason` set.
using LyrabanMovieModuleOpen = lyraban::platform::MovieDecoder*(const char* path, std::string* reason);
// Whether the common formats can be played at all.
using LyrabanMovieModuleAvailable = bool();
}

namespace lyraban::platform {
inline constexpr const char* kMovieModuleInit = "lyraban_movie_module_init";
inline constexpr const char* kMovieModuleOpen = "lyraban_movie_module_open";
inline constexpr const char* kMovieModuleAvailable = "lyraban_movie_module_available";
}  // namespace lyraban::platform
