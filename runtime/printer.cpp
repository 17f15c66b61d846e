// The runtime's printer on GDI: a device context of the current printer, a
// document started by the first output and sent by EndDoc.
#include "runtime/printer.h"

#include <winspool.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "runtime/bstr.h"
#include "runtime/errors.h"

namespace qm {

namespace {

constexpr long kPrinterError = 482;

[[noreturn]] void printer_error() { raise(kPrinterError); }

std::vector<std::wstring_view> lines_of(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// The client program's name, the document's title.
std::wstring program_title() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    if (auto slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
    if (auto dot = name.rfind(L'.'); dot != std::wstring::npos) name.erase(dot);
    return name;
}

}  // namespace

std::vector<PrinterEntry> Printers() {
    std::vector<PrinterEntry> list;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &count);
    if (!needed) return list;
    auto buffer = std::make_unique<BYTE[]>(needed);
    if (!EnumPrintersW(flags, nullptr, 2, buffer.get(), needed, &needed, &count)) return list;
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.get());
    for (DWORD i = 0; i < count; ++i) {
        auto text = [](const wchar_t* s) { return std::wstring(s ? s : L""); };
        list.push_back({text(info[i].pPrinterName), text(info[i].pDriverName), text(info[i].pPortName)});
    }
    return list;
}

Printer& Printer::current() {
    // Lives until the library is unloaded; a document still open then is sent.
    static Printer printer;
    return printer;
}

Printer::~Printer() {
    try {
        if (in_doc_) EndDoc();
    } catch (...) {
    }
    if (dc_) DeleteDC(dc_);
    if (hfont_) DeleteObject(hfont_);
}

void Printer::select(const std::wstring& device_name) {
    for (const PrinterEntry& e : Printers()) {
        if (_wcsicmp(e.DeviceName.c_str(), device_name.c_str()) != 0) continue;
        if (in_doc_) EndDoc();
        if (dc_) DeleteDC(dc_);
        dc_ = nullptr;
        entry_ = e;
        chosen_ = true;
        x_ = y_ = 0;
        return;
    }
    printer_error();
}

void Printer::open() {
    if (dc_) return;
    if (!chosen_) {
        DWORD size = 0;
        GetDefaultPrinterW(nullptr, &size);
        if (!size) printer_error();
        std::wstring name(size, L'\0');
        if (!GetDefaultPrinterW(name.data(), &size)) printer_error();
        name.resize(wcslen(name.c_str()));
        entry_ = {name, L"", L""};
        for (const PrinterEntry& e : Printers())
            if (_wcsicmp(e.DeviceName.c_str(), name.c_str()) == 0) entry_ = e;
        chosen_ = true;
    }
    dc_ = CreateDCW(nullptr, entry_.DeviceName.c_str(), nullptr, nullptr);
    if (!dc_) printer_error();
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
}

const std::wstring& Printer::DeviceName() {
    open();
    return entry_.DeviceName;
}
const std::wstring& Printer::DriverName() {
    open();
    return entry_.DriverName;
}
const std::wstring& Printer::Port() {
    open();
    return entry_.Port;
}
HDC Printer::hDC() {
    open();
    return dc_;
}

ComPtr<IFontDisp> Printer::Font() {
    if (!font_) {
        FONTDESC fd{sizeof(fd)};
        fd.lpstrName = const_cast<LPOLESTR>(L"Arial");
        fd.cySize.int64 = 10 * 10000;
        fd.sWeight = FW_NORMAL;
        fd.sCharset = DEFAULT_CHARSET;
        check(OleCreateFontIndirect(&fd, IID_IFontDisp, font_.put_void()));
    }
    return font_;
}

void Printer::set_Font(IFontDisp* font) {
    if (!font) raise(424);
    ComPtr<IFont> src, copy;
    check(font->QueryInterface(IID_IFont, src.put_void()));
    check(src->Clone(copy.put()));
    font_ = copy.query<IFontDisp>();
}

HFONT Printer::font_handle() {
    open();
    ComPtr<IFont> f = Font().query<IFont>();
    if (!f) printer_error();
    LOGFONTW lf{};
    Bstr name;
    CY size{};
    BOOL bold = FALSE, italic = FALSE, under = FALSE, strike = FALSE;
    SHORT charset = DEFAULT_CHARSET;
    f->get_Name(name.put());
    f->get_Size(&size);
    f->get_Bold(&bold);
    f->get_Italic(&italic);
    f->get_Underline(&under);
    f->get_Strikethrough(&strike);
    f->get_Charset(&charset);
    // The point size at the device's vertical resolution.
    lf.lfHeight = -static_cast<LONG>(std::lround(size.int64 / 10000.0 * GetDeviceCaps(dc_, LOGPIXELSY) / 72.0));
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfUnderline = under ? 1 : 0;
    lf.lfStrikeOut = strike ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(charset);
    lf.lfQuality = DEFAULT_QUALITY;
    wcsncpy(lf.lfFaceName, text_of(name.get()).data(), LF_FACESIZE - 1);
    if (!hfont_ || std::memcmp(&lf, &hfont_desc_, sizeof lf) != 0) {
        HFONT h = CreateFontIndirectW(&lf);
        if (!h) printer_error();
        SelectObject(dc_, h);
        if (hfont_) DeleteObject(hfont_);
        hfont_ = h;
        hfont_desc_ = lf;
    }
    SelectObject(dc_, hfont_);
    return hfont_;
}

