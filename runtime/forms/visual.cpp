// Window classes, message routing, and what forms and controls share.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include <cmath>
#include <utility>

#include "runtime/forms/forms.h"
#include "runtime/module.h"
#include "runtime/input.h"

namespace qm::forms {

int pixels_per_inch(int axis) noexcept {
    static int dpi[2] = {0, 0};
    if (!dpi[axis]) {
        HDC dc = GetDC(nullptr);
        dpi[axis] = GetDeviceCaps(dc, axis ? LOGPIXELSY : LOGPIXELSX);
        ReleaseDC(nullptr, dc);
        if (dpi[axis] <= 0) dpi[axis] = 96;
    }
    return dpi[axis];
}

namespace {

float twips_per_pixel(int axis) noexcept { return 1440.0f / static_cast<float>(pixels_per_inch(axis)); }

// Runtime class names on top of the system's controls (superclasses). Each of
// the engine's classes keeps its window's object in one extra window word after
// the base class's own: read in the process itself, unlike a window property.
struct SuperClass {
    const wchar_t* name;
    const wchar_t* base;
    WNDPROC base_proc = nullptr;
    ATOM atom = 0;
    int slot = 0;  // offset of the object's window word
};
SuperClass g_super[] = {
    {L"ThunderRT6TextBox", L"EDIT"},          {L"ThunderRT6CommandButton", L"BUTTON"},
    {L"ThunderRT6CheckBox", L"BUTTON"},       {L"ThunderRT6OptionButton", L"BUTTON"},
    {L"ThunderRT6ListBox", L"LISTBOX"},       {L"ThunderRT6ComboBox", L"COMBOBOX"},
    {L"ThunderRT6HScrollBar", L"SCROLLBAR"},   {L"ThunderRT6DriveListBox", L"COMBOBOX"},
};

// The engine's own classes (forms, picture boxes, frames, grids, browsers): the word at offset 0.
ATOM g_own[5] = {};

WNDPROC base_proc_of(HWND hwnd) noexcept {
    ATOM atom = static_cast<ATOM>(GetClassWord(hwnd, GCW_ATOM));
    for (const auto& s : g_super)
        if (s.atom == atom) return s.base_proc;
    return DefWindowProcW;
}

// The offset of the object's window word, or -1 for a window of another class.
int slot_of(HWND hwnd) noexcept {
    ATOM atom = static_cast<ATOM>(GetClassWord(hwnd, GCW_ATOM));
    if (!atom) return -1;
    for (ATOM own : g_own)
        if (own == atom) return 0;
    for (const auto& s : g_super)
        if (s.atom == atom) return s.slot;
    return -1;
}

void bind(HWND hwnd, Visual* v) noexcept {
    int slot = slot_of(hwnd);
    if (slot >= 0) SetWindowLongPtrW(hwnd, slot, reinterpret_cast<LONG_PTR>(v));
}

// Hands a message to the object of the window, which (and whose form) stays alive meanwhile.
LRESULT object_proc(Visual* v, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    ComPtr<Visual> keep(v);
    ComPtr<Form> keep_form(v->form());
    try {
        return v->window_proc(hwnd, msg, wp, lp);
    } catch (...) {  // an event handler's error must not unwind through the system's code
        return 0;
    }
}

LRESULT CALLBACK super_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Visual* v = Visual::from_hwnd(hwnd);
    if (!v) return CallWindowProcW(base_proc_of(hwnd), hwnd, msg, wp, lp);
    return object_proc(v, hwnd, msg, wp, lp);
}

}  // namespace

LRESULT CALLBACK engine_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        if (cs->lpCreateParams) {
            auto* v = static_cast<Visual*>(cs->lpCreateParams);
            v->hwnd_ = hwnd;
            bind(hwnd, v);
        }
    }
    Visual* v = Visual::from_hwnd(hwnd);
    if (!v) return DefWindowProcW(hwnd, msg, wp, lp);
    return object_proc(v, hwnd, msg, wp, lp);
}

