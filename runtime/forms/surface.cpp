// Drawing surfaces (forms and picture boxes), pictures, and the windowless
// figures: Image, Shape, Line.
#include <algorithm>
#include <cmath>
#include <utility>

#include "runtime/forms/forms.h"
#include "runtime/forms/limits.h"
#include "runtime/parallelogram.h"
#include "runtime/strings.h"

namespace qm::forms {

// --- limits -----------------------------------------------------------------------

void check_window(double x, double y, double w, double h) {
    if (!position_fits(x) || !position_fits(y) || !side_fits(w) || !side_fits(h)) raise(err::InvalidPropertyValue);
}

void check_image(long long w, long long h, long error) {
    if (!image_fits(w, h)) raise(error);
}

int coordinate(double px) {
    if (!(std::fabs(px) <= kMaxCoordinate)) raise(err::Overflow);
    return static_cast<int>(std::lround(px));
}

void check_placement(double x, double y, double w, double h, const Surface* surface) {
    const double tx = twips_per_pixel_x(), ty = twips_per_pixel_y();
    check_window(x / tx, y / ty, w / tx, h / ty);
    if (surface && surface->auto_redraw()) surface->check_growth(std::lround(w / tx), std::lround(h / ty));
}

// --- pictures ---------------------------------------------------------------------

ComPtr<IPictureDisp> picture_from_bitmap(HBITMAP bitmap) {
    if (!bitmap) raise(ferr::InvalidPicture);
    PICTDESC desc{sizeof(desc), PICTYPE_BITMAP};
    desc.bmp.hbitmap = bitmap;
    ComPtr<IPictureDisp> pic;
    HRESULT hr = OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, pic.put_void());
    if (FAILED(hr)) {
        DeleteObject(bitmap);
        check(hr);
    }
    return pic;
}

SIZE picture_pixels(IPictureDisp* picture) {
    SIZE s{0, 0};
    ComPtr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.put_void()))) return s;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    pic->get_Width(&w);
    pic->get_Height(&h);
    s.cx = MulDiv(w, pixels_per_inch(0), 2540);
    s.cy = MulDiv(h, pixels_per_inch(1), 2540);
    return s;
}

void render_picture(HDC dc, IPictureDisp* picture, int x, int y, int cx, int cy) {
    ComPtr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.put_void()))) return;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    pic->get_Width(&w);
    pic->get_Height(&h);
    if (w && h) pic->Render(dc, x, y, cx, cy, 0, h, w, -h, nullptr);
}

namespace {

HBITMAP bitmap_of(IPictureDisp* picture) {
    ComPtr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.put_void()))) return nullptr;
    SHORT type = PICTYPE_NONE;
    pic->get_Type(&type);
    if (type != PICTYPE_BITMAP) return nullptr;
    OLE_HANDLE h = 0;
    pic->get_Handle(&h);
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(h));
}

SIZE client_size(HWND hwnd) {
    RECT r{};
    if (hwnd) GetClientRect(hwnd, &r);
    return {r.right, r.bottom};
}

// GDI objects selected for one drawing call and restored afterwards.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ obj, bool owned) : dc_(dc), obj_(obj), owned_(owned), old_(SelectObject(dc, obj)) {}
    ~Selected() {
        SelectObject(dc_, old_);
        if (owned_) DeleteObject(obj_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ obj_;
    bool owned_;
    HGDIOBJ old_;
};

std::vector<std::wstring> lines_of(std::wstring_view text) {
    std::vector<std::wstring> lines = Split(text, L"\r\n");
    if (lines.empty()) lines.emplace_back();
    return lines;
}

}  // namespace

