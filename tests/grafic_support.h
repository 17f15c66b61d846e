// Pictures with known pixels for the Grafic tests: made from pixel values and
// read back.
#pragma once
#include <windows.h>
#include <olectl.h>

#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/com_ptr.h"

namespace grafictest {

using qm::ComPtr;

// Pixels top row first, each 0x00RRGGBB as the system's bitmaps hold them.
struct Pixels {
    long w = 0, h = 0;
    std::vector<DWORD> px;
    DWORD at(long x, long y) const { return px[static_cast<size_t>(y * w + x)]; }
    bool operator==(const Pixels&) const = default;
};

inline Pixels pattern(long w, long h, const std::function<DWORD(long, long)>& f) {
    Pixels p{w, h, {}};
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) p.px.push_back(f(x, y));
    return p;
}

inline Pixels solid(long w, long h, DWORD c) {
    return pattern(w, h, [&](long, long) { return c; });
}

// A 32-bit DIB section picture of these pixels.
inline ComPtr<IPictureDisp> picture_of(const Pixels& p) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), p.w, -p.h, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    memcpy(bits, p.px.data(), p.px.size() * 4);
    PICTDESC desc{sizeof(desc), PICTYPE_BITMAP};
    desc.bmp.hbitmap = bmp;
    ComPtr<IPictureDisp> pic;
    EXPECT_EQ(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, pic.put_void()), S_OK);
    return pic;
}

inline HBITMAP bitmap_of(IPictureDisp* pic) {
    OLE_HANDLE h = 0;
    ComPtr<IPicture> p;
    pic->QueryInterface(IID_IPicture, p.put_void());
    p->get_Handle(&h);
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(h));
}

// The picture's pixels read back with GetDIBits (the fourth byte kept).
inline Pixels pixels_of(IPictureDisp* pic) {
    Pixels p;
    if (!pic) return p;
    HBITMAP bmp = bitmap_of(pic);
    BITMAP bm{};
    GetObjectW(bmp, sizeof(bm), &bm);
    p.w = bm.bmWidth;
    p.h = bm.bmHeight;
    p.px.resize(static_cast<size_t>(p.w * p.h));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), p.w, -p.h, 1, 32, BI_RGB};
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bmp, 0, p.h, p.px.data(), &info, DIB_RGB_COLORS), p.h);
    ReleaseDC(nullptr, dc);
    return p;
}

inline Pixels rgb_only(Pixels p) {
    for (DWORD& v : p.px) v &= 0xFFFFFF;
    return p;
}

inline DWORD channels(BYTE c) { return c * 0x010101u; }

}  // namespace grafictest
