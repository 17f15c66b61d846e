// mString: digests, the cipher, searching, cutting, wrapping, conversions and
// character tests, early-bound and late-bound.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "frame/mstring.h"
#include "frame/sha1.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;

namespace {

class MString : public ::testing::Test {
protected:
    void SetUp() override {
        disp = create(L"Quillmark.mString");
        ASSERT_TRUE(disp);
        s = disp.query<_mString>();
        ASSERT_TRUE(s);
    }
    std::wstring sha1(const std::wstring& text) {
        Bstr out;
        EXPECT_EQ(s->StringToSHA1(Bstr(text).get(), out.put()), S_OK);
        return out.str();
    }
    std::wstring crypt(const std::wstring& text, const std::wstring& password, bool encrypt) {
        Bstr out;
        HRESULT hr = encrypt ? s->Text_EnCrypt(Bstr(text).get(), Bstr(password).get(), out.put())
                             : s->Text_DeCrypt(Bstr(text).get(), Bstr(password).get(), out.put());
        EXPECT_EQ(hr, S_OK);
        return out.str();
    }
    static std::vector<std::wstring> texts(SAFEARRAY* sa) {
        std::vector<std::wstring> out;
        if (!sa) return out;
        SafeArray a = SafeArray::attach(sa, VT_BSTR);
        for (long i = a.lbound(); i <= a.ubound(); ++i) out.emplace_back(a.text(i));
        return out;
    }
    ComPtr<IDispatch> disp;
    ComPtr<_mString> s;
};

// The system's SHA-1 of the text's ANSI bytes.
std::wstring system_sha1(const std::string& bytes) {
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    EXPECT_TRUE(CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    EXPECT_TRUE(CryptCreateHash(prov, CALG_SHA1, 0, 0, &hash));
    CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0);
    BYTE digest[20];
    DWORD size = 20;
    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    CryptDestroyHash(hash);
    CryptReleaseContext(prov, 0);
    std::wstring out;
    wchar_t buf[3];
    for (BYTE b : digest) {
        swprintf(buf, 3, L"%02X", b);
        out += buf;
    }
    return out;
}

// --- SHA-1 -----------------------------------------------------------------------

TEST_F(MString, Sha1KnownVectors) {
    EXPECT_EQ(sha1(L""), L"DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");  // no bytes, not an error
    EXPECT_EQ(sha1(L"abc"), L"A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(sha1(L"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              L"84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    EXPECT_EQ(sha1(std::wstring(1000000, L'a')), L"34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

TEST_F(MString, Sha1HashesTheAnsiBytesOfAnyLength) {
    // Every padding case (55, 56, 63, 64 bytes ...), umlauts and characters
    // without an ANSI form, across the pieces the text is read in; the long
    // ones are converted ahead on another thread, the last with a short piece.
    std::wstring text;
    for (int i = 0; i < 3300007; ++i) text += static_cast<wchar_t>(i % 7 == 0 ? 0xE4 : i % 11 == 0 ? 0x20AC : 'a' + i % 26);
    for (size_t n : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u, 32767u, 32768u, 32769u, 70000u,
                     1048576u, 3300007u}) {
        std::wstring part = text.substr(0, n);
        EXPECT_EQ(sha1(part), system_sha1(qm::to_ansi(part))) << n;
    }
}

TEST(Sha1Core, ProcessorPathMatchesThePortableOne) {
    std::string data(4096, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + 7);
    for (size_t blocks : {1u, 2u, 17u, 64u}) {
        uint32_t h[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
        qm::sha1_blocks_portable(h, reinterpret_cast<const unsigned char*>(data.data()), blocks);
        qm::Sha1 sha;
        sha.update(data.data(), blocks * 64);
        // Finishing adds one padding block; compare through the same padding.
        uint32_t expected[5];
        std::copy(h, h + 5, expected);
        unsigned char pad[64] = {0x80};
        uint64_t bits = blocks * 512;
        for (int i = 0; i < 8; ++i) pad[63 - i] = static_cast<unsigned char>(bits >> (8 * i));
        qm::sha1_blocks_portable(expected, pad, 1);
        auto got = sha.finish();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(got[i], expected[i]) << blocks;
    }
}

// --- the cipher --------------------------------------------------------------------

TEST_F(MString, CipherFixedVectorsAndWrap) {
    // key("x") = 120 + 13 = 133: a 97+133+1, b 98+133+4, c 99+133+9.
    EXPECT_EQ(crypt(L"abc", L"x", true), L"\u00E7\u00EB\u00F1");
    // key("zz") = 270: 122 + 270 + 1 = 393, brought down by 255 to 138 (S with caron).
    EXPECT_EQ(crypt(L"z", L"zz", true), L"\u0160");
    EXPECT_EQ(crypt(L"\u0160", L"zz", false), L"z");
    EXPECT_EQ(crypt(L"", L"pw", true), L"");
}

TEST_F(MString, CipherRoundTripsEveryCodeAndLongTexts) {
    std::wstring all;
    for (int code = 1; code < 256; ++code) all += qm::from_ansi(std::string(1, static_cast<char>(code)));
    for (const wchar_t* pw : {L"", L"secret", L"\u00E4\u00F6\u00FC"}) {
        std::wstring enc = crypt(all, pw, true);
        EXPECT_NE(enc, all);
        EXPECT_EQ(crypt(enc, pw, false), all) << pw;
        EXPECT_NE(crypt(enc, L"other", false), all);
    }
    // Code 0 comes back as 255: both are the same modulo 255.
    EXPECT_EQ(crypt(crypt(std::wstring(1, L'\0'), L"k", true), L"k", false), qm::from_ansi("\xFF"));

    // Far beyond position 46,341, where i² alone leaves the Long range: the
    // results stay those of the plain formula.
    std::wstring text(120000, L'q');
    std::wstring enc = crypt(text, L"pw", true);
    ASSERT_EQ(enc.size(), text.size());
    long long key = ('p' + 13) + ('w' + 13);
    for (long long i : {1LL, 46340LL, 46341LL, 100000LL, 120000LL}) {
        long long v = 'q' + key + i * i;
        while (v > 255) v -= 255LL * ((v - 256) / 255 + 1);
        EXPECT_EQ(enc[i - 1], qm::from_ansi(std::string(1, static_cast<char>(v)))[0]) << i;
    }
    EXPECT_EQ(crypt(enc, L"pw", false), text);
}

// --- checksum and hex dump -----------------------------------------------------------

TEST_F(MString, CheckSumAddsLowBytes) {
    auto sum = [&](const std::wstring& text) {
        Bstr str(text), out;
        BSTR variable = str.get();
        long err = -1;
        EXPECT_EQ(s->CheckSum(&variable, &err, out.put()), S_OK);
        EXPECT_EQ(err, 0);
        EXPECT_EQ(variable, str.get());  // the caller's text is not changed
        EXPECT_EQ(str.str(), text);
        return out.str();
    };
    EXPECT_EQ(sum(L"A"), L"65");
    EXPECT_EQ(sum(L""), L"0");
    EXPECT_EQ(sum(L"\u0141"), L"65");   // only the low byte counts
    EXPECT_EQ(sum(L"\u00FF\u0002"), L"1");  // modulo 256
    std::wstring big(100003, L'\0');
    unsigned expected = 0;
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<wchar_t>(i * 40503u);
        expected = (expected + (big[i] & 0xFF)) & 0xFF;
    }
    EXPECT_EQ(sum(big), std::to_wstring(expected));
}

TEST_F(MString, HexBlocksArePaddedToTheirWidth) {
    auto hex = [&](const std::wstring& text, BYTEINFO width) {
        Variant out;
        EXPECT_EQ(s->Str_ToHex(Bstr(text).get(), &width, out.put()), S_OK);
        return out;
    };
    Variant v = hex(L"abc", bi8BYTEHEX);
    ASSERT_EQ(v.vt(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(v.get()), L"61 62 63 20 20 20 20 20");
    v = hex(L"abc", bi16BYTEHEX);
    std::wstring sixteen = L"61 62 63";
    for (int i = 0; i < 13; ++i) sixteen += L" 20";
    EXPECT_STREQ(V_BSTR(v.get()), sixteen.c_str());
    EXPECT_STREQ(V_BSTR(hex(L"\t\u00E4AAAAAA", bi8BYTEHEX).get()), L"9 E4 41 41 41 41 41 41");
    EXPECT_STREQ(V_BSTR(hex(L"", bi8BYTEHEX).get()), L"");
    EXPECT_EQ(hex(L"abc", static_cast<BYTEINFO>(2)).vt(), VT_EMPTY);
}

// --- counting, cutting, searching -----------------------------------------------------

TEST_F(MString, StringCountExactAndWholeWords) {
    auto count = [&](const wchar_t* text, const wchar_t* find, bool exact, bool whole, long* err) {
        long n = -1;
        EXPECT_EQ(s->StringCount(Bstr(text).get(), Bstr(find).get(), exact ? VARIANT_TRUE : VARIANT_FALSE,
                                 whole ? VARIANT_TRUE : VARIANT_FALSE, err, &n),
                  S_OK);
        return n;
    };
    long err = -1;
    EXPECT_EQ(count(L"a a", L"a", true, true, &err), 1);  // the shared blank counts once
    EXPECT_EQ(count(L"Abc abc", L"abc", false, false, &err), 2);
    EXPECT_EQ(count(L"Abc abc", L"abc", true, false, &err), 1);
    EXPECT_EQ(count(L"aaaa", L"aa", true, false, &err), 2);  // no overlap
    EXPECT_EQ(err, 0);
    EXPECT_EQ(count(L"", L"", true, false, &err), 0);
    EXPECT_EQ(count(L"abc", L"", true, false, &err), 0);
    EXPECT_EQ(err, qm::err::DivisionByZero);
}

TEST_F(MString, StrCutFirstLastAndAll) {
    auto cut = [&](const wchar_t* text, const wchar_t* what, bool right, bool all) {
        Bstr out;
        long err = -1;
        EXPECT_EQ(s->Str_Cut(Bstr(text).get(), *v_str(what).get(), right ? VARIANT_TRUE : VARIANT_FALSE,
                             all ? VARIANT_TRUE : VARIANT_FALSE, &err, out.put()),
                  S_OK);
        EXPECT_EQ(err, 0);
        return out.str();
    };
    EXPECT_EQ(cut(L"a-b-c", L"-", true, false), L"a-bc");
    EXPECT_EQ(cut(L"a-b-c", L"-", false, false), L"ab-c");
    EXPECT_EQ(cut(L"a-b-c", L"-", false, true), L"abc");
    EXPECT_EQ(cut(L"abc", L"x", false, false), L"");
    EXPECT_EQ(cut(L"abc", L"x", false, true), L"abc");
    EXPECT_EQ(cut(L"aaa", L"aa", true, false), L"a");  // the last hit scanning without overlap is at 1
    // A number to cut is taken as its text.
    Bstr out;
    EXPECT_EQ(s->Str_Cut(Bstr(L"a12b").get(), *v_long(12).get(), VARIANT_FALSE, VARIANT_FALSE, nullptr, out.put()),
              S_OK);
    EXPECT_EQ(out.str(), L"ab");
}

TEST_F(MString, InStrOccurrences) {
    auto find = [&](const wchar_t* text, const wchar_t* what, long pos, bool exact = true) {
        Bstr f(what);
        BSTR variable = f.get();
        long r = -1;
        EXPECT_EQ(s->InStr(Bstr(text).get(), &variable, static_cast<InStrPosition>(pos),
                           exact ? VARIANT_TRUE : VARIANT_FALSE, &r),
                  S_OK);
        EXPECT_EQ(variable, f.get());  // the caller's search text stays as it was
        EXPECT_EQ(f.str(), what);
        return r;
    };
    // An empty search text is hit again where the scan goes on: every hit is the
    // first one, and there is no last one.
    const struct {
        const wchar_t *text, *what;
        long pos;
        bool exact;
        long found;
    } cases[] = {{L"abcabc", L"bc", 2, true, 5},      {L"abcabc", L"bc", itLast, true, 5},
                 {L"abcabc", L"bc", itFIRST, true, 2}, {L"abcabc", L"bc", 3, true, 0},
                 {L"abc", L"x", 1, true, 0},           {L"abc", L"a", 0, true, 0},
                 {L"aaaa", L"aa", 2, true, 3},         {L"x\u00C4BC", L"\u00E4b", itFIRST, false, 2},
                 {L"xABC", L"Ab", itFIRST, true, 0},   {L"abc", L"", 2, true, 1},
                 {L"abc", L"", itFIRST, true, 1},      {L"abc", L"", itLast, true, 0}};
    for (const auto& c : cases) EXPECT_EQ(find(c.text, c.what, c.pos, c.exact), c.found) << c.text << " " << c.pos;
}

TEST_F(MString, InStrLeavesTheClientsVariableAlone) {
    Variant text = v_str(L"ABC"), what = v_str(L"B"), result;
    VARIANT by_ref = v_ref(what);
    ASSERT_EQ(call(disp.get(), L"InStr", {text.get(), &by_ref, v_long(-1).get(), v_bool(false).get()}, result.get()),
              S_OK);
    EXPECT_EQ(V_I4(result.get()), 2);
    ASSERT_EQ(what.vt(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(what.get()), L"B");
}

TEST_F(MString, InStrRevFindsTheLastOccurrence) {
    auto rfind = [&](const wchar_t* text, const wchar_t* what, long pos = itFIRST, bool exact = true) {
        long r = -1;
        EXPECT_EQ(s->InStrRev(Bstr(text).get(), Bstr(what).get(), static_cast<InStrPosition>(pos),
                              exact ? VARIANT_TRUE : VARIANT_FALSE, &r),
                  S_OK);
        return r;
    };
    // Positions count from the right end to the occurrence's last character.
    const std::tuple<const wchar_t*, const wchar_t*, long, bool, long> cases[] = {
        {L"C:\\dir\\file.txt", L"\\", itFIRST, true, 9}, {L"abcabc", L"bc", itFIRST, true, 1},
        {L"abcabcx", L"bc", itFIRST, true, 2},        {L"abcabcx", L"bc", 2, true, 5},
        {L"abcabcx", L"bc", itLast, true, 5},         {L"abcabcx", L"cb", itFIRST, true, 0},
        {L"xBCx", L"bc", itFIRST, false, 2}};
    for (auto [text, what, pos, exact, found] : cases) EXPECT_EQ(rfind(text, what, pos, exact), found) << text << pos;
}

// --- lines, wrapping, arrays -------------------------------------------------------------

TEST_F(MString, LinesAndArrays) {
    long n = -1;
    EXPECT_EQ(s->LineCount(Bstr(L"").get(), &n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(s->LineCount(Bstr(L"a\r\nb\r\n").get(), &n), S_OK);
    EXPECT_EQ(n, 3);
    Bstr line;
    EXPECT_EQ(s->Get_Line(Bstr(L"a\r\nb").get(), 2, line.put()), S_OK);
    EXPECT_EQ(line.str(), L"b");
    EXPECT_EQ(s->Get_Line(Bstr(L"a\r\nb").get(), 3, line.put()), S_OK);
    EXPECT_EQ(line.str(), L"");
    EXPECT_EQ(s->Get_Line(Bstr(L"a").get(), 0, line.put()), HRESULT(0x800A0009));

    // ToArray: CRLF when the separator is left out, late-bound as a client calls it.
    Variant result;
    ASSERT_EQ(call(disp.get(), L"ToArray", {v_str(L"a\r\nb;c").get()}, result.get()), S_OK);
    ASSERT_EQ(result.vt(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(texts(SafeArray::copy(V_ARRAY(result.get()), VT_BSTR).detach()),
              (std::vector<std::wstring>{L"a", L"b;c"}));
    ASSERT_EQ(call(disp.get(), L"ToArray", {v_str(L"a\r\nb;c").get(), v_str(L";").get()}, result.get()), S_OK);
    EXPECT_EQ(texts(SafeArray::copy(V_ARRAY(result.get()), VT_BSTR).detach()),
              (std::vector<std::wstring>{L"a\r\nb", L"c"}));
    ASSERT_EQ(call(disp.get(), L"ToArray", {v_str(L"").get()}, result.get()), S_OK);
    SafeArray none = SafeArray::copy(V_ARRAY(result.get()), VT_BSTR);
    EXPECT_TRUE(none.dimensioned());
    EXPECT_EQ(none.ubound(), -1);
}

TEST_F(MString, SSplitWrapsLines) {
    auto wrap = [&](const std::wstring& text, long width) {
        SAFEARRAY* sa = nullptr;
        EXPECT_EQ(s->sSplit(Bstr(text).get(), width, &sa), S_OK);
        return texts(sa);
    };
    EXPECT_TRUE(wrap(L"", 10).empty());
    EXPECT_EQ(wrap(L"abc\r\nde", 2), (std::vector<std::wstring>{L"ab", L"c", L"", L"de"}));
    std::vector<std::wstring> pieces = wrap(std::wstring(100, L'x'), 39);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].size(), 39u);
    EXPECT_EQ(pieces[1].size(), 39u);
    EXPECT_EQ(pieces[2].size(), 22u);
    EXPECT_EQ(wrap(L"ab\r\n", 5), (std::vector<std::wstring>{L"ab", L"", L""}));
    EXPECT_TRUE(wrap(L"abc", 0).empty());
    // 100,000 pieces, counted from 0, at once.
    SAFEARRAY* sa = nullptr;
    ASSERT_EQ(s->sSplit(Bstr(std::wstring(100000, L'x')).get(), 1, &sa), S_OK);
    SafeArray many = SafeArray::attach(sa, VT_BSTR);
    EXPECT_EQ(many.lbound(), 0);
    EXPECT_EQ(many.ubound(), 99999);
}

TEST_F(MString, CharacterArrays) {
    SAFEARRAY* sa = nullptr;
    EXPECT_EQ(s->Str_toCHR(Bstr(L"A\u00E4").get(), &sa), S_OK);
    EXPECT_EQ(texts(sa), (std::vector<std::wstring>{L"A", L"\u00E4"}));
    EXPECT_EQ(s->Str_toASC(Bstr(L"A\u00E4").get(), &sa), S_OK);
    EXPECT_EQ(texts(sa), (std::vector<std::wstring>{L"65", L"228"}));
    EXPECT_EQ(s->Str_toCHR(Bstr(L"").get(), &sa), HRESULT(0x800A0009));
    EXPECT_EQ(s->Str_toASC(Bstr(L"").get(), &sa), HRESULT(0x800A0009));

    long err = -1;
    EXPECT_EQ(s->StringToByte(Bstr(L"A\u00E4").get(), &err, &sa), S_OK);
    EXPECT_EQ(err, 0);
    {
        SafeArray bytes = SafeArray::attach(sa, VT_UI1);
        ASSERT_EQ(bytes.count(), 2);
        EXPECT_EQ(bytes.at<BYTE>(0), 65);
        EXPECT_EQ(bytes.at<BYTE>(1), 0xE4);
    }
    EXPECT_EQ(s->StringToByte(Bstr(L"").get(), &err, &sa), S_OK);
    EXPECT_EQ(err, qm::err::SubscriptOutOfRange);
    EXPECT_EQ(sa, nullptr);

    EXPECT_EQ(s->StringToBin(Bstr(L"A\t").get(), &err, &sa), S_OK);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(texts(sa), (std::vector<std::wstring>{L"1000001", L"1001"}));
    EXPECT_EQ(s->StringToBin(Bstr(L"").get(), &err, &sa), S_OK);
    EXPECT_EQ(sa, nullptr);
}

TEST_F(MString, CodePagesReverseAndCompare) {
    Bstr out;
    // The German OEM code page holds ä at 0x84, which the Western ANSI page shows as „.
    EXPECT_EQ(s->Str_toASCII(Bstr(L"\u00E4").get(), out.put()), S_OK);
    std::wstring oem = out.str();
    EXPECT_EQ(oem, qm::from_ansi(qm::to_oem(L"\u00E4")));
    EXPECT_EQ(s->Str_toANSI(Bstr(oem).get(), out.put()), S_OK);
    EXPECT_EQ(out.str(), L"\u00E4");
    // The translation works on the text's ANSI bytes: a character that the target
    // page lacks becomes a character of that page, never one of the other page.
    // OEM 0xC4 is a box-drawing line, which the ANSI page does not hold.
    EXPECT_EQ(s->Str_toANSI(Bstr(qm::from_ansi("\xC4")).get(), out.put()), S_OK);
    ASSERT_EQ(out.length(), 1u);
    EXPECT_NE(out.str(), qm::from_oem("\xC4"));
    EXPECT_EQ(qm::from_ansi(qm::to_ansi(out.str())), out.str());
    EXPECT_EQ(s->Str_toASCII(Bstr(L"\u2500").get(), out.put()), S_OK);
    EXPECT_NE(out.str(), qm::from_ansi("\xC4"));
    Bstr via_ansi;
    EXPECT_EQ(s->Str_toASCII(Bstr(qm::from_ansi(qm::to_ansi(L"\u2500"))).get(), via_ansi.put()), S_OK);
    EXPECT_EQ(out.str(), via_ansi.str());
    EXPECT_EQ(s->Str_Reverse(Bstr(L"abc").get(), out.put()), S_OK);
    EXPECT_EQ(out.str(), L"cba");
    VARIANT_BOOL same = VARIANT_TRUE;
    EXPECT_EQ(s->Compare(Bstr(L"a").get(), Bstr(L"A").get(), &same), S_OK);
    EXPECT_EQ(same, VARIANT_FALSE);
    EXPECT_EQ(s->Compare(Bstr(L"").get(), nullptr, &same), S_OK);
    EXPECT_EQ(same, VARIANT_TRUE);
}

// --- random texts and character tests ----------------------------------------------------

TEST_F(MString, RandomStringsDrawFromTheChosenSets) {
    Bstr out;
    ASSERT_EQ(s->Get_RandomString(5, VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE,
                                  out.put()),
              S_OK);
    ASSERT_EQ(out.length(), 5u);
    for (wchar_t c : out.view()) EXPECT_TRUE(c >= L'0' && c <= L'9');

    ASSERT_EQ(s->Get_RandomString(200, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_TRUE,
                                  out.put()),
              S_OK);
    ASSERT_EQ(out.length(), 200u);
    for (wchar_t c : out.view()) {
        EXPECT_EQ(qm::kDigits.find(c), std::wstring_view::npos);
        EXPECT_EQ(qm::kLowerLetters.find(c), std::wstring_view::npos);
        EXPECT_EQ(qm::kUpperLetters.find(c), std::wstring_view::npos);
        EXPECT_NE(c, L' ');
    }
    // Quick successive texts differ.
    Bstr again;
    s->Get_RandomString(20, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE, out.put());
    s->Get_RandomString(20, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE, again.put());
    EXPECT_NE(out.str(), again.str());

    EXPECT_EQ(s->Get_RandomString(0, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE,
                                  out.put()),
              S_OK);
    EXPECT_EQ(out.str(), L"");
    EXPECT_EQ(s->Get_RandomString(3, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE,
                                  out.put()),
              HRESULT(0x800A0005));
}

TEST_F(MString, RandomStringsTooLongForAnyTextFailAtOnce) {
    for (long length : {LONG_MAX, static_cast<long>(qm::kMaxTextLength + 1)}) {
        Bstr out;
        EXPECT_EQ(s->Get_RandomString(length, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, VARIANT_FALSE,
                                      out.put()),
                  HRESULT(0x800A000E))
            << length;
    }
}

TEST_F(MString, TypeAndClassTests) {
    auto valid = [&](const wchar_t* text, DATATYPE type, bool space = false) {
        VARIANT_BOOL r = VARIANT_FALSE;
        long err = -1;
        EXPECT_EQ(s->isValidType(Bstr(text).get(), &type, space ? VARIANT_TRUE : VARIANT_FALSE, &err, &r), S_OK);
        EXPECT_EQ(err, 0);
        return r != VARIANT_FALSE;
    };
    EXPECT_TRUE(valid(L"\u00C4bc", dtALPHA));
    EXPECT_FALSE(valid(L"ab1", dtALPHA));
    EXPECT_FALSE(valid(L"a b", dtALPHA));
    EXPECT_TRUE(valid(L"a b", dtALPHA, true));
    EXPECT_TRUE(valid(L"12,5", dtNUMERIC));
    EXPECT_FALSE(valid(L"abc", dtNUMERIC));
    EXPECT_TRUE(valid(L"31.12.2024", dtDATE));
    EXPECT_FALSE(valid(L"31.02.2024", dtDATE));
    EXPECT_FALSE(valid(L"2024-12-31", dtDATE));
    EXPECT_TRUE(valid(L"anything", dtLONG));

    auto alpha = [&](const wchar_t* text, const wchar_t* allowed) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(s->IsAlphaOnly(Bstr(text).get(), Bstr(allowed).get(), &r), S_OK);
        return r != VARIANT_FALSE;
    };
    auto num = [&](const wchar_t* text, const wchar_t* allowed) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(s->IsNumOnly(Bstr(text).get(), Bstr(allowed).get(), &r), S_OK);
        return r != VARIANT_FALSE;
    };
    EXPECT_TRUE(alpha(L"\u00C4b\u00FC", L""));
    EXPECT_FALSE(alpha(L"", L""));
    EXPECT_FALSE(alpha(L"ab-", L""));
    EXPECT_TRUE(alpha(L"ab-", L"-"));
    EXPECT_TRUE(num(L"0123", L""));
    EXPECT_FALSE(num(L"1,5", L""));
    EXPECT_TRUE(num(L"1,5", L","));
    EXPECT_FALSE(num(L"", L"1"));
}

}  // namespace
