// Grafic: colour numbers, RGB triples, HTML colour texts, OLE system colours,
// random and complementary colours, and twips/pixel conversion.
#include <olectl.h>

#include "frame/shared.h"
#include "media/grafic.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/strings.h"

namespace qm {

namespace grafic {

long twips_to_pixel(long twips, double twips_per_pixel) { return CLng(twips / twips_per_pixel); }
long pixel_to_twips(long pixels, double twips_per_pixel) { return CLng(twips_per_pixel * pixels); }

}  // namespace grafic

HRESULT Grafic::Convert_ColorToRGB(long Color, RGBtype* result) {
    if (!result) return E_POINTER;
    // The high byte (a system colour's flag) is ignored, not translated.
    *result = RGBtype{static_cast<BYTE>(Color & 0xFF), static_cast<BYTE>((Color & 0xFF00) >> 8),
                      static_cast<BYTE>((Color & 0xFF0000) >> 16)};
    return S_OK;
}

HRESULT Grafic::Convert_ColorToHTML(long Color, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Grafic, L"Convert_ColorToHTML", ErrorNumber}, result, Bstr(), [&] {
        std::wstring hex = Hex(Color);
        if (hex.size() > 6) raise(err::InvalidCall);  // a high byte: no plain RGB colour
        hex.insert(0, 6 - hex.size(), L'0');
        // BBGGRR as a number, RRGGBB as a text.
        return Bstr(L"#" + hex.substr(4, 2) + hex.substr(2, 2) + hex.substr(0, 2));
    });
}

HRESULT Grafic::Convert_HTMLtoLong(BSTR HTML, long* result) {
    return untrapped(result, [&] {
        std::wstring text = Replace(Bstr::view_of(HTML), L"#", L"");
        auto part = [&](long start) { return static_cast<long>(Val(L"&H" + Mid(text, start, 2))); };
        return part(1) + 256 * part(3) + 65536 * part(5);
    });
}

HRESULT Grafic::Convert_OLEtoRBG(long OLEcolor, long* result) {
    if (!result) return E_POINTER;
    COLORREF color = 0;
    if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(OLEcolor), nullptr, &color))) color = 0;
    *result = static_cast<long>(color);
    return S_OK;
}

HRESULT Grafic::Convert_RGBtoLong(long R, long G, long B, long* result) {
    return untrapped(result, [&] {
        // Each part narrowed to an Integer first (6 outside its range), then the
        // runtime's RGB: above 255 counts as 255, a negative part is 5.
        short r = CInt(static_cast<double>(R)), g = CInt(static_cast<double>(G)), b = CInt(static_cast<double>(B));
        return forms::rgb_color(r, g, b);
    });
}

HRESULT Grafic::Get_RandomizedColor(long* result) {
    return untrapped(result, [&] {
        _Misc* misc = shared<_Misc>();
        long part[3] = {};
        for (long& p : part) check(misc->Get_Randomize(0, 255, &p));
        return part[0] + 256 * part[1] + 65536 * part[2];
    });
}

HRESULT Grafic::TwipsToPixel(long* X, long* Y) {
    if (!X || !Y) return E_POINTER;
    return untrapped([&] {
        *X = grafic::twips_to_pixel(*X, forms::screen_twips_per_pixel_x());
        *Y = grafic::twips_to_pixel(*Y, forms::screen_twips_per_pixel_y());
    });
}

HRESULT Grafic::PixelToTwips(long* X, long* Y) {
    if (!X || !Y) return E_POINTER;
    return untrapped([&] {
        *X = grafic::pixel_to_twips(*X, forms::screen_twips_per_pixel_x());
        *Y = grafic::pixel_to_twips(*Y, forms::screen_twips_per_pixel_y());
    });
}

HRESULT Grafic::ComplementarColor(long Color, long* result) {
    if (!result) return E_POINTER;
    *result = Color ^ 0xFFFFFF;
    return S_OK;
}

}  // namespace qm
