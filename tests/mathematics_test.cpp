// Mathematics: number bases, words, primes, byte units and number texts, through
// the vtable and late-bound.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

constexpr HRESULT runtime_error(long number) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number); }

class Mathematics : public ::testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.Mathematics");
        ASSERT_TRUE(disp);
        m = disp.query<_Mathematics>();
        ASSERT_TRUE(m);
    }
    std::wstring bin(long v) {
        Bstr s;
        EXPECT_EQ(m->DecToBin(v, s.put()), S_OK);
        return s.str();
    }
    long hex_to_dec(const wchar_t* text) {
        long r = 12345;
        Bstr t(text);
        EXPECT_EQ(m->HexToDec(t.get(), &r), S_OK) << text;
        return r;
    }
    bool prime(long n) {
        VARIANT_BOOL r = 7;
        EXPECT_EQ(m->isPrime(n, &r), S_OK);
        EXPECT_TRUE(r == VARIANT_TRUE || r == VARIANT_FALSE);
        return r == VARIANT_TRUE;
    }
    std::vector<long> primes(long num, long start = 1) {
        SAFEARRAY* sa = nullptr;
        VARIANT_BOOL progress = VARIANT_FALSE;
        EXPECT_EQ(m->ListPrimeFactors(&num, &start, &progress, &sa), S_OK);
        std::vector<long> out;
        qm::SafeArray list = qm::SafeArray::attach(sa, VT_I4);
        for (long i = 0; i < list.count(); ++i) out.push_back(list.at<long>(i));
        return out;
    }
    Variant get_num(Variant number, long before, long after, bool separate, long* error = nullptr) {
        Variant r;
        VARIANT_BOOL sep = separate ? VARIANT_TRUE : VARIANT_FALSE;
        long e = -1;
        EXPECT_EQ(m->Get_Num(*number.get(), before, after, &sep, &e, r.put()), S_OK);
        if (error) *error = e;
        return r;
    }
    std::wstring text(const Variant& v) {
        EXPECT_EQ(v.vt(), VT_BSTR);
        return v.vt() == VT_BSTR ? std::wstring(qm::text_of(V_BSTR(v.get()))) : L"";
    }
    Variant array_of(std::initializer_list<long> items) {
        std::vector<long> v(items);
        return qm::long_array(v).to_variant();
    }
    long lcd(const Variant& num, long* error = nullptr) {
        long r = 12345, e = -1;
        EXPECT_EQ(m->LowestCommonDivisor(*num.get(), &e, &r), S_OK);
        if (error) *error = e;
        return r;
    }

    ComPtr<IDispatch> disp;
    ComPtr<_Mathematics> m;
};

TEST_F(Mathematics, BinaryAndHexadecimalTexts) {
    EXPECT_EQ(bin(0), L"0");
    EXPECT_EQ(bin(1), L"1");
    EXPECT_EQ(bin(5), L"101");
    EXPECT_EQ(bin(8), L"1000");
    EXPECT_EQ(bin(2147483647), std::wstring(31, L'1'));
    // A negative number keeps only its lowest bit.
    EXPECT_EQ(bin(-5), L"1");
    EXPECT_EQ(bin(-6), L"0");

    Bstr hex;
    for (auto [number, text] : {std::pair{-1L, L"FFFFFFFF"}, std::pair{255L, L"FF"}, std::pair{0L, L"0"}}) {
        ASSERT_EQ(m->DecToHex(number, hex.put()), S_OK);
        EXPECT_EQ(hex.str(), text);
    }

    // Up to four digits are a 16-bit value, up to eight a 32-bit one; reading stops
    // at the first character that is no hexadecimal digit.
    const std::pair<const wchar_t*, long> hexes[] = {
        {L"FF", 255},           {L"ff", 255},       {L"FFFF", -1}, {L"8000", -32768}, {L"10000", 65536},
        {L"7FFFFFFF", 2147483647}, {L"FFFFFFFF", -1}, {L"1G", 1},    {L"xyz", 0},       {L"", 0}};
    for (auto [text, number] : hexes) EXPECT_EQ(hex_to_dec(text), number) << text;
}

