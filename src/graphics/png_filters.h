#pragma once
#include <cstddef>

#include "base/types.h"

namespace lyraban::png {

// Undoes one row's filter in place. prior is the previous raw row (zero for
// the first); filter types above 4 leave the row as it is.
using Unfilter = void (*)(u8 filterType, u8* row, const u8* prior, std::size_t rowBytes);

// Copies a raw row into a surface row, alpha first and colour blue first.
using StoreRow = void (*)(u8* dst, const u8* src, u32 width);

// The fastest unfilter for a pixel size on this processor.
Unfilter UnfilterFor(int bytesPerPixel);
// Plain byte-at-a-time unfilter, the reference the fast paths must match.
Unfilter ReferenceUnfilterFor(int bytesPerPixel);
// The fastest store for a pixel size on this processor, and the plain one
// it must match.
StoreRow StoreRowFor(int bytesPerPixel);
StoreRow ReferenceStoreRowFor(int bytesPerPixel);

}  // namespace lyraban::png
