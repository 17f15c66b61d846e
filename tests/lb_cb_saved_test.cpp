// LB_CB: saved lists, list files and the sources that fill boxes, on boxes of the
// forms engine through the registered class; record sets from the tests'
// stand-in database objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <string>
#include <vector>

#include "lb_cb_fixture.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

using qmtest::Data;
using qmtest::Texts;

class SavedForm : public forms::Form {
protected:
    void design() override {
        add<forms::ListBox>(L"List1");
        add<forms::ComboBox>(L"Combo1");
        add<forms::ListBox>(L"List2");
        add<forms::TextBox>(L"Text1");
    }
};

class LbCbSavedTest : public qmtest::LbCbFixture<SavedForm> {
protected:
    // The files of these tests, in a folder of their own.
    static std::wstring folder() {
        const std::wstring f = qmtest::scratch() + L"lbcb\\";
        CreateDirectoryW(f.c_str(), nullptr);
        return f;
    }
    long saved(IDispatch* b, vlbCommand command, long index = 0) {
        long r = -9, e = -9;
        EXPECT_EQ(lb->vListBox(b, command, index, &e, &r), S_OK);
        EXPECT_EQ(e, 0);
        return r;
    }
    long load(IDispatch* b, const std::wstring& file, long mode) {
        long r = -9;
        EXPECT_EQ(lb->LoadFromFile(b, Bstr(file).get(), static_cast<rsCommand>(mode), &r), S_OK);
        return r;
    }
};

