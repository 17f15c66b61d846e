// Multimedia: ID3v1 and ID3v2 tags read into the caller's records, from C++
// through the interface and through IDispatch.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "id3_tags.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;
namespace tags = qmtest::tagbytes;

namespace {

constexpr GUID kId3v2Info = {0x79A04EB8, 0xC6A5, 0x4E5F, {0x80, 0x4C, 0xF7, 0x26, 0x52, 0x9A, 0x2D, 0x4D}};

std::wstring str(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : L"<null>"; }
// Bytes as the ANSI code page (1252 here) gives them.
std::wstring wide(const std::string& bytes) {
    std::wstring w;
    for (unsigned char c : bytes) w += static_cast<wchar_t>(c);
    return w;
}

// A v2 record whose fields all hold sentinels, freed at the end.
struct V2Record : ID3V2TAGINFO {
    V2Record() : ID3V2TAGINFO{} {
        for (BSTR* f : texts()) *f = SysAllocString(L"alt");
        TagLength = PlayCounter = Track = Length = UnknownFrames = 77;
    }
    ~V2Record() {
        for (BSTR* f : texts()) SysFreeString(*f);
    }
    std::array<BSTR*, 16> texts() {
        return {&Version,  &Encoder, &Link,    &Copyright, &OriginalArtist, &Composer, &Genre,    &Comment,
                &Year,     &Album,   &Artist,  &Title,     &Language,       &MediaType, &Publisher,
                &DecodingSoftware};
    }
};

struct V1Record : ID3V1TAGINFO {
    V1Record() : ID3V1TAGINFO{} {
        for (BSTR* f : texts()) *f = SysAllocString(L"alt");
    }
    ~V1Record() {
        for (BSTR* f : texts()) SysFreeString(*f);
    }
    std::array<BSTR*, 6> texts() { return {&Songname, &Artist, &Album, &Year, &Comment, &Genre}; }
};

class TagsTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.Multimedia");
        ASSERT_TRUE(disp_);
        mm_ = disp_.query<_Multimedia>();
        ASSERT_TRUE(mm_);
    }
    std::wstring file(const std::string& bytes, const wchar_t* suffix = L"") {
        std::wstring path = scratch() + L"tag " + test_name() + suffix + L".mp3";
        write_bytes(path, bytes);
        return path;
    }
    bool v1(const std::wstring& path, ID3V1TAGINFO& rec, long& error) {
        VARIANT_BOOL ok = 0;
        EXPECT_EQ(mm_->MP3_ReadID3v1Tag(Bstr(path).get(), &rec, &error, &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    bool v2(const std::wstring& path, ID3V2TAGINFO& rec, long& error) {
        VARIANT_BOOL ok = 0;
        EXPECT_EQ(mm_->MP3_ReadID3v2Tag(Bstr(path).get(), &rec, &error, &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    ComPtr<IDispatch> disp_;
    ComPtr<_Multimedia> mm_;
};

const std::string kAudio(3000, '\xFF');

TEST_F(TagsTest, V1Fields) {
    V1Record r;
    long error = 77;
    ASSERT_TRUE(v1(file(kAudio + tags::v1("Titel", '\0')), r, error));
    EXPECT_EQ(str(r.Songname), wide(tags::fixed("Titel", 30, '\0')));  // NULs stay
    EXPECT_EQ(str(r.Artist), L"Interpret");                            // blanks go
    EXPECT_EQ(str(r.Album), L"Album");
    EXPECT_EQ(str(r.Year), L"1999");
    EXPECT_EQ(str(r.Comment), wide(tags::fixed("Kommentar", 30, '\0')));
    EXPECT_EQ(str(r.Genre), L"17");
    EXPECT_EQ(error, 77);  // written only on an error

    for (auto [genre, text] : {std::pair{'\0', L"0"}, {' ', L"32"}, {'\xFF', L"255"}}) {
        ASSERT_TRUE(v1(file(tags::v1("Lied  ", ' ', genre)), r, error));
        EXPECT_EQ(str(r.Genre), text);
        EXPECT_EQ(str(r.Songname), L"Lied");
    }
}

TEST_F(TagsTest, V1WithoutTagOrTooShort) {
    ErrorLog errors;

    V1Record r;
    long error = 77;
    EXPECT_FALSE(v1(file(kAudio + tags::v1("Titel", ' ', 17, "tag")), r, error));
    EXPECT_EQ(str(r.Songname), L"alt");
    EXPECT_EQ(error, 77);
    EXPECT_FALSE(v1(scratch() + L"tag fehlt.mp3", r, error));  // missing: no error
    const std::wstring locked = file(kAudio + tags::v1("x"), L" locked");
    HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(v1(locked, r, error));
    CloseHandle(h);
    EXPECT_EQ(error, 77);
    EXPECT_EQ(errors.text(), "<missing>");  // nothing was reported

    for (size_t n : {0u, 3u, 127u}) {
        error = 0;
        EXPECT_FALSE(v1(file(std::string(n, 'T')), r, error));
        EXPECT_EQ(error, 63) << n;
    }
    EXPECT_NE(errors.text().find("MP3_ReadID3v1Tag"), std::string::npos);
}

TEST_F(TagsTest, V2HeaderVersionAndLength) {
    // Size bytes 0, 2, 56, 64: 40000.
    std::string body = tags::text(3, "TIT2", "Titel");
    body += std::string(40000 - body.size(), '\0');
    V2Record r;
    r.ExtendedHeader = VARIANT_TRUE;
    long error = 77;
    ASSERT_TRUE(v2(file(tags::tag(3, body) + kAudio), r, error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(r.TagLength, 40000);
    EXPECT_EQ(str(r.Version), L" 3.0");
    EXPECT_EQ(str(r.Title), L"Titel");
    EXPECT_EQ(r.UnknownFrames, 0);  // padding is no frame
    EXPECT_EQ(r.ExtendedHeader, VARIANT_TRUE);  // never set back
    EXPECT_EQ(str(r.Artist), L"alt");

    ASSERT_TRUE(v2(file(tags::tag(4, tags::text(4, "TIT2", "Vier")), L"4"), r, error));
    EXPECT_EQ(str(r.Version), L" 4.0");
    V2Record untouched;
    EXPECT_FALSE(v2(file(tags::tag(5, tags::text(4, "TIT2", "Fuenf")), L"5"), untouched, error));
    EXPECT_EQ(str(untouched.Version), L"alt");
    EXPECT_EQ(error, 0);
    // The first "ID3" counts, wherever it stands.
    ASSERT_TRUE(v2(file("xyz" + tags::tag(3, tags::text(3, "TALB", "Mitte")), L"mitte"), r, error));
    EXPECT_EQ(str(r.Album), L"Mitte");
    EXPECT_FALSE(v2(file("ID3\x09" + tags::tag(3, tags::text(3, "TALB", "spaet")), L"bad"), r, error));
}

TEST_F(TagsTest, V2Frames) {
    const std::string body = tags::text(3, "TIT2", "Erster") + tags::text(3, "TRCK", "3/12") +
                             tags::text(3, "TIT2", "Zweiter") +
                             tags::frame(3, "TPE1", std::string("\x01\xFF\xFE" "a\0", 5)) +
                             tags::text(3, "COMM", std::string("deu\0Kurz\0Text", 13)) + tags::text(3, "PCNT", "42") +
                             tags::frame(3, "XYZW", "?") + tags::text(3, "TLEN", "215000") +
                             tags::frame(3, "TPUB", "") + std::string(100, '\0');
    V2Record r;
    long error = 0;
    ASSERT_TRUE(v2(file(tags::tag(3, body)), r, error));
    EXPECT_EQ(str(r.Title), L"Zweiter");
    EXPECT_EQ(r.Track, 3);
    EXPECT_EQ(str(r.Artist), wide(std::string("\x01\xFF\xFE" "a\0", 5)));  // not decoded
    EXPECT_EQ(str(r.Comment), wide(std::string("deu\0Kurz\0Text", 13)));
    EXPECT_EQ(r.PlayCounter, 42);
    EXPECT_EQ(r.Length, 215000);
    EXPECT_EQ(str(r.Publisher), L"");
    EXPECT_EQ(r.UnknownFrames, 1);

    // Version 2.2: its own identifiers; no Publisher, Link, PlayCounter or Length.
    V2Record r2;
    const std::string body2 = tags::text(2, "TT2", "Alt") + tags::text(2, "TP1", "Band") +
                              tags::text(2, "TPB", "x") + tags::text(2, "TLE", "9");
    ASSERT_TRUE(v2(file(tags::tag(2, body2), L"22"), r2, error));
    EXPECT_EQ(str(r2.Title), L"Alt");
    EXPECT_EQ(str(r2.Artist), L"Band");
    EXPECT_EQ(str(r2.Publisher), L"alt");
    EXPECT_EQ(str(r2.Link), L"alt");
    EXPECT_EQ(r2.PlayCounter, 77);
    EXPECT_EQ(r2.Length, 77);
    EXPECT_EQ(r2.UnknownFrames, 2);
}

TEST_F(TagsTest, V2SizesAndExtendedHeaders) {
    V2Record r;
    long error = 0;
    // A picture of 40,000 bytes before the title.
    ASSERT_TRUE(v2(file(tags::tag(3, tags::frame(3, "APIC", std::string(40000, 'p')) + tags::text(3, "TIT2", "Bild"))),
                   r, error));
    EXPECT_EQ(str(r.Title), L"Bild");
    EXPECT_EQ(r.UnknownFrames, 1);
    // A 200-byte 2.4 title: its size is synchsafe.
    const std::string long_title(199, 'L');
    ASSERT_TRUE(v2(file(tags::tag(4, tags::text(4, "TIT2", long_title) + tags::text(4, "TALB", "A")), L"24"), r,
                   error));
    EXPECT_EQ(str(r.Title), wide(long_title));
    EXPECT_EQ(str(r.Album), L"A");
    // Extended headers: 2.3 gives its size without the size field, 2.4 with it.
    const std::string ext3 = tags::be32(10) + std::string(10, '\x01');
    const std::string ext4 = tags::synchsafe(12) + std::string(8, '\x01');
    for (auto [major, ext] : {std::pair{3, ext3}, {4, ext4}}) {
        V2Record e;
        ASSERT_TRUE(v2(file(tags::tag(major, ext + tags::text(major, "TIT2", "Ext"), 0x40), L"ext"), e, error));
        EXPECT_EQ(e.ExtendedHeader, VARIANT_TRUE);
        EXPECT_EQ(str(e.Title), L"Ext");
        EXPECT_EQ(e.UnknownFrames, 0);
    }
    // A frame that runs past the tag's end takes the rest; "3DI" ends the frames.
    ASSERT_TRUE(v2(file(tags::tag(3, tags::text(3, "TYER", "2001") + "3DI" + std::string(20, 'x')) + kAudio +
                         tags::text(3, "TIT2", "drin"),
                        L"3di"),
                   r, error));
    EXPECT_EQ(str(r.Year), L"2001");
    std::string cut = tags::text(3, "TCOM", "Komponist");
    cut = tags::tag(3, cut);
    cut[9] = char(cut[9] + 50);  // the header claims more than the file holds
    ASSERT_TRUE(v2(file(cut, L"cut"), r, error));
    EXPECT_EQ(str(r.Composer), L"Komponist");
}

TEST_F(TagsTest, V2ErrorsKeepWhatWasWritten) {
    V2Record r;
    long error = 0;
    const std::string body = tags::text(3, "TIT2", "vorher") + tags::text(3, "TRCK", "99999999999") +
                             tags::text(3, "TALB", "nachher");
    EXPECT_FALSE(v2(file(tags::tag(3, body)), r, error));
    EXPECT_EQ(error, 6);
    EXPECT_EQ(str(r.Title), L"vorher");
    EXPECT_EQ(str(r.Album), L"alt");
    EXPECT_EQ(r.TagLength, static_cast<long>(body.size()));
    // A header cut off before its size bytes.
    V2Record h;
    EXPECT_FALSE(v2(file(std::string("xxID3\x03\x00\x00", 8), L"kurz"), h, error));
    EXPECT_EQ(error, 5);
    EXPECT_EQ(str(h.Version), L" 3.0");
    EXPECT_EQ(h.TagLength, 77);
    error = 77;
    EXPECT_FALSE(v2(scratch() + L"tag fehlt.mp3", h, error));
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(v2(file(kAudio, L"ohne"), h, error));
}

TEST_F(TagsTest, RecordsThroughIDispatch) {
    ComPtr<IRecordInfo> info;
    ASSERT_EQ(GetRecordInfoFromGuids(LIBID_Quillmark, 1, 0, 0, kId3v2Info, info.put()), S_OK);
    Variant rec;
    V_VT(rec.get()) = VT_RECORD;
    V_RECORD(rec.get()) = info->RecordCreate();
    V_RECORDINFO(rec.get()) = info.get();
    info->AddRef();
    auto* fields = static_cast<ID3V2TAGINFO*>(V_RECORD(rec.get()));
    fields->Publisher = SysAllocString(L"bleibt");

    const std::wstring path = file(tags::tag(4, tags::text(4, "TIT2", "Spaet") + tags::text(4, "TRCK", "7")));
    Variant p = v_str(path.c_str()), error = v_long(99), result;
    VARIANT ref = v_ref(rec), error_ref = v_ref(error);
    ASSERT_EQ(call(disp_.get(), L"MP3_ReadID3v2Tag", {p.get(), &ref, &error_ref}, result.put()), S_OK);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
    fields = static_cast<ID3V2TAGINFO*>(V_RECORD(rec.get()));
    EXPECT_EQ(str(fields->Title), L"Spaet");
    EXPECT_EQ(fields->Track, 7);
    EXPECT_EQ(str(fields->Version), L" 4.0");
    EXPECT_EQ(str(fields->Publisher), L"bleibt");
    EXPECT_EQ(V_I4(error.get()), 0);
}

}  // namespace
