// The grids' model and painter, and FlexGrid: the current cell and selection,
// cell colours, sorting and row removal.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "runtime/convert.h"
#include "runtime/forms/hosted.h"

namespace qm::forms {

namespace {
int px_x(float twips) { return static_cast<int>(lroundf(twips / twips_per_pixel_x())); }
int px_y(float twips) { return static_cast<int>(lroundf(twips / twips_per_pixel_y())); }
constexpr float kDefaultWidth = 960;
constexpr COLORREF kGridLine = RGB(192, 192, 192);
}  // namespace

// --- model ---------------------------------------------------------------------------------

GridControl::GridControl() {
    back_ = 0x80000005;
    fore_ = 0x80000008;
    w_ = 3600;
    h_ = 2400;
    resize(rows_, cols_);
}

void GridControl::create_window() {
    create(L"QuillmarkGrid", WS_TABSTOP | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE);
    update_scroll();
}

void GridControl::copy_grid(const GridControl& from) {
    copy_control(from);
    cells_ = from.cells_;
    rows_ = from.rows_, cols_ = from.cols_, fixed_rows_ = from.fixed_rows_, fixed_cols_ = from.fixed_cols_;
    widths_ = from.widths_;
    aligns_ = from.aligns_;
    redraw_ = from.redraw_;
}

void GridControl::resize(long rows, long cols) {
    if (rows < 0 || cols < 0 || static_cast<double>(rows) * cols > 50'000'000) raise(err::InvalidPropertyValue);
    if (cols != cols_) {  // rebuild row by row
        std::vector<Cell> next(static_cast<size_t>(rows) * static_cast<size_t>(cols));
        for (long r = 0; r < std::min(rows, rows_); ++r)
            for (long c = 0; c < std::min(cols, cols_); ++c) next[static_cast<size_t>(r * cols + c)] = std::move(cell(r, c));
        cells_ = std::move(next);
    } else {
        cells_.resize(static_cast<size_t>(rows) * static_cast<size_t>(cols));
    }
    widths_.resize(static_cast<size_t>(cols), kDefaultWidth);
    aligns_.resize(static_cast<size_t>(cols), 9);
    rows_ = rows;
    cols_ = cols;
    invalidate();
}

void GridControl::set_rows(long n) {
    if (n < fixed_rows_) raise(err::InvalidPropertyValue);
    resize(n, cols_);
}

void GridControl::set_cols(long n) {
    if (n < fixed_cols_) raise(err::InvalidPropertyValue);
    resize(rows_, n);
}

void GridControl::set_fixed_rows(long n) {
    if (n < 0 || n > rows_) raise(err::InvalidPropertyValue);
    fixed_rows_ = n;
    invalidate();
}

void GridControl::set_fixed_cols(long n) {
    if (n < 0 || n > cols_) raise(err::InvalidPropertyValue);
    fixed_cols_ = n;
    invalidate();
}

void GridControl::check_cell(long r, long c) const {
    if (r < 0 || r >= rows_ || c < 0 || c >= cols_) raise(herr::BadArrayIndex);
}

const std::wstring& GridControl::text(long r, long c) const {
    check_cell(r, c);
    return cell(r, c).text;
}

void GridControl::set_text(long r, long c, std::wstring t) {
    check_cell(r, c);
    cell(r, c).text = std::move(t);
    invalidate();
}

float GridControl::col_width(long c) const {
    if (c == -1) c = 0;
    if (c < 0 || c >= cols_) raise(herr::BadArrayIndex);
    return widths_[static_cast<size_t>(c)];
}

void GridControl::set_col_width(long c, float twips) {
    if (c < -1 || c >= cols_) raise(herr::BadArrayIndex);
    if (twips < -1) raise(err::InvalidPropertyValue);
    float w = twips == -1 ? kDefaultWidth : twips;
    if (c == -1) std::fill(widths_.begin(), widths_.end(), w);
    else widths_[static_cast<size_t>(c)] = w;
    invalidate();
}

long GridControl::col_alignment(long c) const {
    if (c == -1) c = 0;
    if (c < 0 || c >= cols_) raise(herr::BadArrayIndex);
    return aligns_[static_cast<size_t>(c)];
}

void GridControl::set_col_alignment(long c, long a) {
    if (c < -1 || c >= cols_) raise(herr::BadArrayIndex);
    if (a < 0 || a > 9) raise(err::InvalidPropertyValue);
    if (c == -1) std::fill(aligns_.begin(), aligns_.end(), a);
    else aligns_[static_cast<size_t>(c)] = a;
    invalidate();
}

void GridControl::set_redraw(bool on) {
    redraw_ = on;
    if (on) refresh();
}

void GridControl::invalidate() {
    if (!hwnd_ || !redraw_) return;
    update_scroll();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

// --- scrolling: the rows and columns after the fixed ones start at top_row_ and left_col_ ---

long GridControl::next_row(long r) const noexcept { return r + 1 == fixed_rows_ || (r < 0 && fixed_rows_ == 0) ? std::max(top_row_, fixed_rows_) : r + 1; }
long GridControl::next_col(long c) const noexcept { return c + 1 == fixed_cols_ || (c < 0 && fixed_cols_ == 0) ? std::max(left_col_, fixed_cols_) : c + 1; }

void GridControl::update_scroll() {
    if (!hwnd_) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    int row_px = std::max(px_y(row_height_), 1);
    long fixed_px = fixed_rows_ * row_px;
    long page_rows = std::max<long>((client.bottom - fixed_px) / row_px, 1);
    top_row_ = std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, rows_ - page_rows));
    SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS};
    si.nMin = fixed_rows_;
    si.nMax = std::max(rows_ - 1, fixed_rows_);
    si.nPage = static_cast<UINT>(page_rows);
    si.nPos = top_row_;
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
    long width = 0, page_cols = 0;
    for (long c = 0; c < fixed_cols_; ++c) width += px_x(widths_[static_cast<size_t>(c)]);
    for (long c = cols_ - 1; c >= fixed_cols_ && (width += px_x(widths_[static_cast<size_t>(c)])) <= client.right; --c)
        ++page_cols;
    page_cols = std::max(page_cols, 1L);
    left_col_ = std::clamp(left_col_, fixed_cols_, std::max(fixed_cols_, cols_ - page_cols));
    si.nMin = fixed_cols_;
    si.nMax = std::max(cols_ - 1, fixed_cols_);
    si.nPage = static_cast<UINT>(page_cols);
    si.nPos = left_col_;
    SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
}

