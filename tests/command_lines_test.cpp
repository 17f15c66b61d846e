// Caller text in the command lines the library builds: each text one argument
// as programs read it (CommandLineToArgvW and the C runtime), each path one
// word of a batch line.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