void refresh_cursor() noexcept {
    const POINT pt = pointer_position();
    HWND h = WindowFromPoint(pt);
    if (!h || GetWindowThreadProcessId(h, nullptr) != GetCurrentThreadId()) return;
    LRESULT hit = SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(LOWORD(hit), WM_MOUSEMOVE));
}

float twips_per_pixel_x() noexcept { return twips_per_pixel(0); }
float twips_per_pixel_y() noexcept { return twips_per_pixel(1); }

COLORREF rgb_of(OLE_COLOR color) noexcept {
    COLORREF c = 0;
    if (FAILED(OleTranslateColor(color, nullptr, &c))) c = color & 0xFFFFFF;
    return c;
}

// Registers the engine's window classes once per process.
void register_classes() {
    static bool done = [] {
        HINSTANCE inst = module_handle();
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = engine_proc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.style = CS_OWNDC | CS_DBLCLKS;
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        wc.lpszClassName = L"ThunderRT6FormDC";
        g_own[0] = RegisterClassExW(&wc);
        wc.hIcon = nullptr;
        wc.lpszClassName = L"ThunderRT6PictureBoxDC";
        g_own[1] = RegisterClassExW(&wc);
        wc.style = CS_DBLCLKS;
        wc.lpszClassName = L"ThunderRT6Frame";
        g_own[2] = RegisterClassExW(&wc);
        wc.lpszClassName = L"QuillmarkGrid";
        g_own[3] = RegisterClassExW(&wc);
        wc.lpszClassName = L"QuillmarkBrowser";
        g_own[4] = RegisterClassExW(&wc);
        for (auto& s : g_super) {
            WNDCLASSEXW base{sizeof(base)};
            if (!GetClassInfoExW(nullptr, s.base, &base)) continue;
            s.base_proc = base.lpfnWndProc;
            s.slot = base.cbWndExtra;
            base.cbWndExtra += sizeof(LONG_PTR);
            base.lpfnWndProc = super_proc;
            base.hInstance = inst;
            base.lpszClassName = s.name;
            base.style &= ~CS_GLOBALCLASS;
            s.atom = RegisterClassExW(&base);
        }
        return true;
    }();
    (void)done;
}

WNDPROC system_proc(HWND hwnd) noexcept {
    const WNDPROC proc = hwnd ? base_proc_of(hwnd) : nullptr;
    return proc == DefWindowProcW ? nullptr : proc;
}

// --- Visual -----------------------------------------------------------------------

Visual::~Visual() {
    if (back_brush_) DeleteObject(back_brush_);
}

Visual* Visual::from_hwnd(HWND hwnd) noexcept {
    int slot = hwnd ? slot_of(hwnd) : -1;
    return slot < 0 ? nullptr : reinterpret_cast<Visual*>(GetWindowLongPtrW(hwnd, slot));
}

void Visual::attach(HWND hwnd) {
    hwnd_ = hwnd;
    bind(hwnd, this);
}

bool Visual::detach(HWND hwnd) {
    bind(hwnd, nullptr);
    if (hwnd_ != hwnd) return false;
    hwnd_ = nullptr;
    return true;
}

// The window procedure of a windowed standard control: the runtime's mouse and
// key events, cursors, then the system control's own procedure.
LRESULT Visual::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCDESTROY:
        detach(hwnd);
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        mouse_event(msg, wp, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), false);
        if (!IsWindow(hwnd)) return 0;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (!key_event(msg, wp) || !IsWindow(hwnd)) return 0;
        break;
    case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT && apply_cursor()) return TRUE;
        break;
    }
    return CallWindowProcW(base_proc_of(hwnd), hwnd, msg, wp, lp);
}

