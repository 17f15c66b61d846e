// Misc's random numbers, permutations, Variant checks and conversions, swapping,
// pausing, system messages, Marlett symbols and exported-function checks.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frame/misc.h"
#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;

namespace {

constexpr HRESULT kOverflow = 0x800A0006, kOutOfMemory = 0x800A0007;

class MiscHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.Misc");
        ASSERT_TRUE(disp);
        m = disp.query<_Misc>();
        ASSERT_TRUE(m);
    }
    long rnd(long lo, long hi) {
        long out = LONG_MIN;
        EXPECT_EQ(m->Get_Randomize(lo, hi, &out), S_OK);
        return out;
    }
    std::vector<std::wstring> permutations(const wchar_t* text, bool progress = false, HRESULT expect = S_OK) {
        VARIANT_BOOL show = progress ? VARIANT_TRUE : VARIANT_FALSE;
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(m->Permutation(Bstr(text).get(), &show, &sa), expect);
        std::vector<std::wstring> out;
        if (!sa) return out;
        SafeArray a = SafeArray::attach(sa, VT_BSTR);
        EXPECT_EQ(a.lbound(), 0);
        for (long i = a.lbound(); i <= a.ubound(); ++i) out.emplace_back(a.text(i));
        return out;
    }
    bool valid_type(const VARIANT& value, long type) {
        VARIANT_BOOL out = VARIANT_FALSE;
        EXPECT_EQ(m->isValidType(value, &type, &out), S_OK);
        return out != VARIANT_FALSE;
    }
    Variant convert(const Variant& value, long type, long* error) {
        auto t = static_cast<ConvertType>(type);
        Variant out;
        *error = -1;
        EXPECT_EQ(m->Convert(*value.get(), &t, error, out.put()), S_OK);
        return out;
    }
    bool exported(const std::wstring& module, const wchar_t* function) {
        VARIANT_BOOL out = VARIANT_TRUE;
        EXPECT_EQ(m->IsFunctionExported(Bstr(module).get(), Bstr(function).get(), &out), S_OK);
        return out != VARIANT_FALSE;
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Misc> m;
};

TEST_F(MiscHelpers, RandomNumbers) {
    EXPECT_EQ(rnd(5, 5), 5);
    std::set<long> seen;
    for (int i = 0; i < 2000; ++i) {
        long v = rnd(10, 0);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 10);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 11u);

    // Quick successive calls are not equal (the source is not reseeded each time).
    std::set<long> quick;
    for (int i = 0; i < 200; ++i) quick.insert(rnd(0, 1000000));
    EXPECT_GT(quick.size(), 190u);

    // The ends come half as often as the inner values.
    long count[3] = {};
    for (int i = 0; i < 40000; ++i) ++count[rnd(0, 2)];
    double ratio = 2.0 * count[1] / (count[0] + count[2]);
    EXPECT_GT(ratio, 1.7);
    EXPECT_LT(ratio, 2.3);

    long out = 0;
    EXPECT_EQ(m->Get_Randomize(LONG_MIN, LONG_MAX, &out), kOverflow);

    bool t = false, f = false;
    for (int i = 0; i < 200 && !(t && f); ++i) {
        VARIANT_BOOL b = 1;
        ASSERT_EQ(m->Get_RandomTrueFalse(&b), S_OK);
        ASSERT_TRUE(b == VARIANT_TRUE || b == VARIANT_FALSE);
        (b ? t : f) = true;
    }
    EXPECT_TRUE(t && f);
}

