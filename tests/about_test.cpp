// The about window: what it shows after loading, one window for every opener,
// the connection indicator, the background fade, the version file, the mails
// (through the tests' recorder) and the update check against a home page of
// the test's own (python's HTTP server on 127.0.0.1, a folder per case, so no
// cache answers for another case). The connection state, the download
// hand-over and the credits scroller are stand-ins unless a case says otherwise.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "about/frm_about.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "message_boxes.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

std::wstring env(const wchar_t* name) {
    wchar_t buf[MAX_PATH] = {};
    GetEnvironmentVariableW(name, buf, MAX_PATH);
    return buf;
}
const std::wstring kPort = env(L"QM_HOME_PORT");
const std::wstring kRoot = env(L"QM_HOME_ROOT");  // the server's folder, with "\"

const std::wstring kError = L"Fehler beim \u00fcbermittel der Versionsinformation.";
const std::wstring kNotNewer = L"Keine neue Version verf\u00fcgbar";
const std::wstring kArchive = L"/Projekte/Veltrandis_DLL.zip", kHelp = L"/Projekte/Veltrandis_DLL_Hilfe.zip";

FrmAbout& about() { return forms::predeclared<FrmAbout>(); }
forms::Label& label(const wchar_t* name) { return about().get<forms::Label>(name); }
forms::Button& button(const wchar_t* name) { return about().get<forms::Button>(name); }
forms::Timer& timer(const wchar_t* name) { return about().get<forms::Timer>(name); }

long about_windows() {
    long n = 0;
    for (auto& f : forms::forms_collection().snapshot()) n += f->name() == L"frmAbout";
    return n;
}

using qmtest::pump_until;

std::vector<std::wstring> lines_of(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t from = 0, at; (at = text.find(L"\r\n", from)) != std::wstring::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    return lines;
}

class About : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = FrmAbout::links();
        folder = scratch() + L"about\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        wipe(folder);
        auto& l = FrmAbout::links();
        l.folder = folder;
        l.connected = [this] { return online; };
        l.download = [this](const std::wstring& url) { downloads.push_back(url); };
        l.scroll = [this](IDispatch* box, const std::wstring& text) {
            scrolls.push_back({box, text});
            return 0L;
        };
        l.home = home(L"none");
        log = scratch() + test_name() + L".log";
        DeleteFileW(log.c_str());
        SetEnvironmentVariableW(L"QM_RECORDER_LOG", log.c_str());
    }
    void TearDown() override {
        if (about().loaded()) about().unload();
        FrmAbout::links() = saved_;
        SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);
    }
    static std::wstring home(const std::wstring& site) { return L"http://127.0.0.1:" + kPort + L"/" + site; }
    // A file of a site of the home page server.
    static void serve(const std::wstring& site, const std::wstring& name, const std::string& bytes) {
        CreateDirectoryW((kRoot + site).c_str(), nullptr);
        CreateDirectoryW((kRoot + site + L"\\Projekte").c_str(), nullptr);
        write_bytes(kRoot + site + L"\\Projekte\\" + name, bytes);
    }

    struct Scroll {
        IDispatch* box;
        std::wstring text;
    };
    bool online = true;
    std::wstring folder, log;
    std::vector<std::wstring> downloads;
    std::vector<Scroll> scrolls;
    FrmAbout::Links saved_;
    // The pointer as the window's members read it: away from the window unless
    // a test moves it.
    static constexpr POINT kAway{2, 2};
    PinnedPointer pinned{kAway};
};

