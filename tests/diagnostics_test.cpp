// The error reporter, its four settings, Misc.SetDebugInfo, Misc.Log, Misc.ERROR
// and the debug window: log files compared byte for byte (dates and times of the
// German locale normalised to D and T), window texts compared exactly.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "about/frm_about.h"
#include "frame/classes.h"
#include "frame/diagnostics.h"
#include "frame/frmdebug.h"
#include "frame/shared.h"
#include "message_boxes.h"
#include "runtime/contract.h"
#include "runtime/dates.h"
#include "runtime/format.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

const std::string CRLF = "\r\n";

std::string ansi(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// German short dates and long times become D and T.
std::string norm(const std::string& s) {
    static const std::regex date(R"(\d{1,2}\.\d{1,2}\.\d{4})"), time(R"(\b\d{1,2}:\d{2}:\d{2}\b)");
    return std::regex_replace(std::regex_replace(s, date, "D"), time, "T");
}

std::wstring wnorm(const std::wstring& s) {
    static const std::wregex date(LR"(\d{1,2}\.\d{1,2}\.\d{4})"), time(LR"(\b\d{1,2}:\d{2}:\d{2}\b)");
    return std::regex_replace(std::regex_replace(s, date, L"D"), time, L"T");
}
const std::wstring WP = L"D / T -> ";

// The prefix and indent as the normalised texts show them.
const std::string P = "D / T -> ";
std::wstring version() {
    Bstr v;
    shared<_Misc>()->Verison(v.put());
    return v.str();
}
std::string I() { return std::string(ansi(diag::time_prefix()).size(), ' '); }

std::wstring fresh(const wchar_t* name) {
    std::wstring path = scratch() + name;
    DeleteFileW(path.c_str());
    return path;
}

ComPtr<_Misc> new_misc() {
    ComPtr<_Misc> m;
    find_class_by_interface(IID__Misc)->create(IID__Misc, m.put_void());
    return m;
}

void set(_Misc* m, bool debug, bool message, bool only, const std::wstring& log) {
    m->SetDebugInfo(debug ? VARIANT_TRUE : VARIANT_FALSE, message ? VARIANT_TRUE : VARIANT_FALSE,
                    only ? VARIANT_TRUE : VARIANT_FALSE, Bstr(log).get());
}

bool debug_window_loaded() { return forms::forms_collection().find(L"frmDebug", forms::FormsCollection::ByName); }

// The first reports of the process, made before any test: the banner goes with them.
std::string g_first_log, g_second_log, g_switched_from;
std::wstring g_first_path, g_second_path;

class FirstReports : public ::testing::Environment {
    void SetUp() override {
        g_first_path = fresh(L"diag_first.log");
        g_second_path = fresh(L"diag_second.log");
        ComPtr<_Misc> m = new_misc();
        set(m.get(), false, false, false, g_first_path);
        Write_ErrorLog(8, L"BinCopy", 53, L"Datei nicht gefunden: Größe", L"");
        Write_ErrorLog(102, L"Get_hWnd", 5, L"Invalid procedure call", L"C:\\x.txt");
        g_first_log = read_bytes(g_first_path);
        set(m.get(), false, false, false, g_second_path);
        Write_ErrorLog(24, L"TextFile_Read", 76, L"Path not found", L"");
        g_switched_from = read_bytes(g_first_path).substr(g_first_log.size());
        g_second_log = read_bytes(g_second_path);
        set(m.get(), false, false, false, L"");
    }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new FirstReports);

class Diagnostics : public ::testing::Test {
protected:
    void TearDown() override {
        set_diagnostics({});
        frmDebug().unload();
    }
};

TEST_F(Diagnostics, FirstEntryOfTheProcessCarriesTheBannerLaterOnesNeitherEvenInANewFile) {
    std::string rule(64, '-');
    EXPECT_EQ(norm(g_first_log),
              CRLF + rule + CRLF + "<<<<< D/T DLL-ErrorLog startet [v" + ansi(version()) + "] >>>>>" + CRLF + rule + CRLF +
                  P + "DLL ERROR <53>" + CRLF + I() + "Class: File / Routine: BinCopy" + CRLF + I() +
                  ansi(L"Datei nicht gefunden: Größe") + CRLF + CRLF +
                  P + "DLL ERROR <5>" + CRLF + I() + "Modul: basPModule / Routine: Get_hWnd" + CRLF + I() +
                  "Invalid procedure call" + CRLF + I() + "C:\\x.txt" + CRLF);
    // Switching files through the same instance: a marker in the old, a continue line in the new.
    EXPECT_EQ(norm(g_switched_from), P + ">>>>> Set LogFile to " + ansi(g_second_path) + " <<<<<" + CRLF);
    EXPECT_EQ(norm(g_second_log), ">>>>> Continue Log from " + ansi(g_first_path) + " <<<<<" + CRLF + CRLF + CRLF + P +
                                      "DLL ERROR <76>" + CRLF + I() + "Class: Text / Routine: TextFile_Read" + CRLF +
                                      I() + "Path not found" + CRLF);
}

TEST_F(Diagnostics, StoppingTheLogWritesTheStopMarkerAndAFirstPathWritesNone) {
    std::wstring a = fresh(L"diag_stop.log");
    ComPtr<_Misc> m = new_misc();
    set(m.get(), false, false, false, a);
    EXPECT_EQ(read_bytes(a), "<missing>");
    set(m.get(), false, false, false, L"");
    EXPECT_EQ(norm(read_bytes(a)), P + ">>>>> Stopping writing LogFile <<<<<" + CRLF);
}

TEST_F(Diagnostics, NothingAtAllWithoutDebugModeAndLogFileEvenWithShowMessage) {
    int boxes = 0;
    BoxWatcher watch([&](const BoxInfo& b) { ++boxes, close_box(b.hwnd); });
    set_diagnostics({false, true, false, L""});
    Write_ErrorLog(8, L"BinCopy", 53, L"File not found", L"");
    forms::do_events();
    EXPECT_EQ(boxes, 0);
    EXPECT_FALSE(debug_window_loaded());
    // Debug mode with only messages wanted: no window either.
    set_diagnostics({true, false, true, L""});
    Write_ErrorLog(8, L"BinCopy", 53, L"File not found", L"");
    EXPECT_FALSE(debug_window_loaded());
    EXPECT_EQ(watch.close_all(), 0);
}

TEST_F(Diagnostics, MessageBoxAndFileWithoutWindow) {
    std::wstring log = fresh(L"diag_box.log");
    std::vector<BoxInfo> seen;
    BoxWatcher watch([&](const BoxInfo& b) {
        seen.push_back(b);
        close_box(b.hwnd);
    });
    set_diagnostics({false, true, false, log});
    Write_ErrorLog(8, L"BinCopy", 53, L"File not found", L"extra");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, L"      DLL Error <53>");
    EXPECT_EQ(seen[0].text, L"Class: File / Routine: BinCopy\r\n\r\nError Description\r\nFile not found");
    EXPECT_FALSE(debug_window_loaded());
    EXPECT_EQ(norm(read_bytes(log)), P + "DLL ERROR <53>" + CRLF + I() + "Class: File / Routine: BinCopy" + CRLF + I() +
                                         "File not found" + CRLF + I() + "extra" + CRLF);
    EXPECT_EQ(watch.close_all(), 0);
}