TEST_F(MiscHelpers, PermutationsInWalkOrder) {
    EXPECT_EQ(permutations(L"abc"), (std::vector<std::wstring>{L"abc", L"acb", L"bac", L"cab", L"bca", L"cba"}));
    EXPECT_EQ(permutations(L"ab"), (std::vector<std::wstring>{L"ab", L"ba"}));
    EXPECT_EQ(permutations(L"aa"), (std::vector<std::wstring>{L"aa", L"aa"}));
    EXPECT_EQ(permutations(L"x"), (std::vector<std::wstring>{L"x"}));

    // "" gives a dimensioned array without elements.
    VARIANT_BOOL no = VARIANT_FALSE;
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(m->Permutation(Bstr(L"").get(), &no, &sa), S_OK);
    ASSERT_NE(sa, nullptr);
    SafeArray empty = SafeArray::attach(sa, VT_BSTR);
    EXPECT_EQ(empty.lbound(), 0);
    EXPECT_EQ(empty.ubound(), -1);

    // Texts whose orderings cannot be held are refused before any work.
    EXPECT_TRUE(permutations(L"abcdefghijklm", false, kOutOfMemory).empty());

    std::vector<std::wstring> all = permutations(L"abcdefgh");
    ASSERT_EQ(all.size(), 40320u);
    EXPECT_EQ(std::set<std::wstring>(all.begin(), all.end()).size(), 40320u);
    EXPECT_EQ(all.back(), L"hgfedcba");

    // With the progress window: the same results, and the window is gone afterwards.
    EXPECT_EQ(permutations(L"abcde", true), permutations(L"abcde"));
    EXPECT_EQ(FindWindowW(L"ThunderRT6FormDC", L"Permutation"), nullptr);

    // Late-bound with ShowProgress omitted.
    Variant out, text(L"ab");
    ASSERT_EQ(call(disp.get(), L"Permutation", {text.get()}, out.get()), S_OK);
    EXPECT_EQ(out.vt(), VT_ARRAY | VT_BSTR);
}