TEST_F(About, LoadShowsTheLibraryAndOneWindowServesEveryOpener) {
    show_about();
    FrmAbout& f = about();
    ASSERT_TRUE(f.loaded());
    const HWND window = f.hwnd();
    EXPECT_EQ(f.caption(), L"About");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(label(L"LabelVersion").caption(), L"Version 1.0.1");
    EXPECT_EQ(label(L"LabelVersion").tag(), L"101");
    EXPECT_EQ(f.get<forms::PictureBox>(L"picCredits").tag(), L"1.0.1");
    EXPECT_EQ(label(L"LabelProductName").caption(), L"Quillmark About Probe");
    EXPECT_EQ(label(L"LabelDLLpath").caption(), folder + L"about_test.Dll");
    EXPECT_FALSE(button(L"ButHistory").visible());
    EXPECT_EQ(f.get<forms::ListBox>(L"LBnames").list_count(), 44);
    // The hyperlinks are coloured while the pointer stands on them, and only then.
    const wchar_t* const links[] = {L"LabelSendNewMail", L"LabelHomepage", L"LabelVote"};
    for (const wchar_t* on : {L"", links[0], links[1], links[2], L""}) {
        POINT at = kAway;
        if (*on) {
            const RECT r = label(on).pixel_rect();
            at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            ClientToScreen(window, &at);
        }
        pinned.move(at);
        for (const wchar_t* link : links)
            EXPECT_TRUE(pump_until([&] { return label(link).fore_color() == (link == on ? 0xFF0000u : 0x00FFFFu); }))
                << to_ansi(on) << ": " << to_ansi(link);
    }
    const auto pointer = button(L"ButExit").mouse_icon();
    ASSERT_TRUE(pointer);
    for (const wchar_t* name : {L"BudSendBug", L"ButHistory", L"ButUpdate"})
        EXPECT_EQ(button(name).mouse_icon().get(), pointer.get()) << name;

    // The credits: the fixed lines around the contributors, each ended by CR LF.
    ASSERT_EQ(scrolls.size(), 1u);
    EXPECT_EQ(scrolls[0].box, static_cast<IDispatch*>(&f.get<forms::PictureBox>(L"picCredits")));
    const std::vector<std::wstring> lines = lines_of(scrolls[0].text);
    ASSERT_EQ(lines.size(), 19u + 44 + 3 + 6 + 5);
    EXPECT_EQ(scrolls[0].text.substr(scrolls[0].text.size() - 4), L"\r\n\r\n");
    const std::pair<size_t, std::wstring> fixed[] = {
        {0, L"Quillmark About Probe"},
        {1, L"1.0.1"},
        {2, L""},
        {3, L"Zusammengetragen"},
        {4, L"& neu verfasst von"},
        {6, L""},
        {7, L"Mein besonderer Dank geht an"},
        {9, L"und das"},
        {14, L""},
        {15, L"Alle Programmierer, die mir"},
        {16, L"in irgendeiner Weise geholfen"},
        {17, L"haben die DLL zu verwirklichen"},
        {18, std::wstring(50, L'-')},
        {66, L"Wenn du eine Funktion erkennst,"},
        {67, L"die du geschrieben hast und"},
        {68, L"namendlich erw\u00e4hnt werden"},
        {69, L"m\u00f6chtest, schreibe mir eine"},
        {70, L"Mail mit Funktionsnamen"},
        {71, L"Vor- Nachname."},
    };
    for (const auto& [at, text] : fixed) EXPECT_EQ(lines[at], text) << at;
    for (size_t at : {5, 8, 10, 11, 12}) EXPECT_FALSE(lines[at].empty()) << at;
    EXPECT_EQ(lines[13].substr(0, 2), L"& ");
    for (long i = 0; i < 44; ++i) EXPECT_EQ(lines[19 + i], f.get<forms::ListBox>(L"LBnames").list(i));
    for (size_t at : {63, 64, 65, 72, 73, 74, 75, 76}) EXPECT_TRUE(lines[at].empty()) << at;

    // Every opener while it is open: the same window, no second load or scroll.
    show_about();
    ASSERT_EQ(shared<_Misc>()->About(), S_OK);
    ASSERT_EQ(shared<_Dialog>()->About(), S_OK);
    EXPECT_EQ(f.hwnd(), window);
    EXPECT_EQ(about_windows(), 1);
    EXPECT_EQ(scrolls.size(), 1u);

    // Closed from outside it unloads; with a history file it opens with the history button.
    VARIANT_BOOL closed = VARIANT_FALSE;
    ASSERT_EQ(shared<_Window>()->CloseWindow(static_cast<long>(reinterpret_cast<LONG_PTR>(window)), &closed), S_OK);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(f.loaded());
    EXPECT_EQ(about_windows(), 0);
    write_bytes(folder + L"History.txt", "1.0.1\r\n");
    ASSERT_EQ(shared<_Misc>()->About(), S_OK);
    EXPECT_TRUE(button(L"ButHistory").visible());
    EXPECT_EQ(scrolls.size(), 2u);
}