// True when a picture of pixel size s, drawn at 0, 0, leaves no pixel of a
// w x h area to the background: a bitmap without a transparent part.
bool covers(IPictureDisp* picture, SIZE s, int w, int h) {
    ComPtr<IPicture> pic;
    if (!picture || s.cx < w || s.cy < h || FAILED(picture->QueryInterface(IID_IPicture, pic.put_void())))
        return false;
    SHORT type = PICTYPE_NONE;
    DWORD attributes = PICTURE_TRANSPARENT;
    return SUCCEEDED(pic->get_Type(&type)) && type == PICTYPE_BITMAP && SUCCEEDED(pic->get_Attributes(&attributes)) &&
           !(attributes & PICTURE_TRANSPARENT);
}

// --- Surface ------------------------------------------------------------------------

Surface::~Surface() { released(); }

namespace {
float fixed_twips_per_unit(int mode, bool vertical) {
    switch (mode) {
    case 2: return 20.0f;
    case 3: return vertical ? twips_per_pixel_y() : twips_per_pixel_x();
    case 4: return vertical ? 240.0f : 120.0f;
    case 5: return 1440.0f;
    case 6: return 1440.0f / 25.4f;
    case 7: return 1440.0f / 2.54f;
    default: return 1.0f;
    }
}
}  // namespace

float Surface::twips_per_unit_x() const {
    if (scale_.mode != 0) return fixed_twips_per_unit(scale_.mode, false);
    float tw = client_size(owner_.placed_hwnd()).cx * twips_per_pixel_x();
    return scale_.width != 0 && tw > 0 ? tw / scale_.width : 1.0f;
}

float Surface::twips_per_unit_y() const {
    if (scale_.mode != 0) return fixed_twips_per_unit(scale_.mode, true);
    float th = client_size(owner_.placed_hwnd()).cy * twips_per_pixel_y();
    return scale_.height != 0 && th > 0 ? th / scale_.height : 1.0f;
}

void Surface::set_scale_mode(int mode) {
    if (mode < 0 || mode > 7) raise(err::InvalidPropertyValue);
    if (mode == 0) {  // keeps the present scale as the user scale
        scale_.width = scale_width();
        scale_.height = scale_height();
    }
    scale_.mode = mode;
    if (mode != 0) scale_.left = scale_.top = 0;
}

float Surface::scale_width() const {
    if (scale_.mode == 0) return scale_.width;
    return client_size(owner_.placed_hwnd()).cx * twips_per_pixel_x() / twips_per_unit_x();
}

float Surface::scale_height() const {
    if (scale_.mode == 0) return scale_.height;
    return client_size(owner_.placed_hwnd()).cy * twips_per_pixel_y() / twips_per_unit_y();
}

void Surface::set_scale_width(float w) {
    if (w == 0) raise(err::InvalidPropertyValue);
    float h = scale_height();
    scale_.mode = 0;
    scale_.width = w;
    scale_.height = h;
}

void Surface::set_scale_height(float h) {
    if (h == 0) raise(err::InvalidPropertyValue);
    float w = scale_width();
    scale_.mode = 0;
    scale_.width = w;
    scale_.height = h;
}

namespace {
// Twips per unit of a scale mode for ScaleX/ScaleY; 0 is the surface's own scale.
float conversion_twips(const Surface& s, int mode, bool vertical) {
    if (mode < 0 || mode > 8) raise(err::InvalidCall);
    if (mode == 0) return vertical ? s.twips_per_unit_y() : s.twips_per_unit_x();
    if (mode == 8) return 1440.0f / 2540.0f;
    return fixed_twips_per_unit(mode, vertical);
}
}  // namespace

float Surface::scale_x(float value, int from, int to) const {
    return static_cast<float>(static_cast<double>(value) * conversion_twips(*this, from, false) /
                              conversion_twips(*this, to, false));
}

float Surface::scale_y(float value, int from, int to) const {
    return static_cast<float>(static_cast<double>(value) * conversion_twips(*this, from, true) /
                              conversion_twips(*this, to, true));
}

