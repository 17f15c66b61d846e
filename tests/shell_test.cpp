// Shell: programs started, waited for and read, all of them the tests' own
// helper program qmprog.
#include <gtest/gtest.h>

#include <string>

#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

// The helper program, and a copy of it in a folder whose name has blanks.
std::wstring helper() { return test_folder() + L"qmprog.exe"; }
std::wstring helper_with_blanks() {
    std::wstring folder = scratch() + L"mit Leerzeichen\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring copy = folder + L"qm prog.exe";
    CopyFileW(helper().c_str(), copy.c_str(), FALSE);
    return copy;
}

std::wstring in_quotes(const std::wstring& s) { return L"\"" + s + L"\""; }

void touch(const std::wstring& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
}

// A file that a timer of this thread creates: it can only appear while the
// thread's messages are being dispatched.
std::wstring g_signal;
int g_ticks = 0;
void CALLBACK on_timer(HWND, UINT, UINT_PTR id, DWORD) {
    ++g_ticks;
    touch(g_signal);
    KillTimer(nullptr, id);
}
void signal_from_timer(const std::wstring& file) {
    g_signal = file;
    g_ticks = 0;
    SetTimer(nullptr, 0, 50, on_timer);
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.Shell");
        ASSERT_TRUE(disp_);
        shell_ = disp_.query<_Shell>();
        ASSERT_TRUE(shell_);
    }
    std::wstring fresh(const wchar_t* name) {
        std::wstring f = scratch() + name;
        DeleteFileW(f.c_str());
        return f;
    }
    ComPtr<IDispatch> disp_;
    ComPtr<_Shell> shell_;
};

TEST_F(ShellTest, ExecuteOpensProgramsAndRefusesMissingDocuments) {
    BSTR path = SysAllocString(helper().c_str()), param = SysAllocString(L"exit 0");
    LONG style = SW_HIDE;
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(shell_->Execute(&path, &param, &style, &ok), S_OK);
    SysFreeString(path);
    SysFreeString(param);
    EXPECT_EQ(ok, VARIANT_TRUE);
    BSTR m = SysAllocString((scratch() + L"gibt es nicht.txt").c_str());
    ASSERT_EQ(shell_->Execute(&m, nullptr, nullptr, &ok), S_OK);
    SysFreeString(m);
    EXPECT_EQ(ok, VARIANT_FALSE);

    // Longer than the shell's open verb or a process's command line takes: refused
    // before anything starts.
    const std::wstring huge(40000, L'a');
    struct Case {
        std::wstring target;
        HRESULT error;
    } cases[] = {{std::wstring(1000, L'a'), static_cast<HRESULT>(0x800A0034)},
                 {L"http://" + std::wstring(2000, L'a'), static_cast<HRESULT>(0x800A0034)}};
    for (const Case& c : cases) {
        BSTR target = SysAllocString(c.target.c_str());
        EXPECT_EQ(shell_->Execute(&target, nullptr, nullptr, &ok), c.error);
        SysFreeString(target);
    }
    LONG waited = -1;
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(in_quotes(helper()) + L" " + huge).get(), SW_HIDE, &waited), S_OK);
    EXPECT_EQ(waited, 5);
    Bstr output;
    BSTR arguments = SysAllocString(huge.c_str());
    EXPECT_EQ(shell_->DOS_Execute(Bstr(helper()).get(), &arguments, output.put()), static_cast<HRESULT>(0x800A0005));
    SysFreeString(arguments);
}

TEST_F(ShellTest, ExecuteAndWaitWaitsWhileMessagesFlow) {
    std::wstring signal = fresh(L"ewait.sig");
    signal_from_timer(signal);
    LONG result = -1;
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(in_quotes(helper()) + L" until " + in_quotes(signal)).get(), SW_HIDE, &result),
              S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_ticks, 1);  // the timer ran during the wait, and the child saw its file

    // The exit code is not the result; 259 (the "still active" code) ends the wait too.
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(in_quotes(helper()) + L" exit 3").get(), SW_HIDE, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(in_quotes(helper()) + L" exit 259").get(), SW_HIDE, &result), S_OK);
    EXPECT_EQ(result, 0);
}