TEST_F(About, IndicatorFollowsTheConnectionFromTheFirstCheck) {
    for (bool at_load : {true, false}) {
        online = at_load;
        show_about();
        EXPECT_EQ(button(L"ButUpdate").enabled(), at_load);
        EXPECT_EQ(label(L"Label4").caption(), at_load ? L"Online" : L"OFFLINE");
        EXPECT_EQ(label(L"Label4").fore_color(), at_load ? 0x00FF00u : 0x0000FFu);
        online = !at_load;
        EXPECT_TRUE(pump_until([&] { return button(L"ButUpdate").enabled() == !at_load; })) << at_load;
        EXPECT_EQ(label(L"Label4").caption(), at_load ? L"OFFLINE" : L"Online");
        EXPECT_EQ(label(L"Label4").fore_color(), at_load ? 0x0000FFu : 0x00FF00u);
        about().unload();
    }
}

TEST_F(About, FadeChainsItsColoursAndClicksWriteAndMail) {
    show_about();
    FrmAbout& f = about();
    // The first fade starts from black; each next one from where the last ended, never to the same colour.
    EXPECT_EQ(f.surface()->point(0, 0), 0);
    for (int i = 0; i < 50; ++i) {
        const long before = f.last_fade_colour();
        timer(L"Timer_Fade").tick();
        EXPECT_NE(f.last_fade_colour(), before) << i;
        EXPECT_EQ(f.surface()->point(0, 0), before) << i;
    }

    // A right-button press on the window or a drag surface moves nothing.
    RECT before{}, after{};
    GetWindowRect(f.hwnd(), &before);
    SendMessageW(f.hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 4));
    SendMessageW(f.hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(4, 4));
    SendMessageW(f.get<forms::PictureBox>(L"picCredits").hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 4));
    GetWindowRect(f.hwnd(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));

    label(L"LabelVersion").on.click();
    EXPECT_EQ(read_bytes(folder + L"Version.txt"), "101\r\n");

    label(L"LabelSendNewMail").on.click();
    EXPECT_FALSE(f.loaded());
    show_about();
    button(L"BudSendBug").on.click();
    EXPECT_FALSE(f.loaded());
    EXPECT_EQ(recorder_launches(log, 2),
              (std::vector<Launch>{{"qmrecorder.exe", 1,
                                    {"mailto:timo.falkenrath@example.com?Subject=Re%3A%20Bugreport%20%28Version%201.0.1%29"
                                     "&Body=Folgenden%20Bug%20habe%20ich%20gefunden%3A%20"}},
                                   {"qmrecorder.exe", 1,
                                    {"mailto:timo.falkenrath@example.com?Subject=Re%3A%20Quillmark%20About%20Probe%20"
                                     "%28Version%201.0.1%29&Body=Hallo%20Timo%2C"}}}));
}