double Surface::px_x(float units) const {
    float left = scale_.mode == 0 ? scale_.left : 0.0f;
    return (units - left) * twips_per_unit_x() / twips_per_pixel_x();
}
double Surface::px_y(float units) const {
    float top = scale_.mode == 0 ? scale_.top : 0.0f;
    return (units - top) * twips_per_unit_y() / twips_per_pixel_y();
}
float Surface::units_x(double px) const {
    return static_cast<float>(px * twips_per_pixel_x() / twips_per_unit_x()) + (scale_.mode == 0 ? scale_.left : 0.0f);
}
float Surface::units_y(double px) const {
    return static_cast<float>(px * twips_per_pixel_y() / twips_per_unit_y()) + (scale_.mode == 0 ? scale_.top : 0.0f);
}

void Surface::fill_background(HDC dc, int w, int h) {
    const SIZE s = picture_pixels(picture_.get());
    if (!covers(picture_.get(), s, w, h)) {
        RECT r{0, 0, w, h};
        FillRect(dc, &r, owner_.back_brush());
    }
    if (picture_) render_picture(dc, picture_.get(), 0, 0, s.cx, s.cy);
}

namespace {

// A persistent image: a 32-bit top-down bitmap of device-independent pixels.
// It is quick to make (a bitmap of the screen's kind is cleared as it is made,
// before the background is drawn on it), and pixel work can reach its pixels.
HBITMAP image_bitmap(int w, int h) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), w, -h, 1, 32, BI_RGB};
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
}

}  // namespace

void Surface::check_growth(long long w, long long h) const {
    check_image(std::max<long long>({1, w, img_w_}), std::max<long long>({1, h, img_h_}));
}

bool Surface::make_image(bool fill) noexcept {
    SIZE c = client_size(owner_.placed_hwnd());
    int w = std::max<int>(1, c.cx), h = std::max<int>(1, c.cy);
    if (mem_ && img_w_ >= w && img_h_ >= h) return true;
    w = std::max(w, img_w_);
    h = std::max(h, img_h_);
    if (!image_fits(w, h)) return false;
    HBITMAP bmp = nullptr;
    if (!mem_ && reusable_ && reusable_w_ == w && reusable_h_ == h)
        bmp = std::exchange(reusable_, nullptr);  // filled below like a new one
    else
        bmp = image_bitmap(w, h);
    HDC mem = mem_ ? mem_ : CreateCompatibleDC(nullptr);
    if (!bmp || !mem) {
        if (bmp) DeleteObject(bmp);
        if (mem && mem != mem_) DeleteDC(mem);
        return false;
    }
    if (!mem_) {  // a first image: drawn in its own DC
        mem_ = mem;
        old_bmp_ = static_cast<HBITMAP>(SelectObject(mem_, bmp));
        bmp_ = bmp;
        img_w_ = w;
        img_h_ = h;
        if (fill) fill_background(mem_, w, h);
        return true;
    }
    // A larger one keeps what was drawn.
    HDC fresh = CreateCompatibleDC(mem);
    HGDIOBJ prev = SelectObject(fresh, bmp);
    fill_background(fresh, w, h);
    BitBlt(fresh, 0, 0, img_w_, img_h_, mem_, 0, 0, SRCCOPY);
    SelectObject(fresh, prev);
    DeleteDC(fresh);
    SelectObject(mem_, bmp);
    DeleteObject(bmp_);
    bmp_ = bmp;
    img_w_ = w;
    img_h_ = h;
    return true;
}

void Surface::ensure_image(bool fill) {
    if (!make_image(fill)) raise(ferr::CantCreateImage);
}

// Turning AutoRedraw off keeps what was drawn as the background: the window
// repaints from it, Image copies it and Cls clears to it.
void Surface::set_auto_redraw(bool on) {
    if (on == auto_redraw_) return;
    if (on) ensure_image();
    auto_redraw_ = on;
    invalidate(TRUE);
}

// A hidden window is painted whole when it is shown.
void Surface::invalidate(BOOL erase) {
    if (owner_.hwnd_ && IsWindowVisible(owner_.hwnd_)) InvalidateRect(owner_.hwnd_, nullptr, erase);
}