TEST_F(Mathematics, BinToDecReadsDecimalDigitsAsBits) {
    long r = -1;
    // Other digits than 0 and 1 add their own value (12).
    const std::pair<long, long> cases[] = {{1011, 11}, {0, 0}, {1111111111, 1023}, {12, 4}};
    for (auto [digits, number] : cases) {
        ASSERT_EQ(m->BinToDec(digits, &r), S_OK);
        EXPECT_EQ(r, number) << digits;
    }
    // No error trap: a negative number reaches the client as an automation error.
    EXPECT_EQ(m->BinToDec(-101, &r), runtime_error(13));
}

TEST_F(Mathematics, WordsFollowTheLibrarysConvention) {
    long r = 0;
    ASSERT_EQ(m->LOWORD(0x12345678, &r), S_OK);
    EXPECT_EQ(r, 0x1234);
    ASSERT_EQ(m->HiWord(0x12345678, &r), S_OK);
    EXPECT_EQ(r, 0x5678);
    ASSERT_EQ(m->LOWORD(-1, &r), S_OK);
    EXPECT_EQ(r, 65535);
    ASSERT_EQ(m->HiWord(-1, &r), S_OK);
    EXPECT_EQ(r, 65535);

    ASSERT_EQ(m->DWord(1, 2, &r), S_OK);
    EXPECT_EQ(r, 0x00010002);
    ASSERT_EQ(m->DWord(-1, -1, &r), S_OK);
    EXPECT_EQ(r, -1);
    ASSERT_EQ(m->DWord(-32768, 0x1234, &r), S_OK);
    EXPECT_EQ(static_cast<unsigned long>(r), 0x80001234u);
    long back = 0;
    m->LOWORD(r, &back);
    EXPECT_EQ(back, 0x8000);
    m->HiWord(r, &back);
    EXPECT_EQ(back, 0x1234);

    // Late-bound by the exact name, which the Windows headers use as a macro.
    Variant result;
    ASSERT_EQ(call(disp.get(), L"LOWORD", {v_long(0x12345678).get()}, result.put()), S_OK);
    EXPECT_EQ(V_I4(result.get()), 0x1234);
}

TEST_F(Mathematics, PrimesByTheLibrarysConvention) {
    for (long n : {1, 2, 3, 97}) EXPECT_TRUE(prime(n)) << n;
    for (long n : {0, -7, 4, 9, 25}) EXPECT_FALSE(prime(n)) << n;
    // The largest Long and the square of the largest prime below its root: the
    // divisor search must reach the root exactly and not overflow.
    EXPECT_TRUE(prime(2147483647));
    EXPECT_FALSE(prime(46337L * 46337L));
    EXPECT_FALSE(prime(2147483645));
}

TEST_F(Mathematics, FakultaetTypesAndOverflow) {
    Variant r;
    long e = -1;
    ASSERT_EQ(m->Fakultaet(1, &e, r.put()), S_OK);
    EXPECT_EQ(r.vt(), VT_I2);
    EXPECT_EQ(V_I2(r.get()), 1);
    ASSERT_EQ(m->Fakultaet(0, &e, r.put()), S_OK);
    EXPECT_EQ(r.vt(), VT_R8);
    EXPECT_EQ(V_R8(r.get()), 1.0);
    ASSERT_EQ(m->Fakultaet(-3, &e, r.put()), S_OK);
    EXPECT_EQ(V_R8(r.get()), 1.0);
    ASSERT_EQ(m->Fakultaet(5, &e, r.put()), S_OK);
    EXPECT_EQ(V_R8(r.get()), 120.0);
    EXPECT_EQ(e, 0);
    ASSERT_EQ(m->Fakultaet(170, &e, r.put()), S_OK);
    EXPECT_TRUE(std::isfinite(V_R8(r.get())));
    // From 171 on the Double overflows: Empty and error 6, still a success to the caller.
    ASSERT_EQ(m->Fakultaet(171, &e, r.put()), S_OK);
    EXPECT_EQ(r.vt(), VT_EMPTY);
    EXPECT_EQ(e, 6);
    ASSERT_EQ(m->Fakultaet(2147483647, nullptr, r.put()), S_OK);
    EXPECT_EQ(r.vt(), VT_EMPTY);
}

