#include "frame/frm_tmp.h"

#include <olectl.h>

#include <utility>
#include <vector>

#include "runtime/errors.h"
#include "runtime/forms/limits.h"

namespace qm {

using namespace forms;

namespace {

template <class H>
struct GdiObject {
    H handle;
    ~GdiObject() {
        if (handle) DeleteObject(handle);
    }
    H release() noexcept { return std::exchange(handle, nullptr); }
};

// Wraps a bitmap and a palette (may be null) in a picture object that owns both.
ComPtr<IPictureDisp> Create_BitmapPicture(HBITMAP bitmap, HPALETTE palette) {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    desc.bmp.hpal = palette;
    ComPtr<IPictureDisp> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()))) return {};
    return picture;
}

// An area of the window in window coordinates (frame included), copied from
// the window's device context: what the screen shows there.
ComPtr<IPictureDisp> Capture_WindowArea(HWND window, int left, int top, int width, int height) {
    if (width <= 0 || height <= 0) raise(ferr::InvalidPicture);
    forms::check_image(width, height, err::OutOfMemory);
    struct WindowDc {
        HWND window;
        HDC dc;
        ~WindowDc() {
            if (dc) ReleaseDC(window, dc);
        }
    } source{window, GetWindowDC(window)};
    if (!source.dc) raise(ferr::InvalidPicture);
    struct MemoryDc {
        HDC dc;
        ~MemoryDc() {
            if (dc) DeleteDC(dc);
        }
    } memory{CreateCompatibleDC(source.dc)};
    if (!memory.dc) raise_win32();
    GdiObject<HBITMAP> bitmap{CreateCompatibleBitmap(source.dc, width, height)};
    if (!bitmap.handle) raise(err::OutOfMemory);
    HGDIOBJ old_bitmap = SelectObject(memory.dc, bitmap.handle);

    // On a palette display the picture keeps the system palette of the moment.
    GdiObject<HPALETTE> palette{nullptr};
    HPALETTE old_palette = nullptr;
    if ((GetDeviceCaps(source.dc, RASTERCAPS) & RC_PALETTE) && GetDeviceCaps(source.dc, SIZEPALETTE) == 256) {
        std::vector<BYTE> buffer(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
        auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
        log->palVersion = 0x300;
        log->palNumEntries = 256;
        GetSystemPaletteEntries(source.dc, 0, 256, log->palPalEntry);
        palette.handle = CreatePalette(log);
        if (palette.handle) {
            old_palette = SelectPalette(memory.dc, palette.handle, FALSE);
            RealizePalette(memory.dc);
        }
    }

    BOOL copied = BitBlt(memory.dc, 0, 0, width, height, source.dc, left, top, SRCCOPY);
    SelectObject(memory.dc, old_bitmap);
    if (old_palette) SelectPalette(memory.dc, old_palette, FALSE);
    if (!copied) raise(ferr::InvalidPicture);

    ComPtr<IPictureDisp> picture = Create_BitmapPicture(bitmap.handle, palette.handle);
    if (!picture) raise(ferr::InvalidPicture);
    bitmap.release();  // the picture owns them now
    palette.release();
    return picture;
}

RECT window_rect(HWND window) {
    RECT r{};
    if (!IsWindow(window) || !GetWindowRect(window, &r)) raise(ferr::InvalidPicture);
    return r;
}

ComPtr<IPictureDisp> Capture_Window(HWND window) {
    RECT r = window_rect(window);
    return Capture_WindowArea(window, 0, 0, r.right - r.left, r.bottom - r.top);
}

}  // namespace

FrmTMP::FrmTMP() {
    set_name(L"frmTMP");
    declare_field(L"DesktopText", Variant(std::wstring()));
    on.load = [this] { set_visible(false); };
}

void FrmTMP::design() {
    auto& frame = add<Frame>(L"frameDir");
    auto& dir = add_in<Label>(frame, L"lblDir");
    dir.set_caption(L"%Dir%");
    add<PictureBox>(L"PicTMP");
    add<Label>(L"LabelTMP");
}

ComPtr<IPictureDisp> FrmTMP::GetWindowHwnd(long hwnd) {
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd));
    auto& pic = get<PictureBox>(L"PicTMP");
    pic.set_top(0);
    pic.set_left(0);
    pic.surface()->set_auto_redraw(true);
    pic.set_picture(Capture_Window(window).get());
    // The picture box takes the window's size, at the display's real twips per pixel.
    RECT r = window_rect(window);
    pic.set_width((r.right - r.left) * twips_per_pixel_x());
    pic.set_height((r.bottom - r.top) * twips_per_pixel_y());
    set_width(pic.width());
    set_height(pic.height());
    return pic.surface()->picture();
}

const Table& FrmTMP::table() const {
    static const Table t({&Form::members()},
                         {
                             {L"GetWindowHwnd",
                              [](Object& o, const Args& a) {
                                  return var(static_cast<IDispatch*>(static_cast<FrmTMP&>(o).GetWindowHwnd(a.lng(0)).get()));
                              }},
                         });
    return t;
}

}  // namespace qm
