// The child of the hostile-argument test: creates one class of the library by
// its programmatic identifier and calls every member of its interface
// late-bound, once per argument pattern, as the registered type library
// describes it. Before each call it writes "index<TAB>Class.Member<TAB>pattern
// <TAB>calls so far that reached their member" to the progress file, so that the
// parent can name the call a crash or a hang stopped; "done <calls> <reached>"
// ends a complete run.
//   qmhostile <Class> <first index> <progress file> [soak]
// With "soak", each member is instead called repeatedly with ordinary arguments,
// and "leak<TAB>..." names what its calls leave behind in the process; the index
// counts members.
// A watchdog thread closes the dialogs and windows the calls leave open.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "process_objects.h"
#include "qmhostile_args.h"

// The type library's identifier, from the generated Quillmark_i.c.
extern "C" const GUID LIBID_Quillmark;

using namespace qmhostile;
using qmtest::growth;
using qmtest::ObjectCounts;
using qmtest::process_objects;
using qmtest::within;

namespace {

// Members that act on the machine, or beyond the test's prefix and loopback,
// whatever arguments they get: why, then the members between blanks.
const wchar_t* const kSkipped[][2] = {
    {L"shut the system down, log off or lock", L" Dialog.WindowsShutDown System.System_Shutdown System.User_LogOff "
                                               L"System.Lock_WorkStation "},
    {L"rename the computer or set the clock",
     L" System.Set_ComputerName Network.Set_LocalNetworkName Network.Get_NetTime "},
    {L"work on the machine's disks, disc drive, display mode or serial ports",
     L" Drive.Format Drive.ChkDsk Drive.ChkDskAll Drive.CDROM Desktop.Set_DesktopResulotion Hardware.COMport_Exist "
     L"Hardware.COMport_ConfigureDialog Hardware.COMport_GetInstalledCOMPorts "},
    {L"global input, the system cursor and mouse buttons",
     L" Hardware.Mouse_Click Hardware.Mouse_SetPos Hardware.Mouse_Center Hardware.Mouse_BlockUserInput "
     L"Hardware.Mouse_ClipCursor Hardware.Mouse_Show Hardware.Mouse_SwapButton "
     L"Desktop.Set_WindowsDefaultMouseCursor Window.SendKeys Window.Click "},
    {L"start programs from the generated text",
     L" Shell.Execute Shell.ExecuteAndWait Shell.DOS_Execute Shell.RunAsUser Dialog.Execute System.Uninstall "
     L"Network.OpenURL Network.SendNewMail Network.IE_Open "},
    {L"reach hosts beyond the loopback",
     L" Network.HTTP_isOnline Network.HTTP_CanConnect Network.Host_isReachable Network.Get_HTMLfile "
     L"Network.Get_InternetFilesize Network.Get_OnlineIP Network.URLToHTML Network.IPtoName Network.NameToIP "
     L"Network.Get_IP Network.DomainToIP Network.Get_DynamicDNS Network.Get_SharedDirectory Network.Get_LocalPCs "
     L"Network.NetSend Network.BroadcastMessage FTP.Connect Grafic.Get_OnlinePicture "},
};

// Numbers that set how long a member waits or how often it repeats a step (a
// distance in single steps, a count, a time): the patterns give them small values.
const wchar_t* const kShortWaits[][2] = {
    {L"Misc.Sleep", L" MilliSeconds "},
    {L"Controls.Control_Roll", L" xStart xEnd RollSpeed "},
    {L"Forms.Roll", L" xStart xEnd RollSpeed "},
    {L"Controls.Control_Move", L" XPos YPos Speed "},
    {L"Forms.Move", L" XPos YPos Speed "},
    {L"Controls.Control_FontGrow", L" FontSizeTarget Speed "},
    {L"Forms.ShakeForm", L" Amplitude MilliSeconds "},
    {L"Forms.Animate", L" Speed "},
    {L"LB_CB.LB_IndexBlink", L" BlinkTimes PauseInMS "},
    {L"Window.tFade", L" Speed "},
};

bool listed(const wchar_t* list, const std::wstring& name) {
    return std::wstring(list).find(L" " + name + L" ") != std::wstring::npos;
}

bool short_wait(const std::wstring& member, const std::wstring& param) {
    for (const auto& w : kShortWaits)
        if (member == w[0] && listed(w[1], param)) return true;
    return false;
}

bool skipped(const std::wstring& name) {
    for (const auto& s : kSkipped)
        if (listed(s[1], name)) return true;
    return false;
}

// The members of the class's default interface, in the type library's order.
std::vector<Member> members_of(ITypeInfo* cls, const std::wstring& cls_name) {
    std::vector<Member> out;
    HREFTYPE ref;
    ComPtr<ITypeInfo> itf;
    if (FAILED(cls->GetRefTypeOfImplType(0, &ref)) || FAILED(cls->GetRefTypeInfo(ref, itf.put()))) return out;
    TYPEATTR* a = nullptr;
    itf->GetTypeAttr(&a);
    if (a->typekind == TKIND_DISPATCH && (a->wTypeFlags & TYPEFLAG_FDUAL)) {
        ComPtr<ITypeInfo> dual;
        if (SUCCEEDED(itf->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(itf->GetRefTypeInfo(ref, dual.put()))) {
            itf->ReleaseTypeAttr(a);
            itf = dual;
            itf->GetTypeAttr(&a);
        }
    }
    const WORD funcs = a->cFuncs;
    itf->ReleaseTypeAttr(a);
    for (WORD i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(itf->GetFuncDesc(i, &f))) continue;
        BSTR name = nullptr;
        itf->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
        Member m{cls_name + L"." + (name ? name : L"?"), f->memid, DISPATCH_METHOD, {}};
        SysFreeString(name);
        if (f->invkind == INVOKE_PROPERTYGET) m.flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD;
        if (f->invkind == INVOKE_PROPERTYPUT) m.flags = DISPATCH_PROPERTYPUT, m.name += L"=";
        std::vector<BSTR> names(static_cast<size_t>(f->cParams) + 1, nullptr);
        UINT named = 0;
        itf->GetNames(f->memid, names.data(), static_cast<UINT>(names.size()), &named);
        for (SHORT k = 0; k < f->cParams; ++k) {
            const ELEMDESC& e = f->lprgelemdescParam[k];
            if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
            Param p;
            resolve(itf.get(), e.tdesc, p);
            p.optional = (e.paramdesc.wParamFlags & PARAMFLAG_FOPT) != 0;
            if (static_cast<UINT>(k) + 1 < named) {
                std::wstring param = names[k + 1];
                p.short_wait = short_wait(m.name, param);
                for (auto& ch : param) ch = towlower(ch);
                p.window = p.kind == Kind::Int && param.find(L"hwnd") != std::wstring::npos;
            }
            m.params.push_back(std::move(p));
        }
        for (BSTR n : names) SysFreeString(n);
        itf->ReleaseFuncDesc(f);
        out.push_back(std::move(m));
    }
    return out;
}

// ----- the run -----------------------------------------------------------------

HANDLE g_progress = INVALID_HANDLE_VALUE;

void report(const std::wstring& line) {
    const std::wstring l = line + L"\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, l.data(), static_cast<int>(l.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, l.data(), static_cast<int>(l.size()), s.data(), n, nullptr, nullptr);
    DWORD put;
    WriteFile(g_progress, s.data(), static_cast<DWORD>(s.size()), &put, nullptr);
}

LONG WINAPI on_crash(EXCEPTION_POINTERS* e) {
    wchar_t text[96];
    swprintf(text, 96, L"crash %08lX at %p", e->ExceptionRecord->ExceptionCode, e->ExceptionRecord->ExceptionAddress);
    report(text);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD g_main_thread = 0;
HWND g_form = nullptr;  // the form among the objects, which the watchdog leaves open
ComPtr<IDispatch> g_form_object;
SIZE g_form_size{};
// The controls the patterns pass most, with their first Left, Top, Width and Height.
struct Placed {
    ComPtr<IDispatch> control;
    double rect[4];
    HWND window;
    RECT at;  // in its parent's client area
};
RECT placement(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
std::vector<Placed> g_placed;

// Closes the process's own windows that stay up: message boxes and dialogs at
// once, other visible top-level windows when they are still there a tick later;
// ends a window move (as the Esc key does) or a menu that waits for the user.
DWORD WINAPI watchdog(void*) {
    std::vector<HWND> seen;
    for (;;) {
        Sleep(250);
        GUITHREADINFO gui{sizeof(gui)};
        if (GetGUIThreadInfo(g_main_thread, &gui) &&
            (gui.flags & (GUI_INMOVESIZE | GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE))) {
            // A move ends on the Esc alone: a cancel left over from a move that had
            // ended would release the capture of the next move on that window,
            // whose loop then waits for a button nobody presses.
            if (gui.flags & GUI_INMOVESIZE) {
                PostMessageW(gui.hwndMoveSize ? gui.hwndMoveSize : gui.hwndCapture, WM_KEYDOWN, VK_ESCAPE, 0);
            } else {
                const HWND owner = gui.hwndMenuOwner ? gui.hwndMenuOwner : gui.hwndCapture;
                PostMessageW(owner, WM_CANCELMODE, 0, 0);
                PostMessageW(owner, WM_KEYDOWN, VK_ESCAPE, 0);
            }
        }
        std::vector<HWND> now;
        EnumWindows(
            [](HWND h, LPARAM p) CALLBACK -> BOOL {
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                if (pid == GetCurrentProcessId() && IsWindowVisible(h) && h != g_form)
                    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&now));
        for (HWND h : now) {
            wchar_t cls[64] = {};
            GetClassNameW(h, cls, 64);
            const bool dialog = std::wstring(cls) == L"#32770";
            bool old = false;
            for (HWND s : seen) old = old || s == h;
            if (dialog) PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
            if (dialog || old) PostMessageW(h, WM_CLOSE, 0, 0);
        }
        seen = now;
    }
}

void pump() {
    MSG msg;
    for (int i = 0; i < 200 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A member of a late-bound object, called or read by name; arguments in natural order.
bool invoke(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args, Value& result) {
    DISPID id;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS dp{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return SUCCEEDED(d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id)) &&
           SUCCEEDED(d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &dp,
                               &result.v, nullptr, nullptr));
}

ComPtr<IDispatch> object_of(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args) {
    Value r;
    if (!invoke(d, name, std::move(args), r) || V_VT(&r.v) != VT_DISPATCH) return {};
    return ComPtr<IDispatch>(V_DISPATCH(&r.v));
}

long window_of(IDispatch* d) {
    Value h;
    return invoke(d, L"hWnd", {}, h) && SUCCEEDED(VariantChangeType(&h.v, &h.v, 0, VT_I4)) ? V_I4(&h.v) : 0;
}

ComPtr<IDispatch> picture_of(PICTDESC desc) {
    ComPtr<IDispatch> picture;
    OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void());
    return picture;
}

// A real bitmap picture (64 x 48, a gradient) and a real icon.
std::vector<ComPtr<IDispatch>> real_pictures() {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(bi.bmiHeader), 64, 48, 1, 32, BI_RGB};
    void* bits = nullptr;
    PICTDESC bitmap{sizeof(PICTDESC), PICTYPE_BITMAP};
    bitmap.bmp.hbitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    for (DWORD i = 0; bits && i < 64 * 48; ++i) static_cast<DWORD*>(bits)[i] = i * 0x010203;
    PICTDESC icon{sizeof(PICTDESC), PICTYPE_ICON};
    icon.icon.hicon = CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
    return {picture_of(bitmap), picture_of(icon)};
}

// A form of the engine with a control of each kind, when the tests' form host
// is registered.
std::vector<ComPtr<IDispatch>> form_and_controls() {
    std::vector<ComPtr<IDispatch>> objects;
    CLSID clsid;
    ComPtr<IDispatch> host, form;
    Value caption;
    set_text(&caption.v, L"Hostile");
    if (SUCCEEDED(CLSIDFromProgID(L"QuillmarkTest.FormHost", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, host.put_void())))
        form = object_of(host.get(), L"NewForm", {caption.v});
    if (!form) return objects;
    objects.push_back(form);
    VARIANT f;
    V_VT(&f) = VT_DISPATCH;
    V_DISPATCH(&f) = form.get();
    std::vector<RealObject> real{{form, window_of(form.get())}};
    for (const wchar_t* kind : {L"TextBox", L"ListBox", L"PictureBox", L"ComboBox", L"Label", L"TreeView",
                                L"FlexGrid", L"RichTextBox", L"ListView", L"CheckBox"}) {
        Value k, name;
        set_text(&k.v, kind);
        set_text(&name.v, std::wstring(kind) + L"1");
        if (auto c = object_of(host.get(), L"AddControl", {f, k.v, name.v})) {
            objects.push_back(c);
            if (objects.size() <= 4) real.push_back({c, window_of(c.get())});  // a text box, a list box, a picture box
            static const wchar_t* const kRect[] = {L"Left", L"Top", L"Width", L"Height"};
            const HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window_of(c.get())));
            Placed p{c, {}, window, placement(window)};
            bool placed = objects.size() <= 5;
            for (int k = 0; placed && k < 4; ++k) {
                Value v;
                placed = invoke(c.get(), kRect[k], {}, v) &&
                         SUCCEEDED(VariantChangeType(&v.v, &v.v, 0, VT_R8));
                if (placed) p.rect[k] = V_R8(&v.v);
            }
            if (placed) g_placed.push_back(p);
        }
    }
    g_form = reinterpret_cast<HWND>(static_cast<LONG_PTR>(real.front().hwnd));
    g_form_object = form;
    RECT r{};
    GetWindowRect(g_form, &r);
    g_form_size = {r.right - r.left, r.bottom - r.top};
    set_real_objects(std::move(real), real_pictures());
    return objects;
}