TEST_F(Mathematics, QuersummeAndPi) {
    long r = 0;
    ASSERT_EQ(m->Quersumme(-123, &r), S_OK);
    EXPECT_EQ(r, -6);
    ASSERT_EQ(m->Quersumme(2147483647, &r), S_OK);
    EXPECT_EQ(r, 46);
    ASSERT_EQ(m->Quersumme(-2147483647 - 1, &r), S_OK);
    EXPECT_EQ(r, -47);
    double pi = 0;
    ASSERT_EQ(m->PI(&pi), S_OK);
    EXPECT_DOUBLE_EQ(pi, 3.141592653589793);
}

TEST_F(Mathematics, PythagFindsTheMissingSide) {
    auto pythag = [&](VARIANT a, VARIANT b, VARIANT hyp, long* error = nullptr) {
        double r = 99;
        long e = -1;
        EXPECT_EQ(m->Pythag(&a, &b, &hyp, &e, &r), S_OK);
        if (error) *error = e;
        VariantClear(&a);
        VariantClear(&b);
        VariantClear(&hyp);
        return r;
    };
    auto num = [](double d) {
        VARIANT v{};
        V_VT(&v) = VT_R8;
        V_R8(&v) = d;
        return v;
    };
    EXPECT_DOUBLE_EQ(pythag(num(3), num(4), v_missing()), 5);
    EXPECT_DOUBLE_EQ(pythag(v_missing(), num(4), num(5)), 3);
    EXPECT_DOUBLE_EQ(pythag(num(3), v_missing(), num(5)), 4);
    EXPECT_DOUBLE_EQ(pythag(num(3), v_missing(), v_missing()), -1);
    EXPECT_DOUBLE_EQ(pythag(v_missing(), v_missing(), v_missing()), -1);
    EXPECT_DOUBLE_EQ(pythag(num(3), num(4), num(5)), 0);
    // A hypotenuse shorter than the side: trapped, result 0, error 5.
    long e = 0;
    EXPECT_DOUBLE_EQ(pythag(v_missing(), num(5), num(3), &e), 0);
    EXPECT_EQ(e, 5);
    // A text that is no number: error 13.
    VARIANT word{};
    V_VT(&word) = VT_BSTR;
    V_BSTR(&word) = SysAllocString(L"drei");
    EXPECT_DOUBLE_EQ(pythag(word, num(4), v_missing(), &e), 0);
    EXPECT_EQ(e, 13);

    // Late-bound, with the sides omitted the way a client omits them.
    Variant r;
    VARIANT missing = v_missing();
    ASSERT_EQ(call(disp.get(), L"Pythag", {v_long(3).get(), v_long(4).get()}, r.put()), S_OK);
    EXPECT_DOUBLE_EQ(V_R8(r.get()), 5);
    ASSERT_EQ(call(disp.get(), L"Pythag", {&missing, v_str(L"4").get(), v_long(5).get()}, r.put()), S_OK);
    EXPECT_DOUBLE_EQ(V_R8(r.get()), 3);
}

TEST_F(Mathematics, IncrAndDecrChangeTheVariable) {
    long var = 5, step = 10;
    ASSERT_EQ(m->Incr(&var, nullptr), S_OK);
    EXPECT_EQ(var, 6);
    ASSERT_EQ(m->Incr(&var, &step), S_OK);
    EXPECT_EQ(var, 16);
    ASSERT_EQ(m->Decr(&var, &step), S_OK);
    EXPECT_EQ(var, 6);
    // An overflow reaches the client and leaves the variable as it was.
    var = 2147483647;
    EXPECT_EQ(m->Incr(&var, nullptr), runtime_error(6));
    EXPECT_EQ(var, 2147483647);
    var = -2147483647 - 1;
    EXPECT_EQ(m->Decr(&var, nullptr), runtime_error(6));

    // Late-bound: the client's variable is written back.
    Variant target = v_long(41);
    VARIANT ref = v_ref(target);
    ASSERT_EQ(call(disp.get(), L"Incr", {&ref}), S_OK);
    EXPECT_EQ(V_I4(target.get()), 42);
    ASSERT_EQ(call(disp.get(), L"Decr", {&ref, v_long(2).get()}), S_OK);
    EXPECT_EQ(V_I4(target.get()), 40);
}

