// Forms: load and unload, showing, geometry, controls and control arrays, the
// Forms collection.
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "runtime/forms/forms.h"
#include "runtime/module.h"
#include "runtime/input.h"
#include "runtime/thread_state.h"

namespace qm::forms {

namespace {

// The forms of the calling thread: its loaded forms in load order, its Forms
// collection and its predeclared instances. When the thread's library state
// ends, its forms unload and their windows go, on the thread that made them.
struct ThreadForms final : ThreadPart {
    std::vector<ComPtr<Form>> loaded;
    ComPtr<FormsCollection> collection;
    std::vector<std::pair<const void*, ComPtr<Form>>> predeclared;
    std::vector<std::pair<const void*, ComPtr<Form>>> spares;  // loaded, hidden, out of the collection

    void drop_spares() noexcept {
        std::vector<std::pair<const void*, ComPtr<Form>>> kept;
        kept.swap(spares);
        for (auto& spare : kept) spare.second->discard();
    }

    void close() noexcept override {
        drop_spares();
        // The last loaded first; a form whose handlers load others gets another round.
        for (int round = 0; round < 4 && !loaded.empty(); ++round) {
            std::vector<ComPtr<Form>> forms = loaded;
            for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
                try {
                    (*it)->unload();
                } catch (...) {
                }
            }
        }
        // A form that refused to unload loses its window all the same.
        std::vector<ComPtr<Form>> left = loaded;
        for (auto& f : left) f->discard();
    }
};

std::vector<ComPtr<Form>>& loaded_forms() { return thread_part<ThreadForms>().loaded; }

// Takes the form out of the thread's loaded forms.
void forget(const Form* form) {
    auto& list = loaded_forms();
    list.erase(std::remove_if(list.begin(), list.end(), [&](const ComPtr<Form>& f) { return f.get() == form; }),
               list.end());
}

bool same_name(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

// Disables the thread's other enabled, visible top-level windows (a modal form's loop).
BOOL CALLBACK disable_other(HWND w, LPARAM p) {
    auto* walk = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(p);
    if (w != walk->first && IsWindowVisible(w) && IsWindowEnabled(w)) {
        EnableWindow(w, FALSE);
        walk->second->push_back(w);
    }
    return TRUE;
}

// Modal forms of this thread showing now.
thread_local int modal_forms = 0;

// Posted to a spare form: it unloads when it is still a spare.
UINT spare_message() noexcept {
    static const UINT message = RegisterWindowMessageW(L"QuillmarkSpareForm");
    return message;
}

int px_x(float twips) { return static_cast<int>(lroundf(twips / twips_per_pixel_x())); }
int px_y(float twips) { return static_cast<int>(lroundf(twips / twips_per_pixel_y())); }

}  // namespace

Form::Form() : surface_(*this) {}

DWORD Form::style() const noexcept {
    DWORD s = WS_CLIPCHILDREN;
    switch (border_style_) {
    case 0: return s | WS_POPUP;
    case 1: return s | WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    case 3: return s | WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    case 4: return s | WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    case 5: return s | WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    default: return s | WS_OVERLAPPEDWINDOW;
    }
}

DWORD Form::ex_style() const noexcept {
    switch (border_style_) {
    case 3: return WS_EX_DLGMODALFRAME;
    case 4:
    case 5: return WS_EX_TOOLWINDOW;
    default: return 0;
    }
}

void Form::load() {
    if (loaded() || loading_) return;
    register_classes();
    ComPtr<Form> keep(this);
    loading_ = true;
    HWND h = CreateWindowExW(ex_style(), L"ThunderRT6FormDC", caption_.c_str(), style(), px_x(x_), px_y(y_),
                             px_x(w_), px_y(h_), nullptr, nullptr, module_handle(), static_cast<Visual*>(this));
    if (!h) {
        loading_ = false;
        raise_win32();
    }
    loaded_forms().push_back(keep);
    try {
        surface_.resized();
        design();
        if (on.load) on.load();
    } catch (...) {
        loading_ = false;
        throw;
    }
    loading_ = false;
    if (loaded() && start_visible_) show();
}

bool Form::ask_unload(int mode) {
    int cancel = 0;
    if (on.query_unload) on.query_unload(cancel, mode);
    if (cancel) return false;
    if (!loaded() || unloading_) return true;
    if (on.unload) on.unload(cancel);
    return !cancel;
}

bool Form::unload(int mode) {
    if (!loaded() || unloading_) return true;
    ComPtr<Form> keep(this);
    if (!ask_unload(mode)) return false;
    if (loaded() && !unloading_) discard();
    return true;
}

bool Form::unload_to_spare(const void* key) {
    if (!loaded() || unloading_) return true;
    ComPtr<Form> keep(this);
    if (!ask_unload(1)) return false;
    if (!loaded() || unloading_) return true;
    auto& forms = thread_part<ThreadForms>();
    const bool taken = std::any_of(forms.spares.begin(), forms.spares.end(), [&](const auto& s) { return s.first == key; });
    if (taken || modal_) {
        discard();
        return true;
    }
    if (IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
    forget(this);
    forms.spares.emplace_back(key, keep);
    // Kept for calls that follow at once: the thread's next turn of its message
    // loop lets it go.
    PostMessageW(hwnd_, spare_message(), 0, 0);
    return true;
}

ComPtr<Form> Form::take_spare(const void* key) {
    auto& forms = thread_part<ThreadForms>();
    for (auto it = forms.spares.begin(); it != forms.spares.end(); ++it)
        if (it->first == key) {
            ComPtr<Form> form = std::move(it->second);
            forms.spares.erase(it);
            if (!form->loaded()) return {};  // its window was destroyed from outside
            forms.loaded.push_back(form);
            return form;
        }
    return {};
}

void Form::discard() noexcept {
    if (!loaded() || unloading_) return;
    ComPtr<Form> keep(this);
    unloading_ = true;
    try {
        for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) (*it)->destroy_window();
        surface_.released();
    } catch (...) {
    }
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    try {
        release_controls();
    } catch (...) {
    }
    unloading_ = false;
}

// Drops the controls and leaves the Forms collection (the window is gone).
void Form::release_controls() {
    std::vector<ComPtr<Control>> gone;
    gone.swap(controls_);
    for (auto& c : gone) {
        c->destroy_window();
        c->form_ = nullptr;
        c->container_ = nullptr;
    }
    names_.clear();
    tips_ = nullptr;  // owned by the form's window, gone with it
    forget(this);
}

void Form::touched() {
    if (!loaded() && !unloading_) load();
}

HWND Form::hwnd() const noexcept {
    auto* self = const_cast<Form*>(this);
    if (!loaded() && !unloading_) {
        try {
            self->load();
        } catch (...) {
        }
    }
    return hwnd_;
}

void Form::show(bool modal, Form* owner) {
    load();
    if (!loaded()) return;  // unloaded by its Load event
    if (owner && owner != this) SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner->hwnd()));
    for (const auto& c : controls_) c->placed_hwnd();  // windows whose move was left for later
    ShowWindow(hwnd_, window_state_ == 1 ? SW_SHOWMINIMIZED : window_state_ == 2 ? SW_SHOWMAXIMIZED : SW_SHOW);
    if (window_state_ == 0) SetForegroundWindow(hwnd_);
    if (!modal) return;

    // A modal loop that lasts while the form is loaded and visible; the thread's
    // other top-level windows are disabled meanwhile.
    ComPtr<Form> keep(this);
    std::vector<HWND> disabled;
    std::pair<HWND, std::vector<HWND>*> walk{hwnd_, &disabled};
    EnumThreadWindows(GetCurrentThreadId(), disable_other, reinterpret_cast<LPARAM>(&walk));
    modal_ = true;
    ++modal_forms;
    MSG m;
    while (loaded() && IsWindowVisible(hwnd_)) {
        BOOL r = GetMessageW(&m, nullptr, 0, 0);
        if (r == 0) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (r < 0) break;
        if (!loaded() || !IsDialogMessageW(hwnd_, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    modal_ = false;
    --modal_forms;
    for (HWND w : disabled)
        if (IsWindow(w)) EnableWindow(w, TRUE);
}

bool Form::modal_showing() noexcept { return modal_forms > 0; }

ComPtr<IEnumVARIANT> Form::enumerate() {
    load();
    std::vector<Variant> items;
    for (const auto& c : controls()) items.push_back(var(static_cast<IDispatch*>(c.get())));
    return make_enum(std::move(items));
}

void Form::hide() {
    load();
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

std::wstring Form::caption() const {
    if (!hwnd_) return caption_;
    int n = GetWindowTextLengthW(hwnd_);
    std::wstring t(static_cast<size_t>(n) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(hwnd_, t.data(), n + 1)));
    return t;
}

void Form::set_caption(const std::wstring& c) {
    caption_ = c;
    if (hwnd_) SetWindowTextW(hwnd_, c.c_str());
}

bool Form::visible() const { return hwnd_ && IsWindowVisible(hwnd_); }

void Form::set_visible(bool on) {
    if (on) show();
    else hide();
}

namespace {
RECT window_rect(HWND h) {
    RECT r{};
    WINDOWPLACEMENT wp{sizeof(wp)};
    if (IsIconic(h) || IsZoomed(h)) {
        GetWindowPlacement(h, &wp);
        return wp.rcNormalPosition;
    }
    GetWindowRect(h, &r);
    return r;
}
}  // namespace

float Form::left() const { return hwnd_ ? window_rect(hwnd_).left * twips_per_pixel_x() : x_; }
float Form::top() const { return hwnd_ ? window_rect(hwnd_).top * twips_per_pixel_y() : y_; }
float Form::width() const {
    if (!hwnd_) return w_;
    RECT r = window_rect(hwnd_);
    return (r.right - r.left) * twips_per_pixel_x();
}
float Form::height() const {
    if (!hwnd_) return h_;
    RECT r = window_rect(hwnd_);
    return (r.bottom - r.top) * twips_per_pixel_y();
}

void Form::move(float left, const float* top, const float* width, const float* height) {
    if ((width && *width < 0) || (height && *height < 0)) raise(err::InvalidPropertyValue);
    if (window_state_ != 0 && hwnd_ && (IsIconic(hwnd_) || IsZoomed(hwnd_))) raise(384);  // form is minimized/maximized
    const float y = top ? *top : hwnd_ ? this->top() : y_;
    const float w = width ? *width : this->width(), h = height ? *height : this->height();
    check_placement(left, y, w, h, &surface_);
    x_ = left, y_ = y, w_ = w, h_ = h;
    if (hwnd_) MoveWindow(hwnd_, px_x(x_), px_y(y_), px_x(w_), px_y(h_), TRUE);
}

void Form::set_left(float v) { move(v); }
void Form::set_top(float v) {
    float l = left();
    move(l, &v);
}
void Form::set_width(float v) {
    float l = left(), t = top();
    move(l, &t, &v);
}
void Form::set_height(float v) {
    float l = left(), t = top(), w = width();
    move(l, &t, &w, &v);
}

void Form::set_border_style(long style) {
    if (style < 0 || style > 5) raise(err::InvalidPropertyValue);
    border_style_ = style;
    if (!hwnd_) return;
    DWORD visible = GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(this->style() | visible));
    SetWindowLongW(hwnd_, GWL_EXSTYLE, static_cast<LONG>(ex_style()));
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

long Form::window_state() const {
    if (!hwnd_) return window_state_;
    return IsIconic(hwnd_) ? 1 : IsZoomed(hwnd_) ? 2 : 0;
}

void Form::set_window_state(long state) {
    if (state < 0 || state > 2) raise(err::InvalidPropertyValue);
    window_state_ = state;
    if (hwnd_ && IsWindowVisible(hwnd_))
        ShowWindow(hwnd_, state == 1 ? SW_MINIMIZE : state == 2 ? SW_MAXIMIZE : SW_RESTORE);
}

void Form::set_back_color(OLE_COLOR c) {
    back_ = c;
    if (surface_.auto_redraw()) surface_.cls();
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void Form::refresh() {
    if (hwnd_) {
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

// --- controls -----------------------------------------------------------------------

void Form::place_control(Control& c, const std::wstring& name, long index, Control* container) {
    if (!loaded()) load();
    if (!loaded()) raise(err::ObjectNotSet);
    if (name.empty()) raise(err::InvalidPropertyValue);
    if (container && (container->form_ != this || !container->is_container())) raise(err::InvalidPropertyValue);
    for (const auto& other : controls_)
        if (same_name(other->name_, name) && (other->index_ == index || (other->index_ < 0) != (index < 0)))
            raise(index >= 0 ? ferr::AlreadyLoaded : err::InvalidCall, L"A control with this name already exists");
    c.form_ = this;
    c.name_ = name;
    c.index_ = index;
    c.container_ = container;
    c.design_ = loading_;
    controls_.push_back(ComPtr<Control>(&c));
    if (std::none_of(names_.begin(), names_.end(), [&](const std::wstring& n) { return same_name(n, name); }))
        names_.push_back(name);
    try {
        c.create_window();
    } catch (...) {
        controls_.pop_back();
        c.form_ = nullptr;
        throw;
    }
    if (c.windowless()) {
        c.invalidate_area();
        c.apply_tip();
    }
}

Control& Form::add_control(ComPtr<Control> c, const std::wstring& name, long index, Control* container) {
    if (!c) raise(err::InvalidPropertyValue);
    place_control(*c.get(), name, index, container);
    return *c.get();
}

Control* Form::control(std::wstring_view name, long index) const {
    for (const auto& c : controls_)
        if (c->index_ == index && same_name(c->name_, name)) return c.get();
    return nullptr;
}

Control& Form::load_element(const std::wstring& name, long index) {
    if (index < 0 || index > 32767) raise(err::InvalidCall);
    load();
    Control* lowest = nullptr;
    for (const auto& c : controls_)
        if (c->index_ >= 0 && same_name(c->name_, name) && (!lowest || c->index_ < lowest->index_)) lowest = c.get();
    if (!lowest) raise(ferr::NoSuchElement, L"Control array element doesn't exist");
    if (control(name, index)) raise(ferr::AlreadyLoaded, L"Object already loaded");
    ComPtr<Control> copy = lowest->clone();
    copy->visible_ = false;
    place_control(*copy.get(), lowest->name_, index, lowest->container_);
    return *copy.get();
}

void Form::unload_element(const std::wstring& name, long index) {
    Control* c = control(name, index);
    if (!c || index < 0) raise(ferr::NoSuchElement, L"Control array element doesn't exist");
    if (c->design_) raise(ferr::CannotUnloadDesign, L"Can't unload controls created at design time");
    ComPtr<Control> keep(c);
    c->invalidate_area();
    c->destroy_window();
    c->form_ = nullptr;
    c->container_ = nullptr;
    controls_.erase(std::find_if(controls_.begin(), controls_.end(),
                                 [&](const ComPtr<Control>& p) { return p.get() == c; }));
}

Timer* Form::timer_by_id(UINT_PTR id) const noexcept {
    for (const auto& c : controls_)
        if (reinterpret_cast<UINT_PTR>(c.get()) == id) return dynamic_cast<Timer*>(c.get());
    return nullptr;
}

void Form::paint_windowless(HDC dc, const Control* container) {
    // A snapshot: a control's paint must not see the list change under it.
    std::vector<ComPtr<Control>> list(controls_);
    for (const auto& c : list)
        if (c->container_ == container && c->windowless() && c->visible_) {
            int saved = SaveDC(dc);
            c->paint(dc);
            RestoreDC(dc, saved);
        }
}

Control* Form::windowless_at(const Control* container, POINT pt) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        Control* c = it->get();
        if (c->container_ != container || !c->windowless() || !c->visible_ || !c->hit_test() || !c->enabled_)
            continue;
        RECT r = c->pixel_rect();
        if (PtInRect(&r, pt)) return c;
    }
    return nullptr;
}

// --- public fields ------------------------------------------------------------------

void Form::declare_field(const std::wstring& name, Variant initial) {
    for (auto& f : fields_)
        if (same_name(f.name, name)) {
            f.value = std::move(initial);
            return;
        }
    fields_.push_back({name, std::move(initial)});
}

Variant& Form::field(std::wstring_view name) {
    for (auto& f : fields_)
        if (same_name(f.name, name)) return f.value;
    raise(err::NotSupported);
}

DISPID Form::dynamic_id(std::wstring_view name) {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (same_name(fields_[i].name, name)) return kDynamic + 0x8000 + static_cast<DISPID>(i);
    touched();
    for (size_t i = 0; i < names_.size(); ++i)
        if (same_name(names_[i], name)) return kDynamic + static_cast<DISPID>(i);
    return DISPID_UNKNOWN;
}

Variant Form::dynamic_get(DISPID id, const Args& args) {
    if (id >= kDynamic + 0x8000) {
        size_t i = static_cast<size_t>(id - kDynamic - 0x8000);
        if (i >= fields_.size()) raise(err::NotSupported);
        return fields_[i].value;
    }
    size_t i = static_cast<size_t>(id - kDynamic);
    if (i >= names_.size()) raise(err::NotSupported);
    const std::wstring& name = names_[i];
    if (Control* single = control(name, -1)) {
        if (args.size()) raise(450);
        return var(static_cast<IDispatch*>(single));
    }
    if (args.size()) {
        Control* c = control(name, args.lng(0));
        if (!c) raise(ferr::NoSuchElement, L"Control array element '" + std::to_wstring(args.lng(0)) + L"' doesn't exist");
        return var(static_cast<IDispatch*>(c));
    }
    ComPtr<ControlArray> a = make<ControlArray>(*this, name);
    return var(static_cast<IDispatch*>(a.get()));
}

void Form::dynamic_put(DISPID id, const Args& args, const VARIANT& value) {
    if (id >= kDynamic + 0x8000) {
        size_t i = static_cast<size_t>(id - kDynamic - 0x8000);
        if (i >= fields_.size()) raise(err::NotSupported);
        fields_[i].value = Variant(value);
        return;
    }
    // frm.Text1 = v assigns the control's default property.
    Variant target = dynamic_get(id, args);
    IDispatch* d = V_DISPATCH(target.get());
    VARIANT arg = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    EXCEPINFO ex{};
    HRESULT hr = d->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &ex, nullptr);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrHelpFile);
    if (FAILED(hr)) throw error_from_call(hr == DISP_E_EXCEPTION ? ex.scode : hr);
}

// --- window ---------------------------------------------------------------------------

LRESULT Form::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == spare_message() && msg) {
        auto& spares = thread_part<ThreadForms>().spares;
        for (auto it = spares.begin(); it != spares.end(); ++it)
            if (it->second.get() == this) {
                ComPtr<Form> keep = std::move(it->second);
                spares.erase(it);
                discard();
                break;
            }
        return 0;
    }
    switch (msg) {
    case WM_CLOSE:
        unload(0);
        return 0;
    case WM_TIMER:
        if (Timer* t = timer_by_id(wp)) {
            ComPtr<Control> keep(t);
            t->tick();
        }
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        surface_.paint(dc, ps.rcPaint);
        if (hwnd_ == hwnd) paint_windowless(dc, nullptr);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SIZE:
        if (hwnd_ == hwnd) {
            surface_.resized();
            for (auto c : std::vector<ComPtr<Control>>(controls_))
                if (!c->container()) c->container_resized();
            if (on.resize) on.resize();
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) {
            if (on.activate) on.activate();
        } else if (on.deactivate) {
            on.deactivate();
        }
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (!key_event(msg, wp)) return 0;
        break;
    case WM_NCDESTROY:
        if (detach(hwnd) && !unloading_) {  // destroyed from outside: no events, just let go
            surface_.released();
            release_controls();
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return container_default(*this, nullptr, hwnd, msg, wp, lp);
}

LRESULT container_default(Visual& owner, Control* container, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (container_message(owner, container, hwnd, msg, wp, lp, result)) return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool container_message(Visual& owner, Control* container, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                       LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lp) {
            auto* child = dynamic_cast<Control*>(Visual::from_hwnd(reinterpret_cast<HWND>(lp)));
            if (child) {
                ComPtr<Control> keep(child);
                return child->reflect(msg, wp, lp, result);
            }
        }
        return false;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<const NMHDR*>(lp);
        Form* form = owner.form();
        if (!hdr || !hdr->hwndFrom || !form) return false;
        for (const auto& c : form->controls())
            if (c->hwnd() == hdr->hwndFrom) {
                ComPtr<Control> keep(c);
                return c->reflect(msg, wp, lp, result);
            }
        return false;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR: {
        Visual* child = Visual::from_hwnd(reinterpret_cast<HWND>(lp));
        if (!child) {  // the list or edit part of a combo box
            child = Visual::from_hwnd(GetParent(reinterpret_cast<HWND>(lp)));
            if (!child) return false;
        }
        HDC dc = reinterpret_cast<HDC>(wp);
        SetTextColor(dc, rgb_of(child->fore_));
        SetBkColor(dc, rgb_of(child->back_));
        result = reinterpret_cast<LRESULT>(child->back_brush());
        return true;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK: {
        POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        Form* form = owner.form();
        Control* hit = form ? form->windowless_at(container, pt) : nullptr;
        if (hit) {
            ComPtr<Control> keep(hit);
            RECT r = hit->pixel_rect();
            hit->mouse_event(msg, wp, pt.x - r.left, pt.y - r.top, true);
        } else {
            owner.mouse_event(msg, wp, pt.x, pt.y, true);
        }
        result = 0;
        return true;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wp) == hwnd && LOWORD(lp) == HTCLIENT) {
            POINT pt = pointer_position();
            ScreenToClient(hwnd, &pt);
            Form* form = owner.form();
            Control* hit = form ? form->windowless_at(container, pt) : nullptr;
            if ((hit && hit->apply_cursor()) || owner.apply_cursor()) {
                result = TRUE;
                return true;
            }
        }
        return false;
    }
    return false;
}

