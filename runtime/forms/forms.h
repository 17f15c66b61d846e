// A small forms engine on real Win32 windows, with the runtime's object model:
// forms that load on first touch, controls (windowed ones on window classes with
// the runtime's names, windowless labels, images, shapes and lines drawn by their
// container), control arrays, timers, drawing surfaces with a persistent image,
// and the library's Forms collection. Every form and control is also an
// automation object (forms_object.h) that answers the runtime's member names.
//
// Positions: a form's Left/Top/Width/Height are twips of the outer window; a
// control's are in its container's scale units (twips unless the container's
// ScaleMode says otherwise). All objects live on the thread that made them.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/forms/object.h"

namespace qm {
struct PixelRows;
}

namespace qm::forms {

class Form;
class Control;

// Twips per screen pixel (15 at 96 dpi).
int pixels_per_inch(int axis) noexcept;  // the screen's, 0 across, 1 down
float twips_per_pixel_x() noexcept;
float twips_per_pixel_y() noexcept;

// Lets the window of this thread under the mouse pointer choose its cursor again
// (after a MousePointer change), without moving the pointer.
void refresh_cursor() noexcept;

// An automation colour (system colours 0x800000nn included) as an RGB value.
COLORREF rgb_of(OLE_COLOR color) noexcept;

// Events the engine raises; unset handlers are skipped. Handlers may unload
// the form (even from inside a nested message loop): the engine keeps the
// objects alive until the handler has returned.
struct Events {
    std::function<void()> click, dbl_click, change, timer, scroll, load, activate, deactivate, resize, paint;
    std::function<void(int& cancel)> unload;
    std::function<void(int& cancel, int mode)> query_unload;  // mode: 0 control menu, 1 code
    std::function<void(int button, int shift, float x, float y)> mouse_down, mouse_move, mouse_up;
    std::function<void(int& key_code, int shift)> key_down, key_up;
    std::function<void(int& key_ascii)> key_press;  // set key_ascii to 0 to swallow the key
};

// The scale of a drawing surface or container: ScaleMode 0 (user), 1 twips,
// 2 points, 3 pixels, 4 characters, 5 inches, 6 millimetres, 7 centimetres.
struct Scale {
    int mode = 1;
    float left = 0, top = 0, width = 0, height = 0;  // user scale (mode 0)
};

// Persistent drawing state of a form or picture box (AutoRedraw image, pen, text).
class Surface {
public:
    explicit Surface(class Visual& owner) : owner_(owner) {}
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool auto_redraw() const noexcept { return auto_redraw_; }
    void set_auto_redraw(bool on);  // 480 (and off) when the image cannot be made
    bool has_image() const noexcept { return mem_ != nullptr; }  // a new one starts as Cls leaves it
    // 480 unless the persistent image may grow to a client area of w × h pixels.
    void check_growth(long long w, long long h) const;
    HDC hdc();  // the persistent image's DC with AutoRedraw, else the window's own DC

    // Scale units <-> client pixels.
    const Scale& scale() const noexcept { return scale_; }
    void set_scale_mode(int mode);
    int scale_mode() const noexcept { return scale_.mode; }
    float scale_width() const;
    float scale_height() const;
    void set_scale_width(float w);
    void set_scale_height(float h);
    double px_x(float units) const;  // positions
    double px_y(float units) const;
    float units_x(double px) const;
    float units_y(double px) const;
    float twips_per_unit_x() const;
    float twips_per_unit_y() const;
    // ScaleX/ScaleY: a width or height from one scale mode into another (0 this
    // surface's user scale, 1-7 as ScaleMode, 8 HiMetric); 5 for another mode.
    float scale_x(float value, int from, int to) const;
    float scale_y(float value, int from, int to) const;

