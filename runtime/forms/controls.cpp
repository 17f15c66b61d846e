// The standard controls: Label, TextBox, CommandButton/CheckBox/OptionButton,
// Frame, ListBox, ComboBox, HScrollBar and Timer.
#include <algorithm>

#include "runtime/forms/forms.h"

namespace qm::forms {

namespace {

std::wstring window_text(HWND h) {
    int n = GetWindowTextLengthW(h);
    std::wstring t(static_cast<size_t>(n) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(h, t.data(), n + 1)));
    return t;
}

LRESULT send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(h, msg, wp, lp); }

}  // namespace

// --- Label ----------------------------------------------------------------------------

void Label::set_caption(std::wstring c) {
    invalidate_area();
    s_.caption = std::move(c);
    if (s_.auto_size) fit();
    invalidate_area();
}

void Label::set_auto_size(bool on) {
    s_.auto_size = on;
    if (on) {
        invalidate_area();
        fit();
        invalidate_area();
    }
}

void Label::set_back_color(OLE_COLOR c) {
    back_ = c;
    invalidate_area();
}

void Label::set_fore_color(OLE_COLOR c) {
    fore_ = c;
    invalidate_area();
}

void Label::fit() {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, hfont());
    RECT r{0, 0, s_.word_wrap ? pixel_rect().right - pixel_rect().left : 0, 0};
    UINT flags = DT_CALCRECT | (s_.word_wrap ? DT_WORDBREAK : 0);
    std::wstring text = s_.caption.empty() ? L" " : s_.caption;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    SelectObject(dc, old);
    DeleteDC(dc);
    int border = s_.border_style == 1 ? 2 : 0;
    if (!s_.word_wrap) w_ = (r.right + border) * twips_per_pixel_x();
    h_ = (r.bottom + border) * twips_per_pixel_y();
}