HDC Surface::target() {
    if (auto_redraw_) {
        ensure_image();
        return mem_;
    }
    HWND h = owner_.hwnd();
    return h ? GetDC(h) : nullptr;  // the window's own DC (class style CS_OWNDC)
}

HDC Surface::hdc() { return target(); }

void Surface::drawn() {
    if (auto_redraw_) invalidate(FALSE);
}

void Surface::paint(HDC dc, const RECT&) {
    SIZE c = client_size(owner_.placed_hwnd());
    if (auto_redraw_ && make_image(true)) {
        BitBlt(dc, 0, 0, c.cx, c.cy, mem_, 0, 0, SRCCOPY);
        return;
    }
    fill_background(dc, c.cx, c.cy);
    if (mem_) BitBlt(dc, 0, 0, std::min<int>(c.cx, img_w_), std::min<int>(c.cy, img_h_), mem_, 0, 0, SRCCOPY);
    if (owner_.on.paint) owner_.on.paint();
}

void Surface::resized() {
    if (auto_redraw_ && owner_.hwnd_) make_image(true);  // one that cannot grow keeps its size
}

void Surface::released() {
    drop_image(false);
    if (reusable_) DeleteObject(reusable_);
    reusable_ = nullptr;
}

void Surface::drop_image(bool reuse) {
    if (mem_) {
        SelectObject(mem_, old_bmp_);
        if (reuse) {
            if (reusable_) DeleteObject(reusable_);
            reusable_ = bmp_, reusable_w_ = img_w_, reusable_h_ = img_h_;
        } else {
            DeleteObject(bmp_);
        }
        DeleteDC(mem_);
    }
    mem_ = nullptr;
    bmp_ = old_bmp_ = nullptr;
    img_w_ = img_h_ = 0;
}

void Surface::restore(const Surface& design) {
    drop_image(true);  // its memory serves a new image of the same size
    scale_ = design.scale_;
    auto_redraw_ = design.auto_redraw_;
    picture_ = design.picture_;
    current_x = design.current_x;
    current_y = design.current_y;
    draw_width = design.draw_width;
    fill_style = design.fill_style;
    fill_color = design.fill_color;
    if (owner_.hwnd_) {
        if (auto_redraw_) ensure_image();
        invalidate(TRUE);
    }
}

void Surface::home() {
    current_x = scale_.mode == 0 ? scale_.left : 0.0f;
    current_y = scale_.mode == 0 ? scale_.top : 0.0f;
}

void Surface::cls() {
    home();
    if (auto_redraw_) {
        ensure_image();
        fill_background(mem_, img_w_, img_h_);
        drawn();
    } else if (HWND h = owner_.hwnd_) {
        InvalidateRect(h, nullptr, TRUE);
        UpdateWindow(h);
    }
}

void Surface::line(float x1, float y1, float x2, float y2, long color, bool box, bool fill) {
    HDC dc = target();
    if (!dc) return;
    COLORREF c = rgb_of(color == -1 ? owner_.fore_ : static_cast<OLE_COLOR>(color));
    int ax = coordinate(px_x(x1)), ay = coordinate(px_y(y1));
    int bx = coordinate(px_x(x2)), by = coordinate(px_y(y2));
    if (box) {
        RECT r{std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1, std::max(ay, by) + 1};
        if (fill) {
            HBRUSH b = CreateSolidBrush(c);
            FillRect(dc, &r, b);
            DeleteObject(b);
        } else {
            Selected pen(dc, CreatePen(PS_SOLID, static_cast<int>(draw_width), c), true);
            Selected brush(dc,
                           fill_style == 0 ? static_cast<HGDIOBJ>(CreateSolidBrush(rgb_of(fill_color)))
                                           : GetStockObject(NULL_BRUSH),
                           fill_style == 0);
            Rectangle(dc, r.left, r.top, r.right, r.bottom);
        }
    } else {
        Selected pen(dc, CreatePen(PS_SOLID, static_cast<int>(draw_width), c), true);
        MoveToEx(dc, ax, ay, nullptr);
        LineTo(dc, bx, by);
    }
    current_x = x2;
    current_y = y2;
    drawn();
}

