// Network: launching the browser and the mail program (the tests' recorder
// stands in for both: the prefix hands web and mail addresses to it, and the
// tests put copies of it where the shell looks for the browser), hyperlink
// labels, the default browser, internet shortcuts, browser frame windows of
// the tests' own and the browser's registry settings.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "system/network_internal.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

const std::wstring kRecorder = test_folder() + L"qmrecorder.exe";

std::string wide_bytes(const std::wstring& s) {
    return std::string(reinterpret_cast<const char*>(s.c_str()), (s.size() + 1) * sizeof(wchar_t));
}
std::string dword_bytes(DWORD d) { return std::string(reinterpret_cast<const char*>(&d), sizeof(d)); }

class NetworkBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        n = shared<_Network>();
        // The registered DLL's instance: its records and its calls by name.
        disp = create(L"Quillmark.Network");
        ASSERT_TRUE(disp);
        ASSERT_EQ(disp->QueryInterface(IID__Network, dll.put_void()), S_OK);
        log = scratch() + test_name() + L".log";
        DeleteFileW(log.c_str());
        SetEnvironmentVariableW(L"QM_RECORDER_LOG", log.c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr); }
    bool mail(const std::wstring& to, const std::wstring& subject, const std::wstring& body) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(n->SendNewMail(Bstr(to).get(), Bstr(subject).get(), Bstr(body).get(), &r), S_OK);
        return r != VARIANT_FALSE;
    }
    bool ie_open(const wchar_t* url, long style) {
        Bstr u(url ? url : L"");
        BSTR raw = u.get();
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(n->IE_Open(url ? &raw : nullptr, &style, &r), S_OK);
        return r != VARIANT_FALSE;
    }
    bool shortcut(const std::wstring& url, const std::wstring& file) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(n->Create_InternetShortcut(Bstr(url).get(), Bstr(file).get(), &r), S_OK);
        return r != VARIANT_FALSE;
    }
    DefaultBrowser browser() {
        DefaultBrowser r = dbINTERNETEXPLORER;
        EXPECT_EQ(n->Get_DefaultBrowser(&r), S_OK);
        return r;
    }
    _Network* n = nullptr;
    ComPtr<IDispatch> disp;
    ComPtr<_Network> dll;
    std::wstring log;
};

// --- launching ------------------------------------------------------------------------------

