#include "runtime/forms/globals.h"

#include <htmlhelp.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "runtime/ansi.h"
#include "runtime/forms/forms.h"
#include "runtime/module.h"
#include "runtime/process.h"
#include "runtime/thread_state.h"

namespace qm::forms {

long g_screen_pointer = 0;
ComPtr<IPictureDisp> g_screen_icon;

long do_events() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return forms_collection().count();
}

// --- Screen -------------------------------------------------------------------------

float screen_twips_per_pixel_x() noexcept { return twips_per_pixel_x(); }
float screen_twips_per_pixel_y() noexcept { return twips_per_pixel_y(); }
float screen_width() noexcept { return GetSystemMetrics(SM_CXSCREEN) * twips_per_pixel_x(); }
float screen_height() noexcept { return GetSystemMetrics(SM_CYSCREEN) * twips_per_pixel_y(); }
long screen_mouse_pointer() noexcept { return g_screen_pointer; }

void set_screen_mouse_pointer(long pointer) {
    if (pointer < 0 || (pointer > 15 && pointer != 99)) raise(err::InvalidPropertyValue);
    g_screen_pointer = pointer;
    refresh_cursor();
}

void set_screen_mouse_icon(IPictureDisp* icon) { g_screen_icon = icon; }

Form* screen_active_form() noexcept {
    HWND active = GetActiveWindow();
    Form* f = form_of(active);
    return f && f->hwnd() == active ? f : nullptr;
}

// --- Clipboard ----------------------------------------------------------------------

namespace {

// The clipboard needs an owner window for SetClipboardData after EmptyClipboard;
// each thread has its own.
struct ClipboardOwner final : ThreadPart {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module_handle(), nullptr);
    ~ClipboardOwner() override {
        if (hwnd) DestroyWindow(hwnd);
    }
};

HWND clipboard_owner() { return thread_part<ClipboardOwner>().hwnd; }

class OpenClipboardScope {
public:
    OpenClipboardScope() {
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (OpenClipboard(clipboard_owner())) return;
            Sleep(10);
        }
        raise(ferr::ClipboardOpen, L"Can't open Clipboard");
    }
    ~OpenClipboardScope() { CloseClipboard(); }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

UINT system_format(long format) {
    switch (format) {
    case cfText: return CF_UNICODETEXT;
    case cfBitmap: return CF_BITMAP;
    case cfMetafile: return CF_METAFILEPICT;
    case cfDIB: return CF_DIB;
    case cfPalette: return CF_PALETTE;
    case cfEMetafile: return CF_ENHMETAFILE;
    case cfFiles: return CF_HDROP;
    case cfRTF: return RegisterClipboardFormatW(L"Rich Text Format");
    case cfLink: return RegisterClipboardFormatW(L"Link");
    default:
        if (format > 0 && format <= 0xFFFF) return static_cast<UINT>(format);
        raise(err::InvalidCall);
    }
}

HGLOBAL global_copy(const void* data, size_t size) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!h) raise(err::OutOfMemory);
    memcpy(GlobalLock(h), data, size);
    GlobalUnlock(h);
    return h;
}

}  // namespace

void clipboard_clear() {
    OpenClipboardScope open;
    EmptyClipboard();
}

void clipboard_set_text(std::wstring_view text, long format) {
    UINT cf = system_format(format);
    HGLOBAL h;
    if (cf == CF_UNICODETEXT) {
        std::wstring t(text);
        h = global_copy(t.c_str(), (t.size() + 1) * sizeof(wchar_t));
    } else {  // RTF and other text formats travel as ANSI
        std::string a = to_ansi(text);
        h = global_copy(a.c_str(), a.size() + 1);
    }
    OpenClipboardScope open;
    EmptyClipboard();
    if (!SetClipboardData(cf, h)) {
        GlobalFree(h);
        raise_win32();
    }
}

std::wstring clipboard_get_text(long format) {
    UINT cf = system_format(format);
    OpenClipboardScope open;
    HANDLE h = GetClipboardData(cf);
    if (!h) return {};
    const void* p = GlobalLock(h);
    if (!p) return {};
    size_t bytes = GlobalSize(h);
    std::wstring r;
    if (cf == CF_UNICODETEXT) {
        const auto* w = static_cast<const wchar_t*>(p);
        r.assign(w, wcsnlen(w, bytes / sizeof(wchar_t)));
    } else {
        const auto* a = static_cast<const char*>(p);
        r = from_ansi(std::string_view(a, strnlen(a, bytes)));
    }
    GlobalUnlock(h);
    return r;
}