void Surface::pset(float x, float y, long color) {
    HDC dc = target();
    if (!dc) return;
    COLORREF c = rgb_of(color == -1 ? owner_.fore_ : static_cast<OLE_COLOR>(color));
    int px = coordinate(px_x(x)), py = coordinate(px_y(y));
    if (draw_width <= 1) {
        SetPixel(dc, px, py, c);
    } else {
        Selected pen(dc, CreatePen(PS_SOLID, 1, c), true);
        Selected brush(dc, CreateSolidBrush(c), true);
        int r = static_cast<int>(draw_width) / 2;
        Ellipse(dc, px - r, py - r, px - r + static_cast<int>(draw_width), py - r + static_cast<int>(draw_width));
    }
    current_x = x;
    current_y = y;
    drawn();
}

long Surface::point(float x, float y) {
    HDC dc = target();
    if (!dc) return -1;
    const double px = px_x(x), py = px_y(y);
    if (!(std::fabs(px) <= kMaxCoordinate && std::fabs(py) <= kMaxCoordinate)) return -1;
    COLORREF c = GetPixel(dc, coordinate(px), coordinate(py));
    return c == CLR_INVALID ? -1 : static_cast<long>(c);
}

void Surface::print(std::wstring_view text, bool newline) {
    HDC dc = target();
    std::vector<std::wstring> lines = lines_of(text);
    HDC measure = dc ? dc : CreateCompatibleDC(nullptr);
    {
        Selected font(measure, owner_.hfont(), false);
        SetTextColor(measure, rgb_of(owner_.fore_));
        SetBkMode(measure, TRANSPARENT);
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::wstring& l = lines[i];
            SIZE s{0, 0};
            GetTextExtentPoint32W(measure, l.c_str(), static_cast<int>(l.size()), &s);
            if (s.cy == 0) {
                TEXTMETRICW tm;
                GetTextMetricsW(measure, &tm);
                s.cy = tm.tmHeight;
            }
            if (dc)
                TextOutW(dc, coordinate(px_x(current_x)),
                         coordinate(px_y(current_y)), l.c_str(), static_cast<int>(l.size()));
            bool last = i + 1 == lines.size();
            if (last && !newline) {
                current_x = units_x(px_x(current_x) + s.cx);
            } else {
                current_x = scale_.mode == 0 ? scale_.left : 0.0f;
                current_y = units_y(px_y(current_y) + s.cy);
            }
        }
    }
    if (!dc) DeleteDC(measure);
    drawn();
}

float Surface::text_width(std::wstring_view text) {
    HDC dc = CreateCompatibleDC(nullptr);
    long widest = 0;
    {
        Selected font(dc, owner_.hfont(), false);
        for (const auto& l : lines_of(text)) {
            SIZE s{0, 0};
            GetTextExtentPoint32W(dc, l.c_str(), static_cast<int>(l.size()), &s);
            widest = std::max(widest, s.cx);
        }
    }
    DeleteDC(dc);
    return static_cast<float>(widest * twips_per_pixel_x() / twips_per_unit_x());
}

float Surface::text_height(std::wstring_view text) {
    HDC dc = CreateCompatibleDC(nullptr);
    TEXTMETRICW tm{};
    {
        Selected font(dc, owner_.hfont(), false);
        GetTextMetricsW(dc, &tm);
    }
    DeleteDC(dc);
    size_t n = lines_of(text).size();
    return static_cast<float>(n * tm.tmHeight * twips_per_pixel_y() / twips_per_unit_y());
}