// Puts the form back in the corner at its first size, and its first controls
// where they were: a member's step-by-step move from where the last call left
// them, or across a form made wide, would take a while. A call that unloaded the
// form leaves a new window when it is touched.
void restore_form() {
    if (g_form_object) {
        g_form = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window_of(g_form_object.get())));
        RECT r{};
        GetWindowRect(g_form, &r);
        if (r.left || r.top || r.right - r.left != g_form_size.cx || r.bottom - r.top != g_form_size.cy)
            SetWindowPos(g_form, nullptr, 0, 0, g_form_size.cx, g_form_size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (Placed& p : g_placed) {
        const RECT now = placement(p.window);
        if (IsWindow(p.window) && EqualRect(&now, &p.at)) continue;
        Value ignored;
        std::vector<VARIANT> at(4);
        for (int k = 0; k < 4; ++k) V_VT(&at[k]) = VT_R8, V_R8(&at[k]) = p.rect[k];
        invoke(p.control.get(), L"Move", at, ignored);
    }
}

// One call of a member with a pattern's arguments; true when it reached the
// member (the dispatcher did not refuse the arguments).
bool call(IDispatch* object, const Member& m, Pattern pat) {
    restore_form();
    Call c;
    build(c, m, pat);
    std::vector<VARIANT> reversed(c.args.rbegin(), c.args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (m.flags == DISPATCH_PROPERTYPUT) dp.rgdispidNamedArgs = &put, dp.cNamedArgs = 1;
    Value result;
    EXCEPINFO ex{};
    UINT arg_error = 0;
    const HRESULT hr = object->Invoke(m.id, IID_NULL, LOCALE_USER_DEFAULT, m.flags, &dp,
                                      m.flags == DISPATCH_PROPERTYPUT ? nullptr : &result.v, &ex, &arg_error);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrHelpFile);
    pump();
    // The dispatcher's own refusals: the call never reached the member.
    return hr != DISP_E_TYPEMISMATCH && hr != DISP_E_PARAMNOTOPTIONAL && hr != DISP_E_BADPARAMCOUNT &&
           hr != DISP_E_OVERFLOW && hr != DISP_E_BADVARTYPE && hr != DISP_E_PARAMNOTFOUND;
}