TEST_F(ShellTest, ExecuteAndWaitRunsAPathWithBlanksAndReportsMissingPrograms) {
    std::wstring copy = helper_with_blanks();
    LONG result = -1;
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(copy).get(), SW_HIDE, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(scratch() + L"fehlt\\nichts.exe").get(), SW_HIDE, &result), S_OK);
    EXPECT_EQ(result, 53);
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(helper()).get(), 5, &result), S_OK);  // no such window style
    EXPECT_EQ(result, 5);
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(helper()).get(), 7, &result), S_OK);
    EXPECT_EQ(result, 5);
    // 6: minimised without focus.
    ASSERT_EQ(shell_->ExecuteAndWait(Bstr(in_quotes(helper()) + L" exit 0").get(), 6, &result), S_OK);
    EXPECT_EQ(result, 0);

    // Late bound, the style defaults to 1.
    Variant app(in_quotes(helper()) + L" exit 0"), res;
    ASSERT_EQ(call(disp_.get(), L"ExecuteAndWait", {app.get()}, res.put()), S_OK);
    ASSERT_EQ(res.vt(), VT_I4);
    EXPECT_EQ(V_I4(res.get()), 0);
}

TEST_F(ShellTest, WaitForTaskByPath) {
    std::wstring signal = fresh(L"task.sig");
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::wstring line = in_quotes(helper()) + L" until " + in_quotes(signal);
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                               &pi));
    CloseHandle(pi.hThread);
    signal_from_timer(signal);

    std::wstring upper = helper();
    for (wchar_t& c : upper) c = towupper(c);
    BSTR path = SysAllocString(upper.c_str());
    LONG error = -1;
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(shell_->WaitForTask(&path, nullptr, &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_OBJECT_0);  // it has ended
    CloseHandle(pi.hProcess);
    std::wstring lowered = helper();
    for (wchar_t& c : lowered) c = towlower(c);
    EXPECT_EQ(Bstr::view_of(path), lowered);  // the caller's variable comes back in lower case
    SysFreeString(path);

    // A program that is not running.
    path = SysAllocString((scratch() + L"läuft nicht.exe").c_str());
    ASSERT_EQ(shell_->WaitForTask(&path, nullptr, &error, &ok), S_OK);
    SysFreeString(path);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(error, 9);
}

TEST_F(ShellTest, WaitForTaskByWindowCaption) {
    std::wstring signal = fresh(L"window.sig");
    const wchar_t caption[] = L"Quillmark Testfenster 7731";
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    std::wstring line = in_quotes(helper()) + L" window " + in_quotes(caption) + L" " + in_quotes(signal);
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    for (int i = 0; i < 500 && !FindWindowW(nullptr, caption); ++i) Sleep(20);
    ASSERT_TRUE(FindWindowW(nullptr, caption));
    signal_from_timer(signal);

    BSTR path = SysAllocString(L""), title = SysAllocString(caption);
    LONG error = -1;
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(shell_->WaitForTask(&path, &title, &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    SysFreeString(title);

    // No window with that caption: nothing to wait for.
    title = SysAllocString(L"Kein Fenster heißt so 7731");
    ASSERT_EQ(shell_->WaitForTask(&path, &title, &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(error, 0);
    SysFreeString(title);

    // Neither a path nor a caption names a program.
    ASSERT_EQ(shell_->WaitForTask(&path, nullptr, &error, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(error, 5);
    SysFreeString(path);
}

TEST_F(ShellTest, DosExecuteReturnsTheFirstOutput) {
    Bstr out;
    BSTR param = SysAllocString(L"\"  Hallo Welt  \"");
    ASSERT_EQ(shell_->DOS_Execute(Bstr(helper() + L" print").get(), &param, out.put()), S_OK);
    SysFreeString(param);
    EXPECT_EQ(out.str(), L"Hallo Welt");

    // A path with blanks, given without quotes.
    param = SysAllocString(L"print Ausgabe");
    ASSERT_EQ(shell_->DOS_Execute(Bstr(helper_with_blanks()).get(), &param, out.put()), S_OK);
    SysFreeString(param);
    EXPECT_EQ(out.str(), L"Ausgabe");

    // A program that writes nothing does not keep the read waiting.
    ASSERT_EQ(shell_->DOS_Execute(Bstr(in_quotes(helper()) + L" exit 0").get(), nullptr, out.put()), S_OK);
    EXPECT_EQ(out.str(), L"");
    // Commands of the command interpreter are no programs.
    ASSERT_EQ(shell_->DOS_Execute(Bstr(L"dir").get(), nullptr, out.put()), S_OK);
    EXPECT_EQ(out.str(), L"");
}

TEST_F(ShellTest, RunAsUserReportsAFailedLogon) {
    VARIANT_BOOL ok = -1;
    ASSERT_EQ(shell_->RunAsUser(Bstr(L"qm-kein-benutzer").get(), Bstr(L"falsch").get(), Bstr(L".").get(),
                                Bstr(helper()).get(), &ok),
              S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

}  // namespace