    // Drawing, in scale units; colours are automation colours (-1: ForeColor).
    void cls();
    void line(float x1, float y1, float x2, float y2, long color = -1, bool box = false, bool fill = false);
    void pset(float x, float y, long color = -1);
    long point(float x, float y);  // -1 outside the surface
    void print(std::wstring_view text, bool newline = true);
    float text_width(std::wstring_view text);
    float text_height(std::wstring_view text);
    void paint_picture(IPictureDisp* picture, float x1, float y1, const float* w1, const float* h1, float x2 = 0,
                       float y2 = 0, const float* w2 = nullptr, const float* h2 = nullptr, DWORD rop = SRCCOPY);
    float current_x = 0, current_y = 0;
    long draw_width = 1;
    long fill_style = 1;  // 0 solid, 1 transparent
    long fill_color = 0;

    ComPtr<IPictureDisp> picture() const { return picture_; }
    void set_picture(IPictureDisp* picture);
    // A copy of the persistent image as a StdPicture; into, when given, is a
    // screen-compatible bitmap made for it (taken over; made anew unless its size
    // is the image's).
    ComPtr<IPictureDisp> image(HBITMAP into = nullptr);
    // With AutoRedraw: the persistent image's pixels (made if need be), which hdc()
    // draws on one to one unless its mapping or clipping was changed. False without.
    bool image_pixels(PixelRows& pixels);
    // AutoRedraw on and Cls, for a caller that then sets every pixel of the image
    // itself: without a picture the image is not cleared here, and its pixels and
    // the background colour as a pixel value are given for the caller to clear
    // (true). With a picture, a plain Cls (false).
    bool overwrite_image(PixelRows& pixels, uint32_t& background);

    // Back to the state of `design` (a surface as its box was made): scale,
    // picture, drawing settings, and no persistent image unless design keeps one.
    void restore(const Surface& design);

    // Window hooks.
    void paint(HDC dc, const RECT& update);
    void resized();
    void released();  // the window is going away

private:
    bool make_image(bool fill) noexcept;  // fill: a new image is cleared; false when it cannot be made
    void ensure_image(bool fill = true);  // the same, 480 when it cannot be made
    void drop_image(bool reuse);  // reuse: the bitmap is kept for the next image of its size
    void fill_background(HDC dc, int w, int h);
    void drawn();
    void invalidate(BOOL erase);
    void home();  // the drawing position to the top left corner of the scale
    HDC target();
    Visual& owner_;
    Scale scale_;
    bool auto_redraw_ = false;
    HDC mem_ = nullptr;
    HBITMAP bmp_ = nullptr, old_bmp_ = nullptr;
    int img_w_ = 0, img_h_ = 0;
    HBITMAP reusable_ = nullptr;  // a dropped image's bitmap (restore)
    int reusable_w_ = 0, reusable_h_ = 0;
    ComPtr<IPictureDisp> picture_;
};

// 380 unless a window of w × h twips at x, y fits (limits.h); 480 unless the
// persistent image of `surface` (nullptr: none), when it has one, may grow to that size.
void check_placement(double x, double y, double w, double h, const Surface* surface);

// What forms and controls share: names, colours, font, pointer, window, events.
class Visual : public Object {
public:
    Events on;

    std::wstring name() const { return name_; }
    std::wstring tag() const { return tag_; }
    void set_tag(std::wstring t) { tag_ = std::move(t); }
    virtual HWND hwnd() const noexcept { return hwnd_; }
    // The window, where the control's position and size are what it reports.
    virtual HWND placed_hwnd() const noexcept { return hwnd_; }

    OLE_COLOR back_color() const noexcept { return back_; }
    virtual void set_back_color(OLE_COLOR c);
    OLE_COLOR fore_color() const noexcept { return fore_; }
    virtual void set_fore_color(OLE_COLOR c);

    ComPtr<IFontDisp> font();  // a StdFont, made on first use
    void set_font(IFontDisp* font);
    HFONT hfont();  // the font's handle, for drawing
    void set_font_name(const std::wstring& n);
    void set_font_size(float points);
    void set_font_flag(DISPID which, bool on);  // bold, italic, underline, strikethrough