void GridControl::scroll(int bar, WORD code) {
    SCROLLINFO si{sizeof(si), SIF_ALL};
    GetScrollInfo(hwnd_, bar, &si);
    long pos = si.nPos, page = std::max<long>(static_cast<long>(si.nPage), 1);
    switch (code) {
    case SB_LINEUP: --pos; break;
    case SB_LINEDOWN: ++pos; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    default: return;
    }
    (bar == SB_VERT ? top_row_ : left_col_) = pos;
    invalidate();
}

void GridControl::refresh() {
    if (!hwnd_) return;
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
}

// --- painting --------------------------------------------------------------------------------

void GridControl::paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    HBRUSH empty = GetSysColorBrush(COLOR_APPWORKSPACE);
    HFONT font = hfont();
    HGDIOBJ old_font = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    HPEN pen = CreatePen(PS_SOLID, 1, kGridLine);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    int row_px = std::max(px_y(row_height_), 1);
    int y = 0;
    for (long r = next_row(-1); r < rows_ && y < client.bottom; r = next_row(r), y += row_px) {
        int x = 0;
        for (long c = next_col(-1); c < cols_ && x < client.right; c = next_col(c)) {
            int w = px_x(widths_[static_cast<size_t>(c)]);
            if (w <= 0) continue;
            RECT cr{x, y, x + w, y + row_px};
            const Cell& k = cell(r, c);
            bool fixed = r < fixed_rows_ || c < fixed_cols_;
            bool high = !fixed && highlighted(r, c) && !current(r, c);
            COLORREF back = fixed  ? GetSysColor(COLOR_BTNFACE)
                            : high ? GetSysColor(COLOR_HIGHLIGHT)
                                   : rgb_of(k.back != kDefault ? k.back : back_);
            COLORREF fore = k.fore != kDefault ? rgb_of(k.fore)
                            : fixed            ? GetSysColor(COLOR_BTNTEXT)
                            : high             ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                               : rgb_of(fore_);
            if (fixed && k.back != kDefault) back = rgb_of(k.back);
            SetDCBrushColor(dc, back);
            FillRect(dc, &cr, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
            if (fixed) {
                DrawEdge(dc, &cr, BDR_RAISEDINNER, BF_RECT);
            } else {
                MoveToEx(dc, cr.right - 1, cr.top, nullptr);
                LineTo(dc, cr.right - 1, cr.bottom - 1);
                LineTo(dc, cr.left - 1, cr.bottom - 1);
            }
            if (!k.text.empty()) {
                long a = aligns_[static_cast<size_t>(c)];
                if (a == 9) a = IsNumeric(k.text) ? 7 : 1;  // general: numbers right, texts left
                UINT flags = DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS |
                             (a <= 2 ? DT_LEFT : a <= 5 ? DT_CENTER : DT_RIGHT) |
                             (a % 3 == 0 ? DT_TOP : a % 3 == 1 ? DT_VCENTER : DT_BOTTOM);
                RECT tr{cr.left + 2, cr.top + 1, cr.right - 3, cr.bottom - 2};
                SetTextColor(dc, fore);
                DrawTextW(dc, k.text.c_str(), static_cast<int>(k.text.size()), &tr, flags);
            }
            if (!fixed && current(r, c) && GetFocus() == hwnd_) {
                RECT fr{cr.left, cr.top, cr.right - 1, cr.bottom - 1};
                DrawFocusRect(dc, &fr);
            }
            x += w;
        }
        if (x < client.right) {
            RECT rest{x, y, client.right, y + row_px};
            FillRect(dc, &rest, empty);
        }
    }
    if (y < client.bottom) {
        RECT rest{0, y, client.right, client.bottom};
        FillRect(dc, &rest, empty);
    }
    SelectObject(dc, old_pen);
    DeleteObject(pen);
    SelectObject(dc, old_font);
}