void Label::paint(HDC dc) {
    RECT r = pixel_rect();
    if (s_.back_style == 1) {
        HBRUSH b = CreateSolidBrush(rgb_of(back_));
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    if (s_.border_style == 1) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    SelectObject(dc, hfont());
    SetTextColor(dc, rgb_of(fore_));
    SetBkMode(dc, TRANSPARENT);
    UINT flags = s_.alignment == 1 ? DT_RIGHT : s_.alignment == 2 ? DT_CENTER : DT_LEFT;
    if (!(s_.auto_size && !s_.word_wrap)) flags |= DT_WORDBREAK;
    DrawTextW(dc, s_.caption.c_str(), static_cast<int>(s_.caption.size()), &r, flags);
}

// --- TextBox ----------------------------------------------------------------------------

void TextBox::create_window() {
    DWORD style = WS_TABSTOP | (s_.locked ? ES_READONLY : 0) |
                  (s_.alignment == 1 ? ES_RIGHT : s_.alignment == 2 ? ES_CENTER : ES_LEFT);
    if (s_.multi_line)
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ((s_.scroll_bars & 1) ? WS_HSCROLL : ES_AUTOHSCROLL) |
                 ((s_.scroll_bars & 2) ? WS_VSCROLL : 0);
    else
        style |= ES_AUTOHSCROLL;
    create(L"ThunderRT6TextBox", style, s_.border_style ? WS_EX_CLIENTEDGE : 0, s_.text.c_str());
    if (s_.password && !s_.multi_line) send(hwnd_, EM_SETPASSWORDCHAR, s_.password);
    if (s_.max_length > 0) send(hwnd_, EM_LIMITTEXT, static_cast<WPARAM>(s_.max_length));
}

void TextBox::destroy_window() {
    if (hwnd_) s_.text = window_text(hwnd_);
    Control::destroy_window();
}

std::wstring TextBox::text() const { return hwnd_ ? window_text(hwnd_) : s_.text; }

void TextBox::set_text(std::wstring t) {
    s_.text = std::move(t);
    if (hwnd_) SetWindowTextW(hwnd_, s_.text.c_str());
}

namespace {
std::pair<long, long> selection(HWND h) {
    DWORD start = 0, end = 0;
    if (h) send(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<long>(start), static_cast<long>(end)};
}
}  // namespace

long TextBox::sel_start() const { return selection(hwnd_).first; }
long TextBox::sel_length() const {
    auto s = selection(hwnd_);
    return s.second - s.first;
}

void TextBox::set_sel_start(long v) {
    if (v < 0) raise(err::InvalidPropertyValue);
    if (!hwnd_) return;
    long n = GetWindowTextLengthW(hwnd_);
    v = std::min(v, n);
    send(hwnd_, EM_SETSEL, static_cast<WPARAM>(v), v);
    send(hwnd_, EM_SCROLLCARET);
}

void TextBox::set_sel_length(long v) {
    if (v < 0) raise(err::InvalidPropertyValue);
    if (!hwnd_) return;
    long n = GetWindowTextLengthW(hwnd_);
    long start = sel_start();
    send(hwnd_, EM_SETSEL, static_cast<WPARAM>(start), std::min(start + v, n));
}

std::wstring TextBox::sel_text() const {
    auto s = selection(hwnd_);
    std::wstring t = text();
    if (s.first >= static_cast<long>(t.size())) return {};
    return t.substr(static_cast<size_t>(s.first), static_cast<size_t>(s.second - s.first));
}

void TextBox::set_sel_text(const std::wstring& t) {
    if (hwnd_) send(hwnd_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(t.c_str()));
}

void TextBox::set_locked(bool on) {
    s_.locked = on;
    if (hwnd_) send(hwnd_, EM_SETREADONLY, on);
}

void TextBox::set_multi_line(bool on) {
    if (on == s_.multi_line) return;
    s_.multi_line = on;
    if (hwnd_) {
        destroy_window();
        create_window();
    }
}

void TextBox::set_password_char(const std::wstring& c) {
    s_.password = c.empty() ? 0 : c[0];
    if (hwnd_ && !s_.multi_line) {
        send(hwnd_, EM_SETPASSWORDCHAR, s_.password);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
}

bool TextBox::reflect(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg == WM_COMMAND && HIWORD(wp) == EN_CHANGE) {
        if (on.change) on.change();
        result = 0;
        return true;
    }
    return false;
}

// --- buttons ------------------------------------------------------------------------------

const wchar_t* Button::type_name() const noexcept {
    return kind_ == Check ? L"CheckBox" : kind_ == Option ? L"OptionButton" : L"CommandButton";
}

void Button::create_window() {
    static const wchar_t* classes[] = {L"ThunderRT6CommandButton", L"ThunderRT6CheckBox", L"ThunderRT6OptionButton"};
    DWORD style = WS_TABSTOP | (kind_ == Command ? BS_PUSHBUTTON : kind_ == Check ? BS_3STATE : BS_RADIOBUTTON);
    if (kind_ != Command && s_.alignment == 1) style |= BS_LEFTTEXT;
    create(classes[kind_], style, 0, s_.caption.c_str());
    if (kind_ == Check) send(hwnd_, BM_SETCHECK, static_cast<WPARAM>(s_.value));
    if (kind_ == Option) send(hwnd_, BM_SETCHECK, s_.value ? BST_CHECKED : BST_UNCHECKED);
}

void Button::destroy_window() {
    if (hwnd_) s_.caption = window_text(hwnd_);
    Control::destroy_window();
}

std::wstring Button::caption() const { return hwnd_ ? window_text(hwnd_) : s_.caption; }

void Button::set_caption(std::wstring c) {
    s_.caption = std::move(c);
    if (hwnd_) SetWindowTextW(hwnd_, s_.caption.c_str());
}

long Button::value() const { return kind_ == Command ? 0 : s_.value; }

void Button::set_value(long v) {
    switch (kind_) {
    case Command:
        if (v && on.click) on.click();
        return;
    case Check:
        if (v < 0 || v > 2) raise(err::InvalidPropertyValue);
        if (v == s_.value) return;
        s_.value = v;
        if (hwnd_) send(hwnd_, BM_SETCHECK, static_cast<WPARAM>(v));
        if (on.click) on.click();
        return;
    case Option: {
        bool on_now = v != 0;
        if (on_now == (s_.value != 0)) return;
        s_.value = on_now ? -1 : 0;
        if (hwnd_) send(hwnd_, BM_SETCHECK, on_now ? BST_CHECKED : BST_UNCHECKED);
        if (on_now && form_) {  // the other option buttons of the same container go off
            for (const auto& c : form_->controls()) {
                auto* b = dynamic_cast<Button*>(c.get());
                if (b && b != this && b->kind_ == Option && b->container() == container_ && b->s_.value) {
                    b->s_.value = 0;
                    if (b->hwnd_) send(b->hwnd_, BM_SETCHECK, BST_UNCHECKED);
                }
            }
        }
        if (on_now && on.click) on.click();
        return;
    }
    }
}

bool Button::reflect(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg != WM_COMMAND || HIWORD(wp) != BN_CLICKED) return false;
    result = 0;
    if (kind_ == Check)
        set_value(s_.value == 1 ? 0 : 1);
    else if (kind_ == Option)
        s_.value ? (on.click ? on.click() : void()) : set_value(-1);
    else if (on.click)
        on.click();
    return true;
}

