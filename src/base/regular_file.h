#pragma once
#include <cstdio>

namespace lyraban {

// Opens `path` for reading only when it is a regular file. A FIFO, device or
// folder where a game or save file is expected is refused at once: the open
// itself never waits for a writer that will not come.
// The descriptor variant returns -1 on refusal; the stream variant nullptr.
int OpenRegularFileForRead(const char* path);
std::FILE* OpenRegularStreamForRead(const char* path);

}  // namespace lyraban