TEST_F(Mathematics, ByteInfoConvertsUnits) {
    struct Info {
        Variant bytes, kilo, mega, giga;
    };
    auto info = [&](Variant bytes, BYTEISINFO is, long* error = nullptr) {
        BYTEINFOS r;
        long e = -1;
        EXPECT_EQ(m->BYTEINFO(*bytes.get(), &is, &e, &r), S_OK);
        if (error) *error = e;
        return Info{Variant::take(r.Bytes), Variant::take(r.KiloBytes), Variant::take(r.MegaBytes),
                    Variant::take(r.GigaBytes)};
    };
    auto number = [](const Variant& v) {
        Variant copy(v);
        EXPECT_EQ(VariantChangeType(copy.get(), copy.get(), 0, VT_R8), S_OK);
        return V_R8(copy.get());
    };
    // A megabyte counts 1024 * 1000 bytes; the results divide by powers of 1024.
    Info mb = info(v_long(1), biMegaBytes);
    EXPECT_EQ(number(mb.bytes), 1024000);
    EXPECT_EQ(number(mb.kilo), 1000);
    EXPECT_EQ(number(mb.mega), 0.98);
    EXPECT_EQ(number(mb.giga), 0);

    Info gb = info(v_long(3), biGigaBytes);
    EXPECT_EQ(number(gb.bytes), 3072000000.0);
    EXPECT_EQ(number(gb.giga), 2.86);

    // Halves round to even: 128 bytes are 0.125 KB, 384 bytes 0.375 KB.
    EXPECT_EQ(number(info(v_long(128), biBytes).kilo), 0.12);
    EXPECT_EQ(number(info(v_long(384), biBytes).kilo), 0.38);
    // Bytes keep their value when no unit applies.
    Info plain = info(v_str(L"2048"), biBytes);
    EXPECT_EQ(plain.bytes.vt(), VT_BSTR);
    EXPECT_EQ(number(plain.kilo), 2);

    long e = 0;
    Info bad = info(v_str(L"viel"), biKiloBytes, &e);
    EXPECT_EQ(e, 13);
    EXPECT_EQ(bad.bytes.vt(), VT_EMPTY);
    EXPECT_EQ(bad.kilo.vt(), VT_EMPTY);

    // Late-bound: the record comes back in a Variant.
    Variant r;
    Variant unit = v_long(biKiloBytes);
    VARIANT unit_ref = v_ref(unit);
    ASSERT_EQ(call(disp.get(), L"BYTEINFO", {v_long(2).get(), &unit_ref}, r.put()), S_OK);
    ASSERT_EQ(r.vt(), VT_RECORD);
    auto* rec = static_cast<BYTEINFOS*>(V_RECORD(r.get()));
    EXPECT_EQ(number(Variant(rec->Bytes)), 2048);
}

TEST_F(Mathematics, GetNumBuildsGermanFixedWidthTexts) {
    EXPECT_EQ(text(get_num(v_double(1234.5), 6, 2, true)), L"001.234,50");
    EXPECT_EQ(text(get_num(v_double(1234567.891), 0, 2, true)), L"1.234.567,89");
    EXPECT_EQ(text(get_num(v_double(1234.5), 0, 2, false)), L"1234,50");
    EXPECT_EQ(text(get_num(v_long(7), 0, 2, false)), L"7,00");
    EXPECT_EQ(text(get_num(v_long(5), 3, 0, false)), L"005");
    // Rounding to the decimals wanted, halves to even.
    EXPECT_EQ(text(get_num(v_double(2.5), 0, 0, false)), L"2");
    EXPECT_EQ(text(get_num(v_double(1234.0), 0, 0, true)), L"1.234");
    // Below one the grouped form has no digit before the comma.
    EXPECT_EQ(text(get_num(v_double(0.5), 3, 1, true)), L"000,5");
    // A German number text: points group, the comma separates the decimals.
    EXPECT_EQ(text(get_num(v_str(L"1.234,5"), 0, 1, false)), L"1234,5");
    EXPECT_EQ(text(get_num(v_str(L"12,345"), 0, 2, false)), L"12,34");

    long e = -1;
    Variant none = get_num(v_str(L"abc"), 2, 2, false, &e);
    EXPECT_EQ(none.vt(), VT_EMPTY);
    EXPECT_EQ(e, 0);
    // Negative decimals: trapped, error 5.
    none = get_num(v_long(5), 0, -1, false, &e);
    EXPECT_EQ(none.vt(), VT_EMPTY);
    EXPECT_EQ(e, 5);

    // Late-bound with SeperateNum omitted.
    Variant r;
    ASSERT_EQ(call(disp.get(), L"Get_Num", {v_double(3.14159).get(), v_long(2).get(), v_long(3).get()}, r.put()),
              S_OK);
    EXPECT_EQ(text(r), L"03,142");
}