TEST_F(NetworkBrowser, TheBrowserProgramGetsTheAddressAndTheWindowStyle) {
    // The shell finds the prefix's own Iexplore.exe in the system folder first
    // (and Wine starts its built-in program for any file there): it is set aside
    // for the time of the test.
    const std::wstring wine_own = L"C:\\windows\\system32\\iexplore.exe", aside = scratch() + L"iexplore.aside";
    DeleteFileW(aside.c_str());
    if (!MoveFileW(wine_own.c_str(), aside.c_str())) GTEST_SKIP() << "the prefix's browser cannot be set aside";
    struct PutBack {
        std::wstring from, to;
        ~PutBack() { MoveFileW(from.c_str(), to.c_str()); }
    } put_back{aside, wine_own};
    SavedValue app(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\iexplore.exe", L"");
    app.set(scratch() + L"gone\\iexplore.exe");
    // No program to be found: False, nothing started.
    EXPECT_FALSE(ie_open(L"foo:bar", 1));

    // The recorder where the shell looks next: the current folder and the entry.
    const std::wstring copy = scratch() + L"Iexplore.exe";
    ASSERT_TRUE(CopyFileW(kRecorder.c_str(), copy.c_str(), FALSE));
    app.set(copy);
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(scratch().c_str());
    struct Back {
        const wchar_t* folder;
        ~Back() { SetCurrentDirectoryW(folder); }
    } back{before};
    EXPECT_EQ(n->OpenURL(Bstr(L"foo:bar").get(), 3), S_OK);
    EXPECT_TRUE(ie_open(L"http://127.0.0.1:9/a b?c", 7));
    EXPECT_TRUE(ie_open(nullptr, 1));
    // The three programs run side by side: their lines come in any order.
    EXPECT_EQ(recorder_launches(log, 3), (std::vector<Launch>{{"iexplore.exe", 1, {}},
                                                              {"iexplore.exe", 3, {"foo:bar"}},
                                                              {"iexplore.exe", 7, {"http://127.0.0.1:9/a%20b?c"}}}));
}

// Each of kHostileChars, then a quote and a blank, with what the programs get
// for it: "%" and the hexadecimal digits of its UTF-8 bytes.
const char* const kCoded[] = {"%EF%BC%BC", "%EF%BC%82", "%EF%BC%9D", "%EF%BC%BB", "%EF%BC%BD",
                              "%CE%A9",    "%E3%83%87", "%22",       "%20"};
static_assert(std::size(kCoded) == std::size(kHostileChars) + 2);
std::wstring hostile(size_t i) {
    return i < std::size(kHostileChars) ? kHostileChars[i].text : i == std::size(kHostileChars) ? L"\"" : L" ";
}

TEST_F(NetworkBrowser, EveryMailFieldAndAddressIsOneCodedArgument) {
    // The mail program as the prefix registers it, and with both parts quoted.
    SavedValue handler(HKEY_LOCAL_MACHINE, L"Software\\Classes\\mailto\\shell\\open\\command", L"");
    for (const std::wstring& command : {std::wstring(), L"\"" + kRecorder + L"\" \"%1\""}) {
        if (!command.empty()) handler.set(command);
        DeleteFileW(log.c_str());
        std::vector<Launch> expected;
        for (size_t i = 0; i < std::size(kCoded); ++i) {
            const std::wstring ch = hostile(i);
            const std::string coded = kCoded[i];
            EXPECT_TRUE(mail(L"a" + ch + L"b@x.example,c@d.example", L"s" + ch + L"t", L"b" + ch + L"y")) << coded;
            expected.push_back({"qmrecorder.exe", 1,
                                {"mailto:a" + coded + "b@x.example,c@d.example?Subject=s" + coded +
                                 "t&Body=b" + coded + "y"}});
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(recorder_launches(log, expected.size()), expected) << "handler " << to_ansi(command);
    }

    // The browser: one argument, and "%" of an address coded already stays.
    DeleteFileW(log.c_str());
    std::vector<Launch> expected;
    {
        RecorderAsBrowser browser;
        for (size_t i = 0; i < std::size(kCoded); ++i) {
            const std::wstring ch = hostile(i);
            const std::string coded = kCoded[i];
            EXPECT_TRUE(ie_open((L"http://127.0.0.1/%41" + ch + L"b?q=" + ch + L"\t").c_str(), 1)) << coded;
            expected.push_back({"iexplore.exe", 1, {"http://127.0.0.1/%41" + coded + "b?q=" + coded + "%09"}});
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(recorder_launches(log, expected.size()), expected);
    }
}

TEST_F(NetworkBrowser, MailFieldsAreCodedSoThatTheyStayWhole) {
    EXPECT_TRUE(mail(L"a@b.de", L"x & y", L"line1\r\n\u00e4"));
    EXPECT_EQ(recorder_launches(log, 1),
              (std::vector<Launch>{{"qmrecorder.exe", 1, {"mailto:a@b.de?Subject=x%20%26%20y&Body=line1%0D%0A%C3%A4"}}}));

    EXPECT_EQ(net::mail_address_text(L"a@b.de", L"50% off?&bcc=c@d.de#x", L"&attach=C:\\x\U0001F600"),
              L"mailto:a@b.de?Subject=50%25%20off%3F%26bcc%3Dc%40d.de%23x&Body=%26attach%3DC%3A%5Cx%F0%9F%98%80");

    // No mail program: False. Fields the shell cannot take whole: refused.
    SavedValue handler(HKEY_LOCAL_MACHINE, L"Software\\Classes\\mailto\\shell\\open\\command", L"");
    handler.set(scratch() + L"gone\\mailer.exe %1");
    EXPECT_FALSE(mail(L"a@b.de", L"", L""));
    VARIANT_BOOL r = VARIANT_TRUE;
    EXPECT_EQ(n->SendNewMail(Bstr(L"a@b.de").get(), Bstr(L"").get(), Bstr(std::wstring(200, L' ')).get(), &r),
              static_cast<HRESULT>(0x800A0034));
    EXPECT_FALSE(r);
}

// --- files: shortcuts, favourites, the default browser's probe ---------------------------

TEST_F(NetworkBrowser, InternetShortcutsHoldTheLastAddressOnly) {
    const std::wstring file = scratch() + L"link.url";
    ASSERT_TRUE(shortcut(L"http://127.0.0.1/first?a=1&b=2", file));
    ASSERT_TRUE(shortcut(L"http://127.0.0.1/\u00e4", file));
    EXPECT_EQ(read_bytes(file), "[InternetShortcut]\r\nURL = http://127.0.0.1/\xe4\r\n");
    // No line of its own from a line break, no look-alike of the code page.
    ASSERT_TRUE(shortcut(L"http://127.0.0.1/a\r\nIconFile=\\\\x\\i.ico\u03A9\uFF3C\U0001F600", file));
    EXPECT_EQ(read_bytes(file),
              "[InternetShortcut]\r\nURL = http://127.0.0.1/a%0D%0AIconFile=\\\\x\\i.ico%CE%A9%EF%BC%BC%F0%9F%98%80\r\n");
    EXPECT_FALSE(shortcut(L"http://127.0.0.1/", scratch() + L"no such folder\\link.url"));
}

TEST_F(NetworkBrowser, FavouritesGoIntoTheFavouritesFolderOnly) {
    const std::wstring folder = scratch() + L"Favorites\\";
    wipe(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    SavedValue user(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                    L"Favorites");
    SavedValue shell(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     L"Favorites");
    user.set(folder.substr(0, folder.size() - 1));
    shell.set(folder.substr(0, folder.size() - 1));
    SystemDirectory which = sdUser_Favorites;
    Bstr where;
    ASSERT_EQ(shared<_System>()->SystemDirectory(&which, where.put()), S_OK);
    ASSERT_EQ(LCase(where.str()), LCase(folder));

    auto add = [&](const wchar_t* name) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(n->IE_AddFavorite(Bstr(name).get(), Bstr(L"http://127.0.0.1/").get(), &r), S_OK);
        return r != VARIANT_FALSE;
    };
    EXPECT_TRUE(add(L"Site"));
    EXPECT_EQ(read_bytes(folder + L"Site.Url"), "[InternetShortcut]\r\nURL = http://127.0.0.1/\r\n");
    for (const wchar_t* bad : {L"..\\x", L"a:b", L"a/b", L"..", L"", L"a?b"}) EXPECT_FALSE(add(bad)) << bad;
    EXPECT_EQ(entries(folder), 1);
    EXPECT_FALSE(exists(scratch() + L"x.Url"));
}

TEST_F(NetworkBrowser, DefaultBrowserByTheFileNameOfTheHtmlProgram) {
    SystemDirectory which = sdUser_Temp;
    Bstr temp;
    ASSERT_EQ(shared<_System>()->SystemDirectory(&which, temp.put()), S_OK);
    std::wstring probe = temp.str();
    if (!probe.ends_with(L'\\')) probe += L'\\';
    probe += L"~temp.html";

    SavedValue ext(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.html", L"");
    SavedValue command(HKEY_LOCAL_MACHINE, L"Software\\Classes\\htmlfile\\shell\\open\\command", L"");
    ext.set(L"htmlfile");
    // The prefix's own handler: the recorder.
    EXPECT_EQ(browser(), dbUNKNOWN);

    const std::wstring moz = L"C:\\Program Files\\Moz Test\\", firefox = moz + L"FIREFOX.EXE";
    CreateDirectoryW(moz.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(kRecorder.c_str(), firefox.c_str(), FALSE));
    command.set(L"\"" + firefox + L"\" \"%1\"");
    write_bytes(probe, "old");
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(browser(), dbMOZILLAFIREFOX);
    EXPECT_FALSE(exists(probe));
    // A temporary folder the code page cannot name holds the probe as well.
    const std::wstring greek = scratch() + L"temp \u03A9\\";
    CreateDirectoryW(greek.c_str(), nullptr);
    wchar_t tmp[MAX_PATH] = {};
    const bool had_tmp = GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH) != 0;
    SetEnvironmentVariableW(L"TMP", greek.c_str());
    EXPECT_EQ(browser(), dbMOZILLAFIREFOX);
    SetEnvironmentVariableW(L"TMP", had_tmp ? tmp : nullptr);
    DeleteFileW(firefox.c_str());
    RemoveDirectoryW(moz.c_str());

    command.set(L"\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1");
    EXPECT_EQ(browser(), dbINTERNETEXPLORER);

    struct Case {
        const wchar_t* path;
        DefaultBrowser expected;
    } cases[] = {{L"C:\\x\\Opera.exe", dbOPERA},     {L"netscape.exe", dbNETSCAPE}, {L"C:\\MOZILLA.EXE", dbMOZILLA},
                 {L"C:\\firefox.exe.bak", dbUNKNOWN}, {L"", dbUNKNOWN},             {L"C:\\x\\", dbUNKNOWN}};
    for (const Case& c : cases) EXPECT_EQ(net::browser_of(c.path), c.expected) << c.path;
    EXPECT_FALSE(exists(log));  // nothing was started
}

// --- hyperlinks ---------------------------------------------------------------------------

long hyperlink_forms() {
    IDispatch* all = &forms::forms_collection();
    const long count = CLng(*late::get(all, L"Count").get());
    long tagged = 0;
    for (long i = 0; i < count; ++i) {
        Variant form = late::get(all, L"Item", {Variant(i)});
        tagged += CStr(*late::get(V_DISPATCH(form.get()), L"Tag").get()) == L"Hyperlink";
    }
    return tagged;
}

template <class F>
bool wait_for(F&& done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) return true;
        forms::do_events();
        Sleep(2);
    }
    return done();
}

TEST_F(NetworkBrowser, HyperlinksShareOneWorkerFormAndFollowThePointer) {
    ErrorLog errors(ErrorLog::linked);
    ComPtr<forms::Form> f = forms::make<forms::Form>();
    f->load();
    float x = 60 * forms::twips_per_pixel_x(), y = 300 * forms::twips_per_pixel_y(), w = 4800, h = 3000;
    f->move(x, &y, &w, &h);
    f->show();
    SetWindowPos(f->hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    auto& one = f->add<forms::Label>(L"Label1");
    auto& two = f->add<forms::Label>(L"Label2");
    float top = 300, lw = 900, lh = 300;
    one.move(150, &top, &lw, &lh);
    two.move(1500, &top, &lw, &lh);
    const long plain = 0x00FFFF, over = 0xFF0000;
    long error = -1;
    VARIANT_BOOL r = VARIANT_FALSE;
    for (forms::Label* label : {&one, &two}) {
        IDispatch* d = label;
        ASSERT_EQ(n->Create_Hyperlink(&d, plain, over, &error, &r), S_OK);
        EXPECT_TRUE(r);
        EXPECT_EQ(error, 0);
    }
    EXPECT_EQ(hyperlink_forms(), 1);

    RECT rc = one.pixel_rect();
    POINT mid{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(one.container_hwnd(), &mid);
    {
        qmtest::PinnedPointer pointer(mid);
        EXPECT_TRUE(wait_for([&] { return static_cast<long>(one.fore_color()) == over; }));
        EXPECT_TRUE(CBool(*late::get(&one, L"FontUnderline").get()));
        EXPECT_EQ(one.mouse_pointer(), 99);
        EXPECT_EQ(static_cast<long>(two.fore_color()), plain);
        pointer.move({5, 5});
        EXPECT_TRUE(wait_for([&] { return static_cast<long>(one.fore_color()) == plain; }));
        EXPECT_FALSE(CBool(*late::get(&one, L"FontUnderline").get()));
        EXPECT_EQ(one.mouse_pointer(), 0);
    }

    // An object without Parent: trapped, reported, False.
    IDispatch* no_parent = disp.get();
    r = VARIANT_TRUE;
    ASSERT_EQ(n->Create_Hyperlink(&no_parent, plain, over, &error, &r), S_OK);
    EXPECT_FALSE(r);
    EXPECT_EQ(error, 438);
    EXPECT_NE(errors.text().find("Create_Hyperlink"), std::string::npos);

    // The form's unload retires its entries, and the worker form goes with the last.
    f->unload();
    EXPECT_TRUE(wait_for([] { return hyperlink_forms() == 0; }));
}

// --- browser frame windows ----------------------------------------------------------------

int g_close_requests = 0;

LRESULT CALLBACK frame_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        ++g_close_requests;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text = L"") {
    return CreateWindowExW(0, cls, text, WS_CHILD, 0, 0, 50, 20, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

TEST_F(NetworkBrowser, FrameWindowsGiveAddressesAndStatusTextsAlongTheirChains) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    for (const wchar_t* cls : {L"IEFrame", L"WorkerW", L"ReBarWindow32", L"Address Band Root", L"Frame Tab",
                               L"TabWindowClass"}) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = frame_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = cls;
        RegisterClassW(&wc);
    }
    auto frames_now = [&] {
        SafeArray a(VT_I4);
        EXPECT_EQ(dll->IE_GetIE(a.put()), S_OK);
        std::vector<long> h;
        if (a.dimensioned())
            for (const Variant& v : elements_of(a.get())) h.push_back(CLng(v));
        return h;
    };
    // None open: empty results, nothing closed.
    SafeArray urls(VT_RECORD), states(VT_RECORD);
    EXPECT_TRUE(frames_now().empty());
    ASSERT_EQ(dll->IE_GetURL(urls.put()), S_OK);
    EXPECT_EQ(urls.count(), 0);
    ASSERT_EQ(dll->IE_GetStatusText(states.put()), S_OK);
    EXPECT_EQ(states.count(), 0);
    EXPECT_EQ(dll->IE_CloseAll(), S_OK);

    struct Frame {
        HWND frame, edit, status;
    };
    auto make = [&](const wchar_t* url, const wchar_t* status, bool whole) {
        Frame fr{CreateWindowExW(0, L"IEFrame", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr),
                 nullptr, nullptr};
        HWND bar = child(child(fr.frame, L"WorkerW"), L"ReBarWindow32");
        if (!whole) return fr;  // the address band and the tab are missing
        fr.edit = child(child(bar, L"Address Band Root"), L"Edit", url);
        fr.status = child(child(child(fr.frame, L"Frame Tab"), L"TabWindowClass"), STATUSCLASSNAMEW, status);
        return fr;
    };
    Frame frames[] = {make(L"http://127.0.0.1/one", L"Fertig", true), make(L"http://127.0.0.1/\u00e4", L"", true),
                      make(L"", L"", false)};
    std::vector<long> found = frames_now();
    ASSERT_EQ(found.size(), 3u);

    ASSERT_EQ(dll->IE_GetURL(urls.put()), S_OK);
    ASSERT_EQ(dll->IE_GetStatusText(states.put()), S_OK);
    ASSERT_EQ(urls.count(), 3);
    ASSERT_EQ(states.count(), 3);
    auto* u = static_cast<IEURLINFO*>(urls.get()->pvData);
    auto* s = static_cast<IEINFO*>(states.get()->pvData);
    for (size_t i = 0; i < 3; ++i) {
        const Frame* fr = nullptr;
        for (const Frame& c : frames)
            if (reinterpret_cast<LONG_PTR>(c.frame) == found[i]) fr = &c;
        ASSERT_NE(fr, nullptr);
        wchar_t text[100] = {};
        if (fr->edit) GetWindowTextW(fr->edit, text, 100);
        EXPECT_EQ(u[i].Parent, found[i]);
        EXPECT_EQ(text_of(u[i].URL), text);
        EXPECT_EQ(u[i].URLhwnd, static_cast<long>(reinterpret_cast<LONG_PTR>(fr->edit)));
        EXPECT_EQ(s[i].Parent, found[i]);
        EXPECT_EQ(text_of(s[i].StatusText), fr == &frames[0] ? L"Fertig" : L"");
        EXPECT_EQ(s[i].StatusTextHwnd, static_cast<long>(reinterpret_cast<LONG_PTR>(fr->status)));
        EXPECT_EQ(text_of(s[i].URL), L"");
        EXPECT_EQ(s[i].URLhwnd, 0);
    }

    g_close_requests = 0;
    EXPECT_EQ(dll->IE_CloseAll(), S_OK);
    wait_for([] { return g_close_requests == 3; });
    EXPECT_EQ(g_close_requests, 3);
    for (const Frame& fr : frames) DestroyWindow(fr.frame);
}

// --- settings -------------------------------------------------------------------------------

const wchar_t kMain[] = L"Software\\Microsoft\\Internet Explorer\\Main";
const wchar_t kInternet[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

TEST_F(NetworkBrowser, StartPageVersionAndProxyLiveInTheRegistry) {
    SavedValue page(HKEY_CURRENT_USER, kMain, L"Start Page"), title(HKEY_CURRENT_USER, kMain, L"Window Title");
    const wchar_t vector[] = L"Software\\Microsoft\\Internet Explorer\\Version Vector";
    SavedValue version(HKEY_LOCAL_MACHINE, vector, L"IE"), other_version(HKEY_LOCAL_MACHINE, vector, L"IE", kOtherView);
    auto start_site = [&] {
        Bstr out;
        EXPECT_EQ(n->IE_GetStartSite(out.put()), S_OK);
        return out.str();
    };
    page.remove();
    EXPECT_EQ(start_site(), L"");
    VARIANT_BOOL r = VARIANT_FALSE;
    ASSERT_EQ(n->IE_SetStartSite(Bstr(L"http://127.0.0.1/\u00e4").get(), Bstr(L"Titel").get(), &r), S_OK);
    EXPECT_TRUE(r);
    EXPECT_EQ(page.now(), std::make_pair(DWORD(REG_SZ), wide_bytes(L"http://127.0.0.1/\u00e4")));
    EXPECT_EQ(title.now(), std::make_pair(DWORD(REG_SZ), wide_bytes(L"Titel")));
    EXPECT_EQ(start_site(), L"http://127.0.0.1/\u00e4");

    // The browser of either half of 64-bit Windows, the program's own first.
    const struct {
        const wchar_t *own, *other, *expected;
    } versions[] = {{L"9.0000", L"11.0000", L"9.0000"}, {nullptr, L"11.0000", L"11.0000"}, {nullptr, nullptr, L""}};
    for (const auto& c : versions) {
        c.own ? version.set(c.own) : version.remove();
        c.other ? other_version.set(c.other) : other_version.remove();
        Bstr v;
        ASSERT_EQ(n->IE_GetVersion(v.put()), S_OK);
        EXPECT_EQ(v.str(), c.expected) << "own " << (c.own ? c.own : L"none");
    }

    // The proxy steers the prefix's own connections: put back at once.
    long result = -1;
    {
        SavedValue server(HKEY_CURRENT_USER, kInternet, L"ProxyServer"), enable(HKEY_CURRENT_USER, kInternet, L"ProxyEnable");
        ASSERT_EQ(n->IE_ProxySet(Bstr(L"127.0.0.1").get(), Bstr(L"8080").get(), &result), S_OK);
        EXPECT_EQ(result, 0);
        const auto set_server = server.now(), set_enable = enable.now();
        result = -1;
        ASSERT_EQ(n->IE_ProxyClear(&result), S_OK);
        const auto cleared_server = server.now(), cleared_enable = enable.now();
        EXPECT_EQ(result, 0);
        EXPECT_EQ(set_server, std::make_pair(DWORD(REG_SZ), wide_bytes(L"127.0.0.1:8080")));
        EXPECT_EQ(set_enable, std::make_pair(DWORD(REG_DWORD), dword_bytes(1)));
        EXPECT_EQ(cleared_server, set_server);
        EXPECT_EQ(cleared_enable, std::make_pair(DWORD(REG_DWORD), dword_bytes(0)));
    }
}

TEST_F(NetworkBrowser, AutoCompleteNeedsAWindowAndHistoryIsCleared) {
    ComPtr<forms::Form> f = forms::make<forms::Form>();
    f->load();
    IDispatch* box = &f->add<forms::TextBox>(L"Text1");
    VARIANT_BOOL r = VARIANT_FALSE;
    ASSERT_EQ(n->IE_ShowAutoComplete(&box, &r), S_OK);
    EXPECT_FALSE(r);  // Wine: the system's completion cannot be attached
    IDispatch* no_window = disp.get();
    EXPECT_TRUE(FAILED(n->IE_ShowAutoComplete(&no_window, &r)));
    f->unload();

    r = VARIANT_FALSE;
    ASSERT_EQ(n->IE_ClearHistory(&r), S_OK);
    EXPECT_TRUE(r);  // the prefix has the URL-history object
}

}  // namespace