// ----- what the calls leave behind ----------------------------------------------
//
// Each member is called with ordinary arguments: once, then three times more,
// and what the process holds is compared with what it held after the first call
// once the calls' timers have had their time (a worker form that a call leaves
// on a timer gives its window and bitmaps back when the timer ends). What is
// still there, and grows again with three calls more, grew with the calls: the
// member leaves it behind.

constexpr int kSoakCalls = 3;
constexpr DWORD kSettle = 20000;  // ms: the longest timer a call leaves (12 s), and some

// Members that keep what they are asked to keep, until the client asks for it
// back: the kind of object (the start of its name) they may leave.
const wchar_t* const kKept[][3] = {
    {L"Grafic.vListImage", L"window ThunderRT6PictureBox", L"adds an image (a picture box) to the image list"},
};

bool kept(const std::wstring& member, const std::wstring& kind) {
    for (const auto& k : kKept)
        if (member == k[0] && kind.rfind(k[1], 0) == 0) return true;
    return false;
}

long count_of(const ObjectCounts& c, const std::wstring& kind) {
    const auto it = c.find(kind);
    return it == c.end() ? 0 : it->second;
}

// What the process holds, less what the member may keep.
ObjectCounts held(const std::wstring& member) {
    ObjectCounts now = process_objects();
    for (auto it = now.begin(); it != now.end();) it = kept(member, it->first) ? now.erase(it) : std::next(it);
    return now;
}