// --- Frame ----------------------------------------------------------------------------------

void Frame::create_window() { create(L"ThunderRT6Frame", WS_CLIPCHILDREN, 0, s_.caption.c_str()); }

void Frame::set_caption(std::wstring c) {
    s_.caption = std::move(c);
    if (hwnd_) {
        SetWindowTextW(hwnd_, s_.caption.c_str());
        InvalidateRect(hwnd_, nullptr, TRUE);
    }
}

LRESULT Frame::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, back_brush());
        SelectObject(dc, hfont());
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        if (s_.border_style) {
            RECT edge = r;
            edge.top += tm.tmHeight / 2;
            DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
        }
        if (!s_.caption.empty()) {
            SetTextColor(dc, rgb_of(fore_));
            SetBkColor(dc, rgb_of(back_));
            SetBkMode(dc, OPAQUE);
            RECT t{8, 0, r.right - 8, tm.tmHeight};
            DrawTextW(dc, s_.caption.c_str(), static_cast<int>(s_.caption.size()), &t, DT_LEFT | DT_SINGLELINE);
        }
        if (form_ && hwnd_ == hwnd) form_->paint_windowless(dc, this);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        detach(hwnd);
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return container_default(*this, this, hwnd, msg, wp, lp);
}

// --- lists ------------------------------------------------------------------------------------

UINT ListControl::msg(UINT m) const noexcept {
    if (!combo_) return m;
    switch (m) {
    case LB_ADDSTRING: return CB_ADDSTRING;
    case LB_INSERTSTRING: return CB_INSERTSTRING;
    case LB_DELETESTRING: return CB_DELETESTRING;
    case LB_RESETCONTENT: return CB_RESETCONTENT;
    case LB_GETCOUNT: return CB_GETCOUNT;
    case LB_GETTEXT: return CB_GETLBTEXT;
    case LB_GETTEXTLEN: return CB_GETLBTEXTLEN;
    case LB_GETCURSEL: return CB_GETCURSEL;
    case LB_SETCURSEL: return CB_SETCURSEL;
    case LB_GETITEMDATA: return CB_GETITEMDATA;
    case LB_SETITEMDATA: return CB_SETITEMDATA;
    default: return m;
    }
}

long ListControl::list_count() const {
    if (!hwnd_) return static_cast<long>(saved_.size());
    return static_cast<long>(send(hwnd_, msg(LB_GETCOUNT)));
}

void ListControl::check_index(long i, long error) const {
    if (i < 0 || i >= list_count()) raise(error);
}

std::wstring ListControl::list(long i) const {
    if (i < 0 || i >= list_count()) return {};
    if (!hwnd_) return saved_[static_cast<size_t>(i)].text;
    LRESULT n = send(hwnd_, msg(LB_GETTEXTLEN), static_cast<WPARAM>(i));
    if (n <= 0) return {};
    std::wstring t(static_cast<size_t>(n) + 1, L'\0');
    n = send(hwnd_, msg(LB_GETTEXT), static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t.data()));
    t.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return t;
}

void ListControl::set_list(long i, const std::wstring& text) {
    check_index(i, 381);
    if (!hwnd_) {
        saved_[static_cast<size_t>(i)].text = text;
        return;
    }
    LPARAM data = send(hwnd_, msg(LB_GETITEMDATA), static_cast<WPARAM>(i));
    long current = list_index();
    send(hwnd_, msg(LB_DELETESTRING), static_cast<WPARAM>(i));
    send(hwnd_, msg(LB_INSERTSTRING), static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.c_str()));
    send(hwnd_, msg(LB_SETITEMDATA), static_cast<WPARAM>(i), data);
    if (current == i) send(hwnd_, msg(LB_SETCURSEL), static_cast<WPARAM>(i));
}

long ListControl::list_index() const {
    if (!hwnd_) return -1;
    if (!combo_ && (GetWindowLongW(hwnd_, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)))
        return list_count() ? static_cast<long>(send(hwnd_, LB_GETCARETINDEX)) : -1;
    return static_cast<long>(send(hwnd_, msg(LB_GETCURSEL)));
}