SIZE Printer::extent(std::wstring_view line) {
    font_handle();
    SIZE s{};
    if (!GetTextExtentPoint32W(dc_, line.data(), static_cast<int>(line.size()), &s)) printer_error();
    if (line.empty()) {
        TEXTMETRICW tm{};
        GetTextMetricsW(dc_, &tm);
        s.cy = tm.tmHeight + tm.tmExternalLeading;
    }
    return s;
}

double Printer::units_per_inch(long mode, bool vertical) {
    switch (mode) {
    case smTwips: return 1440;
    case smPoints: return 72;
    case smPixels: open(); return GetDeviceCaps(dc_, vertical ? LOGPIXELSY : LOGPIXELSX);
    case smCharacters: return vertical ? 6 : 12;  // 240 and 120 twips
    case smInches: return 1;
    case smMillimeters: return 25.4;
    case smCentimeters: return 2.54;
    case smHimetric: return 2540;
    }
    raise(err::InvalidCall);
}

double Printer::convert(double v, long from, long to, bool vertical) {
    if (from == to) return v;
    return v / units_per_inch(from, vertical) * units_per_inch(to, vertical);
}

double Printer::ScaleX(double v, long from, long to) { return convert(v, from, to, false); }
double Printer::ScaleY(double v, long from, long to) { return convert(v, from, to, true); }

void Printer::set_ScaleMode(long mode) {
    if (mode < smTwips || mode > smCentimeters) raise(err::InvalidPropertyValue);
    scale_mode_ = mode;
}

double Printer::CurrentX() { return convert(x_, smTwips, scale_mode_, false); }
double Printer::CurrentY() { return convert(y_, smTwips, scale_mode_, true); }
void Printer::set_CurrentX(double v) { x_ = convert(v, scale_mode_, smTwips, false); }
void Printer::set_CurrentY(double v) { y_ = convert(v, scale_mode_, smTwips, true); }

double Printer::ScaleWidth() {
    open();
    return convert(GetDeviceCaps(dc_, HORZRES), smPixels, scale_mode_, false);
}
double Printer::ScaleHeight() {
    open();
    return convert(GetDeviceCaps(dc_, VERTRES), smPixels, scale_mode_, true);
}

double Printer::TextWidth(std::wstring_view text) {
    long widest = 0;
    for (std::wstring_view line : lines_of(text)) widest = std::max(widest, extent(line).cx);
    return convert(widest, smPixels, scale_mode_, false);
}

double Printer::TextHeight(std::wstring_view text) {
    double height = 0;
    for (std::wstring_view line : lines_of(text)) height += extent(line).cy;
    return convert(height, smPixels, scale_mode_, true);
}

void Printer::begin_page() {
    open();
    if (!in_doc_) {
        const std::wstring title = program_title();
        DOCINFOW di{sizeof(di)};
        di.lpszDocName = title.c_str();
        if (StartDocW(dc_, &di) <= 0) printer_error();
        in_doc_ = true;
    }
    if (!in_page_) {
        if (StartPage(dc_) <= 0) printer_error();
        in_page_ = true;
        // A new page resets the device context: the font is selected anew.
        SetBkMode(dc_, TRANSPARENT);
        SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    }
}

void Printer::Print(std::wstring_view text) {
    begin_page();
    font_handle();
    for (std::wstring_view line : lines_of(text)) {
        const SIZE s = extent(line);
        const int x = static_cast<int>(std::lround(convert(x_, smTwips, smPixels, false)));
        const int y = static_cast<int>(std::lround(convert(y_, smTwips, smPixels, true)));
        if (!line.empty() && !TextOutW(dc_, x, y, line.data(), static_cast<int>(line.size()))) printer_error();
        x_ = 0;
        y_ += convert(s.cy, smPixels, smTwips, true);
    }
}

void Printer::NewPage() {
    begin_page();
    in_page_ = false;
    if (EndPage(dc_) <= 0) printer_error();
    x_ = y_ = 0;
}

void Printer::EndDoc() {
    if (!in_doc_) return;
    const bool page = in_page_;
    in_doc_ = in_page_ = false;
    x_ = y_ = 0;
    if (page && EndPage(dc_) <= 0) {
        AbortDoc(dc_);
        printer_error();
    }
    if (::EndDoc(dc_) <= 0) printer_error();
}

void Printer::KillDoc() {
    if (!in_doc_) return;
    in_doc_ = in_page_ = false;
    x_ = y_ = 0;
    AbortDoc(dc_);
}

}  // namespace qm