LRESULT GridControl::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (hwnd == hwnd_ && redraw_) paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        if (hwnd == hwnd_) paint(reinterpret_cast<HDC>(wp));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        invalidate();
        break;
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd);
        int px = static_cast<short>(LOWORD(lp)), py = static_cast<short>(HIWORD(lp));
        long r = next_row(-1), c = -1;
        for (long y = std::max(px_y(row_height_), 1); r < rows_ && py >= y; y += std::max(px_y(row_height_), 1))
            r = next_row(r);
        for (long i = next_col(-1), x = 0; i < cols_; i = next_col(i)) {
            x += px_x(widths_[static_cast<size_t>(i)]);
            if (px < x) {
                c = i;
                break;
            }
        }
        if (r < rows_ && c >= 0) clicked(r, c);
        break;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_SIZE:
        if (hwnd == hwnd_) invalidate();
        break;
    case WM_VSCROLL:
    case WM_HSCROLL:
        if (hwnd == hwnd_ && !lp) scroll(msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wp));
        return 0;
    case WM_MOUSEWHEEL:
        if (hwnd == hwnd_) {
            top_row_ -= 3 * GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
            invalidate();
        }
        return 0;
    }
    return Visual::window_proc(hwnd, msg, wp, lp);
}

// --- FlexGrid ---------------------------------------------------------------------------------

ComPtr<Control> FlexGrid::clone() const {
    ComPtr<FlexGrid> c = make<FlexGrid>();
    c->copy_grid(*this);
    c->row_ = row_, c->col_ = col_, c->row_sel_ = row_sel_, c->col_sel_ = col_sel_;
    c->fill_style = fill_style;
    c->allow_big_selection = allow_big_selection;
    return ComPtr<Control>(c.get());
}

void FlexGrid::keep_inside() {
    row_ = std::clamp(row_, 0L, std::max(rows_ - 1, 0L));
    row_sel_ = std::clamp(row_sel_, 0L, std::max(rows_ - 1, 0L));
    col_ = std::clamp(col_, 0L, std::max(cols_ - 1, 0L));
    col_sel_ = std::clamp(col_sel_, 0L, std::max(cols_ - 1, 0L));
}

void FlexGrid::set_rows_kept(long n) {
    set_rows(n);
    keep_inside();
}

void FlexGrid::set_cols_kept(long n) {
    set_cols(n);
    keep_inside();
}

void FlexGrid::set_row(long r) {
    if (r < 0 || r >= rows_) raise(herr::InvalidRow);
    row_ = row_sel_ = r;
    invalidate();
}

void FlexGrid::set_col(long c) {
    if (c < 0 || c >= cols_) raise(herr::InvalidCol);
    col_ = col_sel_ = c;
    invalidate();
}

void FlexGrid::set_row_sel(long r) {
    if (r < 0 || r >= rows_) raise(herr::InvalidRow);
    row_sel_ = r;
    invalidate();
}

void FlexGrid::set_col_sel(long c) {
    if (c < 0 || c >= cols_) raise(herr::InvalidCol);
    col_sel_ = c;
    invalidate();
}

bool FlexGrid::highlighted(long r, long c) const {
    return r >= std::min(row_, row_sel_) && r <= std::max(row_, row_sel_) && c >= std::min(col_, col_sel_) &&
           c <= std::max(col_, col_sel_);
}

void FlexGrid::clicked(long r, long c) {
    if (r < fixed_rows_ || c < fixed_cols_) return;
    row_ = row_sel_ = r;
    col_ = col_sel_ = c;
    invalidate();
    if (on.click) on.click();
}

long FlexGrid::cell_color(bool back) const {
    check_cell(row_, col_);
    const Cell& k = cell(row_, col_);
    OLE_COLOR v = back ? k.back : k.fore;
    return static_cast<long>(v == kDefault ? 0 : v);
}