TEST_F(MiscHelpers, SleepAndSwap) {
    EXPECT_EQ(m->Sleep(0), S_OK);
    EXPECT_EQ(m->Sleep(-1), S_OK);  // no wait at all, not INFINITE

    // Late-bound, the caller's own variables are exchanged.
    Variant a(42L), b(L"text");
    VARIANT ra = v_ref(a), rb = v_ref(b);
    Variant result;
    ASSERT_EQ(call(disp.get(), L"VarSwap", {&ra, &rb}, result.get()), S_OK);
    EXPECT_EQ(V_I4(result.get()), 0);
    ASSERT_EQ(a.vt(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(a.get()), L"text");
    ASSERT_EQ(b.vt(), VT_I4);
    EXPECT_EQ(V_I4(b.get()), 42);

    // A typed reference takes the other value converted; what does not convert
    // leaves both untouched and gives the error number.
    long target = 1;
    VARIANT typed;
    V_VT(&typed) = VT_BYREF | VT_I4;
    V_I4REF(&typed) = &target;
    Variant number(L"12"), word(L"zwölf");
    long r = -1;
    ASSERT_EQ(m->VarSwap(&typed, number.get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(target, 12);
    ASSERT_EQ(number.vt(), VT_I4);
    EXPECT_EQ(V_I4(number.get()), 1);
    ASSERT_EQ(m->VarSwap(&typed, word.get(), &r), S_OK);
    EXPECT_EQ(r, 13);
    EXPECT_EQ(target, 12);
    EXPECT_STREQ(V_BSTR(word.get()), L"zwölf");
    // Also when the value that does not fit comes second: nothing is lost.
    ASSERT_EQ(m->VarSwap(word.get(), &typed, &r), S_OK);
    EXPECT_EQ(r, 13);
    EXPECT_EQ(target, 12);
    EXPECT_STREQ(V_BSTR(word.get()), L"zwölf");
}

TEST_F(MiscHelpers, TypeChecks) {
    SafeArray list(VT_VARIANT, 2);
    Variant array = Variant::array(list.detach());
    EXPECT_TRUE(valid_type(*array.get(), 8192));
    EXPECT_FALSE(valid_type(*Variant(5L).get(), 8192));
    EXPECT_FALSE(valid_type(*Variant(5L).get(), 9));
    Variant nothing;  // Nothing is an object reference too
    V_VT(nothing.get()) = VT_DISPATCH;
    V_DISPATCH(nothing.get()) = nullptr;
    EXPECT_TRUE(valid_type(*nothing.get(), 9));
    EXPECT_TRUE(valid_type(*Variant().get(), 0));
    EXPECT_FALSE(valid_type(*Variant(0L).get(), 0));
    EXPECT_TRUE(valid_type(*Variant::null().get(), 1));
    EXPECT_TRUE(valid_type(*Variant(L"31.12.2024").get(), 7));
    EXPECT_FALSE(valid_type(*Variant(L"31.02.2024").get(), 7));
    EXPECT_FALSE(valid_type(*Variant(L"12.13.2024").get(), 7));
    EXPECT_TRUE(valid_type(*Variant::date(qm::DateSerial(2024, 2, 29)).get(), 7));
    EXPECT_FALSE(valid_type(*Variant::date(0).get(), 7));  // the empty date reads 00:00:00
    EXPECT_FALSE(valid_type(*Variant::null().get(), 7));
    EXPECT_TRUE(valid_type(*Variant(L"12,5").get(), 14));
    EXPECT_FALSE(valid_type(*Variant(L"abc").get(), 14));
    // The other scalar types: whether the value converts.
    EXPECT_TRUE(valid_type(*Variant(L"123").get(), 3));
    EXPECT_FALSE(valid_type(*Variant(L"abc").get(), 3));
    EXPECT_FALSE(valid_type(*Variant(L"300").get(), 17));
    EXPECT_TRUE(valid_type(*Variant(L"abc").get(), 99));
}

TEST_F(MiscHelpers, Conversions) {
    long error = -1;
    Variant i = convert(Variant(L"12,5"), coInteger, &error);
    ASSERT_EQ(i.vt(), VT_I2);
    EXPECT_EQ(V_I2(i.get()), 12);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(V_I4(convert(Variant(L"13,5"), coLong, &error).get()), 14);
    EXPECT_EQ(convert(Variant(L"12,5"), 3, &error).vt(), VT_EMPTY);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(convert(Variant(L"abc"), coLong, &error).vt(), VT_EMPTY);
    EXPECT_EQ(error, 13);
    EXPECT_EQ(convert(Variant(300L), coByte, &error).vt(), VT_EMPTY);
    EXPECT_EQ(error, 6);
    EXPECT_EQ(convert(Variant::null(), coString, &error).vt(), VT_EMPTY);
    EXPECT_EQ(error, 94);
    Variant s = convert(Variant(1.5), coString, &error);
    ASSERT_EQ(s.vt(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(s.get()), L"1,5");
    Variant d = convert(Variant(L"31.12.2024"), coDate, &error);
    ASSERT_EQ(d.vt(), VT_DATE);
    EXPECT_EQ(V_DATE(d.get()), qm::DateSerial(2024, 12, 31));
    Variant same = convert(Variant(7L), coVarriant, &error);
    EXPECT_EQ(same.vt(), VT_I4);
    EXPECT_EQ(V_R8(convert(Variant(L"2,25"), coDouble, &error).get()), 2.25);
    EXPECT_EQ(V_CY(convert(Variant(L"2,5"), coCurrency, &error).get()).int64, 25000);
}

TEST_F(MiscHelpers, SystemMessagesAndSymbols) {
    wchar_t expected[200];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_FILE_NOT_FOUND, 0, expected, 200, nullptr);
    ASSERT_GT(n, 0u);
    Bstr text;
    SetLastError(ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(m->LastSystemMessage(text.put()), S_OK);
    EXPECT_EQ(text.str(), std::wstring(expected, n));

    WinSymbol close = wsSymbol_Close, down = wsArrow_Small_Down, bad = static_cast<WinSymbol>(70000);
    Bstr symbol;
    ASSERT_EQ(m->Get_WinSymbol(&close, symbol.put()), S_OK);
    EXPECT_EQ(symbol.str(), L"r");
    ASSERT_EQ(m->Get_WinSymbol(&down, symbol.put()), S_OK);
    EXPECT_EQ(symbol.str(), L"8");
    ASSERT_EQ(m->Get_WinSymbol(&bad, symbol.put()), S_OK);
    EXPECT_EQ(symbol.str(), L"");
}

TEST(MiscExports, ModulesAreReadWithoutRunningThem) {
    // In-process, so that the library's DLL itself is not loaded here.
    ComPtr<_Misc> m = ComPtr<_Misc>::attach(new qm::Misc());
    auto exported = [&](const std::wstring& module, const std::wstring& function) {
        VARIANT_BOOL out = VARIANT_TRUE;
        EXPECT_EQ(m->IsFunctionExported(Bstr(module).get(), Bstr(function).get(), &out), S_OK);
        return out != VARIANT_FALSE;
    };
    EXPECT_TRUE(exported(L"kernel32.dll", L"GetTickCount"));
    EXPECT_FALSE(exported(L"kernel32.dll", L"gettickcount"));
    EXPECT_FALSE(exported(L"kernel32.dll", L"NoSuchFunction"));
    EXPECT_FALSE(exported(L"no_such_module.dll", L"GetTickCount"));
    EXPECT_FALSE(exported(L"", L"GetTickCount"));

    // A copy of the library's DLL, which nothing here has loaded.
    std::wstring dll = scratch() + L"misc_module_copy.dll";
    ASSERT_TRUE(CopyFileW(registered_dll().c_str(), dll.c_str(), FALSE));
    ASSERT_EQ(GetModuleHandleW(dll.c_str()), nullptr);
    EXPECT_TRUE(exported(dll, L"DllGetClassObject"));
    EXPECT_TRUE(exported(dll, L"DllRegisterServer"));
    EXPECT_FALSE(exported(dll, L"DllMain"));
    EXPECT_EQ(GetModuleHandleW(dll.c_str()), nullptr);  // not left loaded

    // Export names are ANSI bytes: a fullwidth letter (best fit: the plain one) or a
    // NUL inside would name another function, loaded or read.
    const std::pair<std::wstring, std::wstring> look_alikes[] = {
        {L"kernel32.dll", L"GetTickC\uFF4Funt"},
        {L"kernel32.dll", std::wstring(L"GetTickCount\0x", 14)},
        {dll, L"DllGetClassObj\uFF45ct"},
        {dll, std::wstring(L"DllGetClassObject\0x", 19)}};
    for (const auto& [module, function] : look_alikes) EXPECT_FALSE(exported(module, function)) << function.size();

    // A file that is no module, a module cut short: False, nothing read past the end;
    // a module built for another processor cannot be loaded here: False.
    std::wstring junk = scratch() + L"misc_junk.dll", cut = scratch() + L"misc_cut.dll",
                 foreign = scratch() + L"misc_foreign.dll";
    {
        ASSERT_TRUE(CopyFileW(dll.c_str(), foreign.c_str(), FALSE));
        HANDLE f = CreateFileW(foreign.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        IMAGE_DOS_HEADER dos{};
        DWORD done = 0;
        ReadFile(f, &dos, sizeof dos, &done, nullptr);
        SetFilePointer(f, dos.e_lfanew + 4, nullptr, FILE_BEGIN);  // the file header's machine
        WORD machine = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
        WriteFile(f, &machine, sizeof machine, &done, nullptr);
        CloseHandle(f);
        HANDLE h = CreateFileW(junk.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, "MZ this is not a module", 23, &written, nullptr);
        CloseHandle(h);
        ASSERT_TRUE(CopyFileW(dll.c_str(), cut.c_str(), FALSE));
        h = CreateFileW(cut.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFilePointer(h, 1024, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
        CloseHandle(h);
    }
    EXPECT_FALSE(exported(junk, L"DllGetClassObject"));
    EXPECT_FALSE(exported(cut, L"DllGetClassObject"));
    EXPECT_FALSE(exported(foreign, L"DllGetClassObject"));
    DeleteFileW(foreign.c_str());
    DeleteFileW(junk.c_str());
    DeleteFileW(cut.c_str());
    DeleteFileW(dll.c_str());
}

}  // namespace
