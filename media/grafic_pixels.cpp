// Pixel passes, 32-bit canvases and the capture of a picture into one.
#include "media/grafic_pixels.h"

#include <emmintrin.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/errors.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/limits.h"

namespace qm::grafic {

// --- passes -------------------------------------------------------------------------

void brightness_table(long brightness, Table& table) {
    const long a0 = brightness >= 0 ? brightness : 1;
    const long s = 255 - std::labs(brightness);
    for (long k = 0; k < 256; ++k) table[k] = static_cast<BYTE>(a0 + k * s / 256);
}

void contrast_table(long contrast, Table& table) {
    const double k = std::exp(contrast / 30.0) / 20.0 - 0.05;
    double v = -128 * k;
    for (int i = 0; i < 256; ++i) {
        v += k;
        const double t = std::nearbyint(v) + 127;  // the default rounding: halves to even
        table[i] = static_cast<BYTE>(std::clamp(t, 0.0, 255.0));
    }
}

void table_pass(const BYTE* work, BYTE* out, size_t pixels, const Table& table) {
    for (size_t i = 0; i < pixels; ++i, work += 4, out += 4) {
        out[0] = table[work[0]];
        out[1] = table[work[1]];
        out[2] = table[work[2]];
        out[3] = work[3];
    }
}

void gray_pass(const BYTE* work, BYTE* out, size_t pixels, long wb, long wg, long wr, long divisor) {
    for (size_t i = 0; i < pixels; ++i, work += 4, out += 4) {
        const BYTE g = static_cast<BYTE>((wb * work[0] + wg * work[1] + wr * work[2]) / divisor);
        out[0] = out[1] = out[2] = g;
        out[3] = 0;
    }
}

namespace {

constexpr int kDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
constexpr int kDy[8] = {1, 1, 1, 0, -1, -1, -1, 0};  // downwards on the picture

// One inside row: above and below are the original rows over and under it on
// the picture (rows lie bottom-up in memory).
void emboss_row(const BYTE* above, const BYTE* row, const BYTE* below, BYTE* out, long width, long direction) {
    const int dx = kDx[direction], dy = kDy[direction];
    const BYTE* ahead = dy > 0 ? below : dy < 0 ? above : row;   // P(x + dx, y + dy)
    const BYTE* behind = dy > 0 ? above : dy < 0 ? below : row;  // P(x − dx, y − dy)
    // Four pixels at a time: the difference where it is positive (a saturating
    // subtraction), plus 127 up to 255 (a saturating addition), the alpha kept.
    const __m128i mid = _mm_set1_epi32(0x007F7F7F), alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    long x = 1;
    for (; x + 4 < width; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ahead + (x + dx) * 4));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(behind + (x - dx) * 4));
        const __m128i keep = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x * 4)), alpha);
        const __m128i colour = _mm_andnot_si128(alpha, _mm_adds_epu8(_mm_subs_epu8(a, b), mid));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), _mm_or_si128(colour, keep));
    }
    for (; x + 1 < width; ++x) {
        const BYTE* a = ahead + (x + dx) * 4;
        const BYTE* b = behind + (x - dx) * 4;
        BYTE* o = out + x * 4;
        for (int c = 0; c < 3; ++c) {
            const int diff = static_cast<int>(a[c]) - static_cast<int>(b[c]);
            o[c] = static_cast<BYTE>(diff <= 0 ? 127 : std::min(255, 127 + diff));
        }
        o[3] = row[x * 4 + 3];
    }
}

}  // namespace

void emboss_pass(const BYTE* work, BYTE* out, long width, long height, long direction) {
    const size_t stride = static_cast<size_t>(width) * 4;
    std::memcpy(out, work, stride * static_cast<size_t>(height));
    if (width < 3) return;
    for (long r = 1; r + 1 < height; ++r)
        emboss_row(work + (r + 1) * stride, work + r * stride, work + (r - 1) * stride, out + r * stride, width,
                   direction);
}

void emboss_in_place(BYTE* pixels, long width, long height, long direction, BYTE* rows) {
    const size_t stride = static_cast<size_t>(width) * 4;
    if (width < 3 || height < 3) return;
    BYTE* under = rows;         // the original of the row below the one worked on
    BYTE* current = rows + stride;
    std::memcpy(under, pixels, stride);
    for (long r = 1; r + 1 < height; ++r) {
        BYTE* row = pixels + r * stride;
        std::memcpy(current, row, stride);
        emboss_row(row + stride, current, under, row, width, direction);
        std::swap(under, current);
    }
}