TEST_F(Diagnostics, DebugWindowBlocksWrapFollowEachOtherAndShowTheLogFile) {
    set_diagnostics({true, false, false, L""});
    std::wstring hundred;
    for (int i = 0; i < 100; ++i) hundred += static_cast<wchar_t>(L'a' + i % 26);
    Write_ErrorLog(15, L"Log", 76, hundred, L"");
    Write_ErrorLog(16, L"sSplit", 5, L"erste\r\nzweite", L"mehr");
    Write_ErrorLog(555, L"X", 9, L"", L"");

    FrmDebug& w = frmDebug();
    ASSERT_TRUE(debug_window_loaded());
    EXPECT_TRUE(IsWindowVisible(w.hwnd()));
    EXPECT_EQ(w.caption(), L"VeltrandisDLL ErrorLog (v" + version() + L")");
    std::wstring p = WP, i(diag::time_prefix().size(), L' ');
    std::wstring expected = p + L"*** ErrorLog started ***\r\n" +
        p + L"DLL ERROR <76>\r\n" + i + L"Class: Misc\r\n" + i + L"Routine: Log\r\n" + i + hundred.substr(0, 39) +
        L"\r\n" + i + hundred.substr(39, 39) + L"\r\n" + i + hundred.substr(78) +
        p + L"DLL ERROR <5>\r\n" + i + L"Class: mString\r\n" + i + L"Routine: sSplit\r\n" + i + L"erste\r\n" + i +
        L"\r\n" + i + L"zweite\r\n" + i + L"mehr\r\n" +
        p + L"DLL ERROR <9>\r\n" + i + L"Modul: \r\n" + i + L"Routine: X\r\n" + i + L"<No ErrorText sumbited>";
    EXPECT_EQ(wnorm(w.txtDebug().text()), expected);
    EXPECT_EQ(w.txtDebug().sel_start(), static_cast<long>(w.txtDebug().text().size()));
    EXPECT_EQ(w.txtPath().text(), L"<No LogFile Selected>");
    EXPECT_FALSE(w.get<forms::Button>(L"butLogFile").enabled());

    std::wstring log = fresh(L"diag_window.log");
    set_diagnostics({true, false, false, log});
    Write_ErrorLog(1, L"Sort", 13, L"Type mismatch", L"");
    EXPECT_EQ(w.txtPath().text(), log);
    EXPECT_TRUE(w.get<forms::Button>(L"butLogFile").enabled());
}