void ListControl::set_list_index(long i) {
    if (i < -1 || i >= list_count()) raise(err::InvalidPropertyValue);
    if (!hwnd_) return;
    long before = list_index();
    if (!combo_ && (GetWindowLongW(hwnd_, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL))) {
        if (i >= 0) send(hwnd_, LB_SETCARETINDEX, static_cast<WPARAM>(i));
    } else {
        send(hwnd_, msg(LB_SETCURSEL), static_cast<WPARAM>(i));
    }
    if (before != i && on.click) on.click();
}

long ListControl::item_data(long i) const {
    check_index(i, 381);
    if (!hwnd_) return static_cast<long>(saved_[static_cast<size_t>(i)].data);
    return static_cast<long>(send(hwnd_, msg(LB_GETITEMDATA), static_cast<WPARAM>(i)));
}

void ListControl::set_item_data(long i, long data) {
    check_index(i, 381);
    if (!hwnd_) {
        saved_[static_cast<size_t>(i)].data = data;
        return;
    }
    send(hwnd_, msg(LB_SETITEMDATA), static_cast<WPARAM>(i), static_cast<LPARAM>(data));
}

void ListControl::add_item(const std::wstring& text, long index) {
    long n = list_count();
    if (index < -1 || index > n) raise(err::InvalidCall);
    if (!hwnd_) {
        size_t at = index < 0 ? saved_.size() : static_cast<size_t>(index);
        saved_.insert(saved_.begin() + static_cast<ptrdiff_t>(at), Item{text, 0});
        new_index_ = static_cast<long>(at);
        return;
    }
    LRESULT r = index < 0 ? send(hwnd_, msg(LB_ADDSTRING), 0, reinterpret_cast<LPARAM>(text.c_str()))
                          : send(hwnd_, msg(LB_INSERTSTRING), static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(text.c_str()));
    if (r < 0) raise(err::OutOfMemory);
    new_index_ = static_cast<long>(r);
}

void ListControl::remove_item(long index) {
    if (index < 0 || index >= list_count()) raise(err::InvalidCall);
    if (!hwnd_) saved_.erase(saved_.begin() + index);
    else send(hwnd_, msg(LB_DELETESTRING), static_cast<WPARAM>(index));
    new_index_ = -1;
}

void ListControl::clear() {
    if (!hwnd_) saved_.clear();
    else send(hwnd_, msg(LB_RESETCONTENT));
    new_index_ = -1;
}

void ListControl::set_sorted(bool on) {
    if (on == sorted_) return;
    sorted_ = on;
    recreate();
}

std::wstring ListControl::text() const { return list(list_index()); }

void ListControl::recreate() {
    if (!hwnd_) return;
    long current = list_index();
    std::vector<Item> items;
    for (long i = 0, n = list_count(); i < n; ++i)
        items.push_back({list(i), send(hwnd_, msg(LB_GETITEMDATA), static_cast<WPARAM>(i))});
    destroy_window();
    saved_ = std::move(items);
    create_window();
    if (current >= 0 && !sorted_ && current < list_count()) send(hwnd_, msg(LB_SETCURSEL), static_cast<WPARAM>(current));
}

bool ListControl::reflect(UINT m, WPARAM wp, LPARAM, LRESULT& result) {
    if (m != WM_COMMAND) return false;
    WORD code = HIWORD(wp);
    result = 0;
    if ((!combo_ && code == LBN_SELCHANGE) || (combo_ && code == CBN_SELCHANGE)) {
        if (on.click) on.click();
        return true;
    }
    if ((!combo_ && code == LBN_DBLCLK) || (combo_ && code == CBN_DBLCLK)) {
        if (on.dbl_click) on.dbl_click();
        return true;
    }
    if (combo_ && code == CBN_EDITCHANGE) {
        if (on.change) on.change();
        return true;
    }
    return false;
}

