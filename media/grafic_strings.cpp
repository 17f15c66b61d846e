// Grafic: picture strings and comparison, picture file sizes, pictures from a
// URL or path, and JPEG export. The picture string is the work box's image in
// the screen's format; the box takes the picture's own pixel size, so that the
// string (and a comparison) covers the whole picture.
#include <tmmintrin.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "frame/shared.h"
#include "media/grafic.h"
#include "media/grafic_pixels.h"
#include "runtime/contract.h"
#include "runtime/cpu.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"

namespace qm {

namespace grafic {

namespace {

// The work box's client size in pixels when it keeps its design size
// (1575 × 975 twips outer, a 2-pixel border on each side).
SIZE unsized_box() {
    return {std::max(1L, std::lround(1575 / forms::twips_per_pixel_x()) - 4),
            std::max(1L, std::lround(975 / forms::twips_per_pixel_y()) - 4)};
}

struct ScreenDC {
    HDC dc = GetDC(nullptr);
    ~ScreenDC() { ReleaseDC(nullptr, dc); }
};

// The ANSI code page as a table of 256 characters when it is single-byte.
struct AnsiTable {
    bool single_byte = false;
    // Every byte but 0x80 to 0x9F is its own character (the Western code pages):
    // then those 32 are looked up sixteen bytes at a time.
    bool latin1 = false;
    wchar_t chars[256] = {};
    AnsiTable() {
        CPINFO info{};
        if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1) return;
        char bytes[256];
        for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
        single_byte = MultiByteToWideChar(CP_ACP, 0, bytes, 256, chars, 256) == 256;
        latin1 = single_byte;
        for (int i = 0; i < 256; ++i)
            if ((i < 0x80 || i >= 0xA0) && chars[i] != i) latin1 = false;
    }
};

// Characters of bytes 0x80 to 0x9F, sixteen at a time: the low and high bytes of
// the 32 characters, as two shuffle tables of 16 each.
struct C1Tables {
    alignas(16) BYTE low[32];
    alignas(16) BYTE high[32];
    explicit C1Tables(const AnsiTable& table) {
        for (int i = 0; i < 32; ++i) {
            low[i] = static_cast<BYTE>(table.chars[0x80 + i]);
            high[i] = static_cast<BYTE>(table.chars[0x80 + i] >> 8);
        }
    }
};

// in[i] as a character into out[i], for i < n; returns how many it did (a
// multiple of 16). out may lie below in, overlapping it, where in - out >= n
// bytes: each block is read before its characters are written, which reach no
// further than the bytes read.
__attribute__((target("ssse3"))) size_t widen_latin1(const BYTE* in, wchar_t* out, size_t n, const C1Tables& t) {
    const __m128i c1 = _mm_set1_epi8(static_cast<char>(0x80)), top = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i index = _mm_set1_epi8(0x1F), second = _mm_set1_epi8(0x10);
    const __m128i low0 = _mm_load_si128(reinterpret_cast<const __m128i*>(t.low));
    const __m128i low1 = _mm_load_si128(reinterpret_cast<const __m128i*>(t.low + 16));
    const __m128i high0 = _mm_load_si128(reinterpret_cast<const __m128i*>(t.high));
    const __m128i high1 = _mm_load_si128(reinterpret_cast<const __m128i*>(t.high + 16));
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i in_c1 = _mm_cmpeq_epi8(_mm_and_si128(b, top), c1);
        const __m128i k = _mm_and_si128(b, index);
        const __m128i upper = _mm_cmpeq_epi8(_mm_and_si128(k, second), second);  // 0x90 to 0x9F
        const __m128i c1_low = _mm_or_si128(_mm_and_si128(upper, _mm_shuffle_epi8(low1, k)),
                                            _mm_andnot_si128(upper, _mm_shuffle_epi8(low0, k)));
        const __m128i c1_high = _mm_or_si128(_mm_and_si128(upper, _mm_shuffle_epi8(high1, k)),
                                             _mm_andnot_si128(upper, _mm_shuffle_epi8(high0, k)));
        const __m128i low = _mm_or_si128(_mm_and_si128(in_c1, c1_low), _mm_andnot_si128(in_c1, b));
        const __m128i high = _mm_and_si128(in_c1, c1_high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(low, high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(low, high));
    }
    return i;
}

const AnsiTable& ansi_table() {
    static const AnsiTable table;
    return table;
}

const C1Tables& c1_tables() {
    static const C1Tables tables(ansi_table());
    return tables;
}

// Characters of one part in a double-byte code page.
int part_length(const BYTE* bytes, size_t n) {
    return n ? MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(n), nullptr, 0)
             : 0;
}

}  // namespace