    long mouse_pointer() const noexcept { return mouse_pointer_; }
    void set_mouse_pointer(long p);
    ComPtr<IPictureDisp> mouse_icon() const { return mouse_icon_; }
    void set_mouse_icon(IPictureDisp* icon) { mouse_icon_ = icon; }
    bool apply_cursor();  // WM_SETCURSOR: true when this object chose the cursor

    virtual Surface* surface() noexcept { return nullptr; }
    virtual Form* form() noexcept = 0;
    virtual bool enabled() const;
    virtual void set_enabled(bool on);
    virtual void refresh();

    static const Table& members();

    // The object whose window this is (forms, windowed controls), or nullptr.
    static Visual* from_hwnd(HWND hwnd) noexcept;
    // Forwards a window message to the original window procedure of a control class.
    virtual LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

protected:
    Visual() = default;
    ~Visual() override;
    void attach(HWND hwnd);  // binds the window to this object
    bool detach(HWND hwnd);  // WM_NCDESTROY: unbinds; true when it was this object's window
    void sync_font();        // sends WM_SETFONT when the font's handle changed
    // Mouse and key events routed to this object; coordinates in client pixels.
    void mouse_event(UINT msg, WPARAM wp, int x, int y, bool click_on_up);
    virtual float mouse_units_x(int px);
    virtual float mouse_units_y(int py);
    bool key_event(UINT msg, WPARAM& wp);  // false: swallowed
    void copy_visual(const Visual& from);