void FlexGrid::set_cell_color(bool back, long color) {
    check_cell(row_, col_);
    long r1 = row_, r2 = row_, c1 = col_, c2 = col_;
    if (fill_style == 1) {
        r1 = std::min(row_, row_sel_), r2 = std::max(row_, row_sel_);
        c1 = std::min(col_, col_sel_), c2 = std::max(col_, col_sel_);
    }
    for (long r = r1; r <= r2; ++r)
        for (long c = c1; c <= c2; ++c) (back ? cell(r, c).back : cell(r, c).fore) = static_cast<OLE_COLOR>(color);
    invalidate();
}

void FlexGrid::remove_item(long r) {
    if (r < 0 || r >= rows_) raise(herr::BadArrayIndex);
    if (r < fixed_rows_ || rows_ - fixed_rows_ <= 1) raise(herr::CannotRemoveRow);
    auto first = cells_.begin() + static_cast<ptrdiff_t>(r) * cols_;
    cells_.erase(first, first + cols_);
    --rows_;
    keep_inside();
    invalidate();
}

void FlexGrid::clear() {
    for (auto& k : cells_) k.text.clear();
    invalidate();
}

// --- sorting ---------------------------------------------------------------------------------

namespace {
int locale_compare(std::wstring_view a, std::wstring_view b, DWORD flags) {
    return CompareStringW(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) - CSTR_EQUAL;
}
double number_of(std::wstring_view t) { return IsNumeric(t) ? CDbl(t) : Val(t); }

// What a cell sorts by, read once per sort.
struct Key {
    const std::wstring* text;
    double number;
    bool is_number;
};

int compare_keys(long base, const Key& a, const Key& b) {
    switch (base) {
    case 1:  // generic: numbers (by value) before texts
        if (a.is_number != b.is_number) return a.is_number ? -1 : 1;
        if (a.is_number) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
        return locale_compare(*a.text, *b.text, NORM_IGNORECASE);
    case 3: return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    case 5: return locale_compare(*a.text, *b.text, NORM_IGNORECASE);
    default: return locale_compare(*a.text, *b.text, 0);
    }
}

Key key_of(long base, const std::wstring& t) {
    Key k{&t, 0, false};
    if (base == 1) {
        k.is_number = IsNumeric(t);
        if (k.is_number) k.number = CDbl(t);
    } else if (base == 3) {
        k.number = number_of(t);
    }
    return k;
}

long base_of(long sort) { return sort <= 2 ? 1 : sort <= 4 ? 3 : sort <= 6 ? 5 : 7; }
bool descending(long sort) { return sort % 2 == 0; }
}  // namespace

int grid_compare(long sort, std::wstring_view a, std::wstring_view b) {
    long base = base_of(sort);
    std::wstring ta(a), tb(b);
    int r = compare_keys(base, key_of(base, ta), key_of(base, tb));
    return descending(sort) ? -r : r;
}

void FlexGrid::sort(long kind) {
    if (kind < 0 || kind > 8) raise(err::InvalidPropertyValue);
    if (kind == 0) return;
    long r1 = fixed_rows_, r2 = rows_ - 1;
    if (row_ != row_sel_) {
        r1 = std::max(std::min(row_, row_sel_), fixed_rows_);
        r2 = std::max(row_, row_sel_);
    }
    long c1 = std::min(col_, col_sel_), c2 = std::max(col_, col_sel_);
    if (r2 - r1 < 1) return;
    long n = r2 - r1 + 1, width = c2 - c1 + 1, base = base_of(kind);
    std::vector<Key> keys(static_cast<size_t>(n * width));
    for (long r = 0; r < n; ++r)
        for (long c = 0; c < width; ++c)
            keys[static_cast<size_t>(r * width + c)] = key_of(base, cell(r1 + r, c1 + c).text);
    std::vector<long> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0L);
    bool down = descending(kind);
    std::stable_sort(order.begin(), order.end(), [&](long a, long b) {
        const Key* ka = &keys[static_cast<size_t>(a * width)];
        const Key* kb = &keys[static_cast<size_t>(b * width)];
        for (long c = 0; c < width; ++c) {
            int r = compare_keys(base, ka[c], kb[c]);
            if (r) return down ? r > 0 : r < 0;
        }
        return false;
    });
    std::vector<Cell> moved(static_cast<size_t>(n * cols_));
    for (long i = 0; i < n; ++i)
        std::move(cells_.begin() + (r1 + order[static_cast<size_t>(i)]) * cols_,
                  cells_.begin() + (r1 + order[static_cast<size_t>(i)] + 1) * cols_, moved.begin() + i * cols_);
    std::move(moved.begin(), moved.end(), cells_.begin() + r1 * cols_);
    invalidate();
}

}  // namespace qm::forms
