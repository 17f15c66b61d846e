// Hosted controls on the system's classes: ProgressBar (msctls_progress32),
// StatusBar (msctls_statusbar32, aligned to the bottom of its form), RichTextBox
// (RichEdit20W) and DriveListBox (a drop-down list of the system's drives).
#include <richedit.h>
#include <winnetwk.h>

#include <algorithm>
#include <cmath>

#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/forms/table_helpers.h"
#include "runtime/latebind.h"

namespace qm::forms {

namespace {

using namespace tables;

}  // namespace

const Table& hwnd_member() {
    static const Table t({}, {
                                 {L"hWnd", [](Object& o, A) { return var(static_cast<long>(reinterpret_cast<LONG_PTR>(S<Visual>(o).hwnd()))); }},
                             });
    return t;
}

bool is_text(const VARIANT& v) { return V_VT(&deref(v)) == VT_BSTR; }

Variant collection_result(IDispatch* collection, const Args& args) {
    if (args.size() == 0) return var(collection);
    if (args.size() > 1) raise(450);
    return late::get(collection, L"Item", {Variant(args.at(0))});
}

IDispatch* dispatch_of(const VARIANT& v) noexcept {
    const VARIANT& d = deref(v);
    if (V_VT(&d) == VT_DISPATCH) return V_DISPATCH(&d);
    if (V_VT(&d) == (VT_DISPATCH | VT_BYREF)) return V_DISPATCHREF(&d) ? *V_DISPATCHREF(&d) : nullptr;
    return nullptr;
}

// --- ProgressBar ----------------------------------------------------------------------

void ProgressBar::create_window() {
    init_common_controls(ICC_PROGRESS_CLASS);
    create(PROGRESS_CLASSW, 0);
    apply();
}

void ProgressBar::apply() {
    send(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(lroundf(s_.min)), lroundf(s_.max));
    send(hwnd_, PBM_SETPOS, static_cast<WPARAM>(lroundf(s_.value)));
}

void ProgressBar::set_range(float min, float max) {
    if (!(min < max)) raise(err::InvalidPropertyValue);
    s_.min = min;
    s_.max = max;
    s_.value = std::clamp(s_.value, min, max);
    apply();
}

void ProgressBar::set_value(float v) {
    if (v < s_.min || v > s_.max) raise(err::InvalidPropertyValue);
    s_.value = v;
    apply();
}

const Table& ProgressBar::table() const {
    static const Table t({&hwnd_member(), &Control::members()},
                         {
                             {L"Min", [](Object& o, A) { return var(S<ProgressBar>(o).s_.min); },
                              [](Object& o, A, V v) { S<ProgressBar>(o).set_range(CSng(v), S<ProgressBar>(o).s_.max); }},
                             {L"Max", [](Object& o, A) { return var(S<ProgressBar>(o).s_.max); },
                              [](Object& o, A, V v) { S<ProgressBar>(o).set_range(S<ProgressBar>(o).s_.min, CSng(v)); }},
                             {L"Value", [](Object& o, A) { return var(S<ProgressBar>(o).s_.value); },
                              [](Object& o, A, V v) { S<ProgressBar>(o).set_value(CSng(v)); }},
                         },
                         L"Value");
    return t;
}

// --- StatusBar ------------------------------------------------------------------------------

StatusBar::StatusBar() {
    auto p = make<Panel>();
    p->bar = this;
    panels_.push_back(p);
}

StatusBar::~StatusBar() {
    for (auto& p : panels_) p->bar = nullptr;
}

ComPtr<Control> StatusBar::clone() const {
    ComPtr<StatusBar> c = make<StatusBar>();
    c->copy_control(*this);
    c->panels_.clear();
    for (const auto& p : panels_) c->add_panel(-1, p->key, p->text).width = p->width;
    return ComPtr<Control>(c.get());
}

void StatusBar::create_window() {
    init_common_controls(ICC_BAR_CLASSES);
    create(STATUSCLASSNAMEW, CCS_BOTTOM);
    container_resized();
}

void StatusBar::container_resized() {
    if (!hwnd_) return;
    send(hwnd_, WM_SIZE);
    RECT r;
    GetWindowRect(hwnd_, &r);
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    x_ = r.left * twips_per_pixel_x();
    y_ = r.top * twips_per_pixel_y();
    w_ = (r.right - r.left) * twips_per_pixel_x();
    h_ = (r.bottom - r.top) * twips_per_pixel_y();
    layout();
}

void StatusBar::layout() {
    if (!hwnd_) return;
    std::vector<int> edges;
    int x = 0;
    for (const auto& p : panels_) edges.push_back(x += px_x(p->width));
    send(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (size_t i = 0; i < panels_.size(); ++i)
        send(hwnd_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(panels_[i]->text.c_str()));
}

Panel& StatusBar::add_panel(long index, const std::wstring& key, const std::wstring& text) {
    long n = static_cast<long>(panels_.size());
    if (index == -1) index = n + 1;
    if (index < 1 || index > n + 1) raise(herr::IndexOutOfBounds);
    if (panels_.size() >= 255) raise(err::InvalidCall);
    if (!key.empty())
        for (const auto& p : panels_)
            if (p->key == key) raise(herr::KeyNotUnique);
    auto p = make<Panel>();
    p->bar = this;
    p->key = key;
    p->text = text;
    panels_.insert(panels_.begin() + (index - 1), p);
    layout();
    return *p.get();
}

Panel& StatusBar::panel(const VARIANT& index_or_key) const {
    if (is_text(index_or_key)) {
        std::wstring key = CStr(index_or_key);
        for (const auto& p : panels_)
            if (!key.empty() && p->key == key) return *p.get();
        raise(herr::ElementNotFound);
    }
    long i = CLng(index_or_key);
    if (i < 1 || i > static_cast<long>(panels_.size())) raise(herr::IndexOutOfBounds);
    return *panels_[static_cast<size_t>(i - 1)].get();
}

const Table& Panel::table() const {
    static const Table t({},
                         {
                             {L"Text", [](Object& o, A) { return var(S<Panel>(o).text); },
                              [](Object& o, A, V v) {
                                  auto& p = S<Panel>(o);
                                  p.text = CStr(v);
                                  if (p.bar) p.bar->layout();
                              }},
                             {L"Width", [](Object& o, A) { return var(S<Panel>(o).width); },
                              [](Object& o, A, V v) {
                                  float w = CSng(v);
                                  if (w < 0) raise(err::InvalidPropertyValue);
                                  auto& p = S<Panel>(o);
                                  p.width = w;
                                  if (p.bar) p.bar->layout();
                              }},
                             {L"Key", [](Object& o, A) { return var(S<Panel>(o).key); }},
                             {L"Index", [](Object& o, A) -> Variant {
                                  auto& p = S<Panel>(o);
                                  if (!p.bar) raise(herr::ElementNotFound);
                                  const auto& list = p.bar->panels();
                                  for (size_t i = 0; i < list.size(); ++i)
                                      if (list[i].get() == &p) return var(static_cast<long>(i + 1));
                                  raise(herr::ElementNotFound);
                              }},
                         },
                         L"Text");
    return t;
}

namespace {
constexpr wchar_t kPanels[] = L"Panels";
using Panels = tables::ItemCollection<StatusBar, Panel, kPanels, &StatusBar::panels, &StatusBar::panel, &StatusBar::add_panel>;
}  // namespace

const Table& StatusBar::table() const {
    static const Table t({&hwnd_member(), &Control::members()},
                         {
                             {L"Panels", [](Object& o, A a) {
                                  ComPtr<Panels> p = make<Panels>(S<StatusBar>(o));
                                  return collection_result(p.get(), a);
                              }},
                         });
    return t;
}

// --- RichTextBox -----------------------------------------------------------------------------

void RichTextBox::create_window() {
    static HMODULE lib = LoadLibraryW(L"riched20.dll");
    if (!lib) raise(err::CantCreateObject);
    create(RICHEDIT_CLASSW, WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL,
           WS_EX_CLIENTEDGE, s_.text.c_str());
    send(hwnd_, EM_SETEVENTMASK, 0, ENM_CHANGE);
}

void RichTextBox::destroy_window() {
    if (hwnd_) s_.text = text();
    Control::destroy_window();
}

std::wstring RichTextBox::text() const {
    if (!hwnd_) return s_.text;
    GETTEXTLENGTHEX len{GTL_NUMCHARS | GTL_PRECISE, 1200};
    LRESULT n = send(hwnd_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len));
    std::wstring t(static_cast<size_t>(std::max<LRESULT>(n, 0)) + 1, L'\0');
    GETTEXTEX get{static_cast<DWORD>(t.size() * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr, nullptr};
    n = send(hwnd_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(t.data()));
    t.resize(static_cast<size_t>(std::max<LRESULT>(n, 0)));
    return t;
}

void RichTextBox::set_text(const std::wstring& t) {
    s_.text = t;
    if (hwnd_) SetWindowTextW(hwnd_, t.c_str());
}

namespace {
CHARRANGE selection(HWND h) {
    CHARRANGE r{0, 0};
    send(h, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r;
}
long text_length(HWND h) {
    GETTEXTLENGTHEX len{GTL_NUMCHARS | GTL_PRECISE, 1200};
    return static_cast<long>(send(h, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len)));
}
}  // namespace

long RichTextBox::sel_start() const { return selection(hwnd_).cpMin; }
long RichTextBox::sel_length() const {
    CHARRANGE r = selection(hwnd_);
    return r.cpMax - r.cpMin;
}

void RichTextBox::set_sel_start(long v) {
    if (v < 0) raise(err::InvalidPropertyValue);
    if (!hwnd_) return;
    CHARRANGE r{std::min(v, text_length(hwnd_)), 0};
    r.cpMax = r.cpMin;
    send(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

void RichTextBox::set_sel_length(long v) {
    if (v < 0) raise(err::InvalidPropertyValue);
    if (!hwnd_) return;
    CHARRANGE r = selection(hwnd_);
    r.cpMax = std::min(r.cpMin + v, text_length(hwnd_));
    send(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

std::wstring RichTextBox::sel_text() const {
    CHARRANGE r = selection(hwnd_);
    if (!hwnd_ || r.cpMax <= r.cpMin) return {};
    std::wstring t(static_cast<size_t>(r.cpMax - r.cpMin) * 2 + 1, L'\0');
    LRESULT n = send(hwnd_, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(t.data()));
    t.resize(static_cast<size_t>(std::max<LRESULT>(n, 0)));
    return t;
}

void RichTextBox::set_sel_text(const std::wstring& t) {
    send(hwnd_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(t.c_str()));
}

Variant RichTextBox::sel_color() const {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_COLOR;
    send(hwnd_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    Variant r;
    if (!(cf.dwMask & CFM_COLOR)) {
        V_VT(r.get()) = VT_NULL;
        return r;
    }
    COLORREF c = (cf.dwEffects & CFE_AUTOCOLOR) ? GetSysColor(COLOR_WINDOWTEXT) : cf.crTextColor;
    return var(static_cast<long>(c));
}

void RichTextBox::set_sel_color(long color) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = rgb_of(static_cast<OLE_COLOR>(color));
    send(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

float RichTextBox::sel_indent(bool right) const {
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    send(hwnd_, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    long twips = right ? pf.dxRightIndent : pf.dxStartIndent;
    return static_cast<float>(twips) / container_twips_per_unit_x();
}

void RichTextBox::set_sel_indent(bool right, float units) {
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    pf.dwMask = right ? PFM_RIGHTINDENT : PFM_STARTINDENT;
    long twips = lroundf(units * container_twips_per_unit_x());
    (right ? pf.dxRightIndent : pf.dxStartIndent) = twips;
    send(hwnd_, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
}

void RichTextBox::sel_print(HDC dc, bool start_doc) {
    if (!hwnd_) return;
    if (!dc || GetObjectType(dc) == 0) raise(err::InvalidPropertyValue);
    int lx = std::max(GetDeviceCaps(dc, LOGPIXELSX), 1), ly = std::max(GetDeviceCaps(dc, LOGPIXELSY), 1);
    FORMATRANGE fr{};
    fr.hdc = fr.hdcTarget = dc;
    fr.rcPage = {0, 0, MulDiv(GetDeviceCaps(dc, HORZRES), 1440, lx), MulDiv(GetDeviceCaps(dc, VERTRES), 1440, ly)};
    fr.rc = fr.rcPage;
    CHARRANGE sel = selection(hwnd_);
    if (sel.cpMin == sel.cpMax) sel = {0, text_length(hwnd_)};  // nothing selected: the whole text
    fr.chrg = sel;
    if (start_doc) {
        DOCINFOW doc{sizeof(doc), L"Rich text"};
        if (StartDocW(dc, &doc) <= 0) raise(482);
        StartPage(dc);
    }
    for (;;) {
        LONG next = static_cast<LONG>(send(hwnd_, EM_FORMATRANGE, TRUE, reinterpret_cast<LPARAM>(&fr)));
        if (next >= sel.cpMax || next <= fr.chrg.cpMin) break;
        EndPage(dc);
        StartPage(dc);
        fr.chrg.cpMin = next;
    }
    send(hwnd_, EM_FORMATRANGE, FALSE, 0);
    if (start_doc) {
        EndPage(dc);
        EndDoc(dc);
    }
}

const Table& RichTextBox::table() const {
    static const Table t(
        {&hwnd_member(), &Control::members()},
        {
            {L"Text", [](Object& o, A) { return var(S<RichTextBox>(o).text()); },
             [](Object& o, A, V v) { S<RichTextBox>(o).set_text(CStr(v)); }},
            {L"SelStart", [](Object& o, A) { return var(S<RichTextBox>(o).sel_start()); },
             [](Object& o, A, V v) { S<RichTextBox>(o).set_sel_start(CLng(v)); }},
            {L"SelLength", [](Object& o, A) { return var(S<RichTextBox>(o).sel_length()); },
             [](Object& o, A, V v) { S<RichTextBox>(o).set_sel_length(CLng(v)); }},
            {L"SelText", [](Object& o, A) { return var(S<RichTextBox>(o).sel_text()); },
             [](Object& o, A, V v) { S<RichTextBox>(o).set_sel_text(CStr(v)); }},
            {L"SelColor", [](Object& o, A) { return S<RichTextBox>(o).sel_color(); },
             [](Object& o, A, V v) { S<RichTextBox>(o).set_sel_color(CLng(v)); }},
            {L"SelIndent", [](Object& o, A) { return var(S<RichTextBox>(o).sel_indent(false)); },
             [](Object& o, A, V v) { S<RichTextBox>(o).set_sel_indent(false, CSng(v)); }},
            {L"SelRightIndent", [](Object& o, A) { return var(S<RichTextBox>(o).sel_indent(true)); },
             [](Object& o, A, V v) { S<RichTextBox>(o).set_sel_indent(true, CSng(v)); }},
            {L"SelPrint", [](Object& o, A a) {
                 HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(a.lng(0)));
                 S<RichTextBox>(o).sel_print(dc, a.has(1) ? a.boolean(1) : true);
                 return none();
             }},
        },
        L"Text");
    return t;
}

// --- DriveListBox ----------------------------------------------------------------------------

void DriveListBox::create_window() {
    float saved_h = h_;
    h_ += 2000;  // room for the drop-down list
    try {
        create(L"ThunderRT6DriveListBox", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS);
    } catch (...) {
        h_ = saved_h;
        throw;
    }
    h_ = saved_h;
    saved_.clear();
    fill();
}

void DriveListBox::fill() {
    if (!hwnd_) return;
    std::wstring current = drive();
    send(hwnd_, CB_RESETCONTENT);
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
        std::wstring item{static_cast<wchar_t>(L'a' + i), L':'};
        UINT type = GetDriveTypeW(root);
        if (type == DRIVE_FIXED || type == DRIVE_RAMDISK || type == DRIVE_CDROM) {
            wchar_t label[MAX_PATH + 1] = {};
            if (GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) && label[0])
                item += std::wstring(L" [") + label + L"]";
        } else if (type == DRIVE_REMOTE) {
            wchar_t local[] = {root[0], L':', 0}, remote[MAX_PATH] = {};
            DWORD n = MAX_PATH;
            if (WNetGetConnectionW(local, remote, &n) == NO_ERROR && remote[0]) item += std::wstring(L" [") + remote + L"]";
        }
        send(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SetErrorMode(mode);
    // The drive shown before, else the process's current drive.
    wchar_t dir[MAX_PATH] = {};
    std::wstring want = current.empty() ? (GetCurrentDirectoryW(MAX_PATH, dir) ? std::wstring(dir, 1) : L"") : current;
    long at = 0;
    for (long i = 0, n = list_count(); i < n && !want.empty(); ++i)
        if (towlower(list(i)[0]) == towlower(want[0])) at = i;
    if (list_count()) send(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(at));
}

std::wstring DriveListBox::drive() const { return list(list_index()); }

void DriveListBox::set_drive(const std::wstring& d) {
    if (d.empty()) raise(err::DeviceUnavailable);
    wchar_t letter = static_cast<wchar_t>(towlower(d[0]));
    for (int pass = 0; pass < 2; ++pass) {
        for (long i = 0, n = list_count(); i < n; ++i) {
            std::wstring item = list(i);
            if (item.size() >= 2 && item[0] == letter && item[1] == L':') {
                set_list_index(i);
                return;
            }
        }
        if (pass == 0) fill();  // a drive that came since
    }
    raise(err::DeviceUnavailable);
}

const Table& DriveListBox::table() const {
    static const Table t({&hwnd_member(), &Control::members()},
                         {
                             {L"Drive", [](Object& o, A) { return var(S<DriveListBox>(o).drive()); },
                              [](Object& o, A, V v) { S<DriveListBox>(o).set_drive(CStr(v)); }},
                             {L"List", [](Object& o, A a) { return var(S<DriveListBox>(o).list(a.lng(0))); }},
                             {L"ListCount", [](Object& o, A) { return var(S<DriveListBox>(o).list_count()); }},
                             {L"ListIndex", [](Object& o, A) { return var(S<DriveListBox>(o).list_index()); },
                              [](Object& o, A, V v) { S<DriveListBox>(o).set_list_index(CLng(v)); }},
                         },
                         L"Drive");
    return t;
}

}  // namespace qm::forms