void Surface::paint_picture(IPictureDisp* picture, float x1, float y1, const float* w1, const float* h1, float x2,
                            float y2, const float* w2, const float* h2, DWORD rop) {
    if (!picture) raise(ferr::InvalidPicture);
    HDC dc = target();
    if (!dc) return;
    SIZE natural = picture_pixels(picture);
    auto sx = [&](float u) { return coordinate(u * twips_per_unit_x() / twips_per_pixel_x()); };
    auto sy = [&](float u) { return coordinate(u * twips_per_unit_y() / twips_per_pixel_y()); };
    int dx = coordinate(px_x(x1)), dy = coordinate(px_y(y1));
    int dw = w1 ? sx(*w1) : natural.cx, dh = h1 ? sy(*h1) : natural.cy;
    int srcx = sx(x2), srcy = sy(y2);
    int srcw = w2 ? sx(*w2) : natural.cx - srcx, srch = h2 ? sy(*h2) : natural.cy - srcy;
    if (HBITMAP bmp = bitmap_of(picture)) {
        HDC src = CreateCompatibleDC(dc);
        HGDIOBJ prev = SelectObject(src, bmp);
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, dx, dy, dw, dh, src, srcx, srcy, srcw, srch, rop);
        SelectObject(src, prev);
        DeleteDC(src);
    } else {
        render_picture(dc, picture, dx, dy, dw, dh);
    }
    drawn();
}

void Surface::set_picture(IPictureDisp* picture) {
    picture_ = picture;
    if (mem_) fill_background(mem_, img_w_, img_h_);
    invalidate(TRUE);
}

ComPtr<IPictureDisp> Surface::image(HBITMAP into) {
    SIZE c = client_size(owner_.hwnd());
    int w = std::max<int>(1, c.cx), h = std::max<int>(1, c.cy);
    BITMAP given{};
    if (into && (GetObjectW(into, sizeof(given), &given) != sizeof(given) || given.bmWidth != w || given.bmHeight != h))
        DeleteObject(std::exchange(into, nullptr));
    try {
        check_image(w, h);
    } catch (...) {
        if (into) DeleteObject(into);
        throw;
    }
    if (auto_redraw_) ensure_image();
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = into ? into : CreateCompatibleBitmap(screen, w, h);
    HDC copy = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!bmp || !copy) {
        if (bmp) DeleteObject(bmp);
        if (copy) DeleteDC(copy);
        raise(ferr::CantCreateImage);
    }
    HGDIOBJ prev = SelectObject(copy, bmp);
    if (mem_) {
        if (!auto_redraw_) fill_background(copy, w, h);
        BitBlt(copy, 0, 0, std::min(w, img_w_), std::min(h, img_h_), mem_, 0, 0, SRCCOPY);
    } else if (HDC dc = target()) {
        BitBlt(copy, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    }
    SelectObject(copy, prev);
    DeleteDC(copy);
    return picture_from_bitmap(bmp);
}

bool Surface::image_pixels(PixelRows& pixels) {
    if (!auto_redraw_) return false;
    ensure_image();
    DIBSECTION ds{};
    if (GetObjectW(bmp_, sizeof(ds), &ds) != sizeof(ds) || !ds.dsBm.bmBits) return false;
    // image_bitmap's: 32 bits, top-down.
    pixels = PixelRows{static_cast<uint32_t*>(ds.dsBm.bmBits), ds.dsBm.bmWidthBytes / 4, img_w_, img_h_};
    return true;
}

bool Surface::overwrite_image(PixelRows& pixels, uint32_t& background) {
    if (picture_) {
        const bool fresh = !mem_;  // a new image is made cleared
        set_auto_redraw(true);
        if (fresh)
            home();
        else
            cls();
        return false;
    }
    ensure_image(false);
    auto_redraw_ = true;
    home();
    invalidate(TRUE);
    if (!image_pixels(pixels)) {
        fill_background(mem_, img_w_, img_h_);
        return false;
    }
    const COLORREF c = rgb_of(owner_.back_);
    background = static_cast<uint32_t>(GetRValue(c)) << 16 | static_cast<uint32_t>(GetGValue(c)) << 8 | GetBValue(c);
    return true;
}

