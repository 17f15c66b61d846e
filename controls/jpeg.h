// JPEG encoding of bitmaps: GDI+'s JPEG encoder, or the system's imaging
// component where GDI+ does not honour the quality.
#pragma once
#include <windows.h>

#include <string>

namespace qm::jpeg {

enum class Encoder { GdiPlus, Wic };

// The JPEG file of a bitmap at quality 0 (smallest) to 100 (best); empty when
// the encoder cannot make one. Throws 481 when the handle is no bitmap, 480
// for one larger than the library's images may be (forms/limits.h).
std::string encode(HBITMAP bitmap, unsigned quality, Encoder encoder);

// The encoder files are written with: GDI+ unless it ignores the quality and
// the imaging component honours it. Tried once per process.
struct Choice {
    Encoder encoder;
    bool quality_honoured;  // a lower quality gives a smaller file
};
Choice choice();

}  // namespace qm::jpeg
