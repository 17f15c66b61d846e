// Pixel access and pixel passes of Grafic. A pixel buffer holds 32 bits per
// pixel, rows bottom-up, stride width × 4 bytes: blue, green, red, and a fourth
// byte that a capture leaves 0. A pass reads one buffer (the work copy) and
// writes another of the same size; it allocates nothing.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstddef>
#include <memory>

#include "runtime/com_ptr.h"

namespace qm::grafic {

using Table = BYTE[256];

// Brightness -255..255: T[k] = a0 + floor(k × (255 − |b|) / 256), a0 = b (b ≥ 0) or 1.
void brightness_table(long brightness, Table& table);
// Contrast 0..100: T[i] = clamp(round(k × (i − 127)) + 127), k = e^(c/30)/20 − 0.05,
// the products accumulated by repeated addition, halves rounded to even.
void contrast_table(long contrast, Table& table);
// Blue, green and red through the table; the fourth byte kept.
void table_pass(const BYTE* work, BYTE* out, size_t pixels, const Table& table);
// Grey: g = (wb × blue + wg × green + wr × red) / divisor in integers; the fourth byte 0.
void gray_pass(const BYTE* work, BYTE* out, size_t pixels, long wb, long wg, long wr, long divisor);
// Emboss in direction 0..7: inside pixels 127 + (P(x+dx, y+dy) − P(x−dx, y−dy)),
// 127 when that difference is not positive, at most 255; the outermost rows
// and columns, and every fourth byte, copied.
void emboss_pass(const BYTE* work, BYTE* out, long width, long height, long direction);
// The same over one buffer, with room for two rows (2 × width × 4 bytes) of the
// originals.
void emboss_in_place(BYTE* pixels, long width, long height, long direction, BYTE* rows);

// A 32-bit bottom-up DIB section of a given size.
class Canvas {
public:
    // 6 when width × 4 × height exceeds a Long, 7 when it cannot be made (or
    // is larger than the library's images may be, forms/limits.h).
    Canvas(long width, long height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    long width() const noexcept { return w_; }
    long height() const noexcept { return h_; }
    BYTE* bits() const noexcept { return bits_; }
    size_t pixels() const noexcept { return static_cast<size_t>(w_) * static_cast<size_t>(h_); }
    HDC dc();  // a memory DC holding the bitmap, made on first use
    void fill(COLORREF color);
    // Hands the bitmap to a new picture that owns it; nullptr when the picture
    // cannot be made (the bitmap is then deleted with the canvas).
    ComPtr<IPictureDisp> to_picture() noexcept;

private:
    bool make(long width, long height) noexcept;
    long w_ = 0, h_ = 0;
    BYTE* bits_ = nullptr;
    HBITMAP bmp_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// Raises 6 when width × 4 × height exceeds a Long, 7 beyond the library's images.
void check_size(long width, long height);

// The picture's natural size in pixels (a bitmap's own size).
SIZE picture_size(IPicture* picture);

// The picture drawn at its own size over the background colour, with every
// fourth byte 0; nullptr for a picture without pixels (an empty picture).
// Raises 91 for Nothing and 481 for an object that is no picture.
std::unique_ptr<Canvas> capture(IPictureDisp* picture, COLORREF background);

// The background colour of the work area (a picture box's default).
COLORREF work_background() noexcept;

}  // namespace qm::grafic