// --- PictureBox ---------------------------------------------------------------------

void PictureBox::create_window() {
    DWORD ex = s_.border_style == 1 && s_.appearance == 1 ? WS_EX_CLIENTEDGE : 0;
    DWORD style = WS_CLIPCHILDREN | (s_.border_style == 1 && s_.appearance == 0 ? WS_BORDER : 0);
    create(L"ThunderRT6PictureBoxDC", style, ex);
    surface_.resized();
    if (s_.auto_size) fit_picture();
}

void PictureBox::destroy_window() {
    surface_.released();
    Control::destroy_window();
}

void PictureBox::set_picture(IPictureDisp* picture) {
    float w, h;
    if (s_.auto_size && fitted(picture, w, h)) check_placement(x_, y_, w, h, &surface_);  // refused: nothing changes
    surface_.set_picture(picture);
    if (s_.auto_size) fit_picture();
}

void PictureBox::set_auto_size(bool on) {
    if (on) fit_picture();
    s_.auto_size = on;
}

bool PictureBox::fitted(IPictureDisp* pic, float& w, float& h) const {
    if (!pic) return false;
    SIZE s = picture_pixels(pic);
    int border = 0;
    if (hwnd_) {
        // The frame is the same at any size the window may still have to take.
        RECT wr, c;
        GetWindowRect(hwnd_, &wr);
        GetClientRect(hwnd_, &c);
        if (c.right <= 0 && unplaced_) {
            GetWindowRect(placed_hwnd(), &wr);
            GetClientRect(hwnd_, &c);
        }
        border = (wr.right - wr.left) - c.right;
    } else if (s_.border_style == 1) {
        border = s_.appearance == 1 ? 4 : 2;
    }
    w = (static_cast<float>(s.cx) + border) * twips_per_pixel_x();
    h = (static_cast<float>(s.cy) + border) * twips_per_pixel_y();
    return true;
}

void PictureBox::fit_picture() {
    float w, h;
    if (fitted(surface_.picture().get(), w, h)) set_rect(x_, y_, w, h);
}

bool PictureBox::restore(const Control& design) {
    const auto* d = dynamic_cast<const PictureBox*>(&design);
    if (!d || !hwnd_) return false;
    surface_.restore(d->surface_);
    const bool frame = s_.border_style != d->s_.border_style || s_.appearance != d->s_.appearance;
    s_ = d->s_;
    if (frame) set_border_style(s_.border_style);
    restore_common(*d, true);
    if (s_.auto_size) fit_picture();
    return true;
}