TEST_F(Diagnostics, EmptyErrorTextKeepsTheEntryHeaderInTheLog) {
    std::wstring log = fresh(L"diag_empty.log");
    set_diagnostics({false, false, false, log});
    Write_ErrorLog(9, L"Find_Form", 91, L"", L"frmMain");
    EXPECT_EQ(norm(read_bytes(log)), P + "DLL ERROR <91>" + CRLF + I() + "Class: Forms / Routine: Find_Form" + CRLF + I() +
                                         "<No ErrorText sumbited>" + CRLF + I() + "frmMain" + CRLF);
}

TEST_F(Diagnostics, AFailingMemberReportsItselfAndNeverRaisesFromTheReporter) {
    // A log in a folder that does not exist: Misc.Log reports its own failure
    // to the debug window and returns its entry; the reporter's own write is lost silently.
    set_diagnostics({true, false, false, scratch() + L"no such folder\\x.log"});
    Bstr entry;
    EXPECT_EQ(shared<_Misc>()->Log(Bstr(L"Hallo").get(), Bstr(L"").get(), 0, entry.put()), S_OK);
    EXPECT_EQ(wnorm(entry.str()), WP + L"Hallo");
    std::wstring text = frmDebug().txtDebug().text();
    EXPECT_NE(text.find(L"DLL ERROR <76>\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"Routine: Log\r\n"), std::wstring::npos);
    EXPECT_NO_THROW(Write_ErrorLog(-7, L"Nowhere", 1, L"x", L""));
}

TEST_F(Diagnostics, LogIndentsLinesAndAppendsToTheGivenOrTheSetFile) {
    std::wstring set_file = fresh(L"diag_log_set.log"), given = fresh(L"diag_log_given.log");
    set_diagnostics({false, false, false, set_file});
    Bstr r;
    shared<_Misc>()->Log(Bstr(L"eins\r\nzwei").get(), Bstr(L"").get(), 0, r.put());
    EXPECT_EQ(wnorm(r.str()), WP + L"eins\r\n" + std::wstring(diag::time_prefix().size(), L' ') + L"zwei");
    shared<_Misc>()->Log(Bstr(L"").get(), Bstr(given).get(), 0, r.put());
    EXPECT_EQ(r.str(), L"\r\n");
    EXPECT_EQ(norm(read_bytes(set_file)), P + "eins" + CRLF + I() + "zwei" + CRLF);
    EXPECT_EQ(read_bytes(given), CRLF + CRLF);
}

TEST_F(Diagnostics, LogWithSizeLimitKeepsTheLastCharactersAndNeverLosesTheOldLog) {
    std::wstring log = fresh(L"diag_limit.log");
    std::string old;
    for (int i = 0; i < 998; ++i) old += static_cast<char>('A' + i % 26);
    write_bytes(log, old + CRLF);
    SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_READONLY);
    Bstr r;
    shared<_Misc>()->Log(Bstr(L"neu").get(), Bstr(log).get(), 100, r.put());
    std::string content = old + CRLF + ansi(r.str());
    EXPECT_EQ(read_bytes(log), content.substr(content.size() - 100) + CRLF);
    EXPECT_FALSE(GetFileAttributesW(log.c_str()) & FILE_ATTRIBUTE_READONLY);

    // The old file cannot be replaced (held open without delete sharing): it stays
    // as it was, no temporary file is left, and the failure is reported.
    std::string before = read_bytes(log);
    std::wstring err_log = fresh(L"diag_limit_err.log");
    set_diagnostics({false, false, false, err_log});
    HANDLE held = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    shared<_Misc>()->Log(Bstr(L"verloren?").get(), Bstr(log).get(), 100, r.put());
    CloseHandle(held);
    EXPECT_EQ(read_bytes(log), before);
    EXPECT_NE(read_bytes(err_log).find("Class: Misc / Routine: Log"), std::string::npos);
    WIN32_FIND_DATAW fd;
    HANDLE f = FindFirstFileW((scratch() + L"qml*.tmp").c_str(), &fd);
    EXPECT_EQ(f, INVALID_HANDLE_VALUE);
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
}

TEST_F(Diagnostics, ErrorEntryLayoutWindowWithoutShowingAndHiddenPathControls) {
    std::wstring log = fresh(L"diag_error.log");
    Bstr r;
    shared<_Misc>()->ERROR(Bstr(L"Speichern").get(), 1234, Bstr(L"Platte voll").get(), Bstr(L"Bitte aufräumen").get(),
                           Bstr(log).get(), r.put());
    std::wstring p = WP, i(diag::time_prefix().size(), L' ');
    EXPECT_EQ(wnorm(r.str()), p + L"ERROR 1234\r\n" + i + L"Routine: Speichern\r\n" + i + L"Platte voll\r\n" + i +
                           L"Bitte aufräumen");
    EXPECT_EQ(read_bytes(log), ansi(r.str()) + CRLF);
    shared<_Misc>()->ERROR(Bstr(L"").get(), -1, Bstr(L"").get(), Bstr(L"").get(), Bstr(L"").get(), r.put());
    EXPECT_EQ(wnorm(r.str()), p + L"ERROR -1");
    EXPECT_FALSE(debug_window_loaded());

    // Debug mode and no target: the window is loaded but not shown, the path
    // controls go and stay hidden.
    set_diagnostics({true, false, false, L""});
    shared<_Misc>()->ERROR(Bstr(L"A").get(), 1, Bstr(L"").get(), Bstr(L"").get(), Bstr(L"").get(), r.put());
    FrmDebug& w = frmDebug();
    ASSERT_TRUE(debug_window_loaded());
    EXPECT_FALSE(IsWindowVisible(w.hwnd()));
    EXPECT_TRUE(w.txtDebug().text().ends_with(L"***\r\n" + r.str()));
    shared<_Misc>()->ERROR(Bstr(L"B").get(), 2, Bstr(L"").get(), Bstr(L"").get(), Bstr(log).get(), r.put());
    EXPECT_EQ(w.txtPath().text(), log);
    for (const wchar_t* name : {L"butCopy", L"txtPath", L"butLogFile"})
        EXPECT_FALSE(w.get<forms::Control>(name).visible()) << name;
}

TEST_F(Diagnostics, SetDebugInfoMarksTheOpenWindowAndUnloadsItWhenDebugModeEnds) {
    ComPtr<_Misc> m = new_misc();
    set(m.get(), true, false, false, L"");
    EXPECT_FALSE(debug_window_loaded());  // shown by the next report only
    Write_ErrorLog(8, L"Exist", 53, L"x", L"");
    std::wstring log = fresh(L"diag_marker.log");
    set(m.get(), true, false, false, log);
    std::wstring text = frmDebug().txtDebug().text();
    EXPECT_TRUE(wnorm(text).ends_with(L"x\r\n" + WP + L">>>>> Set LogFile to " + log + L" <<<<<"));
    EXPECT_EQ(frmDebug().txtPath().text(), log);
    set(m.get(), false, false, false, log);
    EXPECT_FALSE(debug_window_loaded());
}

TEST_F(Diagnostics, DebugWindowButtonsCopyOpenTheLogTellTheLastErrorAndShowTheAboutBox) {
    const std::wstring log = fresh(L"diag_buttons.log");
    set_diagnostics({true, false, false, log});
    Write_ErrorLog(8, L"Exist", 53, L"x", L"");
    FrmDebug& w = frmDebug();
    ASSERT_TRUE(debug_window_loaded());
    const auto click = [&](const wchar_t* name) { w.get<forms::Button>(name).on.click(); };

    // Copy: the entries as the clipboard's text.
    click(L"butCopy");
    std::wstring copied = L"<none>";
    if (OpenClipboard(nullptr)) {
        if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
            copied = static_cast<const wchar_t*>(GlobalLock(h));
            GlobalUnlock(h);
        }
        CloseClipboard();
    }
    EXPECT_EQ(copied, w.txtDebug().text());

    // LogFile: the text editor with the log file, maximised. The recorder is the
    // editor in the current folder, where the system looks before its own folder.
    const std::wstring started = fresh(L"diag_editor.log");
    ASSERT_TRUE(CopyFileW((test_folder() + L"qmrecorder.exe").c_str(), (scratch() + L"Notepad.exe").c_str(), FALSE));
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", started.c_str());
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    SetCurrentDirectoryW(scratch().c_str());
    click(L"butLogFile");
    SetCurrentDirectoryW(folder);
    EXPECT_EQ(recorder_launches(started, 1), (std::vector<Launch>{{"notepad.exe", 3, {ansi(log)}}}));
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);

    // SysMes: the system's text of the last error in a message box with OK alone.
    std::vector<std::wstring> texts;
    std::vector<HWND> boxes;
    {
        BoxWatcher watcher([&](const BoxInfo& box) {
            if (!boxes.empty() && boxes.back() == box.hwnd) return;
            boxes.push_back(box.hwnd);
            const auto shown = [&](int id) { return IsWindowVisible(GetDlgItem(box.hwnd, id)) != FALSE; };
            EXPECT_TRUE(shown(IDOK) && !shown(IDCANCEL) && !shown(IDNO));
            texts.push_back(box.text);
            close_box(box.hwnd);
        });
        click(L"butSysMessage");
        EXPECT_EQ(watcher.close_all(), 0);
    }
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0].ends_with(L"\r\n")) << texts[0];  // as the system's texts end

    // ?: the about window, its ways out of the process stood in for.
    const FrmAbout::Links saved = FrmAbout::links();
    FrmAbout::links().connected = [] { return false; };
    FrmAbout::links().scroll = [](IDispatch*, const std::wstring&) { return 0L; };
    click(L"butAbout");
    auto& about = forms::predeclared<FrmAbout>();
    EXPECT_TRUE(about.loaded() && IsWindowVisible(about.hwnd()));
    if (about.loaded()) about.unload();
    FrmAbout::links() = saved;
}