TEST_F(About, DragLinksHistoryAndExit) {
    show_about();
    FrmAbout& f = about();
    // A left-button press on a drag surface hands the window to the system's
    // caption drag from where the pointer is, the mouse released first; other
    // buttons do not (the right one: above), nor a press on a label that lies
    // over a drag surface.
    struct Case {
        const wchar_t* surface;  // "": the form's bare client area
        UINT press;
        bool drags;
    } cases[] = {
        {L"", WM_LBUTTONDOWN, true},
        {L"picCredits", WM_LBUTTONDOWN, true},
        {L"Label1", WM_LBUTTONDOWN, true},
        {L"Label4", WM_LBUTTONDOWN, true},
        {L"LabelDLLpath", WM_LBUTTONDOWN, true},
        {L"LabelProductName", WM_LBUTTONDOWN, true},
        {L"LabelVersion", WM_LBUTTONDOWN, false},
        {L"picCredits", WM_MBUTTONDOWN, false},
        {L"Label1", WM_MBUTTONDOWN, false},
    };
    pinned.move({313, 271});  // anywhere but a corner
    CaptionDrags drags(f.hwnd());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << to_ansi(c.surface) << " " << c.press);
        HWND target = f.hwnd();
        POINT at{4, 4};
        if (*c.surface) {
            forms::Control& control = f.get<forms::Control>(c.surface);
            if (control.hwnd()) {
                target = control.hwnd();
            } else {  // drawn on the form: its lowest row, below any label over it
                const RECT r = control.pixel_rect();
                at = {(r.left + r.right) / 2, r.bottom - 2};
            }
        }
        drags.clear();
        SetCapture(target);
        SendMessageW(target, c.press, c.press == WM_LBUTTONDOWN ? MK_LBUTTON : MK_MBUTTON, MAKELPARAM(at.x, at.y));
        ReleaseCapture();
        if (c.drags)
            EXPECT_EQ(drags.fault(pinned.at()), "");
        else
            EXPECT_TRUE(drags.seen().empty());
    }

    // The pages go to the browser, the history to the text files' program: the
    // recorder stands in for both.
    {
        RecorderAsBrowser browser;
        SavedValue text_type(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.txt", L"");
        text_type.set(L"QmAbout.Text");
        struct Type {
            ~Type() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\QmAbout.Text"); }
        } type;
        const std::wstring command = L"\"" + test_folder() + L"qmrecorder.exe\" \"%1\"";
        ASSERT_EQ(RegSetValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\QmAbout.Text\\shell\\open\\command", REG_SZ,
                               command.c_str(), 0),
                  ERROR_SUCCESS);
        write_bytes(folder + L"History.txt", "1.0.1\r\n");
        label(L"LabelHomepage").on.click();
        label(L"LabelVote").on.click();
        button(L"ButHistory").on.click();
        EXPECT_EQ(recorder_launches(log, 3),
                  (std::vector<Launch>{{"iexplore.exe", 1, {to_ansi(home(L"none"))}},
                                       {"iexplore.exe", 1, {"http://www.example.org/quelltext-werkstatt/vote?project=veltrandis"}},
                                       {"qmrecorder.exe", 1, {to_ansi(folder) + "History.txt"}}}));
    }
    button(L"ButExit").on.click();
    EXPECT_FALSE(f.loaded());
}