void PictureBox::set_border_style(long style) {
    if (style < 0 || style > 1) raise(err::InvalidPropertyValue);
    s_.border_style = style;
    if (!hwnd_) return;
    LONG ex = GetWindowLongW(hwnd_, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE;
    LONG st = GetWindowLongW(hwnd_, GWL_STYLE) & ~WS_BORDER;
    if (style == 1 && s_.appearance == 1) ex |= WS_EX_CLIENTEDGE;
    if (style == 1 && s_.appearance == 0) st |= WS_BORDER;
    SetWindowLongW(hwnd_, GWL_EXSTYLE, ex);
    SetWindowLongW(hwnd_, GWL_STYLE, st);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    surface_.resized();
    if (s_.auto_size) fit_picture();  // the border no longer counts (or now counts) in the size
}

void PictureBox::set_back_color(OLE_COLOR c) {
    back_ = c;
    if (surface_.auto_redraw()) surface_.cls();
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void PictureBox::refresh() {
    if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

ComPtr<Control> PictureBox::clone() const {
    ComPtr<PictureBox> c = make<PictureBox>();
    c->copy_control(*this);
    c->s_ = s_;
    auto& self = const_cast<Surface&>(surface_);
    c->surface_.set_scale_mode(surface_.scale_mode());
    c->surface_.set_auto_redraw(surface_.auto_redraw());
    c->surface_.set_picture(self.picture().get());
    c->surface_.draw_width = surface_.draw_width;
    c->surface_.fill_style = surface_.fill_style;
    c->surface_.fill_color = surface_.fill_color;
    return ComPtr<Control>(c.get());
}

LRESULT PictureBox::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        surface_.paint(dc, ps.rcPaint);
        if (form_ && hwnd_ == hwnd) form_->paint_windowless(dc, this);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SIZE:
        if (hwnd_ == hwnd) {
            surface_.resized();
            if (on.resize) on.resize();
        }
        break;
    case WM_NCDESTROY:
        detach(hwnd);
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return container_default(*this, this, hwnd, msg, wp, lp);
}

// --- Image, Shape, Line -------------------------------------------------------------

void Image::set_picture(IPictureDisp* picture) {
    invalidate_area();
    s_.picture = picture;
    if (!s_.stretch && picture) {
        SIZE s = picture_pixels(picture);
        w_ = s.cx * twips_per_pixel_x();
        h_ = s.cy * twips_per_pixel_y();
    }
    invalidate_area();
}

void Image::paint(HDC dc) {
    RECT r = pixel_rect();
    if (s_.picture) {
        SIZE s = picture_pixels(s_.picture.get());
        render_picture(dc, s_.picture.get(), r.left, r.top, s_.stretch ? r.right - r.left : s.cx,
                       s_.stretch ? r.bottom - r.top : s.cy);
    }
    if (s_.border_style == 1) FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void Shape::paint(HDC dc) {
    RECT r = pixel_rect();
    int w = r.right - r.left, h = r.bottom - r.top;
    if (s_.shape == 1 || s_.shape == 3 || s_.shape == 5) {  // square forms: the smaller side, centred
        int side = std::min(w, h);
        r.left += (w - side) / 2;
        r.top += (h - side) / 2;
        r.right = r.left + side;
        r.bottom = r.top + side;
    }
    HGDIOBJ pen = s_.border_style == 0
                      ? GetStockObject(NULL_PEN)
                      : CreatePen(s_.border_style == 1 ? PS_SOLID : static_cast<int>(s_.border_style - 1),
                                  static_cast<int>(s_.border_width), rgb_of(s_.border_color));
    HGDIOBJ brush;
    if (s_.fill_style == 0)
        brush = CreateSolidBrush(rgb_of(s_.fill_color));
    else if (s_.fill_style >= 2 && s_.fill_style <= 7)
        brush = CreateHatchBrush(static_cast<int>(s_.fill_style - 2), rgb_of(s_.fill_color));
    else
        brush = nullptr;
    if (s_.back_style == 1 && s_.fill_style != 0) {
        HBRUSH back = CreateSolidBrush(rgb_of(back_));
        FillRect(dc, &r, back);
        DeleteObject(back);
    }
    {
        Selected p(dc, pen, s_.border_style != 0);
        Selected b(dc, brush ? brush : GetStockObject(NULL_BRUSH), brush != nullptr);
        SetBkMode(dc, TRANSPARENT);
        int round = std::min(r.right - r.left, r.bottom - r.top) / 4;
        switch (s_.shape) {
        case 2:
        case 3: Ellipse(dc, r.left, r.top, r.right, r.bottom); break;
        case 4:
        case 5: RoundRect(dc, r.left, r.top, r.right, r.bottom, round, round); break;
        default: Rectangle(dc, r.left, r.top, r.right, r.bottom);
        }
    }
}

void Line::paint(HDC dc) {
    POINT a = container_px(s_.x1, s_.y1), b = container_px(s_.x2, s_.y2);
    if (s_.border_style == 0) return;
    Selected pen(dc,
                 CreatePen(s_.border_style == 1 ? PS_SOLID : static_cast<int>(s_.border_style - 1),
                           static_cast<int>(s_.border_width), rgb_of(s_.border_color)),
                 true);
    MoveToEx(dc, a.x, a.y, nullptr);
    LineTo(dc, b.x, b.y);
}

}  // namespace qm::forms