HBITMAP screen_image(IPictureDisp* picture) {
    SIZE size{};
    if (picture) size = forms::picture_pixels(picture);
    if (size.cx <= 0 || size.cy <= 0) size = unsized_box();
    check_size(size.cx, size.cy);
    ScreenDC screen;
    HBITMAP bitmap = CreateCompatibleBitmap(screen.dc, size.cx, size.cy);
    HDC dc = CreateCompatibleDC(screen.dc);
    if (!bitmap || !dc) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        raise(err::OutOfMemory);
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    if (!forms::covers(picture, size, size.cx, size.cy)) {  // an opaque bitmap leaves nothing to clear
        HBRUSH brush = CreateSolidBrush(work_background());
        RECT all{0, 0, size.cx, size.cy};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    if (picture) forms::render_picture(dc, picture, 0, 0, size.cx, size.cy);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

Bstr picture_string(HBITMAP bitmap) {
    BITMAP bm{};
    if (!GetObjectW(bitmap, sizeof(bm), &bm)) raise(err::InvalidCall);
    const long long bytes_per_pixel = bm.bmBitsPixel / 8;
    const long long total = static_cast<long long>(bm.bmWidth) * bm.bmHeight * bytes_per_pixel;
    if (total > LONG_MAX) raise(err::Overflow);
    const size_t n = static_cast<size_t>(total);
    const LONG height = bm.bmHeight, width = bm.bmWidth;
    const SHORT depth = static_cast<SHORT>(bytes_per_pixel);
    // The header (height, width, bytes per pixel) and the bitmap's bits.
    auto read_bytes = [&](BYTE* bytes) {
        std::memcpy(bytes, &height, 4);
        std::memcpy(bytes + 4, &width, 4);
        std::memcpy(bytes + 8, &depth, 2);
        if (n && GetBitmapBits(bitmap, static_cast<LONG>(n), bytes + 10) == 0) raise(err::OutOfMemory);
    };

    const AnsiTable& table = ansi_table();
    if (table.single_byte) {
        // One character per byte. The bytes are read into the upper half of the
        // text's own memory and turned into characters front to back, in place.
        const size_t length = 10 + n;
        Bstr text = Bstr::attach(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
        if (!text.get()) raise(err::OutOfMemory);
        wchar_t* out = text.get();
        const BYTE* in = reinterpret_cast<BYTE*>(out) + length;
        read_bytes(reinterpret_cast<BYTE*>(out) + length);
        size_t i = table.latin1 && cpu::ssse3() ? widen_latin1(in, out, length, c1_tables()) : 0;
        for (; i < length; ++i) out[i] = table.chars[in[i]];
        return text;
    }
    std::vector<BYTE> bits(10 + n);
    read_bytes(bits.data());

    // Each part on its own: a character never spans two parts.
    const size_t parts[4][2] = {{0, 4}, {4, 4}, {8, 2}, {10, n}};
    size_t length = 0;
    for (const auto& part : parts) length += static_cast<size_t>(part_length(bits.data() + part[0], part[1]));
    if (length > 0x7FFFFFF0 / sizeof(wchar_t)) raise(err::OutOfMemory);
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!text) raise(err::OutOfMemory);
    size_t at = 0;
    for (const auto& part : parts) {
        if (!part[1]) continue;
        const char* in = reinterpret_cast<const char*>(bits.data() + part[0]);
        at += static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, in, static_cast<int>(part[1]), text + at,
                                                      static_cast<int>(length - at)));
    }
    return Bstr::attach(text);
}

}  // namespace grafic

namespace {

Bstr string_of(IPictureDisp** picture) {
    HBITMAP image = grafic::screen_image(picture ? *picture : nullptr);
    struct Owned {
        HBITMAP h;
        ~Owned() { DeleteObject(h); }
    } owned{image};
    return grafic::picture_string(image);
}

}  // namespace

HRESULT Grafic::PictureToString(IPictureDisp** Picture, BSTR* result) {
    return untrapped(result, [&] { return string_of(Picture); });
}

HRESULT Grafic::PictureCompare(IPictureDisp** Picture1, IPictureDisp** Picture2, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        Bstr first = string_of(Picture1);
        Bstr second = string_of(Picture2);
        return first.view() == second.view();
    });
}

HRESULT Grafic::PictureGetSize(BSTR File, long* ErrorNumber, CONTROLDIMENSIONS* result) {
    if (!result) return E_POINTER;
    *result = {-1, -1};
    return trapped(Trap{Source::Grafic, L"PictureGetSize", ErrorNumber}, [&] {
        ComPtr<IPictureDisp> loaded = forms::load_picture(Bstr::view_of(File));
        ComPtr<IPicture> picture;
        check(loaded->QueryInterface(IID_IPicture, picture.put_void()));
        OLE_XSIZE_HIMETRIC w = 0;
        OLE_YSIZE_HIMETRIC h = 0;
        check(picture->get_Width(&w));
        check(picture->get_Height(&h));
        grafic::ScreenDC screen;
        const long width = MulDiv(GetDeviceCaps(screen.dc, LOGPIXELSX), w, 2540);
        const long height = MulDiv(GetDeviceCaps(screen.dc, LOGPIXELSY), h, 2540);
        *result = {height, width};
    });
}

HRESULT Grafic::Get_OnlinePicture(BSTR PictureURL, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    // Any failure is Nothing, without a report.
    ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicturePath(PictureURL ? PictureURL : const_cast<LPOLESTR>(L""), nullptr, 0, 0, IID_IPicture,
                                  picture.put_void())) ||
        !picture)
        return S_OK;
    picture->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(result));
    return S_OK;
}

// Failures of the encoding and of the target come back as PictureBox_SaveJPG's
// result (reported there); a source that cannot be loaded is reported here.
HRESULT Grafic::GraficToJPG(BSTR SourceFile, BSTR* TargetFile, BYTE Quality, long* result) {
    return trapped(Trap{Source::Grafic, L"GraficToJPG"}, result, ErrorNumberResult{}, [&] {
        ComPtr<IPictureDisp> picture = forms::load_picture(Bstr::view_of(SourceFile));
        IPictureDisp* p = picture.get();
        long saved = 0;
        check(shared<_Controls>()->PictureBox_SaveJPG(&p, TargetFile ? *TargetFile : nullptr, Quality, &saved));
        return saved;
    });
}

}  // namespace qm