// Waits, handling the thread's messages, until the process holds no more than
// `than` or the calls' timers have had their time; what it holds then. What
// the system makes once for good at a moment of its own grows with one set of
// calls alone: a brush appears some 20 s into a child's run while other
// children run beside it (never in a child alone).
ObjectCounts settle(const std::wstring& member, const ObjectCounts& than) {
    const DWORD start = GetTickCount();
    for (;;) {
        ObjectCounts now = held(member);
        if (within(now, than) || GetTickCount() - start > kSettle) return now;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        pump();
    }
}

// Wine keeps the device contexts of windows that do not own one in a cache of
// up to 64, made as windows first draw: filled now, it does not grow with a
// member's drawing.
void fill_window_dc_cache() {
    if (!g_form) return;
    HDC dcs[64];
    for (HDC& dc : dcs) dc = GetDCEx(g_form, nullptr, DCX_CACHE);
    for (HDC dc : dcs)
        if (dc) ReleaseDC(g_form, dc);
}

long soak(IDispatch* object, const std::vector<Member>& members, long first, long& reached) {
    fill_window_dc_cache();
    long index = 0;
    for (const Member& m : members) {
        if (skipped(m.name)) continue;
        if (index++ < first) continue;
        report(std::to_wstring(index - 1) + L"\t" + m.name + L"\tsoak\t" + std::to_wstring(reached));
        if (call(object, m, kPlain)) ++reached;
        const ObjectCounts start = held(m.name);
        for (int i = 0; i < kSoakCalls; ++i) call(object, m, kPlain);
        const ObjectCounts once = settle(m.name, start);
        if (within(once, start)) continue;
        for (int i = 0; i < kSoakCalls; ++i) call(object, m, kPlain);
        const ObjectCounts twice = settle(m.name, once);
        // What grew with both sets of calls, since the first call.
        ObjectCounts left;
        for (const auto& [kind, n] : twice)
            if (n > count_of(once, kind) && count_of(once, kind) > count_of(start, kind))
                left[kind] = n - count_of(start, kind);
        if (!left.empty()) report(L"leak\t" + m.name + L" leaves " + growth({}, left));
    }
    return index;
}