namespace {
// Fills a new list window with the items kept while it had none.
void refill(HWND h, UINT add, UINT set_data, std::vector<std::pair<std::wstring, LPARAM>> items) {
    for (auto& [text, data] : items) {
        LRESULT i = SendMessageW(h, add, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (i >= 0) SendMessageW(h, set_data, static_cast<WPARAM>(i), data);
    }
}
}  // namespace

void ListBox::create_window() {
    DWORD style = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
                  (sorted_ ? LBS_SORT : 0) |
                  (s_.multi_select == 1 ? LBS_MULTIPLESEL : s_.multi_select == 2 ? LBS_EXTENDEDSEL : 0);
    create(L"ThunderRT6ListBox", style, WS_EX_CLIENTEDGE);
    std::vector<std::pair<std::wstring, LPARAM>> items;
    for (auto& i : saved_) items.emplace_back(i.text, i.data);
    saved_.clear();
    refill(hwnd_, LB_ADDSTRING, LB_SETITEMDATA, std::move(items));
}

void ListBox::destroy_window() {
    if (hwnd_) {  // the items stay with the object (a list box of an unloaded form keeps its items)
        saved_.clear();
        for (long i = 0, n = list_count(); i < n; ++i)
            saved_.push_back({list(i), send(hwnd_, LB_GETITEMDATA, static_cast<WPARAM>(i))});
    }
    Control::destroy_window();
}

bool ListBox::restore(const Control& design) {
    const auto* d = dynamic_cast<const ListBox*>(&design);
    if (!d || !hwnd_ || d->sorted_ != sorted_ || d->s_.multi_select != s_.multi_select || d->s_.columns != s_.columns)
        return false;
    clear();
    send(hwnd_, WM_SETREDRAW, TRUE);
    restore_common(*d);
    return true;
}

long ListBox::top_index() const { return hwnd_ ? static_cast<long>(send(hwnd_, LB_GETTOPINDEX)) : 0; }

void ListBox::set_top_index(long i) {
    if (i < 0 || (i >= list_count() && i != 0)) raise(err::InvalidPropertyValue);
    if (hwnd_) send(hwnd_, LB_SETTOPINDEX, static_cast<WPARAM>(i));
}

bool ListBox::selected(long i) const {
    check_index(i, 381);
    if (!hwnd_) return false;
    if (s_.multi_select) return send(hwnd_, LB_GETSEL, static_cast<WPARAM>(i)) > 0;
    return send(hwnd_, LB_GETCURSEL) == i;
}

void ListBox::set_selected(long i, bool on_) {
    check_index(i, 381);
    if (!hwnd_) return;
    bool before = selected(i);
    if (s_.multi_select)
        send(hwnd_, LB_SETSEL, on_, static_cast<LPARAM>(i));
    else if (on_)
        send(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(i));
    else if (before)
        send(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(-1));
    if (before != on_ && on.click) on.click();
}

long ListBox::sel_count() const {
    if (!hwnd_) return 0;
    if (s_.multi_select) return static_cast<long>(send(hwnd_, LB_GETSELCOUNT));
    return send(hwnd_, LB_GETCURSEL) >= 0 ? 1 : 0;
}

void ListBox::set_multi_select(long m) {
    if (m < 0 || m > 2) raise(err::InvalidPropertyValue);
    if (m == s_.multi_select) return;
    s_.multi_select = m;
    recreate();
}

void ComboBox::create_window() {
    DWORD style = WS_TABSTOP | WS_VSCROLL | CBS_HASSTRINGS | (sorted_ ? CBS_SORT : 0) |
                  (s_.style == 1 ? CBS_SIMPLE | CBS_AUTOHSCROLL
                   : s_.style == 2 ? CBS_DROPDOWNLIST
                                   : CBS_DROPDOWN | CBS_AUTOHSCROLL);
    float saved_h = h_;
    if (s_.style != 1) h_ += 2000;  // room for the drop-down list
    try {
        create(L"ThunderRT6ComboBox", style, 0, s_.style == 2 ? L"" : s_.text.c_str());
    } catch (...) {
        h_ = saved_h;
        throw;
    }
    h_ = saved_h;
    std::vector<std::pair<std::wstring, LPARAM>> items;
    for (auto& i : saved_) items.emplace_back(i.text, i.data);
    saved_.clear();
    refill(hwnd_, CB_ADDSTRING, CB_SETITEMDATA, std::move(items));
    if (s_.style != 2) SetWindowTextW(hwnd_, s_.text.c_str());
}

void ComboBox::destroy_window() {
    if (hwnd_) {
        s_.text = text();
        saved_.clear();
        for (long i = 0, n = list_count(); i < n; ++i)
            saved_.push_back({list(i), send(hwnd_, CB_GETITEMDATA, static_cast<WPARAM>(i))});
    }
    Control::destroy_window();
}

std::wstring ComboBox::text() const {
    if (!hwnd_) return s_.text;
    if (s_.style == 2) return list(list_index());
    return window_text(hwnd_);
}

void ComboBox::set_text(const std::wstring& t) {
    if (s_.style == 2) {
        LRESULT i = hwnd_ ? send(hwnd_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(t.c_str()))
                          : CB_ERR;
        if (i == CB_ERR) raise(ferr::ReadOnly, L"'Text' property is read-only");
        set_list_index(static_cast<long>(i));
        return;
    }
    s_.text = t;
    if (hwnd_) SetWindowTextW(hwnd_, t.c_str());
    if (on.change) on.change();
}

void ComboBox::set_style(long style) {
    if (style < 0 || style > 2) raise(err::InvalidPropertyValue);
    if (style == s_.style) return;
    s_.style = style;
    recreate();
}

// --- HScrollBar ------------------------------------------------------------------------------

void HScrollBar::create_window() {
    create(L"ThunderRT6HScrollBar", WS_TABSTOP | SBS_HORZ);
    apply();
}

void HScrollBar::apply() {
    if (!hwnd_) return;
    SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_POS | SIF_PAGE};
    si.nMin = std::min(s_.min, s_.max);
    si.nMax = std::max(s_.min, s_.max);
    si.nPos = s_.value;
    si.nPage = 0;
    SetScrollInfo(hwnd_, SB_CTL, &si, TRUE);
}