void Visual::set_back_color(OLE_COLOR c) {
    back_ = c;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void Visual::set_fore_color(OLE_COLOR c) {
    fore_ = c;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH Visual::back_brush() {
    COLORREF c = rgb_of(back_);
    if (!back_brush_ || c != back_brush_color_) {
        if (back_brush_) DeleteObject(back_brush_);
        back_brush_ = CreateSolidBrush(c);
        back_brush_color_ = c;
    }
    return back_brush_;
}

ComPtr<IFontDisp> Visual::font() {
    if (!font_) {
        FONTDESC fd{sizeof(fd)};
        fd.lpstrName = const_cast<LPOLESTR>(L"MS Sans Serif");
        fd.cySize.int64 = 8 * 10000;
        fd.sWeight = FW_NORMAL;
        fd.sCharset = DEFAULT_CHARSET;
        check(OleCreateFontIndirect(&fd, IID_IFontDisp, font_.put_void()));
    }
    return font_;
}

void Visual::set_font(IFontDisp* f) {
    if (!f) raise(err::InvalidPropertyValue);
    ComPtr<IFont> src;
    check(f->QueryInterface(IID_IFont, src.put_void()));
    ComPtr<IFont> copy;
    check(src->Clone(copy.put()));
    font_ = copy.query<IFontDisp>();
    sync_font();
    refresh();
}

HFONT Visual::hfont() {
    ComPtr<IFont> f = font().query<IFont>();
    HFONT h = nullptr;
    if (f) f->get_hFont(&h);
    return h ? h : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void Visual::sync_font() {
    if (!hwnd_ || !font_) return;
    HFONT h = hfont();
    if (h != applied_font_) {
        applied_font_ = h;
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(h), TRUE);
    }
}

void Visual::set_font_name(const std::wstring& n) {
    ComPtr<IFont> f = font().query<IFont>();
    Bstr b(n);
    check(f->put_Name(b.get()));
    sync_font();
    refresh();
}

void Visual::set_font_size(float points) {
    if (points <= 0 || points > 2160) raise(err::InvalidPropertyValue);
    ComPtr<IFont> f = font().query<IFont>();
    CY cy;
    cy.int64 = std::llround(points * 10000.0);
    check(f->put_Size(cy));
    sync_font();
    refresh();
}

void Visual::set_font_flag(DISPID which, bool on) {
    ComPtr<IFont> f = font().query<IFont>();
    BOOL b = on ? TRUE : FALSE;
    switch (which) {
    case DISPID_FONT_BOLD: check(f->put_Bold(b)); break;
    case DISPID_FONT_ITALIC: check(f->put_Italic(b)); break;
    case DISPID_FONT_UNDER: check(f->put_Underline(b)); break;
    case DISPID_FONT_STRIKE: check(f->put_Strikethrough(b)); break;
    }
    sync_font();
    refresh();
}

void Visual::set_mouse_pointer(long p) {
    if (p < 0 || (p > 15 && p != 99)) raise(err::InvalidPropertyValue);
    mouse_pointer_ = p;
    refresh_cursor();
}

namespace {
HCURSOR cursor_for(long pointer) {
    static const wchar_t* ids[] = {IDC_ARROW, IDC_ARROW, IDC_CROSS, IDC_IBEAM, IDC_ICON,  IDC_SIZE,
                                   IDC_SIZENESW, IDC_SIZENS, IDC_SIZENWSE, IDC_SIZEWE, IDC_UPARROW, IDC_WAIT,
                                   IDC_NO, IDC_APPSTARTING, IDC_HELP, IDC_SIZEALL};
    if (pointer < 0 || pointer > 15) return nullptr;
    return LoadCursorW(nullptr, ids[pointer]);
}
}  // namespace

extern long g_screen_pointer;  // Screen.MousePointer (forms_globals.cpp)
extern ComPtr<IPictureDisp> g_screen_icon;

bool Visual::apply_cursor() {
    long p = g_screen_pointer ? g_screen_pointer : mouse_pointer_;
    IPictureDisp* icon = g_screen_pointer ? g_screen_icon.get() : mouse_icon_.get();
    if (p == 0) return false;
    HCURSOR c = nullptr;
    if (p == 99 && icon) {
        ComPtr<IPicture> pic;
        icon->QueryInterface(IID_IPicture, pic.put_void());
        OLE_HANDLE h = 0;
        if (pic) pic->get_Handle(&h);
        c = reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(h));
    } else {
        c = cursor_for(p);
    }
    if (!c) return false;
    SetCursor(c);
    return true;
}

bool Visual::enabled() const { return hwnd_ ? IsWindowEnabled(hwnd_) != FALSE : enabled_; }

void Visual::set_enabled(bool on) {
    enabled_ = on;
    if (hwnd_) EnableWindow(hwnd_, on);
}

void Visual::refresh() {
    if (hwnd_) {
        InvalidateRect(hwnd_, nullptr, TRUE);
        UpdateWindow(hwnd_);
    }
}

float Visual::mouse_units_x(int px) { return static_cast<float>(px) * twips_per_pixel_x(); }
float Visual::mouse_units_y(int py) { return static_cast<float>(py) * twips_per_pixel_y(); }

namespace {
int shift_state() {
    return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
           (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}
}  // namespace

void Visual::mouse_event(UINT msg, WPARAM wp, int x, int y, bool click_on_up) {
    int buttons = ((wp & MK_LBUTTON) ? 1 : 0) | ((wp & MK_RBUTTON) ? 2 : 0) | ((wp & MK_MBUTTON) ? 4 : 0);
    float ux = mouse_units_x(x), uy = mouse_units_y(y);
    int shift = shift_state();
    switch (msg) {
    case WM_MOUSEMOVE:
        if (on.mouse_move) on.mouse_move(buttons, shift, ux, uy);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (on.mouse_down)
            on.mouse_down(msg == WM_LBUTTONDOWN ? 1 : msg == WM_RBUTTONDOWN ? 2 : 4, shift, ux, uy);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (on.mouse_up) on.mouse_up(msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 2 : 4, shift, ux, uy);
        if (click_on_up && msg == WM_LBUTTONUP && on.click) on.click();
        break;
    case WM_LBUTTONDBLCLK:
        if (on.dbl_click) on.dbl_click();
        break;
    }
}

bool Visual::key_event(UINT msg, WPARAM& wp) {
    if (msg == WM_KEYDOWN || msg == WM_KEYUP) {
        auto& handler = msg == WM_KEYDOWN ? on.key_down : on.key_up;
        if (!handler) return true;
        int key = static_cast<int>(wp);
        handler(key, shift_state());
        if (key == 0) return false;
        wp = static_cast<WPARAM>(key);
    } else if (msg == WM_CHAR) {
        if (!on.key_press) return true;
        int ascii = static_cast<int>(wp);
        on.key_press(ascii);
        if (ascii == 0) return false;
        wp = static_cast<WPARAM>(ascii);
    }
    return true;
}

void Visual::copy_visual(const Visual& from) {
    name_ = from.name_;
    tag_ = from.tag_;
    back_ = from.back_;
    fore_ = from.fore_;
    if (from.font_) {
        ComPtr<IFont> src = from.font_.query<IFont>(), copy;
        if (src && SUCCEEDED(src->Clone(copy.put()))) font_ = copy.query<IFontDisp>();
    }
    mouse_pointer_ = from.mouse_pointer_;
    mouse_icon_ = from.mouse_icon_;
    enabled_ = from.enabled_;
}

// --- Control ------------------------------------------------------------------------

namespace {
// The surface whose scale a control's position uses: its container's, or the form's.
Surface* scale_surface(const Control& c) {
    if (Control* k = c.container())
        if (Surface* s = k->surface()) return s;
    Form* f = const_cast<Control&>(c).form();
    return f ? f->surface() : nullptr;
}
float tpu_x(const Control& c) {
    Surface* s = scale_surface(c);
    return s ? s->twips_per_unit_x() : 1.0f;
}
float tpu_y(const Control& c) {
    Surface* s = scale_surface(c);
    return s ? s->twips_per_unit_y() : 1.0f;
}
float off_x(const Control& c) {
    Surface* s = scale_surface(c);
    return s && s->scale_mode() == 0 ? s->scale().left : 0.0f;
}
float off_y(const Control& c) {
    Surface* s = scale_surface(c);
    return s && s->scale_mode() == 0 ? s->scale().top : 0.0f;
}
}  // namespace

float Control::container_twips_per_unit_x() const { return tpu_x(*this); }
float Control::container_twips_per_unit_y() const { return tpu_y(*this); }

float Control::left() const { return x_ / tpu_x(*this) + off_x(*this); }
float Control::top() const { return y_ / tpu_y(*this) + off_y(*this); }
float Control::width() const { return w_ / tpu_x(*this); }
float Control::height() const { return h_ / tpu_y(*this); }

void Control::set_left(float v) { set_rect((v - off_x(*this)) * tpu_x(*this), y_, w_, h_); }
void Control::set_top(float v) { set_rect(x_, (v - off_y(*this)) * tpu_y(*this), w_, h_); }
void Control::set_width(float v) {
    if (v < 0) raise(err::InvalidPropertyValue);
    set_rect(x_, y_, v * tpu_x(*this), h_);
}
void Control::set_height(float v) {
    if (v < 0) raise(err::InvalidPropertyValue);
    set_rect(x_, y_, w_, v * tpu_y(*this));
}

void Control::move(float left, const float* top, const float* width, const float* height) {
    if ((width && *width < 0) || (height && *height < 0)) raise(err::InvalidPropertyValue);
    set_rect((left - off_x(*this)) * tpu_x(*this), top ? (*top - off_y(*this)) * tpu_y(*this) : y_,
             width ? *width * tpu_x(*this) : w_, height ? *height * tpu_y(*this) : h_);
}

void Control::set_rect(float x, float y, float w, float h) {
    check_placement(x, y, w, h, surface());
    invalidate_area();
    x_ = x, y_ = y, w_ = w, h_ = h;
    place();
}

float Control::mouse_units_x(int px) { return static_cast<float>(px) * twips_per_pixel_x() / tpu_x(*this); }
float Control::mouse_units_y(int py) { return static_cast<float>(py) * twips_per_pixel_y() / tpu_y(*this); }

POINT Control::container_px(float x, float y) const {
    float tx = twips_per_pixel_x(), ty = twips_per_pixel_y();
    return {lroundf((x - off_x(*this)) * tpu_x(*this) / tx), lroundf((y - off_y(*this)) * tpu_y(*this) / ty)};
}

RECT Control::pixel_rect() const noexcept {
    float tx = twips_per_pixel_x(), ty = twips_per_pixel_y();
    return {lroundf(x_ / tx), lroundf(y_ / ty), lroundf((x_ + w_) / tx), lroundf((y_ + h_) / ty)};
}

HWND Control::container_hwnd() const noexcept {
    if (container_) return container_->hwnd_;
    return form_ ? form_->hwnd_ : nullptr;
}

void Control::invalidate_area() {
    HWND parent = container_hwnd();
    if (!parent || !windowless()) return;
    RECT r = pixel_rect();
    InflateRect(&r, 2, 2);
    InvalidateRect(parent, &r, TRUE);
}

void Control::place() {
    if (windowless()) {
        invalidate_area();
        apply_tip();
        return;
    }
    if (!hwnd_) return;
    RECT r = pixel_rect();
    if (std::exchange(unplaced_, false)) {  // a move left for later: often to where the window is
        RECT now{};
        GetWindowRect(hwnd_, &now);
        MapWindowPoints(nullptr, container_hwnd(), reinterpret_cast<POINT*>(&now), 2);
        if (EqualRect(&now, &r)) return;
    }
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Control::placed_hwnd() const noexcept {
    if (unplaced_) const_cast<Control*>(this)->place();
    return hwnd_;
}

SIZE Control::frame_pixels() const noexcept {
    RECT outer{}, client{};
    if (hwnd_ && GetWindowRect(hwnd_, &outer) && GetClientRect(hwnd_, &client))
        return {outer.right - outer.left - client.right, outer.bottom - outer.top - client.bottom};
    return {};
}

void Control::set_visible(bool on) {
    visible_ = on;
    if (windowless()) {
        invalidate_area();
        return;
    }
    if (hwnd_) ShowWindow(hwnd_, on ? SW_SHOWNA : SW_HIDE);
}

void Control::zorder(int position) {
    if (form_) {
        auto& list = form_->controls_;
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->get() == this) {
                ComPtr<Control> me = *it;
                list.erase(it);
                if (position == 0) list.push_back(me);
                else list.insert(list.begin(), me);
                break;
            }
    }
    if (hwnd_) SetWindowPos(hwnd_, position == 0 ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                            SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    invalidate_area();
}

void Control::set_focus() {
    if (!hwnd_ || !IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_)) raise(err::InvalidCall);
    SetFocus(hwnd_);
}

void Control::create(const wchar_t* cls, DWORD style, DWORD ex_style, const wchar_t* text) {
    register_classes();
    HWND parent = container_hwnd();
    if (!parent) return;
    RECT r = pixel_rect();
    style |= WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0) | (enabled_ ? 0 : WS_DISABLED);
    HWND h = CreateWindowExW(ex_style, cls, text, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                             nullptr, module_handle(), static_cast<Visual*>(this));
    if (!h) raise_win32();
    if (!hwnd_) attach(h);
    applied_font_ = nullptr;
    font();
    sync_font();
    apply_tip();
}

// Only what differs changes: a font made anew, for one, costs its realisation.
void Control::restore_common(const Control& design, bool place_later) {
    const bool colours = back_ != design.back_ || fore_ != design.fore_;
    tag_ = design.tag_;
    back_ = design.back_;
    fore_ = design.fore_;
    mouse_pointer_ = design.mouse_pointer_;
    mouse_icon_ = design.mouse_icon_;
    ComPtr<IFont> now = font_ ? font_.query<IFont>() : ComPtr<IFont>(), was;
    if (design.font_) was = design.font_.query<IFont>();
    if (was && (!now || now->IsEqual(was.get()) != S_OK)) {
        ComPtr<IFont> copy;
        if (SUCCEEDED(was->Clone(copy.put()))) font_ = copy.query<IFontDisp>();
    }
    const bool moved = x_ != design.x_ || y_ != design.y_ || w_ != design.w_ || h_ != design.h_;
    x_ = design.x_, y_ = design.y_, w_ = design.w_, h_ = design.h_;
    const bool tip = tip_ != design.tip_;
    tip_ = design.tip_;
    if (!hwnd_) {
        visible_ = design.visible_, enabled_ = design.enabled_;
        return;
    }
    if (moved) {
        if (place_later && form_ && !form_->visible()) unplaced_ = true;
        else place();
    }
    if (visible_ != design.visible_) ShowWindow(hwnd_, design.visible_ ? SW_SHOWNA : SW_HIDE);
    visible_ = design.visible_;
    if (enabled_ != design.enabled_) EnableWindow(hwnd_, design.enabled_);
    enabled_ = design.enabled_;
    sync_font();
    if (tip) apply_tip();
    if (colours) InvalidateRect(hwnd_, nullptr, TRUE);
}

void Control::destroy_window() {
    if (hwnd_) {
        HWND h = hwnd_;
        if (!tip_.empty() && form_ && form_->tips_ && IsWindow(form_->tips_)) {
            TOOLINFOW ti{sizeof(ti), TTF_IDISHWND, container_hwnd(), reinterpret_cast<UINT_PTR>(h)};
            SendMessageW(form_->tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
        DestroyWindow(h);
        hwnd_ = nullptr;
    }
}

void Control::copy_control(const Control& from) {
    copy_visual(from);
    x_ = from.x_, y_ = from.y_, w_ = from.w_, h_ = from.h_;
    visible_ = from.visible_;
    tip_ = from.tip_;
}

}  // namespace qm::forms