Form* form_of(HWND hwnd) noexcept {
    Visual* v = Visual::from_hwnd(hwnd);
    return v ? v->form() : nullptr;
}

// --- control arrays -------------------------------------------------------------------

ControlArray::ControlArray(Form& form, std::wstring name) : form_(&form), name_(std::move(name)) {}

std::vector<ComPtr<Control>> ControlArray::elements() const {
    std::vector<ComPtr<Control>> list;
    for (const auto& c : form_->controls())
        if (c->index() >= 0 && same_name(c->name(), name_)) list.push_back(c);
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a->index() < b->index(); });
    return list;
}

ComPtr<Control> ControlArray::item(long index) const {
    Control* c = form_->control(name_, index);
    if (!c) raise(ferr::NoSuchElement, L"Control array element '" + std::to_wstring(index) + L"' doesn't exist");
    return ComPtr<Control>(c);
}

ComPtr<IEnumVARIANT> ControlArray::enumerate() {
    std::vector<Variant> items;
    for (const auto& c : elements()) items.push_back(var(static_cast<IDispatch*>(c.get())));
    return make_enum(std::move(items));
}

// --- the Forms collection -------------------------------------------------------------

FormsCollection& forms_collection() {
    auto& forms = thread_part<ThreadForms>();
    if (!forms.collection) forms.collection = make<FormsCollection>();
    return *forms.collection.get();
}