void clipboard_set_data(IPictureDisp* picture, long format) {
    ComPtr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.put_void()))) raise(ferr::InvalidPicture);
    SHORT type = PICTYPE_NONE;
    pic->get_Type(&type);
    OLE_HANDLE handle = 0;
    pic->get_Handle(&handle);
    HANDLE h = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle));
    HANDLE copy = nullptr;
    UINT cf = 0;
    if (type == PICTYPE_BITMAP && (format == 0 || format == cfBitmap || format == cfDIB)) {
        copy = CopyImage(h, IMAGE_BITMAP, 0, 0, 0);
        cf = CF_BITMAP;
    } else if (type == PICTYPE_ENHMETAFILE && (format == 0 || format == cfEMetafile)) {
        copy = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(h), nullptr);
        cf = CF_ENHMETAFILE;
    } else {
        raise(ferr::InvalidPicture);
    }
    if (!copy) raise_win32();
    OpenClipboardScope open;
    EmptyClipboard();
    if (!SetClipboardData(cf, copy)) {
        DeleteObject(copy);
        raise_win32();
    }
}

ComPtr<IPictureDisp> clipboard_get_data(long format) {
    UINT cf = system_format(format);
    OpenClipboardScope open;
    if (cf == CF_BITMAP || cf == CF_DIB) {
        HANDLE h = GetClipboardData(CF_BITMAP);
        if (!h) return {};
        HBITMAP copy = static_cast<HBITMAP>(CopyImage(h, IMAGE_BITMAP, 0, 0, 0));
        return picture_from_bitmap(copy);
    }
    if (cf == CF_ENHMETAFILE) {
        HANDLE h = GetClipboardData(CF_ENHMETAFILE);
        if (!h) return {};
        PICTDESC desc{sizeof(desc), PICTYPE_ENHMETAFILE};
        desc.emf.hemf = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(h), nullptr);
        ComPtr<IPictureDisp> pic;
        check(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, pic.put_void()));
        return pic;
    }
    raise(err::InvalidCall);
}

bool clipboard_get_format(long format) { return IsClipboardFormatAvailable(system_format(format)) != FALSE; }

// --- pictures -------------------------------------------------------------------------

ComPtr<IPictureDisp> load_picture(std::wstring_view path) {
    ComPtr<IPictureDisp> pic;
    if (path.empty()) {
        PICTDESC desc{sizeof(desc), PICTYPE_NONE};
        check(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, pic.put_void()));
        return pic;
    }
    std::wstring p(path);
    HANDLE file = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) raise_win32();
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    if (size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF) {
        CloseHandle(file);
        raise(ferr::InvalidPicture);
    }
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart));
    DWORD read = 0;
    BOOL ok = mem && ReadFile(file, GlobalLock(mem), static_cast<DWORD>(size.QuadPart), &read, nullptr);
    DWORD error = GetLastError();
    if (mem) GlobalUnlock(mem);
    CloseHandle(file);
    if (!ok) {
        if (mem) GlobalFree(mem);
        raise_win32(error);
    }
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(mem, TRUE, stream.put()))) {
        GlobalFree(mem);
        raise(err::OutOfMemory);
    }
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(read), FALSE, IID_IPictureDisp, pic.put_void())))
        raise(ferr::InvalidPicture);
    return pic;
}

namespace {

void write_file(const std::wstring& path, const void* data, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) raise_win32();
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok || written != size) raise_win32(ok ? ERROR_DISK_FULL : error);
}

// A bitmap as a 24-bit BMP file image: the two headers as the file stores them.
static_assert(sizeof(BITMAPFILEHEADER) == 14 && sizeof(BITMAPINFOHEADER) == 40);
std::vector<BYTE> bmp_file(HBITMAP bmp) {
    BITMAP bm{};
    if (!GetObjectW(bmp, sizeof(bm), &bm)) raise(ferr::InvalidPicture);
    BITMAPINFOHEADER info{sizeof(info), bm.bmWidth, bm.bmHeight, 1, 24, BI_RGB};
    size_t stride = (static_cast<size_t>(bm.bmWidth) * 3 + 3) & ~size_t{3};
    size_t pixels = stride * static_cast<size_t>(bm.bmHeight);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels);
    std::vector<BYTE> out(file.bfSize);
    memcpy(out.data(), &file, sizeof(file));
    memcpy(out.data() + sizeof(file), &info, sizeof(info));
    HDC dc = GetDC(nullptr);
    int lines = GetDIBits(dc, bmp, 0, static_cast<UINT>(bm.bmHeight), out.data() + file.bfOffBits,
                          reinterpret_cast<BITMAPINFO*>(out.data() + sizeof(file)), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (lines != bm.bmHeight) raise(ferr::InvalidPicture);
    return out;
}

}  // namespace