    std::wstring name_, tag_;
    HWND hwnd_ = nullptr;
    OLE_COLOR back_ = 0x8000000F, fore_ = 0x80000012;
    ComPtr<IFontDisp> font_;
    HFONT applied_font_ = nullptr;
    long mouse_pointer_ = 0;
    ComPtr<IPictureDisp> mouse_icon_;
    bool enabled_ = true;
    HBRUSH back_brush_ = nullptr;
    COLORREF back_brush_color_ = CLR_INVALID;
    HBRUSH back_brush();
    friend class Form;
    friend class Control;
    friend class Surface;
    friend LRESULT CALLBACK engine_proc(HWND, UINT, WPARAM, LPARAM);
    friend bool container_message(Visual& owner, Control* container, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                                  LRESULT& result);
};

// Messages every container window (form, frame, picture box) handles alike:
// notifications reflected to the child control, control colours, mouse events
// of windowless controls, cursors. True when the message was handled.
bool container_message(Visual& owner, Control* container, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                       LRESULT& result);
// The end of a container's window procedure: container_message, else the default.
LRESULT container_default(Visual& owner, Control* container, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// A control placed on a form (or in a frame or picture box of it).
class Control : public Visual {
public:
    Form* form() noexcept override { return form_; }
    Control* container() const noexcept { return container_; }
    long index() const noexcept { return index_; }  // -1 outside a control array

    // Position and size in the container's scale units.
    float left() const;
    float top() const;
    float width() const;
    float height() const;
    void set_left(float v);
    void set_top(float v);
    void set_width(float v);
    void set_height(float v);
    void move(float left, const float* top = nullptr, const float* width = nullptr, const float* height = nullptr);
    // Position and size in twips, relative to the container's client area; a
    // window or image beyond the limits (limits.h) raises 380 or 480 and
    // leaves the control as it was.
    void set_rect(float x, float y, float w, float h);
    // Twips per unit of the container's scale.
    float container_twips_per_unit_x() const;
    float container_twips_per_unit_y() const;
    // The same in twips, relative to the container's client area.
    RECT twips_rect() const noexcept { return {lround(x_), lround(y_), lround(x_ + w_), lround(y_ + h_)}; }

    bool visible() const noexcept { return visible_; }
    virtual void set_visible(bool on);
    HWND hwnd() const noexcept override { return placed_hwnd(); }
    HWND placed_hwnd() const noexcept override;
    // The window's frame in pixels: its outer size less its client area's, which
    // its size does not change (read without placing the window first).
    SIZE frame_pixels() const noexcept;
    void zorder(int position);  // 0 front, 1 back
    void set_focus();

    // ToolTipText: shown through the form's one tooltip window; "" removes the tip.
    const std::wstring& tool_tip() const noexcept { return tip_; }
    void set_tool_tip(std::wstring text);

    virtual bool windowless() const noexcept { return false; }
    virtual bool is_container() const noexcept { return false; }
    // Windowless controls draw themselves into their container's paint.
    virtual void paint(HDC) {}
    virtual bool hit_test() const noexcept { return false; }  // windowless: takes mouse events

    static const Table& members();

    // Pixel rectangle in the container's client area.
    RECT pixel_rect() const noexcept;
    // A point in the container's scale units as container client pixels.
    POINT container_px(float x, float y) const;
    // The container's window (a frame, a picture box or the form).
    HWND container_hwnd() const noexcept;
    // Puts the control on its present window back into the state of `design`, a
    // clone of it made when it was new. False (nothing changed) for a kind of
    // control that cannot, or when design's state needs another window.
    virtual bool restore(const Control& design) { return false; }
    // Reacts to a notification its container received (WM_COMMAND, WM_HSCROLL, ...).
    virtual bool reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }
    // The container's client area changed size (aligned controls follow it).
    virtual void container_resized() {}

protected:
    Control() = default;
    friend class Form;
    virtual void create_window() {}
    virtual void destroy_window();
    virtual ComPtr<Control> clone() const = 0;
    // Creates the control's window with a runtime class name; style without WS_CHILD.
    void create(const wchar_t* cls, DWORD style, DWORD ex_style = 0, const wchar_t* text = L"");
    void place();            // moves the window (or repaints the container) after a geometry change
    void invalidate_area();  // windowless: repaints the area of the container
    void copy_control(const Control& from);
    // restore(): the common properties and the position, applied to the window.
    // On a hidden form the window may be moved later (see placed_hwnd): a form
    // kept for reuse is mostly moved again at once, and most often to where its
    // window still is.
    void restore_common(const Control& design, bool place_later = false);
    // A copy of src with the common properties and its own state; args go to T's constructor.
    template <class T, class... A>
    static ComPtr<Control> clone_of(const T& src, A&&... args) {
        ComPtr<T> c = make<T>(std::forward<A>(args)...);
        c->copy_control(src);
        c->s_ = src.s_;
        return ComPtr<Control>(c.get());
    }

    float mouse_units_x(int px) override;
    float mouse_units_y(int py) override;

    Form* form_ = nullptr;
    Control* container_ = nullptr;
    long index_ = -1;
    bool design_ = false;  // placed by the form's design (cannot be unloaded alone)
    float x_ = 0, y_ = 0, w_ = 1215, h_ = 495;  // twips
    bool unplaced_ = false;                      // the window is not yet where x_.. h_ say
    bool visible_ = true;
    std::wstring tip_;
    void apply_tip();  // registers the tip with the form's tooltip window (after a window or place change)
};

// --- controls -------------------------------------------------------------------

class Label final : public Control {
public:
    const wchar_t* type_name() const noexcept override { return L"Label"; }
    const Table& table() const override;
    bool windowless() const noexcept override { return true; }
    bool hit_test() const noexcept override { return true; }
    void paint(HDC dc) override;
    std::wstring caption() const { return s_.caption; }
    void set_caption(std::wstring c);
    void set_auto_size(bool on);
    void set_back_color(OLE_COLOR c) override;
    void set_fore_color(OLE_COLOR c) override;
    void refresh() override { invalidate_area(); }
    struct State {
        std::wstring caption;
        bool auto_size = false, word_wrap = false;
        long alignment = 0, back_style = 1, border_style = 0;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void fit();
};

class TextBox final : public Control {
public:
    TextBox() { back_ = 0x80000005, fore_ = 0x80000008; }
    const wchar_t* type_name() const noexcept override { return L"TextBox"; }
    const Table& table() const override;
    std::wstring text() const;
    void set_text(std::wstring t);
    long sel_start() const;
    void set_sel_start(long v);
    long sel_length() const;
    void set_sel_length(long v);
    std::wstring sel_text() const;
    void set_sel_text(const std::wstring& t);
    void set_locked(bool on);
    void set_multi_line(bool on);
    void set_password_char(const std::wstring& c);
    bool reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    struct State {
        std::wstring text;
        bool multi_line = false, locked = false;
        wchar_t password = 0;
        long max_length = 0, scroll_bars = 0, alignment = 0, border_style = 1;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void create_window() override;
    void destroy_window() override;
};

// CommandButton, CheckBox and OptionButton: one class, three kinds.
class Button final : public Control {
public:
    enum Kind { Command, Check, Option };
    explicit Button(Kind kind = Command) : kind_(kind) {}
    const wchar_t* type_name() const noexcept override;
    const Table& table() const override;
    std::wstring caption() const;
    void set_caption(std::wstring c);
    long value() const;  // check box 0/1/2, option button -1/0, command button 0
    void set_value(long v);
    bool reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    struct State {
        std::wstring caption;
        long value = 0, alignment = 0, style = 0;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this, kind_); }
    void create_window() override;
    void destroy_window() override;
    Kind kind_;
};

class Frame final : public Control {
public:
    const wchar_t* type_name() const noexcept override { return L"Frame"; }
    const Table& table() const override;
    bool is_container() const noexcept override { return true; }
    std::wstring caption() const { return s_.caption; }
    void set_caption(std::wstring c);
    LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
    struct State {
        std::wstring caption;
        long border_style = 1;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void create_window() override;
};

// ListBox and ComboBox share their list operations.
class ListControl : public Control {
public:
    long list_count() const;
    std::wstring list(long i) const;  // "" outside the list
    void set_list(long i, const std::wstring& text);
    long list_index() const;
    void set_list_index(long i);
    long item_data(long i) const;
    void set_item_data(long i, long data);
    long new_index() const noexcept { return new_index_; }
    void add_item(const std::wstring& text, long index = -1);
    void remove_item(long index);
    void clear();
    bool sorted() const noexcept { return sorted_; }
    void set_sorted(bool on);
    virtual std::wstring text() const;
    bool reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    static const Table& members();

protected:
    explicit ListControl(bool combo) : combo_(combo) { back_ = 0x80000005, fore_ = 0x80000008; }
    UINT msg(UINT list_msg) const noexcept;  // the combo box's message for a list-box message
    void recreate();                         // after a style change: the items are kept
    template <class T>
    static ComPtr<Control> clone_list(const T& src) {
        ComPtr<Control> c = clone_of(src);
        static_cast<ListControl*>(c.get())->sorted_ = src.sorted_;
        return c;
    }
    void check_index(long i, long error) const;
    bool combo_;
    bool sorted_ = false;
    long new_index_ = -1;
    struct Item {
        std::wstring text;
        LPARAM data;
    };
    std::vector<Item> saved_;  // the items while no window exists
};

class ListBox final : public ListControl {
public:
    explicit ListBox(bool sorted = false) : ListControl(false) { sorted_ = sorted; }
    const wchar_t* type_name() const noexcept override { return L"ListBox"; }
    const Table& table() const override;
    long top_index() const;
    void set_top_index(long i);
    bool selected(long i) const;
    void set_selected(long i, bool on);
    long sel_count() const;
    long multi_select() const noexcept { return s_.multi_select; }
    void set_multi_select(long m);  // 0 none, 1 simple, 2 extended
    bool restore(const Control& design) override;  // without items
    struct State {
        long multi_select = 0, columns = 0;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_list(*this); }
    void create_window() override;
    void destroy_window() override;
};

class ComboBox final : public ListControl {
public:
    ComboBox() : ListControl(true) {}
    const wchar_t* type_name() const noexcept override { return L"ComboBox"; }
    const Table& table() const override;
    long style() const noexcept { return s_.style; }
    void set_style(long style);  // 0 drop-down combo, 1 simple combo, 2 drop-down list
    std::wstring text() const override;
    void set_text(const std::wstring& t);
    struct State {
        long style = 0;
        std::wstring text;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_list(*this); }
    void create_window() override;
    void destroy_window() override;
};

class HScrollBar final : public Control {
public:
    const wchar_t* type_name() const noexcept override { return L"HScrollBar"; }
    const Table& table() const override;
    long value() const;
    void set_value(long v);  // 380 outside Min..Max
    void set_range(long min, long max);
    bool reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    struct State {
        long min = 0, max = 32767, value = 0, small_change = 1, large_change = 1;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void create_window() override;
    void apply();
};

class Timer final : public Control {
public:
    const wchar_t* type_name() const noexcept override { return L"Timer"; }
    const Table& table() const override;
    bool windowless() const noexcept override { return true; }
    long interval() const noexcept { return s_.interval; }
    void set_interval(long ms);  // 0 to 65535, else 380
    bool enabled() const override { return s_.enabled; }
    void set_enabled(bool on) override;
    void tick();  // runs the Timer event (not re-entered while it runs)
    struct State {
        long interval = 0;
        bool enabled = true;
    } s_;

private:
    friend class Control;
    friend class Form;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void create_window() override { apply(); }
    void destroy_window() override;
    void apply();
    bool running_ = false, ticking_ = false;
};

class PictureBox final : public Control {
public:
    PictureBox() : surface_(*this) { back_ = 0x8000000F; }
    const wchar_t* type_name() const noexcept override { return L"PictureBox"; }
    const Table& table() const override;
    Surface* surface() noexcept override { return &surface_; }
    bool is_container() const noexcept override { return true; }
    void set_picture(IPictureDisp* picture);
    void set_auto_size(bool on);
    void set_border_style(long style);  // 0 none, 1 fixed single
    void set_back_color(OLE_COLOR c) override;
    void refresh() override;
    bool restore(const Control& design) override;
    LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
    struct State {
        bool auto_size = false;
        long border_style = 1, appearance = 1;
    } s_;

protected:
    float mouse_units_x(int px) override { return surface_.units_x(px); }
    float mouse_units_y(int py) override { return surface_.units_y(py); }

private:
    friend class Control;
    ComPtr<Control> clone() const override;
    void create_window() override;
    void destroy_window() override;
    // The outer size in twips that shows the picture whole (false for none).
    bool fitted(IPictureDisp* picture, float& w, float& h) const;
    void fit_picture();
    Surface surface_;
};

// Image, Shape and Line: windowless pictures and figures.
class Image final : public Control {
public:
    const wchar_t* type_name() const noexcept override { return L"Image"; }
    const Table& table() const override;
    bool windowless() const noexcept override { return true; }
    bool hit_test() const noexcept override { return true; }
    void paint(HDC dc) override;
    void set_picture(IPictureDisp* picture);
    struct State {
        ComPtr<IPictureDisp> picture;
        bool stretch = false;
        long border_style = 0;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
};

class Shape final : public Control {
public:
    Shape() { back_ = 0x80000005; }
    const wchar_t* type_name() const noexcept override { return L"Shape"; }
    const Table& table() const override;
    bool windowless() const noexcept override { return true; }
    void paint(HDC dc) override;
    struct State {
        long shape = 0, fill_style = 1, back_style = 0, border_style = 1, border_width = 1;
        OLE_COLOR fill_color = 0, border_color = 0x80000008;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
};

class Line final : public Control {
public:
    const wchar_t* type_name() const noexcept override { return L"Line"; }
    const Table& table() const override;
    bool windowless() const noexcept override { return true; }
    void paint(HDC dc) override;
    struct State {
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // container scale units
        long border_width = 1, border_style = 1;
        OLE_COLOR border_color = 0x80000008;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
};

// The elements of a control array that share one name.
class ControlArray final : public Object {
public:
    ControlArray(Form& form, std::wstring name);
    const wchar_t* type_name() const noexcept override { return L"Object"; }
    const Table& table() const override;
    ComPtr<Control> item(long index) const;  // 340 when absent
    std::vector<ComPtr<Control>> elements() const;

protected:
    ComPtr<IEnumVARIANT> enumerate() override;

private:
    ComPtr<Form> form_;
    std::wstring name_;
};

// --- forms ------------------------------------------------------------------------

class Form : public Visual {
public:
    Form();
    const wchar_t* type_name() const noexcept override { return L"Form"; }
    const Table& table() const override;
    Form* form() noexcept override { return this; }
    Surface* surface() noexcept override { return &surface_; }