// Zeros no text can hold are refused before any is made.
TEST_F(Mathematics, GetNumRefusesWidthsNoTextHolds) {
    const struct {
        long before, after;
    } cases[] = {{LONG_MAX, LONG_MAX}, {LONG_MAX, 0}, {0, LONG_MAX}, {1 << 30, 2}};
    for (const auto& c : cases) {
        long e = -1;
        EXPECT_EQ(get_num(v_double(1.5), c.before, c.after, false, &e).vt(), VT_EMPTY) << c.before << " " << c.after;
        EXPECT_EQ(e, 14);
    }
}

TEST_F(Mathematics, LowestCommonDivisor) {
    EXPECT_EQ(lcd(array_of({9, 15})), 3);
    EXPECT_EQ(lcd(array_of({4, 6})), 2);
    EXPECT_EQ(lcd(array_of({7, 11})), -1);
    EXPECT_EQ(lcd(array_of({21, 35, 49})), 7);
    EXPECT_EQ(lcd(array_of({25})), 5);
    // Only divisors up to the smallest element count.
    EXPECT_EQ(lcd(array_of({0, 9})), -1);
    EXPECT_EQ(lcd(array_of({-9, 15})), -1);
    // A large prime shared by all elements is found quickly.
    EXPECT_EQ(lcd(array_of({2147483647, 2147483647})), 2147483647);
    EXPECT_EQ(lcd(array_of({2147483646, 2147483645})), -1);

    // Variant elements are read as numbers.
    std::vector<Variant> items;
    items.push_back(v_str(L"9"));
    items.push_back(v_double(15));
    EXPECT_EQ(lcd(qm::variant_array(items).to_variant()), 3);

    long e = -1;
    EXPECT_EQ(lcd(v_long(9), &e), 0);
    EXPECT_EQ(e, 13);
    EXPECT_EQ(lcd(qm::SafeArray(VT_I4, 0).to_variant(), &e), 0);
    EXPECT_EQ(e, 9);
}

TEST_F(Mathematics, ListPrimeFactorsListsOddPrimesUpToHalf) {
    EXPECT_EQ(primes(30), (std::vector<long>{1, 3, 5, 7, 11, 13}));
    EXPECT_EQ(primes(30, 4), (std::vector<long>{5, 7, 11, 13}));
    EXPECT_EQ(primes(31, 13), (std::vector<long>{13}));
    EXPECT_EQ(primes(2), (std::vector<long>{1}));
    EXPECT_TRUE(primes(1).empty());
    EXPECT_TRUE(primes(30, 0).empty());
    EXPECT_TRUE(primes(-30).empty());
    EXPECT_TRUE(primes(30, 16).empty());

    // A large range agrees with isPrime number by number.
    long start = 999001;
    std::vector<long> list = primes(2004000, start);
    size_t k = 0;
    for (long i = start; i <= 1002000; ++i) {
        bool listed = k < list.size() && list[k] == i;
        EXPECT_EQ(listed, i % 2 == 1 && prime(i)) << i;
        if (listed) ++k;
    }
    EXPECT_EQ(k, list.size());

    // Up to ten million: every odd prime and 1.
    list = primes(20000000);
    EXPECT_EQ(list.size(), 664579u);
    EXPECT_EQ(list.back(), 9999991);
}

TEST_F(Mathematics, ListPrimeFactorsLateBound) {
    Variant num = v_long(30);
    VARIANT ref = v_ref(num);
    Variant r;
    ASSERT_EQ(call(disp.get(), L"ListPrimeFactors", {&ref}, r.put()), S_OK);
    ASSERT_EQ(r.vt(), VT_ARRAY | VT_I4);
    qm::SafeArray list = qm::SafeArray::copy(V_ARRAY(r.get()), VT_I4);
    ASSERT_EQ(list.count(), 6);
    EXPECT_EQ(list.at<long>(5), 13);
}

}  // namespace