void save_picture(IPictureDisp* picture, std::wstring_view path) {
    ComPtr<IPicture> pic;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, pic.put_void()))) raise(err::ObjectNotSet);
    SHORT type = PICTYPE_NONE;
    pic->get_Type(&type);
    if (type == PICTYPE_NONE || type == PICTYPE_UNINITIALIZED) raise(ferr::InvalidPicture);
    std::wstring p(path);
    if (type == PICTYPE_BITMAP) {
        OLE_HANDLE h = 0;
        pic->get_Handle(&h);
        std::vector<BYTE> data = bmp_file(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(h)));
        write_file(p, data.data(), data.size());
        return;
    }
    ComPtr<IStream> stream;
    check(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    LONG size = 0;
    if (FAILED(pic->SaveAsFile(stream.get(), TRUE, &size))) raise(ferr::InvalidPicture);
    HGLOBAL mem = nullptr;
    check(GetHGlobalFromStream(stream.get(), &mem));
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    const void* data = GlobalLock(mem);
    try {
        write_file(p, data, static_cast<size_t>(st.cbSize.QuadPart));
    } catch (...) {
        GlobalUnlock(mem);
        throw;
    }
    GlobalUnlock(mem);
}

// --- colours --------------------------------------------------------------------------

long qb_color(long number) {
    static const long colours[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                     0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    if (number < 0 || number > 15) raise(err::InvalidCall);
    return colours[number];
}

long rgb_color(long red, long green, long blue) {
    if (red < 0 || green < 0 || blue < 0) raise(err::InvalidCall);
    return std::min(red, 255L) | (std::min(green, 255L) << 8) | (std::min(blue, 255L) << 16);
}

// --- message box and input box -------------------------------------------------------------

namespace {
std::wstring default_title() {
    std::wstring p = module_path();
    size_t slash = p.find_last_of(L"\\/");
    if (slash != std::wstring::npos) p.erase(0, slash + 1);
    size_t dot = p.find_last_of(L'.');
    if (dot != std::wstring::npos) p.erase(dot);
    return p;
}
}  // namespace

long msg_box(std::wstring_view prompt, long buttons, std::wstring_view title) {
    std::wstring p(prompt), t = title.empty() ? default_title() : std::wstring(title);
    int r = MessageBoxW(GetActiveWindow(), p.c_str(), t.c_str(), static_cast<UINT>(buttons));
    if (r == 0) raise_win32();
    return r;
}

namespace {

struct InputBoxState {
    std::wstring prompt, title, text;
    const float* x;
    const float* y;
    std::wstring help_file;
    long context = 0;
    bool ok = false;
};

// Opens the help file at the topic: HTML Help for ".chm" files, Windows Help otherwise.
void show_help(HWND owner, const InputBoxState& s) {
    const std::wstring& file = s.help_file;
    bool html = file.size() >= 4 && CompareStringOrdinal(file.c_str() + file.size() - 4, 4, L".chm", 4, TRUE) ==
                                        CSTR_EQUAL;
    if (html) {
        using HtmlHelpFn = decltype(&HtmlHelpW);
        static HMODULE hh = LoadLibraryW(L"hhctrl.ocx");
        auto fn = hh ? reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(hh, "HtmlHelpW")))
                     : nullptr;
        if (fn) fn(owner, file.c_str(), 0x000F /* HH_HELP_CONTEXT */, static_cast<DWORD_PTR>(s.context));
        return;
    }
    WinHelpW(owner, file.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(static_cast<DWORD>(s.context)));
}

// The template is built word by word: both headers are packed to 18 bytes.
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18);