    // Load creates the window and the controls (design) and raises Load; any
    // touch of an unloaded form loads it first.
    bool loaded() const noexcept { return hwnd_ != nullptr; }
    void load();
    // QueryUnload and Unload may cancel; false when cancelled.
    bool unload(int mode = 1);
    // Destroys the window and the controls without the unload events.
    void discard() noexcept;
    // Unload for a form its caller has put back into its loaded state: after
    // QueryUnload and Unload (false when cancelled) the form hides and leaves the
    // Forms collection with its windows kept, as the thread's spare of its kind
    // `key`, until the thread's message loop next runs or its state ends (it
    // unloads as usual when the thread keeps one already).
    bool unload_to_spare(const void* key);
    // The thread's spare of kind key, back in the Forms collection (the caller
    // raises its Load event); nothing when there is none.
    static ComPtr<Form> take_spare(const void* key);
    void show(bool modal = false, Form* owner = nullptr);
    void hide();
    // For Each over a form: its controls.
    ComPtr<IEnumVARIANT> enumerate() override;
    // Whether a modal form of this thread is showing (a modeless Show is refused then).
    static bool modal_showing() noexcept;
    HWND hwnd() const noexcept override;  // loads the form

    void set_name(std::wstring n) { name_ = std::move(n); }  // design time
    std::wstring caption() const;
    void set_caption(const std::wstring& c);
    bool visible() const;
    void set_visible(bool on);
    // Outer window in twips.
    float left() const;
    float top() const;
    float width() const;
    float height() const;
    void set_left(float v);
    void set_top(float v);
    void set_width(float v);
    void set_height(float v);
    void move(float left, const float* top = nullptr, const float* width = nullptr, const float* height = nullptr);
    long border_style() const noexcept { return border_style_; }
    void set_border_style(long style);  // 0 none ... 5 sizable tool window
    long window_state() const;
    void set_window_state(long state);  // 0 normal, 1 minimized, 2 maximized
    void set_back_color(OLE_COLOR c) override;
    void refresh() override;