TEST_F(About, UpdateCheckAgainstTheHomePage) {
    struct Case {
        const wchar_t* site;
        const char* version;  // nullptr: no version file
        std::vector<int> answers;
        std::wstring status;  // empty: the status is hidden at once
        std::vector<std::wstring> downloads;
    } cases[] = {
        {L"equal", "101", {}, kNotNewer, {}},
        {L"older", "100\r\n", {}, kNotNewer, {}},
        {L"missing", nullptr, {}, kError, {}},
        {L"empty", "", {}, kError, {}},
        {L"letters", "abc", {}, kError, {}},
        {L"negative", "-5", {}, kError, {}},
        {L"huge", "99999999999", {}, kError, {}},
        {L"declined", "102", {IDNO}, L"", {}},
        {L"library", "102", {IDYES, IDNO}, L"", {kArchive}},
        {L"both", " 102\r\n", {IDYES, IDYES}, L"", {kArchive, kHelp}},
    };
    show_about();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.site);
        if (c.version) serve(c.site, L"Version.txt", c.version);
        serve(c.site, L"History.txt", "Neu in 1.0.2:\r\n\t- schneller\tund\r\n\tkleiner");
        FrmAbout::links().home = home(c.site);
        downloads.clear();
        scrolls.clear();
        timer(L"CheckConnection").tick();
        ASSERT_TRUE(button(L"ButUpdate").enabled());

        std::vector<BoxInfo> asked;
        bool enabled_meanwhile = false;
        {
            BoxWatcher watcher([&](const BoxInfo& box) {
                // The indicator leaves the button alone while the check runs.
                timer(L"CheckConnection").tick();
                enabled_meanwhile |= button(L"ButUpdate").enabled();
                asked.push_back(box);
                close_box(box.hwnd, asked.size() <= c.answers.size() ? c.answers[asked.size() - 1] : IDNO);
            });
            button(L"ButUpdate").on.click();
            EXPECT_FALSE(button(L"ButUpdate").enabled());  // until the indicator's next turn
            EXPECT_EQ(watcher.close_all(), 0);
        }
        EXPECT_FALSE(enabled_meanwhile);
        ASSERT_EQ(asked.size(), c.answers.size());
        const std::pair<std::wstring, std::wstring> questions[] = {
            {L"Neue Version verf\u00fcgbar", L"Eine neuere Version ist verf\u00fcgbar.\r\nSoll die neue Version geladen werden ?"},
            {L"Neue Hilfe verf\u00fcgbar", L"Soll die neue Hilfe geladen werden ?"}};
        for (size_t i = 0; i < asked.size(); ++i) {
            EXPECT_EQ(asked[i].caption, questions[i].first);
            EXPECT_EQ(asked[i].text, questions[i].second);
        }

        std::vector<std::wstring> expected;
        for (const auto& path : c.downloads) expected.push_back(home(c.site) + path);
        EXPECT_EQ(downloads, expected);
        if (!c.downloads.empty()) {
            ASSERT_EQ(scrolls.size(), 1u);
            EXPECT_EQ(scrolls[0].box, static_cast<IDispatch*>(&about().get<forms::PictureBox>(L"picCredits")));
            EXPECT_EQ(scrolls[0].text, L"Neu in 1.0.2:\r\n- schnellerund\r\nkleiner");
        } else {
            EXPECT_TRUE(scrolls.empty());
        }
        EXPECT_EQ(label(L"LabelUpdate").visible(), !c.status.empty());
        EXPECT_EQ(label(L"LabelUpdateText").visible(), !c.status.empty());
        if (c.status.empty()) continue;
        EXPECT_EQ(label(L"LabelUpdateText").caption(), c.status);
        // The status goes at the sixth tick; the panel stays.
        ASSERT_TRUE(timer(L"TimerLabel").enabled());
        for (int tick = 1; tick <= 6; ++tick) {
            EXPECT_EQ(label(L"LabelUpdateText").visible(), true) << tick;
            timer(L"TimerLabel").tick();
        }
        EXPECT_FALSE(label(L"LabelUpdateText").visible());
        EXPECT_EQ(label(L"LabelUpdateText").caption(), L"");
        EXPECT_FALSE(timer(L"TimerLabel").enabled());
        EXPECT_TRUE(label(L"LabelUpdate").visible());
    }
}

long credit_scrolls() {
    long n = 0;
    for (auto& f : forms::forms_collection().snapshot()) n += f->name() == L"frmCredits";
    return n;
}