TEST_F(Diagnostics, FindFormMatchesEveryChosenPropertyAndIgnoresCaseOnRequest) {
    ComPtr<forms::Form> a = forms::make<forms::Form>(), b = forms::make<forms::Form>();
    a->set_name(L"frmAlpha");
    b->set_name(L"frmBeta");
    a->load();
    b->load();
    a->set_tag(L"frmBeta");
    b->set_tag(L"frmBeta");
    IDispatch* all = &forms::forms_collection();
    auto find = [&](const wchar_t* text, long in, bool exact, long* error, ComPtr<IDispatch>* frm) {
        FormOption by = static_cast<FormOption>(in);
        VARIANT_BOOL ex = exact ? VARIANT_TRUE : VARIANT_FALSE;
        long r = 0;
        shared<_Forms>()->Find_Form(&all, Bstr(text).get(), &by, frm->put(), &ex, error, &r);
        return r;
    };
    long error = 0;
    ComPtr<IDispatch> frm;
    long base = forms::forms_collection().count() - 2;
    EXPECT_EQ(find(L"frmBeta", ffFormName | ffFormTag, true, &error, &frm), base + 1);
    EXPECT_EQ(frm.get(), static_cast<IDispatch*>(b.get()));
    EXPECT_EQ(find(L"FRMALPHA", ffFormName, true, &error, &frm), -1);
    EXPECT_EQ(frm.get(), nullptr);
    EXPECT_EQ(find(L"FRMALPHA", ffFormName, false, &error, &frm), base);
    EXPECT_EQ(frm.get(), static_cast<IDispatch*>(a.get()));
    all = nullptr;
    EXPECT_EQ(find(L"x", ffFormName, true, &error, &frm), -2);
    EXPECT_EQ(error, 91);
    EXPECT_EQ(frm.get(), nullptr);
    a->unload();
    b->unload();
}

}  // namespace
