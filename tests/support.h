// Helpers shared by the tests.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <compare>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "runtime/bstr.h"
#include "runtime/com_ptr.h"
#include "runtime/errors.h"
#include "runtime/input.h"
#include "runtime/variant.h"

namespace qmtest {

// The test run's scratch folder (with a trailing backslash).
std::wstring scratch();

// The running test's name (without its suite), for names of its own scratch files.
std::wstring test_name();

// The folder of the running test program, where the tests' helper programs lie
// (with a trailing backslash).
std::wstring test_folder();

// Lets the thread's own windows handle what is waiting for them.
inline void pump_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A metafile picture (a small rectangle) that claims w x h HiMetric.
qm::ComPtr<IPictureDisp> metafile_picture(long w, long h);

// Whole files as bytes: read ("<missing>" when the file cannot be opened) and
// written anew (a read-only file of an earlier run is overwritten).
std::string read_bytes(const std::wstring& path);
void write_bytes(const std::wstring& path, const std::string& bytes);
bool exists(const std::wstring& path);
// The entries of a folder (given with a trailing backslash) other than . and ..
int entries(const std::wstring& folder);
// Empties a folder (with a trailing backslash) of an earlier run, whatever the
// attributes of its entries.
void wipe(const std::wstring& folder);

// The runtime error number f raises, 0 when it raises none.
template <class F>
long error_of(F&& f) {
    try {
        f();
    } catch (const qm::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// The library's DLL as the registration put it in place.
std::wstring registered_dll();

// A registered class created by its programmatic identifier.
qm::ComPtr<IDispatch> create(const wchar_t* progid);

// Calls a member by name through IDispatch::Invoke; arguments in natural order.
// Returns the HRESULT; the result and the exception go to the optional outputs.
HRESULT call(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args, VARIANT* result = nullptr,
             EXCEPINFO* excep = nullptr, WORD flags = DISPATCH_METHOD);

// VARIANT makers for test arguments.
qm::Variant v_long(long v);
qm::Variant v_str(const wchar_t* s);
qm::Variant v_double(double d);
qm::Variant v_bool(bool b);
// VT_BYREF|VT_VARIANT pointing at target: how script engines pass variables.
VARIANT v_ref(qm::Variant& target);
VARIANT v_missing();

// The system time now, and when a process started (~0 when unknown), in the
// system's file-time units: a process number is given again as soon as its
// process ends, so a test tells its own process by the start as well.
ULONGLONG time_now();
ULONGLONG started_at(HANDLE process);

// The point the library's members (those linked into the test program) read as
// the pointer's place while this lives, one at a time. The display's pointer is
// shared by every program on the display and may be reported elsewhere between
// two reads; this point is the test's alone.
class PinnedPointer {
public:
    explicit PinnedPointer(POINT at);
    ~PinnedPointer();
    PinnedPointer(const PinnedPointer&) = delete;
    PinnedPointer& operator=(const PinnedPointer&) = delete;
    void move(POINT at) { at_ = at; }
    POINT at() const { return at_; }

private:
    static POINT read() noexcept { return at_; }
    static inline POINT at_{};
    qm::PointerSource saved_;
};

// The keys the library's members (those linked into the test program) read as
// down while this lives, one at a time: each as just pressed (down, and pressed
// since the previous query), every other key up. The display's keyboard is
// shared by every program on the display; these keys are the test's alone.
class PinnedKeys {
public:
    explicit PinnedKeys(std::vector<int> down = {});
    ~PinnedKeys();
    PinnedKeys(const PinnedKeys&) = delete;
    PinnedKeys& operator=(const PinnedKeys&) = delete;
    void set(std::vector<int> down) { down_ = std::move(down); }

private:
    static SHORT read(int key) noexcept;
    static std::vector<int> down_;
    qm::KeySource saved_;
};

// The registry view of the other half of 64-bit Windows, as the test program asks
// for it.
inline constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// A registry value of the prefix (in one registry view, when given), put back (or
// removed again) when the test ends.
class SavedValue {
public:
    SavedValue(HKEY root, std::wstring key, std::wstring name, REGSAM view = 0);
    ~SavedValue();
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;
    void set(const std::wstring& text) const;
    void remove() const;
    // The value's type and bytes now.
    std::pair<DWORD, std::string> now() const;

private:
    HKEY root_;
    std::wstring key_, name_;
    REGSAM view_;
    DWORD type_ = REG_NONE;
    std::string data_;
    bool present_ = false;
};

// Lets the thread's windows handle their messages until done() holds or 20
// seconds have passed; done()'s last answer.
template <class F>
bool pump_until(F done) {
    for (ULONGLONG end = GetTickCount64() + 20000; GetTickCount64() < end;) {
        if (done()) return true;
        pump_messages();
        Sleep(2);
    }
    return done();
}

// The running test's error log: a fresh file in the scratch folder, named after
// the test, that the error reporter writes to while this lives; the reporter of
// the registered library, or of the library linked into the test program.
class ErrorLog {
public:
    enum Reporter { registered, linked };
    explicit ErrorLog(Reporter reporter = registered);
    ~ErrorLog();
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;
    const std::wstring& path() const { return path_; }
    std::string text() const { return read_bytes(path_); }
    // Whether an entry names the routine, and the error number unless it is 0.
    bool has(const std::string& routine, long number = 0) const;
    // The entries that name the routine.
    long count(const std::string& routine) const;

private:
    void set(const std::wstring& file);
    Reporter reporter_;
    std::wstring path_;
};

// The tests' recorder as the browser (Iexplore.exe) the shell looks for: the
// prefix's own browser is set aside, and a copy of the recorder in the scratch
// folder, which becomes the current folder, is the browser's application path;
// all put back at the end of the scope. For tests that run alone.
class RecorderAsBrowser {
public:
    RecorderAsBrowser();
    ~RecorderAsBrowser();
    RecorderAsBrowser(const RecorderAsBrowser&) = delete;
    RecorderAsBrowser& operator=(const RecorderAsBrowser&) = delete;

private:
    SavedValue app_path_;
    std::wstring folder_, own_, aside_;
};

// The lines of the tests' recorder (qmrecorder.exe) in its log, once there are
// at least n of them (fewer after a generous wait); its programs run side by
// side, so lines of several come in any order. A line holds, tab-separated, the
// program's file name, its show command, its argument count and the arguments.
std::vector<std::string> recorder_lines(const std::wstring& log, size_t n);

// One start the recorder logged: its file name (lower case), the show command
// (-1: none given) and the arguments as the program read them, UTF-8.
struct Launch {
    std::string program;
    int show = 0;
    std::vector<std::string> args;
    auto operator<=>(const Launch&) const = default;
};
void PrintTo(const Launch& launch, std::ostream* out);
// The starts of recorder_lines, sorted.
std::vector<Launch> recorder_launches(const std::wstring& log, size_t n);

// Characters the test locale's code page (1252) holds only as a best-fit
// look-alike or not at all, each with what that look-alike would be: a name
// holding one must reach the system as written, or be refused.
struct HostileChar {
    const wchar_t* text;
    const char* label;
};
inline constexpr HostileChar kHostileChars[] = {
    {L"\uFF3C", "fullwidth reverse solidus (looks like \\)"},
    {L"\uFF02", "fullwidth quotation mark (looks like \")"},
    {L"\uFF1D", "fullwidth equals sign (looks like =)"},
    {L"\uFF3B", "fullwidth left square bracket (looks like [)"},
    {L"\uFF3D", "fullwidth right square bracket (looks like ])"},
    {L"\u03A9", "Greek capital omega (looks like O)"},
    {L"\u30C7", "katakana de (no form at all: ?)"},
};

// The caption drags a window is asked for while this lives: each
// WM_NCLBUTTONDOWN that reaches it, with where the mouse capture stood when it
// arrived. The window answers them itself, so the system's move loop never
// runs: what is checked is the request, not when the display hands the
// pointer's moves to the loop.
class CaptionDrags {
public:
    struct Drag {
        WPARAM hit;    // the part of the window the request names
        POINT at;      // where it says the drag starts, in screen pixels
        HWND capture;  // the window that had the mouse then
    };
    explicit CaptionDrags(HWND window);
    ~CaptionDrags();
    CaptionDrags(const CaptionDrags&) = delete;
    CaptionDrags& operator=(const CaptionDrags&) = delete;
    const std::vector<Drag>& seen() const { return seen_; }
    void clear() { seen_.clear(); }
    // What keeps the requests from being exactly one, for the caption, from
    // the point given, with the mouse released first; "" when nothing.
    std::string fault(POINT from) const;

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND window_;
    std::vector<Drag> seen_;
};

}  // namespace qmtest