TEST_F(About, HostileHistoriesScrollInTheCreditsBox) {
    // The real scroller: the credits start scrolling on the first message loop
    // turn; the check is clicked from inside that scroll, as a user's click
    // would be, and the window is closed from inside the history's scroll.
    static FrmAbout* form = nullptr;
    static long most_scrolls = 0;
    static bool clicked = false;
    auto& l = FrmAbout::links();
    std::vector<long> results;
    l.scroll = [&, real = saved_.scroll](IDispatch* box, const std::wstring& text) {
        results.push_back(real(box, text));
        return results.back();
    };
    const std::string histories[] = {std::string("eins\0zwei\r\n\0\r\ndrei", 19), "eins\rzwei\nzwei\r\r\n\ndrei",
                                     std::string(1 << 20, 'x') + "\r\nkurz", "\t\t\t"};
    int n = 0;
    for (const std::string& history : histories) {
        const std::wstring site = L"hostile" + std::to_wstring(++n);
        SCOPED_TRACE(site);
        serve(site, L"Version.txt", "102");
        serve(site, L"History.txt", history);
        l.home = home(site);
        results.clear();
        form = &about();
        most_scrolls = 0;
        clicked = false;
        BoxWatcher watcher([](const BoxInfo& box) {
            close_box(box.hwnd, box.caption == L"Neue Version verf\u00fcgbar" ? IDYES : IDNO);
        });
        // The click waits for the credits scroll: a click while the form still
        // loads would check against a version not yet read.
        UINT_PTR click = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) CALLBACK {
            if (credit_scrolls() == 0) return;
            KillTimer(nullptr, id);
            clicked = true;
            try {
                form->get<forms::Button>(L"ButUpdate").on.click();
            } catch (...) {
            }
        });
        // The credits scroll runs until the window closes: past the deadline the
        // window is closed anyway, so a check that never scrolls fails, not hangs.
        static ULONGLONG deadline = 0;
        deadline = GetTickCount64() + 20000;
        UINT_PTR close = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
            const long scrolling = credit_scrolls();
            most_scrolls = std::max(most_scrolls, scrolling);
            if ((scrolling == 2 || GetTickCount64() > deadline) && form->loaded()) form->unload();
        });
        show_about();
        EXPECT_TRUE(pump_until([] { return clicked && !form->loaded() && most_scrolls == 2; }));
        KillTimer(nullptr, click);
        KillTimer(nullptr, close);
        EXPECT_TRUE(pump_until([] { return credit_scrolls() == 0; }));
        EXPECT_EQ(results, (std::vector<long>{0, 0}));
    }
}

TEST(AboutVersionReply, DecidesOnTrimmedDigitsWithinALong) {
    using enum VersionReply;
    const struct {
        std::wstring reply, local;
        VersionReply expected;
    } cases[] = {
        {L"102", L"101", Newer},
        {L"101", L"101", NotNewer},
        {L"100", L"101", NotNewer},
        {L" \t0102\r\n", L"101", Newer},
        {L"2147483647", L"101", Newer},
        {L"2147483648", L"101", Error},
        {L"99999999999", L"101", Error},
        {L"", L"101", Error},
        {L"\r\n", L"101", Error},
        {L"+102", L"101", Error},
        {L"-5", L"101", Error},
        {L"1 02", L"101", Error},
        {std::wstring(L"102\0", 4), L"101", Error},
        {L"\uff11\uff10\uff12", L"101", Error},  // full-width digits
        {L"102", L"", Error},
    };
    for (const auto& c : cases) EXPECT_EQ(judge_version_reply(c.reply, c.local), c.expected) << c.reply.c_str();

    // Mutated replies: one of the three outcomes, and an error whenever a character
    // other than a digit is left once the blanks and line ends around are trimmed.
    std::mt19937 random(4711);
    const std::wstring pieces[] = {L"0", L"1", L"9", L"+", L"-", L" ", L"\t", L"\r", L"\n", std::wstring(1, L'\0'),
                                   L"\u00e4", L"\u0661", L"x", L"2147483648", std::wstring(40, L'9')};
    for (int i = 0; i < 10000; ++i) {
        std::wstring reply = L"101";
        for (int n = random() % 6; n > 0; --n) {
            const std::wstring& piece = pieces[random() % std::size(pieces)];
            const size_t at = random() % (reply.size() + 1);
            if (random() % 3 == 0 && !reply.empty())
                reply.erase(at == reply.size() ? at - 1 : at, 1);
            else
                reply.insert(at, piece);
        }
        const VersionReply r = judge_version_reply(reply, L"101");
        ASSERT_TRUE(r == Error || r == NotNewer || r == Newer);
        const size_t first = reply.find_first_not_of(L" \t\r\n"), last = reply.find_last_not_of(L" \t\r\n");
        const std::wstring core = first == std::wstring::npos ? L"" : reply.substr(first, last - first + 1);
        if (core.empty() || core.find_first_not_of(L"0123456789") != std::wstring::npos) {
            ASSERT_EQ(r, Error) << i;
        }
        if (core == L"101") {
            ASSERT_EQ(r, NotNewer) << i;
        }
    }
}

}  // namespace