TEST_F(LbCbSavedTest, SavedLists) {
    fill(list(), {L"x", L"y", L"x"}, {1, 2, 3});
    const long slot = saved(list(), vlSAVE);
    EXPECT_EQ(slot, 1);
    fill(list(), {L"z"});
    EXPECT_EQ(saved(list(), vlLOAD), slot);
    EXPECT_EQ(texts(list()), (Texts{L"x", L"y", L"x"}));
    EXPECT_EQ(data(list()), (Data{1, 2, 3}));
    EXPECT_EQ(saved(combo(), vlLOAD, slot), slot);
    EXPECT_EQ(data(combo()), (Data{1, 2, 3}));

    // Nothing to load: an index past the last slot, a box never saved.
    fill(combo(), {L"keep"}, {5});
    EXPECT_EQ(saved(combo(), vlLOAD, 2), 0);
    EXPECT_EQ(saved(combo(), vlLOAD), 0);
    EXPECT_EQ(texts(combo()), Texts{L"keep"});

    // An empty box is saved as an empty list.
    fill(box(L"List2"), {});
    EXPECT_EQ(saved(box(L"List2"), vlSAVE), 2);
    fill(box(L"List2"), {L"q"});
    EXPECT_EQ(saved(box(L"List2"), vlLOAD), 2);
    EXPECT_EQ(texts(box(L"List2")), Texts{});
    EXPECT_EQ(saved(list(), vlSAVE), slot);  // by handle: the same slot again

    // Clearing drops every box's list.
    saved(combo(), vlCLEAR);
    for (IDispatch* b : {list(), box(L"List2")}) {
        fill(b, {L"after"});
        EXPECT_EQ(saved(b, vlLOAD), 0);
        EXPECT_EQ(texts(b), Texts{L"after"});
    }
    long r = 0, e = 0;
    EXPECT_EQ(lb->vListBox(nullptr, vlSAVE, 0, &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(e, 91);
}

TEST_F(LbCbSavedTest, ListFiles) {
    const std::wstring file = folder() + L"list.txt";
    long r = -1;
    fill(list(), {L"a", L"b"});
    EXPECT_EQ(lb->SaveToFile(list(), Bstr(file).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(qmtest::read_bytes(file), "a\r\nb\r\n");
    for (long mode : {asTEXT, asBINARY}) {
        fill(combo(), {L"old"});
        EXPECT_EQ(load(combo(), file, mode), 0);
        EXPECT_EQ(texts(combo()), (Texts{L"a", L"b"})) << mode;
    }
    // Unreadable: the reader's error or a mode that does not exist; the box stays.
    const std::wstring missing = folder() + L"missing.txt";
    DeleteFileW(missing.c_str());
    for (auto [path, mode, error] : {std::tuple{missing, 0L, -1L}, std::tuple{missing, 1L, -1L}, std::tuple{file, 2L, 5L}}) {
        EXPECT_EQ(load(combo(), path, mode), error) << mode;
        EXPECT_EQ(texts(combo()), (Texts{L"a", L"b"}));
    }
}

// Mutated and truncated list files: whatever the bytes, the box holds the lines
// the reader returned (each up to a NUL, which no list item can hold).
TEST_F(LbCbSavedTest, LoadFromFileFuzz) {
    ComPtr<_Text> text = qmtest::create(L"Quillmark.Text").query<_Text>();
    ComPtr<_Arry> arry = qmtest::create(L"Quillmark.Arry").query<_Arry>();
    ASSERT_TRUE(text && arry);
    const std::wstring file = folder() + L"fuzz.txt";
    const std::string seed = "alpha\r\nbeta\r\n\r\ngamma delta\r\n\xe4\xf6\xfc\r\nend\r\n";
    const char specials[] = {'\r', '\n', '\0', '\x80', '\xff', '\xe4', 'x', ' '};
    std::mt19937 random(54);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % (n ? n : 1)); };
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = seed;
        for (int edits = 1 + static_cast<int>(pick(4)); edits > 0; --edits) {
            switch (pick(4)) {
            case 0: if (!bytes.empty()) bytes[pick(bytes.size())] = specials[pick(sizeof specials)]; break;
            case 1: bytes.insert(bytes.begin() + static_cast<long>(pick(bytes.size() + 1)), specials[pick(sizeof specials)]); break;
            case 2: if (!bytes.empty()) bytes.erase(pick(bytes.size()), 1 + pick(3)); break;
            default: bytes.resize(pick(bytes.size() + 1)); break;
            }
        }
        qmtest::write_bytes(file, bytes);
        const long mode = round % 2;
        Texts expected;
        long e = 0;
        if (mode == asTEXT) {
            Bstr whole;
            ASSERT_EQ(text->TextFile_Read(Bstr(file).get(), &e, whole.put()), S_OK);
            expected = Split(whole.view(), L"\r\n");
        } else {
            SafeArray lines(VT_BSTR);
            ASSERT_EQ(arry->Array_ReadFromFile(Bstr(file).get(), &e, lines.put()), S_OK);
            expected = texts_of(lines.get());
        }
        ASSERT_EQ(e, 0);
        for (auto& line : expected) line = line.substr(0, line.find(L'\0'));
        ASSERT_EQ(load(list(), file, mode), 0) << round;
        ASSERT_EQ(texts(list()), expected) << round;
    }
}

TEST_F(LbCbSavedTest, SystemLists) {
    long r = -1;
    fill(list(), {L"keep"});
    EXPECT_EQ(lb->List(static_cast<LISTINFO>(3), list(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), Texts{L"keep"});

    ComPtr<_Misc> misc = qmtest::create(L"Quillmark.Misc").query<_Misc>();
    SafeArray fonts(VT_RECORD);
    ASSERT_EQ(misc->Get_SystemFonts(fonts.put()), S_OK);
    Texts names;
    for (long i = 0; i < fonts.count(); ++i) names.emplace_back(text_of(fonts.at<FONTINFO>(i).RegsiteredFontName));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(lb->List(liSYSTEMFONTS, list(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(names.empty());
    EXPECT_EQ(texts(list()), names);

    ComPtr<_System> system = qmtest::create(L"Quillmark.System").query<_System>();
    Variant users;
    VARIANT_BOOL all = VARIANT_TRUE;
    long e = 0;
    ASSERT_EQ(system->Get_UserList(&all, &e, users.put()), S_OK);
    names = texts_of(array_of(*users.get()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(lb->List(liUSER, combo(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(combo()), names);

    SafeArray services(VT_BSTR);
    ASSERT_EQ(system->Service_GetNames(&e, services.put()), S_OK);
    names = texts_of(services.get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(lb->List(liSERVICES, list(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(names.empty());
    EXPECT_EQ(texts(list()), names);

    // File types in the order read, unsorted.
    ComPtr<_File> file = qmtest::create(L"Quillmark.File").query<_File>();
    SafeArray types(VT_RECORD);
    ASSERT_EQ(file->Get_RegisteredFileTypes(types.put()), S_OK);
    names.clear();
    for (long i = 0; i < types.count(); ++i)
        names.emplace_back(text_of(types.at<REGISTEREDFILETYPEINFO>(types.lbound() + i).Prefix));
    EXPECT_EQ(lb->List(lsREGISTEREDFILETYPES, combo(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(combo()), names);
}

TEST_F(LbCbSavedTest, ReadDatabase) {
    const std::wstring path = folder() + qmtest::test_name() + L".mdb";
    DeleteFileW(path.c_str());
    late::call(qmtest::create(L"QuillmarkTest.Catalog").get(), L"Create", {Variant(L"Data Source=" + path)});
    ComPtr<IDispatch> cn = qmtest::create(L"QuillmarkTest.Connection");
    late::put(cn.get(), L"Properties", Variant(path), {v_str(L"Data Source")});
    late::call(cn.get(), L"Open");
    late::call(cn.get(), L"Execute", {v_str(L"CREATE TABLE t (a TEXT, b INT)")});
    late::call(cn.get(), L"Execute", {v_str(L"CREATE TABLE none (a TEXT)")});
    for (const wchar_t* row : {L"'Rome', 1", L"'rome', 2", L"'', 3", L"'Rome', 4", L"NULL, 5", L"'Oslo', 6"})
        late::call(cn.get(), L"Execute", {Variant(std::wstring(L"INSERT INTO t VALUES (") + row + L")")});
    auto records = [&](const wchar_t* table) {
        ComPtr<IDispatch> rs = qmtest::create(L"QuillmarkTest.Recordset");
        late::put(rs.get(), L"ActiveConnection", Variant(cn.get()));
        late::call(rs.get(), L"Open", {Variant(std::wstring(L"SELECT * FROM ") + table)});
        return rs;
    };
    long r = -1;
    ComPtr<IDispatch> rs = records(L"t");
    fill(list(), {L"old"});
    EXPECT_EQ(lb->ReadDatabase(list(), rs.get(), *v_str(L"a").get(), VARIANT_FALSE, VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 94);  // the Null: what came before it stays
    EXPECT_EQ(texts(list()), (Texts{L"Rome", L"rome"}));
    EXPECT_EQ(lb->ReadDatabase(combo(), rs.get(), *v_str(L"b").get(), VARIANT_TRUE, VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, 0);  // read again from the first record
    EXPECT_EQ(texts(combo()), (Texts{L"1", L"2", L"3", L"4", L"5", L"6"}));

    ComPtr<IDispatch> empty = records(L"none");
    EXPECT_EQ(lb->ReadDatabase(list(), empty.get(), *v_str(L"a").get(), VARIANT_TRUE, VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(list()), Texts{});

    // Another kind of object: nothing is touched, the record set stays where it is.
    IDispatch* text_box = box(L"Text1");
    late::put(text_box, L"Text", v_str(L"mine"));
    late::call(rs.get(), L"MoveFirst");
    late::call(rs.get(), L"MoveNext");
    EXPECT_EQ(lb->ReadDatabase(text_box, rs.get(), *v_str(L"a").get(), VARIANT_TRUE, VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(CStr(late::get(text_box, L"Text")), L"mine");
    EXPECT_EQ(CStr(late::value_of(late::get(rs.get(), L"Fields", {v_str(L"a")}))), L"rome");
}

TEST_F(LbCbSavedTest, AddFromPath) {
    const std::wstring folder = LbCbSavedTest::folder() + L"path\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    qmtest::wipe(folder);
    CreateDirectoryW((folder + L"sub").c_str(), nullptr);
    qmtest::write_bytes(folder + L"f1.txt", "1");
    qmtest::write_bytes(folder + L"f2.txt", "2");
    long r = -1;
    fill(list(), {L"first"});
    EXPECT_EQ(lb->AddFromPath(list(), Bstr(folder).get(), addFILES, VARIANT_FALSE, &r), S_OK);
    EXPECT_EQ(r, 0);
    Texts got = texts(list());
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], L"first");
    std::sort(got.begin() + 1, got.end());
    EXPECT_EQ(got[1], L"f1.txt");
    EXPECT_EQ(got[2], L"f2.txt");
    EXPECT_EQ(lb->AddFromPath(combo(), Bstr(folder).get(), addDIRS, VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(texts(combo()), Texts{L"sub"});

    // A folder that cannot be read: the reader's result, the box unchanged.
    ComPtr<_Directory> directory = qmtest::create(L"Quillmark.Directory").query<_Directory>();
    const Bstr absent(folder + L"wild*\\");
    Variant dirs, files;
    long attributes = 7, expected = 0;
    ASSERT_EQ(directory->Read(absent.get(), dirs.get(), files.get(), &attributes, &expected), S_OK);
    ASSERT_NE(expected, 0);
    EXPECT_EQ(lb->AddFromPath(combo(), absent.get(), addDIRS, VARIANT_TRUE, &r), S_OK);
    EXPECT_EQ(r, expected);
    EXPECT_EQ(texts(combo()), Texts{L"sub"});
}

}  // namespace