    // Controls.
    template <class T, class... A>
    T& add(const std::wstring& name, A&&... a) {
        return add_placed<T>(name, -1, nullptr, std::forward<A>(a)...);
    }
    // A control array element (index 0 at design, higher ones from load_element).
    template <class T, class... A>
    T& add_element(const std::wstring& name, long index, A&&... a) {
        return add_placed<T>(name, index, nullptr, std::forward<A>(a)...);
    }
    // Places a new control inside a frame or picture box of this form.
    template <class T, class... A>
    T& add_in(Control& container, const std::wstring& name, A&&... a) {
        return add_placed<T>(name, -1, &container, std::forward<A>(a)...);
    }
    // The runtime's Load/Unload of a control array element at run time: the new
    // element copies the lowest element's settings and starts invisible.
    Control& load_element(const std::wstring& name, long index);
    void unload_element(const std::wstring& name, long index);
    // Places a control made elsewhere (by its type name, for instance) at run time.
    Control& add_control(ComPtr<Control> c, const std::wstring& name, long index = -1, Control* container = nullptr);

    Control* control(std::wstring_view name, long index = -1) const;  // nullptr when absent
    template <class T>
    T& get(std::wstring_view name, long index = -1) const {
        Control* c = control(name, index);
        if (!c) raise(err::NotSupported);
        return self<T>(*c);
    }
    const std::vector<ComPtr<Control>>& controls() const noexcept { return controls_; }

