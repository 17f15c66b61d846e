// Caller text in the command lines the library builds: each text one argument
// as programs read it (CommandLineToArgvW and the C runtime), each path one
// word of a batch line; and the members that start programs, with the tests'
// recorder standing in for the programs they start.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame/classes.h"
#include "frame/shared.h"
#include "runtime/interfaces.h"
#include "runtime/process.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

// The arguments a program reads from its command line "p " followed by text.
std::vector<std::wstring> read_back(const std::wstring& text) {
    int n = 0;
    LPWSTR* args = CommandLineToArgvW((L"p " + text).c_str(), &n);
    std::vector<std::wstring> out(args + 1, args + n);
    LocalFree(args);
    return out;
}

std::string utf8(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

TEST(CommandLines, EachTextIsOneArgumentAsProgramsReadIt) {
    for (const wchar_t* text : {L"", L"plain", L"a b", L"a\"b", L"\"", L"\"quoted\"", L"a\\", L"a b\\", L"a b\\\\",
                                L"a\\\"b c", L"\\\\server\\a b\\", L"tab\there", L"\uFF02 --x \uFF02"})
        EXPECT_EQ(read_back(process::argument(text)), std::vector<std::wstring>{text}) << text;

    // Paths: a path given in quotes is the path inside them; no path holds a quote.
    struct Path {
        const wchar_t* given;
        const wchar_t* read;
    } paths[] = {{L"C:\\plain\\", L"C:\\plain\\"},
                 {L"C:\\a b\\", L"C:\\a b\\"},
                 {L"\\\\s\\a b\\\\", L"\\\\s\\a b\\\\"},
                 {L"\"C:\\a b\\\"", L"C:\\a b\\"},
                 {L"\"C:\\x\"", L"C:\\x"}};
    for (const Path& p : paths) EXPECT_EQ(read_back(process::quote(p.given)), std::vector<std::wstring>{p.read}) << p.given;
    for (const wchar_t* bad : {L"C:\\a\"b", L"\"C:\\a\"b\"", L"\"C:\\a b", L"C:\\a b\"", L"\""})
        EXPECT_EQ(error_of([&] { process::quote(bad); }), 52) << bad;

    // Batch words: quoted with "%" doubled; nothing for a quote, a control
    // character or a look-alike of the code page.
    EXPECT_EQ(process::batch_word(L"C:\\a b&c%1^\u00e4"), L"\"C:\\a b&c%%1^\u00e4\"");
    for (const wchar_t* bad : {L"a\"b", L"a\r\ncalc", L"a\uFF02&calc&\uFF02", L"k\u03A9", L"\u30C7"})
        EXPECT_FALSE(process::batch_word(bad)) << bad;
}

// The recorder as net.exe and regedit.exe in the current folder, and as the
// word processor of an App Paths entry: what each member's program gets.
TEST(CommandLines, StartedProgramsGetEachCallerTextWhole) {
    ComPtr<_Office> office;
    ASSERT_EQ(find_class_by_interface(IID__Office)->create(IID__Office, office.put_void()), S_OK);
    const std::wstring folder = scratch() + L"command lines\\", log = folder + L"started.log";
    CreateDirectoryW(folder.c_str(), nullptr);
    wipe(folder);
    for (const wchar_t* name : {L"net.exe", L"regedit.exe", L"Winword.exe"})
        ASSERT_TRUE(CopyFileW((test_folder() + L"qmrecorder.exe").c_str(), (folder + name).c_str(), FALSE));
    SavedValue word(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Winword.exe",
                    L"Path");
    word.set(folder.substr(0, folder.size() - 1));
    const std::wstring key = L"Software\\QmCommandLines\\a\"b c\uFF02\\";
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &made, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(folder.c_str());
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", log.c_str());
    std::vector<Launch> expected;

    struct Send {
        const wchar_t* pc;
        const wchar_t* message;
    } sends[] = {{L"PC", L"text & more"}, {L"\\\\PC 2\\", L"say \"hi\" \\"}, {L"", L"\uFF02 --x \uFF02"}};
    for (const Send& s : sends) {
        EXPECT_EQ(shared<_Network>()->NetSend(Bstr(s.pc).get(), Bstr(s.message).get()), S_OK);
        expected.push_back({"net.exe", 0, {"send", utf8(s.pc), utf8(s.message)}});
    }

    RegRoot root = HKEY_CURRENT_USER_;
    VARIANT_BOOL exported = VARIANT_TRUE;
    const std::wstring file = folder + L"export file.reg";
    EXPECT_EQ(shared<_Registry>()->ExportKey(&root, Bstr(key).get(), Bstr(file).get(), &exported), S_OK);
    expected.push_back({"regedit.exe", 0, {"/e", "/s", utf8(file), utf8(L"HKEY_CURRENT_USER\\" + key)}});

    // A document that is not there is passed as given; one with a quote starts nothing.
    OfficeApplication app = opMSWORD;
    OfficeCommand open = oaOPENDOCUMENT;
    for (const wchar_t* document : {L"S:\\no such folder\\", L"S:\\a\"b.doc"}) {
        BSTR path = SysAllocString(document);
        Bstr done;
        EXPECT_EQ(office->OfficeApp(&app, &open, &path, done.put()), S_OK);
        SysFreeString(path);
        EXPECT_EQ(done.str(), wcschr(document, L'"') ? L"False" : L"True") << document;
    }
    expected.push_back({"winword.exe", 3, {"S:\\no such folder\\"}});

    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(recorder_launches(log, expected.size()), expected);
    SetEnvironmentVariableW(L"QM_RECORDER_LOG", nullptr);
    SetCurrentDirectoryW(before);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QmCommandLines");
}

}  // namespace