// Appends a word-aligned dialog item to an in-memory template.
void add_item(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
              const wchar_t* text) {
    while (t.size() % 2) t.push_back(0);  // DWORD alignment
    DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
    const WORD* raw = reinterpret_cast<const WORD*>(&item);
    t.insert(t.end(), raw, raw + sizeof(item) / sizeof(WORD));
    t.push_back(0xFFFF);
    t.push_back(cls);
    for (const wchar_t* c = text; *c; ++c) t.push_back(static_cast<WORD>(*c));
    t.push_back(0);
    t.push_back(0);  // no creation data
}

INT_PTR CALLBACK input_box_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* s = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        s = reinterpret_cast<InputBoxState*>(lp);
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
        SetWindowTextW(dlg, s->title.c_str());
        SetDlgItemTextW(dlg, 4901, s->prompt.c_str());
        SetDlgItemTextW(dlg, kInputBoxEditId, s->text.c_str());
        RECT r;
        GetWindowRect(dlg, &r);
        int w = r.right - r.left, h = r.bottom - r.top;
        int x = s->x ? static_cast<int>(std::lround(*s->x / twips_per_pixel_x()))
                     : (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
        int y = s->y ? static_cast<int>(std::lround(*s->y / twips_per_pixel_y()))
                     : (GetSystemMetrics(SM_CYSCREEN) - h) / 3;
        SetWindowPos(dlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        HWND edit = GetDlgItem(dlg, kInputBoxEditId);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SetFocus(edit);
        return FALSE;
    }
    case WM_HELP:
        if (s && !s->help_file.empty()) show_help(dlg, *s);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDHELP) {
            if (s && !s->help_file.empty()) show_help(dlg, *s);
            return TRUE;
        }
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            if (LOWORD(wp) == IDOK && s) {
                HWND edit = GetDlgItem(dlg, kInputBoxEditId);
                int n = GetWindowTextLengthW(edit);
                std::wstring t(static_cast<size_t>(n) + 1, L'\0');
                t.resize(static_cast<size_t>(GetWindowTextW(edit, t.data(), n + 1)));
                s->text = std::move(t);
                s->ok = true;
            }
            EndDialog(dlg, LOWORD(wp));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::optional<std::wstring> input_box(std::wstring_view prompt, std::wstring_view title, std::wstring_view default_text,
                                      const float* x, const float* y, std::wstring_view help_file, long context) {
    InputBoxState state{std::wstring(prompt), title.empty() ? default_title() : std::wstring(title),
                        std::wstring(default_text), x, y, std::wstring(help_file), context};
    // Template: caption set at run time, font MS Sans Serif 8, prompt, OK, Cancel, edit field.
    std::vector<WORD> t;
    DLGTEMPLATE head{DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 4, 0, 0, 245, 95};
    const WORD* raw = reinterpret_cast<const WORD*>(&head);
    if (!help_file.empty()) head.cdit = 5;
    t.insert(t.end(), raw, raw + sizeof(head) / sizeof(WORD));
    t.push_back(0);  // no menu
    t.push_back(0);  // default class (#32770)
    t.push_back(0);  // empty title
    t.push_back(8);
    for (const wchar_t* c = L"MS Sans Serif"; *c; ++c) t.push_back(static_cast<WORD>(*c));
    t.push_back(0);
    add_item(t, SS_LEFT | SS_NOPREFIX, 7, 7, 172, 60, 4901, 0x0082, L"");
    add_item(t, BS_DEFPUSHBUTTON | WS_TABSTOP, 186, 6, 52, 15, IDOK, 0x0080, L"OK");
    add_item(t, BS_PUSHBUTTON | WS_TABSTOP, 186, 25, 52, 15, IDCANCEL, 0x0080, L"Cancel");
    add_item(t, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 74, 231, 13, kInputBoxEditId, 0x0081, L"");
    if (!help_file.empty()) add_item(t, BS_PUSHBUTTON | WS_TABSTOP, 186, 44, 52, 15, IDHELP, 0x0080, L"Help");
    INT_PTR r = DialogBoxIndirectParamW(module_handle(), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                        GetActiveWindow(), input_box_proc, reinterpret_cast<LPARAM>(&state));
    if (r == -1) raise_win32();
    if (!state.ok) return std::nullopt;
    return state.text;
}

// --- Shell --------------------------------------------------------------------------------

double shell(std::wstring_view command, long window_style) {
    return static_cast<double>(process::start(command, window_style).id);
}

}  // namespace qm::forms