Form& predeclared_form(const void* key, ComPtr<Form> (*make_form)()) {
    auto& forms = thread_part<ThreadForms>();
    for (auto& [k, form] : forms.predeclared)
        if (k == key) return *form.get();
    ComPtr<Form> form = make_form();
    forms.predeclared.emplace_back(key, form);
    return *form.get();
}

long FormsCollection::count() const noexcept { return static_cast<long>(loaded_forms().size()); }

Form& FormsCollection::item(long index) const {
    auto& list = loaded_forms();
    if (index < 0 || static_cast<size_t>(index) >= list.size()) raise(err::SubscriptOutOfRange);
    return *list[static_cast<size_t>(index)].get();
}

std::vector<ComPtr<Form>> FormsCollection::snapshot() const { return loaded_forms(); }

Form* FormsCollection::find(std::wstring_view text, By by) const {
    for (const auto& f : loaded_forms()) {
        std::wstring v = by == ByName ? f->name() : by == ByCaption ? f->caption() : f->tag();
        if (v == text) return f.get();
    }
    return nullptr;
}

ComPtr<IEnumVARIANT> FormsCollection::enumerate() {
    std::vector<Variant> items;
    for (const auto& f : loaded_forms()) items.push_back(var(static_cast<IDispatch*>(f.get())));
    return make_enum(std::move(items));
}

}  // namespace qm::forms