// Every member with every pattern.
long hostile(IDispatch* object, const std::vector<Member>& members, long first, long& reached) {
    long index = 0;
    for (const Member& m : members) {
        if (skipped(m.name)) continue;
        const int patterns = m.params.empty() ? 1 : kPatterns;
        for (int pat = 0; pat < patterns; ++pat, ++index) {
            if (index < first) continue;
            report(std::to_wstring(index) + L"\t" + m.name + L"\t" + (m.params.empty() ? L"none" : kPatternNames[pat]) +
                   L"\t" + std::to_wstring(reached));
            if (call(object, m, static_cast<Pattern>(pat))) ++reached;
        }
    }
    return index;
}

int run(const std::wstring& cls_name, long first, bool soaking) {
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadRegTypeLib(LIBID_Quillmark, 1, 0, LOCALE_NEUTRAL, lib.put()))) return report(L"no type library"), 2;
    CLSID clsid;
    ComPtr<ITypeInfo> cls;
    ComPtr<IDispatch> object;
    if (FAILED(CLSIDFromProgID((L"Quillmark." + cls_name).c_str(), &clsid)) ||
        FAILED(lib->GetTypeInfoOfGuid(clsid, cls.put())) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void())))
        return report(L"cannot create " + cls_name), 2;
    const std::vector<Member> members = members_of(cls.get(), cls_name);
    set_objects(form_and_controls(), object.get());
    long reached = 0;
    const long index = soaking ? soak(object.get(), members, first, reached) : hostile(object.get(), members, first, reached);
    report(L"done " + std::to_wstring(index) + L" " + std::to_wstring(reached));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(on_crash);
    g_progress = CreateFileW(argv[3], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                             nullptr);
    if (g_progress == INVALID_HANDLE_VALUE) return 2;
    // Relative paths of the patterns land in a folder of the class's own.
    wchar_t scratch[MAX_PATH] = L"S:\\";
    GetEnvironmentVariableW(L"QM_SCRATCH", scratch, MAX_PATH);
    std::wstring folder = scratch;
    if (folder.back() != L'\\') folder += L'\\';
    folder += L"hostile";
    const std::wstring home = folder + L"\\" + argv[1];
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW(home.c_str(), nullptr);
    SetCurrentDirectoryW(home.c_str());
    g_main_thread = GetCurrentThreadId();
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int rc = run(argv[1], _wtol(argv[2]), argc > 4 && std::wstring(argv[4]) == L"soak");
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(rc));  // the library's teardown is not under test
    return rc;
}