// --- canvases -----------------------------------------------------------------------

void check_size(long width, long height) {
    if (width < 0 || height < 0 || static_cast<long long>(width) * 4 * height > LONG_MAX) raise(err::Overflow);
    forms::check_image(std::max(width, 1L), std::max(height, 1L), err::OutOfMemory);
}

bool Canvas::make(long width, long height) noexcept {
    width = std::max(width, 1L);
    height = std::max(height, 1L);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: rows bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width * 4 * height);
    void* bits = nullptr;
    bmp_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp_) return false;
    bits_ = static_cast<BYTE*>(bits);
    w_ = width;
    h_ = height;
    return true;
}

Canvas::Canvas(long width, long height) {
    check_size(width, height);
    if (!make(width, height)) raise(err::OutOfMemory);
}

Canvas::~Canvas() {
    if (dc_) {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    if (bmp_) DeleteObject(bmp_);
}

HDC Canvas::dc() {
    if (!dc_) {
        dc_ = CreateCompatibleDC(nullptr);
        if (!dc_) raise(err::OutOfMemory);
        old_ = SelectObject(dc_, bmp_);
    }
    return dc_;
}

void Canvas::fill(COLORREF color) {
    const DWORD pixel = GetRValue(color) << 16 | GetGValue(color) << 8 | GetBValue(color);
    std::fill_n(reinterpret_cast<DWORD*>(bits_), pixels(), pixel);
}

ComPtr<IPictureDisp> Canvas::to_picture() noexcept {
    if (dc_) {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        dc_ = nullptr;
    }
    GdiFlush();
    PICTDESC desc{sizeof(desc), PICTYPE_BITMAP};
    desc.bmp.hbitmap = bmp_;
    ComPtr<IPictureDisp> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()))) return {};
    bmp_ = nullptr;  // the picture owns it now
    bits_ = nullptr;
    return picture;
}

// --- capture ------------------------------------------------------------------------

COLORREF work_background() noexcept { return forms::rgb_of(0x8000000F); }

namespace {

HBITMAP bitmap_of(IPicture* picture) {
    SHORT type = PICTYPE_NONE;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP) return nullptr;
    OLE_HANDLE handle = 0;
    picture->get_Handle(&handle);
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

void clear_fourth_bytes(Canvas& canvas) {
    auto* p = reinterpret_cast<DWORD*>(canvas.bits());
    for (size_t i = 0, n = canvas.pixels(); i < n; ++i) p[i] &= 0x00FFFFFF;
}

}  // namespace

SIZE picture_size(IPicture* picture) {
    if (HBITMAP bitmap = bitmap_of(picture)) {
        BITMAP bm{};
        if (GetObjectW(bitmap, sizeof(bm), &bm)) return {bm.bmWidth, bm.bmHeight};
        return {0, 0};
    }
    ComPtr<IPictureDisp> disp;
    picture->QueryInterface(IID_IPictureDisp, disp.put_void());
    return forms::picture_pixels(disp.get());
}

std::unique_ptr<Canvas> capture(IPictureDisp* picture, COLORREF background) {
    if (!picture) raise(err::ObjectNotSet);
    ComPtr<IPicture> pic;
    if (FAILED(picture->QueryInterface(IID_IPicture, pic.put_void()))) raise(forms::ferr::InvalidPicture);
    SIZE size = picture_size(pic.get());
    if (size.cx <= 0 || size.cy <= 0) return nullptr;
    auto canvas = std::make_unique<Canvas>(size.cx, size.cy);
    if (HBITMAP bitmap = bitmap_of(pic.get())) {
        // The system's conversion to 32 bits, bottom-up, whatever the bitmap's
        // depth and row order.
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), size.cx, size.cy, 1, 32, BI_RGB};
        HDC screen = GetDC(nullptr);
        int lines = GetDIBits(screen, bitmap, 0, static_cast<UINT>(size.cy), canvas->bits(), &info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        if (lines == 0) return nullptr;
    } else {
        // Icons and metafiles drawn over the work area's background.
        canvas->fill(background);
        forms::render_picture(canvas->dc(), picture, 0, 0, size.cx, size.cy);
        GdiFlush();
    }
    clear_fourth_bytes(*canvas);
    return canvas;
}

}  // namespace qm::grafic