    // Public fields of the form, readable and writable late-bound by name.
    void declare_field(const std::wstring& name, Variant initial = {});
    Variant& field(std::wstring_view name);

    static const Table& members();
    LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
    // Repaints windowless controls of a container (form, frame, picture box).
    void paint_windowless(HDC dc, const Control* container);
    // The windowless control under a point of a container's client area.
    Control* windowless_at(const Control* container, POINT pt) const;
    Timer* timer_by_id(UINT_PTR id) const noexcept;

protected:
    // Puts the form's controls in place; runs in every Load, before the Load event.
    virtual void design() {}
    // A copy of a control's present state, without a window (for Control::restore).
    static ComPtr<Control> copy_of(const Control& c) { return c.clone(); }
    void touched() override;
    DISPID dynamic_id(std::wstring_view name) override;
    Variant dynamic_get(DISPID id, const Args& args) override;
    void dynamic_put(DISPID id, const Args& args, const VARIANT& value) override;
    float mouse_units_x(int px) override { return surface_.units_x(px); }
    float mouse_units_y(int py) override { return surface_.units_y(py); }

    // Design-time geometry (twips) and style, applied when the window is made.
    float x_ = 0, y_ = 0, w_ = 4800, h_ = 3600;
    std::wstring caption_;
    long border_style_ = 2;
    bool start_visible_ = false;

private:
    void place_control(Control& c, const std::wstring& name, long index, Control* container);
    template <class T, class... A>
    T& add_placed(const std::wstring& name, long index, Control* container, A&&... a) {
        ComPtr<T> c = make<T>(std::forward<A>(a)...);
        place_control(*c.get(), name, index, container);
        return *c.get();
    }
    void release_controls();
    bool ask_unload(int mode);  // QueryUnload and Unload: false when cancelled
    DWORD style() const noexcept;
    DWORD ex_style() const noexcept;
    Surface surface_;
    std::vector<ComPtr<Control>> controls_;
    std::vector<std::wstring> names_;  // dynamic ids of control names
    struct Field {
        std::wstring name;
        Variant value;
    };
    std::vector<Field> fields_;
    bool loading_ = false, unloading_ = false, modal_ = false;
    long window_state_ = 0;
    HWND tips_ = nullptr;  // the form's tooltip window, made on first use
    HWND tips();
    friend class Control;
};

// The runtime's predeclared instance of a form class, one per thread: made on
// first use, loaded on first touch, reloaded fresh after an unload.
Form& predeclared_form(const void* key, ComPtr<Form> (*make_form)());
template <class T>
T& predeclared() {
    static const char key = 0;
    return static_cast<T&>(predeclared_form(&key, [] { return ComPtr<Form>(make<T>().get()); }));
}

// The library's Forms collection: the loaded forms of the thread, in load order.
class FormsCollection final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"Object"; }
    const Table& table() const override;
    long count() const noexcept;
    Form& item(long index) const;  // 9 outside 0..Count-1
    std::vector<ComPtr<Form>> snapshot() const;
    // The first loaded form whose Name, Caption or Tag equals text (case-sensitive).
    enum By { ByName, ByCaption, ByTag };
    Form* find(std::wstring_view text, By by) const;

protected:
    ComPtr<IEnumVARIANT> enumerate() override;
};
FormsCollection& forms_collection();

// The form whose window (or one of whose controls' windows) this is.
Form* form_of(HWND hwnd) noexcept;

// Registers the runtime's window classes (once per process).
void register_classes();
// The system control's own window procedure beneath a window of one of the
// runtime's control classes (nullptr for other windows): bulk item work on the
// engine's own lists may call it directly, without events.
WNDPROC system_proc(HWND hwnd) noexcept;
// Loads the system's common controls of the given ICC_ classes.
void init_common_controls(DWORD classes);

// StdPicture helpers.
ComPtr<IPictureDisp> picture_from_bitmap(HBITMAP bitmap);  // takes ownership
SIZE picture_pixels(IPictureDisp* picture);                // natural size in pixels (0x0 for none)
void render_picture(HDC dc, IPictureDisp* picture, int x, int y, int cx, int cy);
// True when a picture of pixel size s, drawn at 0, 0, leaves no pixel of a
// w x h area to the background: a bitmap without a transparent part.
bool covers(IPictureDisp* picture, SIZE s, int w, int h);

}  // namespace qm::forms
