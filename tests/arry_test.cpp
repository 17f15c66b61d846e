// Arry: bounds, search, changes, builders, sorting and shuffling, array files and
// list transfer, called through the registered class (vtable and late binding).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "frame/arry_internal.h"
#include "frame/procedures.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;
using qmtest::v_bool;
using qmtest::exists;
using qmtest::write_bytes;

namespace {

// --- helpers ------------------------------------------------------------------------------------

Variant texts(std::initializer_list<const wchar_t*> items, long lbound = 0) {
    SafeArray a(VT_VARIANT, static_cast<long>(items.size()), lbound);
    long i = lbound;
    for (const wchar_t* t : items) a.set(i++, *v_str(t).get());
    return std::move(a).to_variant();
}
Variant longs(std::initializer_list<long> items, long lbound = 0) {
    SafeArray a(VT_VARIANT, static_cast<long>(items.size()), lbound);
    long i = lbound;
    for (long v : items) a.set(i++, *v_long(v).get());
    return std::move(a).to_variant();
}
Variant undimensioned(VARTYPE vt = VT_BSTR) { return SafeArray(vt).to_variant(); }

std::vector<std::wstring> contents(const Variant& v) { return texts_of(array_of(*v.get())); }
long lbound_of(const Variant& v) { return SafeArray::copy(array_of(*v.get())).lbound(); }

class ArryTest : public testing::Test {
protected:
    void SetUp() override {
        disp = qmtest::create(L"Quillmark.Arry");
        ASSERT_TRUE(disp);
        arry = disp.query<_Arry>();
        ASSERT_TRUE(arry);
    }
    long lbound(Variant& v, long* error = nullptr) {
        long e = -99, r = 0;
        EXPECT_EQ(arry->Get_LBound(v.get(), &e, &r), S_OK);
        if (error) *error = e;
        return r;
    }
    bool is_dim(Variant& v) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(arry->isDIM(v.get(), &r), S_OK);
        return r != VARIANT_FALSE;
    }
    long find(Variant& list, const wchar_t* what, bool exact, long* error = nullptr, long start = -1, long end = -1) {
        Variant s = v_long(start);
        VARIANT_BOOL x = exact ? VARIANT_TRUE : VARIANT_FALSE;
        long e = 0, r = 0;
        EXPECT_EQ(arry->Find(*list.get(), *v_str(what).get(), s.get(), &end, &x, &e, &r), S_OK);
        if (error) *error = e;
        return r;
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Arry> arry;
};

// --- bounds and tests --------------------------------------------------------------------------

TEST_F(ArryTest, BoundsOfArraysEmptyArraysAndOtherValues) {
    long e = 0;
    Variant none = undimensioned();
    EXPECT_EQ(lbound(none, &e), -1);
    EXPECT_EQ(e, 0);
    EXPECT_FALSE(is_dim(none));
    Variant five = v_long(5);
    EXPECT_EQ(lbound(five, &e), -2);
    EXPECT_EQ(e, 13);
    long ub = 0;
    EXPECT_EQ(arry->Get_UBound(five.get(), &e, &ub), S_OK);
    EXPECT_EQ(ub, -2);
    // An array without elements and one with a negative lower bound are dimensioned.
    Variant empty = SafeArray(VT_BSTR, 0).to_variant();
    EXPECT_TRUE(is_dim(empty));
    EXPECT_EQ(arry->Get_UBound(empty.get(), &e, &ub), S_OK);
    EXPECT_EQ(ub, -1);
    Variant negative = longs({1, 2}, -3);
    EXPECT_EQ(lbound(negative), -3);
    EXPECT_TRUE(is_dim(negative));
    VARIANT_BOOL is = VARIANT_FALSE;
    EXPECT_EQ(arry->isArray(none.get(), &is), S_OK);
    EXPECT_TRUE(is);
    EXPECT_EQ(arry->isArray(five.get(), &is), S_OK);
    EXPECT_FALSE(is);
}

// --- search and counting ------------------------------------------------------------------------

TEST_F(ArryTest, FindAndFindPhrase) {
    Variant list = texts({L"Abc", L"x"});
    EXPECT_EQ(find(list, L"abc", false), 0);
    EXPECT_EQ(find(list, L"abc", true), -1);
    EXPECT_EQ(find(list, L"X", false), 1);
    EXPECT_EQ(find(list, L"Abc", true, nullptr, 1), -1);  // the range starts at 1
    long e = 0;
    EXPECT_EQ(find(list, L"x", false, &e, 0, 5), 1);
    EXPECT_EQ(find(list, L"zz", false, &e, 0, 5), -2);  // the walk passed the end
    EXPECT_EQ(e, 9);
    // Real lower bounds: the walk starts at the array's own first index.
    Variant shifted = texts({L"a", L"b", L"\u00C4rger"}, 5);
    EXPECT_EQ(find(shifted, L"a", true), 5);
    EXPECT_EQ(find(shifted, L"\u00E4RGER", false), 7);
    Variant none = undimensioned();
    EXPECT_EQ(find(none, L"a", false, &e), -2);
    EXPECT_EQ(e, 9);

    Variant phrases = texts({L"hello world", L"world"});
    long r = 0;
    VARIANT_BOOL at_start = VARIANT_FALSE, exact = VARIANT_TRUE;
    long start = -1, end = -1;
    EXPECT_EQ(arry->FindPhrase(phrases.get(), Bstr(L"world").get(), &start, &end, &at_start, &exact, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
    at_start = VARIANT_TRUE;
    EXPECT_EQ(arry->FindPhrase(phrases.get(), Bstr(L"world").get(), &start, &end, &at_start, &exact, &e, &r), S_OK);
    EXPECT_EQ(r, 1);
    end = 0;
    EXPECT_EQ(arry->FindPhrase(phrases.get(), Bstr(L"world").get(), &start, &end, &at_start, &exact, &e, &r), S_OK);
    EXPECT_EQ(r, -1);
    at_start = VARIANT_FALSE, exact = VARIANT_FALSE, end = -1;
    EXPECT_EQ(arry->FindPhrase(phrases.get(), Bstr(L"WORLD").get(), &start, &end, &at_start, &exact, &e, &r), S_OK);
    EXPECT_EQ(r, 0);
}

TEST_F(ArryTest, FindLeavesTheCallersSearchTextAlone) {
    // Late-bound with the client's own variable, as a script passes it.
    Variant list = texts({L"x", L"ABC"});
    Variant to_find = v_str(L"ABC");
    VARIANT list_ref = qmtest::v_ref(list), find_ref = qmtest::v_ref(to_find);
    Variant result;
    Variant start = v_long(-1), end = v_long(-1), exact = v_bool(false), error = v_long(0);
    VARIANT error_ref = qmtest::v_ref(error);
    ASSERT_EQ(qmtest::call(disp.get(), L"Find", {&list_ref, &find_ref, start.get(), end.get(), exact.get(), &error_ref}, result.get()), S_OK);
    EXPECT_EQ(CLng(*error.get()), 0);
    EXPECT_EQ(CLng(*result.get()), 1);
    EXPECT_EQ(CStr(*to_find.get()), L"ABC");
    // Exist with its defaults (inexact).
    ASSERT_EQ(qmtest::call(disp.get(), L"Exist", {&list_ref, v_str(L"abc").get()}, result.get()), S_OK);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
}

TEST_F(ArryTest, CountingDuplicatesComparisonAndExtremes) {
    Variant list = texts({L"a", L"b", L"A"});
    VARIANT_BOOL exact = VARIANT_FALSE, r = VARIANT_FALSE;
    long e = 0, n = 0;
    EXPECT_EQ(arry->IsDouble(list.get(), Bstr(L"a").get(), &exact, &e, &r), S_OK);
    EXPECT_TRUE(r);
    exact = VARIANT_TRUE;
    EXPECT_EQ(arry->IsDouble(list.get(), Bstr(L"a").get(), &exact, &e, &r), S_OK);
    EXPECT_FALSE(r);
    EXPECT_EQ(arry->CountItem(list.get(), Bstr(L"A").get(), &exact, &e, &n), S_OK);
    EXPECT_EQ(n, 1);
    exact = VARIANT_FALSE;
    EXPECT_EQ(arry->CountItem(list.get(), Bstr(L"A").get(), &exact, &e, &n), S_OK);
    EXPECT_EQ(n, 2);
    Variant none = undimensioned();
    EXPECT_EQ(arry->CountItem(none.get(), Bstr(L"A").get(), &exact, &e, &n), S_OK);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(e, 9);

    // Compare: bounds and values by the runtime's comparison.
    Variant a = longs({1, 2}), b = longs({1, 2}), c = longs({1, 2}, 1), d = texts({L"1", L"2"});
    EXPECT_EQ(arry->Compare(a.get(), b.get(), &e, &r), S_OK);
    EXPECT_TRUE(r);
    EXPECT_EQ(arry->Compare(a.get(), c.get(), &e, &r), S_OK);
    EXPECT_FALSE(r);
    EXPECT_EQ(arry->Compare(a.get(), d.get(), &e, &r), S_OK);
    EXPECT_FALSE(r);  // a number and a text differ
    EXPECT_EQ(arry->Compare(a.get(), none.get(), &e, &r), S_OK);
    EXPECT_FALSE(r);
    EXPECT_EQ(e, 9);

    Variant numbers = longs({9, 10});
    Bstr value;
    EXPECT_EQ(arry->Get_MinValue(numbers.get(), value.put(), &e, &n), S_OK);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(value.view(), L"10");
    EXPECT_EQ(arry->Get_MaxValue(numbers.get(), value.put(), &e, &n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(value.view(), L"9");
    Variant ties = texts({L"b", L"a", L"b"}, 3);
    EXPECT_EQ(arry->Get_MaxValue(ties.get(), value.put(), &e, &n), S_OK);
    EXPECT_EQ(n, 3);  // the first of equal texts, at the real lower bound
    Variant blanks = texts({L"", L""});
    EXPECT_EQ(arry->Get_MaxValue(blanks.get(), value.put(), &e, &n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(value.view(), L"");
    // A refused array leaves no stale text behind in Value.
    BSTR stale = SysAllocString(L"stale");
    EXPECT_EQ(arry->Get_MaxValue(none.get(), &stale, &e, &n), S_OK);
    EXPECT_EQ(n, -2);
    EXPECT_EQ(e, 9);
    EXPECT_EQ(SysStringLen(stale), 0u);
    SysFreeString(stale);
}

// --- changing arrays ---------------------------------------------------------------------------

TEST_F(ArryTest, AddAndAddArray) {
    Variant a = longs({1, 2, 3}), b = longs({8, 9});
    arADDTO to = arADDTOINDEX;
    long r = 0;
    EXPECT_EQ(arry->AddArray(a.get(), *b.get(), &to, 1, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(contents(a), (std::vector<std::wstring>{L"1", L"8", L"9", L"2", L"3"}));
    Variant c = longs({1, 2, 3});
    EXPECT_EQ(arry->AddArray(c.get(), *b.get(), &to, 4, &r), S_OK);
    EXPECT_EQ(r, -4);
    EXPECT_EQ(contents(c), (std::vector<std::wstring>{L"1", L"2", L"3"}));
    // Add refuses a duplicate text when asked to.
    to = arTOEND;
    long index = -1;
    VARIANT_BOOL allow = VARIANT_FALSE;
    EXPECT_EQ(arry->Add(c.get(), *v_long(2).get(), &to, &index, &allow, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(arry->Add(c.get(), *v_long(4).get(), &to, &index, &allow, &r), S_OK);
    EXPECT_EQ(contents(c), (std::vector<std::wstring>{L"1", L"2", L"3", L"4"}));
    // No array to add to; nothing to add.
    Variant scalar = v_long(1);
    EXPECT_EQ(arry->AddArray(scalar.get(), *b.get(), &to, -1, &r), S_OK);
    EXPECT_EQ(r, -3);
    EXPECT_EQ(arry->AddArray(c.get(), *undimensioned().get(), &to, -1, &r), S_OK);
    EXPECT_EQ(r, 0);
    // To the end keeps a lower bound of 5; an index counts from it.
    Variant shifted = longs({1, 2}, 5);
    EXPECT_EQ(arry->AddArray(shifted.get(), *b.get(), &to, -1, &r), S_OK);
    EXPECT_EQ(lbound_of(shifted), 5);
    EXPECT_EQ(contents(shifted), (std::vector<std::wstring>{L"1", L"2", L"8", L"9"}));
    Variant mid = longs({1, 2, 3}, 5);
    to = arADDTOINDEX;
    EXPECT_EQ(arry->AddArray(mid.get(), *b.get(), &to, 6, &r), S_OK);
    EXPECT_EQ(contents(mid), (std::vector<std::wstring>{L"1", L"8", L"9", L"2", L"3"}));
    Variant front = longs({1, 2, 3}, 5);
    EXPECT_EQ(arry->AddArray(front.get(), *b.get(), &to, 5, &r), S_OK);
    EXPECT_EQ(contents(front), (std::vector<std::wstring>{L"8", L"9", L"1", L"2", L"3"}));
    // An undimensioned String variable becomes a 0-based String array.
    Variant strings = undimensioned(VT_BSTR);
    VARIANT ref = qmtest::v_ref(strings);
    to = arTOBEGIN;
    EXPECT_EQ(arry->AddArray(&ref, *b.get(), &to, -1, &r), S_OK);
    EXPECT_EQ(contents(strings), (std::vector<std::wstring>{L"8", L"9"}));
}

TEST_F(ArryTest, DeletingAndRemovingElements) {
    long r = 0;
    Variant one = texts({L"x"});
    EXPECT_EQ(arry->DeleteIndex(one.get(), 0, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(contents(one).empty());
    Variant three = texts({L"a", L"b", L"c"});
    EXPECT_EQ(arry->DeleteIndex(three.get(), 5, &r), S_OK);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(contents(three), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(arry->RemoveIndex(three.get(), 1, &r), S_OK);
    EXPECT_EQ(contents(three), (std::vector<std::wstring>{L"a", L"c"}));
    // Real lower bounds: index 6 of an array from 5 is its second element.
    Variant shifted = texts({L"a", L"b", L"c"}, 5);
    EXPECT_EQ(arry->DeleteIndex(shifted.get(), 6, &r), S_OK);
    EXPECT_EQ(contents(shifted), (std::vector<std::wstring>{L"a", L"c"}));

    Variant xs = texts({L"x"});
    VARIANT_BOOL all = VARIANT_TRUE;
    EXPECT_EQ(arry->DeleteValue(xs.get(), *v_str(L"x").get(), &all, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(contents(xs).empty());
    Variant many = texts({L"x", L"y", L"x", L"X"});
    all = VARIANT_FALSE;
    EXPECT_EQ(arry->DeleteValue(many.get(), *v_str(L"x").get(), &all, &r), S_OK);
    EXPECT_EQ(contents(many), (std::vector<std::wstring>{L"y", L"x", L"X"}));
    all = VARIANT_TRUE;
    EXPECT_EQ(arry->DeleteValue(many.get(), *v_str(L"x").get(), &all, &r), S_OK);
    EXPECT_EQ(contents(many), (std::vector<std::wstring>{L"y", L"X"}));

    Variant mixed = texts({L"b", L"", L"B", L"a", L""});
    VARIANT_BOOL exact = VARIANT_FALSE;
    EXPECT_EQ(arry->RemoveValue(mixed.get(), Bstr(L"b").get(), &exact, &r), S_OK);
    EXPECT_EQ(contents(mixed), (std::vector<std::wstring>{L"", L"a", L""}));
    EXPECT_EQ(arry->RemoveEmpty(mixed.get(), &r), S_OK);
    EXPECT_EQ(contents(mixed), (std::vector<std::wstring>{L"a"}));

    Variant doubles = texts({L"b", L"a", L"B"});
    EXPECT_EQ(arry->RemoveDouble(doubles.get(), &exact, &r), S_OK);
    EXPECT_EQ(contents(doubles), (std::vector<std::wstring>{L"b", L"a"}));
    // The result is always a 0-based Variant array, also when nothing was double.
    SafeArray shifted_strings(VT_BSTR, 2, 3);
    shifted_strings.set_text(3, L"p");
    shifted_strings.set_text(4, L"q");
    Variant distinct = std::move(shifted_strings).to_variant();
    EXPECT_EQ(arry->RemoveDouble(distinct.get(), &exact, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(distinct.vt(), VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(lbound_of(distinct), 0);
    EXPECT_EQ(contents(distinct), (std::vector<std::wstring>{L"p", L"q"}));
    // An undimensioned array is reported and stays as it was.
    Variant none = undimensioned();
    EXPECT_EQ(arry->RemoveDouble(none.get(), &exact, &r), S_OK);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(none.vt(), VT_ARRAY | VT_BSTR);
}

TEST_F(ArryTest, ReplaceAndFill) {
    Variant list = texts({L"a", L"b", L"a", L"A"});
    Bstr found_text(L"a"), with_text(L"z");
    BSTR found_raw = found_text.get(), with_raw = with_text.get();
    BSTR* found = &found_raw;
    BSTR* with = &with_raw;
    long r = 0;
    EXPECT_EQ(arry->Replace(list.get(), found, with, &r), S_OK);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(contents(list), (std::vector<std::wstring>{L"z", L"b", L"z", L"A"}));
    Variant none = undimensioned();
    EXPECT_EQ(arry->Replace(none.get(), found, with, &r), S_OK);
    EXPECT_EQ(r, 0);
    Variant five = v_long(5);
    EXPECT_NE(arry->Replace(five.get(), found, with, &r), S_OK);  // no trap: 13 reaches the client

    long from = 1, to = 2;
    EXPECT_EQ(arry->Fill(list.get(), *v_long(7).get(), &from, &to, &r), S_OK);
    EXPECT_EQ(contents(list), (std::vector<std::wstring>{L"z", L"7", L"7", L"A"}));
    from = -1;
    EXPECT_EQ(arry->Fill(list.get(), *v_str(L"q").get(), &from, &to, &r), S_OK);
    EXPECT_EQ(contents(list), (std::vector<std::wstring>{L"q", L"q", L"q", L"q"}));
    from = 2, to = 9;
    EXPECT_EQ(arry->Fill(list.get(), *v_str(L"w").get(), &from, &to, &r), S_OK);
    EXPECT_EQ(r, 9);
    EXPECT_EQ(contents(list), (std::vector<std::wstring>{L"q", L"q", L"q", L"q"}));  // nothing half done
}

// Indices near 2^31 with a negative lower bound (as VB clients dimension arrays)
// or an upper bound of 2^31 - 1: out of range is 9 with the array untouched.
TEST_F(ArryTest, FillNearTheLongLimits) {
    const struct {
        long lbound, start, end, result;
        const wchar_t* after;  // the elements' first letters afterwards
    } cases[] = {
        {-3, LONG_MAX, LONG_MAX, 9, L"abc"},
        {-3, 1, LONG_MAX, 9, L"abc"},
        {-3, -1, LONG_MAX, 0, L"xxx"},  // a start below 0 means the whole array
        {LONG_MAX - 2, LONG_MAX, LONG_MAX, 0, L"abx"},
        {LONG_MAX - 2, -1, -1, 0, L"xxx"},
        {LONG_MAX - 2, 0, LONG_MAX, 9, L"abc"},
    };
    for (const auto& c : cases) {
        Variant list = texts({L"a", L"b", L"c"}, c.lbound);
        long start = c.start, end = c.end, r = -1;
        EXPECT_EQ(arry->Fill(list.get(), *v_str(L"x").get(), &start, &end, &r), S_OK);
        EXPECT_EQ(r, c.result) << c.lbound << " " << c.start << " " << c.end;
        std::wstring letters;
        for (const std::wstring& t : contents(list)) letters += t;
        EXPECT_EQ(letters, c.after) << c.lbound << " " << c.start << " " << c.end;
    }
    // Walks over an array whose upper bound is 2^31 - 1 end there.
    Variant top = texts({L"a", L"b"}, LONG_MAX - 1);
    long e = -1;
    EXPECT_EQ(find(top, L"z", true, &e), -1);
    EXPECT_EQ(e, 0);
}

TEST_F(ArryTest, CopyAndSwapNeverLoseData) {
    long r = 0;
    Variant a = texts({L"a", L"b"}), b = longs({1, 2, 3});
    EXPECT_EQ(arry->Array_Swap(a.get(), b.get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(contents(a), (std::vector<std::wstring>{L"1", L"2", L"3"}));
    EXPECT_EQ(contents(b), (std::vector<std::wstring>{L"a", L"b"}));

    // A typed Long() variable cannot take texts: both arrays stay as they were.
    Variant numbers = long_array({5, 6}).to_variant();
    VARIANT typed;
    VariantInit(&typed);
    V_VT(&typed) = VT_BYREF | VT_ARRAY | VT_I4;
    V_ARRAYREF(&typed) = &V_ARRAY(numbers.get());
    Variant words = texts({L"x", L"y"});
    EXPECT_EQ(arry->Array_Swap(&typed, words.get(), &r), S_OK);
    EXPECT_EQ(r, 13);
    EXPECT_EQ(contents(numbers), (std::vector<std::wstring>{L"5", L"6"}));
    EXPECT_EQ(contents(words), (std::vector<std::wstring>{L"x", L"y"}));
    // Texts that are numbers convert into it.
    Variant digits = texts({L"7", L"8", L"9"});
    EXPECT_EQ(arry->Copy(digits.get(), &typed, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(array_type(*numbers.get()), VT_I4);
    EXPECT_EQ(contents(numbers), (std::vector<std::wstring>{L"7", L"8", L"9"}));
    // Copy into a Variant: a deep copy, independent of the source.
    Variant copy;
    EXPECT_EQ(arry->Copy(digits.get(), copy.get(), &r), S_OK);
    long index = 0;
    EXPECT_EQ(arry->DeleteIndex(digits.get(), index, &r), S_OK);
    EXPECT_EQ(contents(copy), (std::vector<std::wstring>{L"7", L"8", L"9"}));
}

// --- building new values ------------------------------------------------------------------------

TEST_F(ArryTest, ToStringInvertAndConvert) {
    long e = 0;
    Variant shifted = longs({1, 2, 3}, 5);
    Variant out;
    EXPECT_EQ(arry->ToString(shifted.get(), &e, out.put()), S_OK);
    EXPECT_EQ(out.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(lbound_of(out), 5);
    EXPECT_EQ(contents(out), (std::vector<std::wstring>{L"1", L"2", L"3"}));
    EXPECT_EQ(arry->Array_Invert(shifted.get(), &e, out.put()), S_OK);
    EXPECT_EQ(lbound_of(out), 0);
    EXPECT_EQ(contents(out), (std::vector<std::wstring>{L"3", L"2", L"1"}));
    Variant none = undimensioned();
    EXPECT_EQ(arry->ToString(none.get(), &e, out.put()), S_OK);
    EXPECT_EQ(out.vt(), VT_EMPTY);
    EXPECT_EQ(e, 9);

    // The runtime's conversions in the German locale: "2,5" is two and a half, rounded to even.
    Variant numbers = texts({L"1", L"2,5", L"3,5"});
    ConvertType type = coLong;
    EXPECT_EQ(arry->Convert(numbers.get(), &type, &e, out.put()), S_OK);
    EXPECT_EQ(out.vt(), VT_ARRAY | VT_I4);
    EXPECT_EQ(contents(out), (std::vector<std::wstring>{L"1", L"2", L"4"}));
    type = coDouble;
    EXPECT_EQ(arry->Convert(numbers.get(), &type, &e, out.put()), S_OK);
    EXPECT_EQ(out.vt(), VT_ARRAY | VT_R8);
    type = static_cast<ConvertType>(3);
    EXPECT_EQ(arry->Convert(numbers.get(), &type, &e, out.put()), S_OK);
    EXPECT_EQ(out.vt(), VT_EMPTY);
    EXPECT_EQ(e, 0);
    Variant word = texts({L"abc"});
    type = coLong;
    EXPECT_EQ(arry->Convert(word.get(), &type, &e, out.put()), S_OK);
    EXPECT_EQ(out.vt(), VT_EMPTY);
    EXPECT_EQ(e, 13);
}

TEST_F(ArryTest, SortByValueKeepsTypesAndMatchesBubbleSort) {
    long r = 0;
    VARIANT_BOOL bubble = VARIANT_TRUE;
    Variant numbers = longs({100, 20, 3});
    EXPECT_EQ(arry->Sort(numbers.get(), &bubble, &r), S_OK);
    EXPECT_EQ(r, 0);
    SafeArray sorted = SafeArray::copy(array_of(*numbers.get()));
    for (long i = 0; i < 3; ++i) EXPECT_EQ(sorted.get(i).vt(), VT_I4);
    EXPECT_EQ(contents(numbers), (std::vector<std::wstring>{L"3", L"20", L"100"}));
    // The same order as the frame's bubble sort, on mixed values with many ties,
    // and texts that differ only past their first four characters, end early or
    // hold the characters 0 and FFFF.
    std::mt19937 g(7);
    const wchar_t letters[] = {L'\0', L'a', L'b', L'\xFFFF'};
    for (int round = 0; round < 20; ++round) {
        SafeArray mixed(VT_VARIANT, 300, round - 10);
        for (long i = mixed.lbound(); i <= mixed.ubound(); ++i) {
            long v = static_cast<long>(g() % 40);
            std::wstring text(g() % 7, L'a');
            for (wchar_t& c : text) c = letters[g() % 4];
            if (g() % 3 == 0) mixed.set(i, *v_long(v).get());
            else if (g() % 2) mixed.set(i, *v_str(std::to_wstring(v).c_str()).get());
            else mixed.set(i, *Variant(text).get());
        }
        Variant ours = SafeArray(mixed).to_variant(), theirs = std::move(mixed).to_variant();
        EXPECT_EQ(arry->Sort(ours.get(), &bubble, &r), S_OK);
        ASSERT_TRUE(BubbleSort(*theirs.get()));
        SafeArray x = SafeArray::copy(array_of(*ours.get())), y = SafeArray::copy(array_of(*theirs.get()));
        ASSERT_EQ(x.lbound(), y.lbound());
        for (long i = x.lbound(); i <= x.ubound(); ++i) {
            ASSERT_EQ(x.get(i).vt(), y.get(i).vt()) << i;
            ASSERT_EQ(CStr(*x.get(i).get()), CStr(*y.get(i).get())) << i;
        }
    }
    // A value that is no array is refused and left as it was.
    Variant text = v_str(L"abc");
    EXPECT_EQ(arry->Sort(text.get(), &bubble, &r), S_OK);
    EXPECT_EQ(r, 13);
    EXPECT_EQ(CStr(*text.get()), L"abc");
    bubble = VARIANT_FALSE;
    EXPECT_EQ(arry->Sort(text.get(), &bubble, &r), S_OK);
    EXPECT_EQ(r, 13);
    EXPECT_EQ(CStr(*text.get()), L"abc");
}

TEST_F(ArryTest, SortThroughTheSortedListBox) {
    long r = 0;
    VARIANT_BOOL bubble = VARIANT_FALSE;
    SafeArray a(VT_VARIANT, 4, 3);
    a.set(3, *v_long(10).get());
    a.set(4, *v_long(9).get());
    a.set(5, *v_str(L"b").get());
    a.set(6, *v_str(L"A").get());
    Variant list = std::move(a).to_variant();
    EXPECT_EQ(arry->Sort(list.get(), &bubble, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(lbound_of(list), 0);
    EXPECT_EQ(contents(list), (std::vector<std::wstring>{L"10", L"9", L"A", L"b"}));
    EXPECT_EQ(SafeArray::copy(array_of(*list.get())).get(0).vt(), VT_BSTR);
    // Duplicates stay; a String() variable keeps its type.
    Variant strings = string_array({L"b", L"a", L"B", L"a"}).to_variant();
    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = VT_BYREF | VT_ARRAY | VT_BSTR;
    V_ARRAYREF(&ref) = &V_ARRAY(strings.get());
    EXPECT_EQ(arry->Sort(&ref, &bubble, &r), S_OK);
    EXPECT_EQ(array_type(*strings.get()), VT_BSTR);
    std::vector<std::wstring> got = contents(strings);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], L"a");
    EXPECT_EQ(got[1], L"a");
    EXPECT_TRUE(got[2] == L"b" || got[2] == L"B");
    // Nothing to sort: an undimensioned array stays undimensioned, and an array
    // without elements comes back from the empty list undimensioned.
    Variant none = undimensioned();
    EXPECT_EQ(arry->Sort(none.get(), &bubble, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(array_of(*none.get()), nullptr);
    Variant empty = SafeArray(VT_VARIANT, 0).to_variant();
    EXPECT_EQ(arry->Sort(empty.get(), &bubble, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(array_of(*empty.get()), nullptr);
    // Two dimensions cannot pass through the list: refused, nothing lost.
    SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
    Variant grid;
    V_VT(grid.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(grid.get()) = SafeArrayCreate(VT_VARIANT, 2, two);
    EXPECT_EQ(arry->Sort(grid.get(), &bubble, &r), S_OK);
    EXPECT_EQ(r, 9);
    ASSERT_NE(array_of(*grid.get()), nullptr);
    EXPECT_EQ(SafeArrayGetDim(array_of(*grid.get())), 2u);
}

// Texts handed to the sorted list box in the planned order leave it exactly as
// adding them in the array's order does, equal texts of other case included;
// Sort gives that order. Random texts with many ties, and one large tie.
TEST_F(ArryTest, SortThroughTheListBoxKeepsTheBoxsOwnOrder) {
    ComPtr<forms::Form> host = forms::make<forms::Form>();
    host->load();
    forms::ListBox& box = host->add<forms::ListBox>(L"Box");
    box.set_sorted(true);
    auto box_order = [&](const std::vector<std::wstring>& texts, const std::vector<uint32_t>* order) {
        box.clear();
        for (size_t k = 0; k < texts.size(); ++k) box.add_item(texts[order ? (*order)[k] : k]);
        std::vector<std::wstring> got;
        for (long i = 0; i < box.list_count(); ++i) got.push_back(box.list(i));
        return got;
    };
    std::mt19937 random(62);
    auto draw = [&](const std::wstring& letters, size_t count, size_t longest) {
        std::vector<std::wstring> texts(count);
        for (auto& t : texts) {
            t.resize(1 + random() % longest);
            for (auto& c : t) c = letters[random() % letters.size()];
        }
        return texts;
    };
    std::vector<std::wstring> mixed = draw(L"aAbBäÄ12", 3000, 3), one_tie = draw(L"oO", 2500, 1);
    mixed[7] = std::wstring(L"ab\0c", 4);  // the box keeps a text up to its null character
    for (const auto& texts : {mixed, one_tie}) {
        const std::vector<std::wstring> plain = box_order(texts, nullptr);
        std::vector<std::wstring> kept = texts;
        for (auto& t : kept) t.resize(std::wcslen(t.c_str()));
        arry::BoxOrder order;
        ASSERT_TRUE(arry::plan_box_order(kept, static_cast<LCID>(SendMessageW(box.hwnd(), LB_GETLOCALE, 0, 0)), order));
        std::vector<std::wstring> expected;
        for (uint32_t i : order.expected) expected.push_back(kept[i]);
        EXPECT_EQ(expected, plain);
        EXPECT_EQ(box_order(kept, &order.feed), plain);
        SafeArray a(VT_VARIANT, static_cast<long>(texts.size()));
        for (long i = 0; i < static_cast<long>(texts.size()); ++i) a.set(i, *Variant(texts[static_cast<size_t>(i)]).get());
        Variant list = std::move(a).to_variant();
        long r = -1;
        VARIANT_BOOL bubble = VARIANT_FALSE;
        EXPECT_EQ(arry->Sort(list.get(), &bubble, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(contents(list), plain);
    }
    host->unload();
}

TEST_F(ArryTest, ShuffleIsUniformAndKeepsTheElements) {
    long r = 0;
    std::map<std::wstring, int> orders;
    int first_at[4] = {};
    const int runs = 12000;
    for (int run = 0; run < runs; ++run) {
        Variant list = longs({1, 2, 3, 4});
        ASSERT_EQ(arry->Shuffle(list.get(), &r), S_OK);
        ASSERT_EQ(r, 0);
        std::vector<std::wstring> c = contents(list);
        std::wstring key;
        for (auto& s : c) key += s;
        ++orders[key];
        ++first_at[std::find(c.begin(), c.end(), L"1") - c.begin()];
    }
    // Every order occurs, each near 500 times; the first element lands anywhere.
    EXPECT_EQ(orders.size(), 24u);
    for (auto& [order, count] : orders) EXPECT_GT(count, 300) << std::string(order.begin(), order.end());
    for (int count : first_at) EXPECT_GT(count, 2400);
    // Types and bounds stay; the values are a permutation.
    Variant shifted = longs({1, 2, 3, 4, 5, 6}, 4);
    EXPECT_EQ(arry->Shuffle(shifted.get(), &r), S_OK);
    EXPECT_EQ(lbound_of(shifted), 4);
    std::vector<std::wstring> c = contents(shifted);
    std::sort(c.begin(), c.end());
    EXPECT_EQ(c, (std::vector<std::wstring>{L"1", L"2", L"3", L"4", L"5", L"6"}));
    Variant none = undimensioned();
    EXPECT_EQ(arry->Shuffle(none.get(), &r), S_OK);
    EXPECT_EQ(r, 9);
}

// --- array files --------------------------------------------------------------------------------

TEST_F(ArryTest, TextFilesRoundTrip) {
    const std::wstring path = qmtest::scratch() + L"arry_lines.txt";
    long r = -1, e = -1;
    Variant ab = texts({L"a", L"b"});
    EXPECT_EQ(arry->Array_WriteToFile(ab.get(), Bstr(path).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(qmtest::read_bytes(path), "a\r\nb\r\n");
    SAFEARRAY* read = nullptr;
    EXPECT_EQ(arry->Array_ReadFromFile(Bstr(path).get(), &e, &read), S_OK);
    EXPECT_EQ(e, 0);
    Variant back = Variant::array(read, VT_BSTR);
    EXPECT_EQ(contents(back), (std::vector<std::wstring>{L"a", L"b"}));

    Variant trailing = texts({L"a", L""});
    EXPECT_EQ(arry->Array_WriteToFile(trailing.get(), Bstr(path).get(), &r), S_OK);
    EXPECT_EQ(arry->Array_ReadFromFile(Bstr(path).get(), &e, &read), S_OK);
    back = Variant::array(read, VT_BSTR);
    EXPECT_EQ(contents(back), (std::vector<std::wstring>{L"a", L""}));

    Variant blank = texts({L""});
    EXPECT_EQ(arry->Array_WriteToFile(blank.get(), Bstr(path).get(), &r), S_OK);
    EXPECT_EQ(qmtest::read_bytes(path), "\r\n");
    EXPECT_EQ(arry->Array_ReadFromFile(Bstr(path).get(), &e, &read), S_OK);
    back = Variant::array(read, VT_BSTR);
    ASSERT_NE(array_of(*back.get()), nullptr);
    EXPECT_TRUE(contents(back).empty());

    Variant numbers = longs({1, -2});
    EXPECT_EQ(arry->Array_WriteToFile(numbers.get(), Bstr(path).get(), &r), S_OK);
    EXPECT_EQ(arry->Array_ReadFromFile(Bstr(path).get(), &e, &read), S_OK);
    back = Variant::array(read, VT_BSTR);
    EXPECT_EQ(back.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(contents(back), (std::vector<std::wstring>{L"1", L"-2"}));

    // Nothing to write leaves the file alone; a missing file reads as -1.
    Variant none = undimensioned();
    EXPECT_EQ(arry->Array_WriteToFile(none.get(), Bstr(path).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(qmtest::read_bytes(path), "1\r\n-2\r\n");
    EXPECT_EQ(arry->Array_ReadFromFile(Bstr(qmtest::scratch() + L"arry_none.txt").get(), &e, &read), S_OK);
    EXPECT_EQ(e, -1);
    EXPECT_EQ(read, nullptr);
}

TEST_F(ArryTest, TextFileKeepsOldContentWhenAnElementFails) {
    const std::wstring path = qmtest::scratch() + L"arry_keep.txt";
    write_bytes(path, "old\r\n");
    // An element without a text (an object without a default value) fails before anything is written.
    SafeArray a(VT_VARIANT, 2);
    a.set(0, *v_str(L"new").get());
    Variant obj;
    V_VT(obj.get()) = VT_DISPATCH;
    V_DISPATCH(obj.get()) = disp.get();
    disp->AddRef();
    a.set(1, *obj.get());
    Variant list = std::move(a).to_variant();
    long r = 0;
    EXPECT_EQ(arry->Array_WriteToFile(list.get(), Bstr(path).get(), &r), S_OK);
    EXPECT_NE(r, 0);
    EXPECT_EQ(qmtest::read_bytes(path), "old\r\n");
}

TEST_F(ArryTest, BinaryFileBytesAreTheRuntimeLayout) {
    const std::wstring path = qmtest::scratch() + L"arry_binary.dat";
    SafeArray a(VT_VARIANT, 2);
    a.set(0, *Variant(static_cast<short>(1)).get());
    a.set(1, *v_str(L"x").get());
    Variant list = std::move(a).to_variant();
    VARIANT_BOOL del = VARIANT_TRUE, ok = VARIANT_FALSE;
    long e = -1;
    EXPECT_EQ(arry->Array_SaveBinary(list.get(), Bstr(path).get(), &del, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(e, 0);
    const std::string expected("\x0C\x20\x01\x00\x02\x00\x00\x00\x00\x00\x00\x00\x02\x00\x01\x00\x08\x00\x01\x00\x78", 21);
    EXPECT_EQ(qmtest::read_bytes(path), expected);
    Variant back;
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    EXPECT_EQ(e, 0);
    ASSERT_EQ(back.vt(), VT_ARRAY | VT_VARIANT);
    SafeArray b = SafeArray::copy(array_of(*back.get()));
    EXPECT_EQ(b.lbound(), 0);
    EXPECT_EQ(b.get(0).vt(), VT_I2);
    EXPECT_EQ(CStr(*b.get(1).get()), L"x");

    // Not over an existing file when told so; over a read-only one otherwise.
    Variant other = longs({7});
    del = VARIANT_FALSE;
    EXPECT_EQ(arry->Array_SaveBinary(other.get(), Bstr(path).get(), &del, &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(qmtest::read_bytes(path), expected);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    del = VARIANT_TRUE;
    EXPECT_EQ(arry->Array_SaveBinary(other.get(), Bstr(path).get(), &del, &e, &ok), S_OK);
    EXPECT_TRUE(ok);
    EXPECT_EQ(qmtest::read_bytes(path).size(), 12u + 2 + 4);
    // A String() array with its own lower bound comes back typed and with that bound.
    SafeArray s(VT_BSTR, 2, -2);
    s.set_text(-2, L"\u00E4");
    s.set_text(-1, L"");
    Variant strings = std::move(s).to_variant();
    EXPECT_EQ(arry->Array_SaveBinary(strings.get(), Bstr(path).get(), &del, &e, &ok), S_OK);
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    ASSERT_EQ(back.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(lbound_of(back), -2);
    EXPECT_EQ(contents(back), (std::vector<std::wstring>{L"\u00E4", L""}));
}

TEST_F(ArryTest, BinaryFileFailuresKeepTheOldFile) {
    const std::wstring path = qmtest::scratch() + L"arry_binary_keep.dat";
    write_bytes(path, "previous");
    // An object has no file form (458): the old file stays, no temporary is left.
    SafeArray a(VT_VARIANT, 1);
    Variant obj;
    V_VT(obj.get()) = VT_DISPATCH;
    V_DISPATCH(obj.get()) = disp.get();
    disp->AddRef();
    a.set(0, *obj.get());
    Variant list = std::move(a).to_variant();
    VARIANT_BOOL del = VARIANT_TRUE, ok = VARIANT_TRUE;
    long e = 0;
    EXPECT_EQ(arry->Array_SaveBinary(list.get(), Bstr(path).get(), &del, &e, &ok), S_OK);
    EXPECT_FALSE(ok);
    EXPECT_EQ(e, 458);
    EXPECT_EQ(qmtest::read_bytes(path), "previous");
    WIN32_FIND_DATAW fd;
    HANDLE f = FindFirstFileW((path + L".*.tmp").c_str(), &fd);
    EXPECT_EQ(f, INVALID_HANDLE_VALUE);
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
}

TEST_F(ArryTest, DamagedBinaryFilesAreRefusedWithoutACrash) {
    const std::wstring path = qmtest::scratch() + L"arry_damaged.dat";
    Variant back;
    long e = 0;
    // A missing file is reported and not created; an empty one reads as Empty.
    const std::wstring missing = qmtest::scratch() + L"arry_missing.dat";
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(missing).get(), &e, back.put()), S_OK);
    EXPECT_EQ(e, 53);
    EXPECT_FALSE(exists(missing));
    write_bytes(path, "");
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(back.vt(), VT_EMPTY);

    const std::string good("\x0C\x20\x01\x00\x02\x00\x00\x00\x00\x00\x00\x00\x02\x00\x01\x00\x08\x00\x01\x00\x78", 21);
    // Cut short anywhere; a count of four thousand million elements; a string longer than the file.
    for (size_t cut = 1; cut < good.size(); ++cut) {
        write_bytes(path, good.substr(0, cut));
        EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
        EXPECT_NE(e, 0) << cut;
        EXPECT_EQ(back.vt(), VT_EMPTY);
    }
    std::string huge = good;
    huge[4] = huge[5] = huge[6] = huge[7] = '\xFF';
    write_bytes(path, huge);
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    EXPECT_EQ(e, 62);
    // An upper bound beyond the Long range.
    std::string beyond = good;
    beyond[8] = beyond[9] = beyond[10] = '\xFF';
    beyond[11] = '\x7F';
    write_bytes(path, beyond);
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    EXPECT_EQ(e, 62);
    EXPECT_EQ(back.vt(), VT_EMPTY);
    std::string long_text = good;
    long_text[18] = '\xFE';
    write_bytes(path, long_text);
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    EXPECT_EQ(e, 62);
    // Arrays nested a hundred thousand deep.
    std::string nested;
    for (int i = 0; i < 100000; ++i) nested += std::string("\x0C\x20\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00", 12);
    nested += std::string("\x00\x00", 2);
    write_bytes(path, nested);
    EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    EXPECT_EQ(e, 62);
    // Random damage to a larger file: any answer but a crash.
    SafeArray big(VT_VARIANT, 50);
    for (long i = 0; i < 50; ++i) big.set(i, i % 3 ? *v_str(L"text").get() : *v_long(i).get());
    Variant bigv = std::move(big).to_variant();
    VARIANT_BOOL del = VARIANT_TRUE, ok = VARIANT_FALSE;
    ASSERT_EQ(arry->Array_SaveBinary(bigv.get(), Bstr(path).get(), &del, &e, &ok), S_OK);
    const std::string original = qmtest::read_bytes(path);
    std::mt19937 g(11);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = original;
        for (int k = 0; k < 4; ++k) damaged[g() % damaged.size()] = static_cast<char>(g());
        write_bytes(path, damaged);
        EXPECT_EQ(arry->Array_ReadBinary(Bstr(path).get(), &e, back.put()), S_OK);
    }
}

// --- list transfer ------------------------------------------------------------------------------

class ListForm : public forms::Form {
protected:
    void design() override { add<forms::ListBox>(L"List1"); }
};

TEST_F(ArryTest, ListsToAndFromArrays) {
    ComPtr<ListForm> form = forms::make<ListForm>();
    form->load();
    IDispatch* box = &form->get<forms::ListBox>(L"List1");
    long r = -1;
    // An empty list leaves the array as it was.
    Variant ab = texts({L"a", L"b"});
    VARIANT_BOOL preserve = VARIANT_TRUE;
    EXPECT_EQ(arry->AddFromLBCB(&box, ab.get(), &preserve, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(contents(ab), (std::vector<std::wstring>{L"a", L"b"}));
    late::call(box, L"AddItem", {v_str(L"c")});
    EXPECT_EQ(arry->AddFromLBCB(&box, ab.get(), &preserve, &r), S_OK);
    EXPECT_EQ(contents(ab), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    preserve = VARIANT_FALSE;
    EXPECT_EQ(arry->AddFromLBCB(&box, ab.get(), &preserve, &r), S_OK);
    EXPECT_EQ(ab.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(contents(ab), (std::vector<std::wstring>{L"c"}));

    Variant items = texts({L"x", L"y", L"x"}, 5);
    VARIANT_BOOL allow = VARIANT_FALSE, clear = VARIANT_TRUE;
    EXPECT_EQ(arry->AddToLBCB(items.get(), &box, &allow, &clear, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(CLng(*late::get(box, L"ListCount").get()), 2);
    EXPECT_EQ(CStr(*late::get(box, L"List", {v_long(1)}).get()), L"y");
    form->unload();
}

}  // namespace