long HScrollBar::value() const { return s_.value; }

void HScrollBar::set_value(long v) {
    if (v < std::min(s_.min, s_.max) || v > std::max(s_.min, s_.max)) raise(err::InvalidPropertyValue);
    if (v == s_.value) return;
    s_.value = v;
    apply();
    if (on.change) on.change();
}

void HScrollBar::set_range(long min, long max) {
    if (min < -32768 || min > 32767 || max < -32768 || max > 32767) raise(err::InvalidPropertyValue);
    s_.min = min;
    s_.max = max;
    long lo = std::min(min, max), hi = std::max(min, max);
    s_.value = std::clamp(s_.value, lo, hi);
    apply();
}

bool HScrollBar::reflect(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg != WM_HSCROLL) return false;
    long lo = std::min(s_.min, s_.max), hi = std::max(s_.min, s_.max);
    long dir = s_.max >= s_.min ? 1 : -1;
    long v = s_.value;
    switch (LOWORD(wp)) {
    case SB_LINELEFT: v -= dir * s_.small_change; break;
    case SB_LINERIGHT: v += dir * s_.small_change; break;
    case SB_PAGELEFT: v -= dir * s_.large_change; break;
    case SB_PAGERIGHT: v += dir * s_.large_change; break;
    case SB_LEFT: v = lo; break;
    case SB_RIGHT: v = hi; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si{sizeof(si), SIF_TRACKPOS};
        GetScrollInfo(hwnd_, SB_CTL, &si);
        v = si.nTrackPos;
        if (LOWORD(wp) == SB_THUMBTRACK) {
            s_.value = std::clamp(v, lo, hi);
            apply();
            if (on.scroll) on.scroll();
            result = 0;
            return true;
        }
        break;
    }
    default: result = 0; return true;
    }
    set_value(std::clamp(v, lo, hi));
    result = 0;
    return true;
}

// --- Timer ------------------------------------------------------------------------------------

void Timer::set_interval(long ms) {
    if (ms < 0 || ms > 65535) raise(err::InvalidPropertyValue);
    s_.interval = ms;
    apply();
}

void Timer::set_enabled(bool on) {
    s_.enabled = on;
    apply();
}

void Timer::apply() {
    HWND h = form_ && form_->loaded() ? form_->hwnd() : nullptr;
    UINT_PTR id = reinterpret_cast<UINT_PTR>(this);
    if (running_ && h) KillTimer(h, id);
    running_ = false;
    if (h && s_.enabled && s_.interval > 0) running_ = SetTimer(h, id, static_cast<UINT>(s_.interval), nullptr) != 0;
}

void Timer::destroy_window() {
    HWND h = form_ && form_->loaded() ? form_->hwnd() : nullptr;
    if (running_ && h) KillTimer(h, reinterpret_cast<UINT_PTR>(this));
    running_ = false;
}

void Timer::tick() {
    if (ticking_ || !s_.enabled || !on.timer) return;
    ComPtr<Control> keep(this);
    ticking_ = true;
    try {
        on.timer();
    } catch (...) {
        ticking_ = false;
        throw;
    }
    ticking_ = false;
}

}  // namespace qm::forms
