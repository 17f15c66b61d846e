// Controls: tree-view search and tree-view files on a hosted tree view, through
// the registered class.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

Variant M() { return Variant(qmtest::v_missing()); }
ComPtr<IDispatch> obj(const Variant& v) { return late::object(*v.get()); }
std::wstring str(const Variant& v) { return CStr(*v.get()); }

class TreeTest : public testing::Test {
protected:
    void SetUp() override {
        ComPtr<IDispatch> d = qmtest::create(L"Quillmark.Controls");
        ASSERT_TRUE(d);
        controls = d.query<_Controls>();
        form = forms::make<forms::Form>();
        form->load();
        ComPtr<forms::Control> c = forms::new_control(L"TreeView");
        form->add_control(c, L"Tree1");
        tree = static_cast<IDispatch*>(c.get());
        nodes = obj(late::get(tree, L"Nodes"));
        path = qmtest::scratch() + qmtest::test_name() + L".tvw";
        DeleteFileW(path.c_str());
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    ComPtr<IDispatch> add(long parent, const wchar_t* key, const wchar_t* text) {
        return obj(late::call(nodes.get(), L"Add",
                              {parent ? v_long(parent) : M(), parent ? v_long(4) : M(), v_str(key), v_str(text)}));
    }
    ComPtr<IDispatch> node(long i) { return obj(late::get(nodes.get(), L"Item", {v_long(i)})); }
    long count() { return CLng(*late::get(nodes.get(), L"Count").get()); }
    long find(const wchar_t* what, long in, bool exact = true, long* error = nullptr) {
        long e = 0, r = 0;
        TREEVIEWINFO fi = static_cast<TREEVIEWINFO>(in);
        VARIANT_BOOL x = exact ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_EQ(controls->TreeView_Find(&tree, Bstr(what).get(), &fi, &x, &e, &r), S_OK);
        if (error) *error = e;
        return r;
    }
    long save() {
        long r = -1;
        EXPECT_EQ(controls->Treeview_Save(&tree, Bstr(path).get(), &r), S_OK);
        return r;
    }
    long load() {
        long r = -1;
        EXPECT_EQ(controls->Treeview_Load(&tree, Bstr(path).get(), &r), S_OK);
        return r;
    }
    // Every node: full path, key, tag type and text, states.
    std::wstring dump() {
        std::wstring out;
        for (long i = 1, n = count(); i <= n; ++i) {
            ComPtr<IDispatch> x = node(i);
            Variant tag = late::get(x.get(), L"Tag");
            out += str(late::get(x.get(), L"FullPath")) + L"|" + str(late::get(x.get(), L"Key")) + L"|" +
                   TypeName(*tag.get()) + L":" + (IsNull(*tag.get()) ? L"" : str(tag)) + L"|" +
                   str(late::get(x.get(), L"Expanded")) + str(late::get(x.get(), L"Selected")) +
                   str(late::get(x.get(), L"Sorted")) + L"\n";
        }
        return out;
    }
    ComPtr<_Controls> controls;
    ComPtr<forms::Form> form;
    IDispatch* tree = nullptr;
    ComPtr<IDispatch> nodes;
    std::wstring path;
};

TEST_F(TreeTest, FindByTextKeyAndTag) {
    add(0, L"k1", L"Alpha");
    add(1, L"", L"abc");
    late::put(add(1, L"K3", L"Äpfel").get(), L"Tag", v_long(5));
    struct Case {
        const wchar_t* find;
        long in;
        bool exact;
        long expected;
    } cases[] = {
        {L"abc", 0, true, -1},         {L"abc", tvTEXT, true, 2},       {L"ABC", tvTEXT, true, -1},
        {L"ABC", tvTEXT, false, 2},    {L"äPFEL", tvTEXT, false, 3},    {L"ab", tvTEXT, false, -1},
        {L"k1", tvTEXT | tvKEY, true, 1}, {L"k3", tvKEY, true, -1},     {L"k3", tvKEY, false, 3},
        {L"", tvKEY, true, 2},         {L"", tvTAG, true, 1},           {L"5", tvTAG, true, 3},
    };
    for (const Case& c : cases) EXPECT_EQ(find(c.find, c.in, c.exact), c.expected) << c.find << " " << c.in;

    VARIANT_BOOL exists = VARIANT_FALSE;
    TREEVIEWINFO fi = tvTEXT;
    long e = 0;
    EXPECT_EQ(controls->TreeView_Exist(&tree, Bstr(L"abc").get(), &fi, nullptr, &e, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_TRUE);
    EXPECT_EQ(controls->TreeView_Exist(&tree, Bstr(L"x").get(), &fi, nullptr, &e, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_FALSE);

    late::put(node(2).get(), L"Tag", Variant(qmtest::v_long(0)));
    VARIANT null{};
    null.vt = VT_NULL;
    late::put(node(2).get(), L"Tag", Variant(null));
    EXPECT_EQ(find(L"x", tvTAG, true, &e), -2);
    EXPECT_EQ(e, 94);
    IDispatch* not_a_tree = form.get();
    long r = 0;
    EXPECT_EQ(controls->TreeView_Find(&not_a_tree, Bstr(L"x").get(), &fi, nullptr, &e, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(e, 438);
    EXPECT_EQ(controls->TreeView_Exist(&not_a_tree, Bstr(L"x").get(), &fi, nullptr, &e, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_FALSE);
}

TEST_F(TreeTest, SaveAndLoadRoundTrip) {
    ComPtr<IDispatch> root = add(0, L"r", L"Wurzel ä");
    ComPtr<IDispatch> odd = add(0, L"", L"a\\b");  // a root whose text holds the separator
    ComPtr<IDispatch> mid = add(1, L"m", L"Größe");
    ComPtr<IDispatch> leaf = add(3, L"l", L"Blatt");
    add(3, L"", L"Ast");
    late::put(root.get(), L"Tag", v_str(L"Text"));
    late::put(mid.get(), L"Tag", v_long(-7));
    late::put(leaf.get(), L"Tag", qmtest::v_double(2.5));
    late::put(root.get(), L"Expanded", Variant(true));
    late::put(mid.get(), L"Sorted", Variant(true));
    late::put(leaf.get(), L"Selected", Variant(true));
    std::wstring before;
    ASSERT_EQ(qmtest::error_of([&] { before = dump(); }), 0);
    EXPECT_EQ(save(), 0);
    late::call(nodes.get(), L"Clear");
    add(0, L"x", L"other");
    EXPECT_EQ(load(), 0);
    std::wstring loaded;
    ASSERT_EQ(qmtest::error_of([&] { loaded = dump(); }), 0);
    EXPECT_EQ(loaded, before);
    EXPECT_NE(before.find(L"a\\b||Empty"), std::wstring::npos);
    EXPECT_NE(before.find(L"|Double:2,5|"), std::wstring::npos);

    // A node moved under a later node: saved after its new parent, loads whole.
    ComPtr<IDispatch> later = add(0, L"z", L"Später");
    mid = node(3);  // the loaded tree's nodes are new
    ASSERT_EQ(qmtest::error_of([&] { late::put_ref(mid.get(), L"Parent", later.get()); }), 0);
    std::wstring moved;
    ASSERT_EQ(qmtest::error_of([&] { moved = dump(); }), 0);
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(count(), 6);
    std::wstring after;
    ASSERT_EQ(qmtest::error_of([&] { after = dump(); }), 0);
    for (const wchar_t* line : {L"Später\\Größe|m|Long:-7", L"Später\\Größe\\Blatt|l|Double:2,5", L"Wurzel ä|r|String:Text"})
        EXPECT_NE(after.find(line), std::wstring::npos) << line;
    EXPECT_EQ(after.size(), moved.size());
}

// Every saved expanded state comes back, with the form hidden and shown.
TEST_F(TreeTest, LoadRestoresExpandedStates) {
    auto expanded = [&] {
        std::wstring states;
        for (long i = 1, n = count(); i <= n; ++i) states += CBool(*late::get(node(i).get(), L"Expanded").get()) ? L'1' : L'0';
        return states;
    };
    for (const bool shown : {false, true}) {
        if (shown) form->show();
        late::call(nodes.get(), L"Clear");
        add(0, L"a", L"A");
        add(1, L"b", L"B");  // expanded under an expanded parent
        add(2, L"", L"C");
        add(0, L"d", L"D");  // collapsed
        add(4, L"e", L"E");  // expanded under a collapsed parent
        add(5, L"", L"F");
        for (long i : {2, 1, 5}) late::put(node(i).get(), L"Expanded", Variant(true));
        ASSERT_EQ(expanded(), L"110010") << shown;
        const std::wstring before = dump();
        EXPECT_EQ(save(), 0);
        EXPECT_EQ(load(), 0);
        EXPECT_EQ(expanded(), L"110010") << shown;
        EXPECT_EQ(dump(), before) << shown;
    }
}

TEST_F(TreeTest, FileBytesEmptyTreesMissingFilesAndStaleTails) {
    ComPtr<IDispatch> a = add(0, L"r", L"A");
    ComPtr<IDispatch> b = add(1, L"", L"B");
    late::put(a.get(), L"Expanded", Variant(true));
    late::put(b.get(), L"Tag", v_long(7));
    late::put(b.get(), L"Selected", Variant(true));
    qmtest::write_bytes(path, std::string(1000, 'x'));  // a longer old file goes whole
    EXPECT_EQ(save(), 0);
    static const char bytes[] = ("\x02\x00\x00\x00"
                               "\x00\x00\x00\x00" "\x01\x00" "A" "\x08\x00\x01\x00" "r" "\xFF\xFF" "\x00\x00\x00\x00"
                               "\x00\x00" "\x00\x00"
                               "\x01\x00\x00\x00" "\x01\x00" "B" "\x08\x00\x00\x00" "\x00\x00" "\x00\x00\x00\x00"
                               "\x03\x00\x07\x00\x00\x00" "\xFF\xFF");
    const std::string expected(bytes, sizeof bytes - 1);
    EXPECT_EQ(qmtest::read_bytes(path), expected);
    late::call(nodes.get(), L"Clear");
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(dump(), L"A|r|Empty:|WahrFalschFalsch\nA\\B||Long:7|FalschWahrFalsch\n");

    // A missing file: 53, nothing created, the tree as it was.
    DeleteFileW(path.c_str());
    EXPECT_EQ(load(), 53);
    EXPECT_FALSE(qmtest::exists(path));
    EXPECT_EQ(count(), 2);

    // An empty tree is the count 0, and loads as an empty tree.
    late::call(nodes.get(), L"Clear");
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(qmtest::read_bytes(path), std::string(4, '\0'));
    add(0, L"", L"x");
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(count(), 0);
}

// Mutated and truncated files: 0, 62 or the key error; on 62 the tree is untouched.
TEST_F(TreeTest, DamagedFilesNeverHarmTheTree) {
    ComPtr<IDispatch> a = add(0, L"a", L"Eins");
    add(1, L"b", L"Zwei");
    add(2, L"", L"Drei");
    add(0, L"d", L"Vier");
    late::put(a.get(), L"Tag", qmtest::v_double(1.5));
    late::put(node(3).get(), L"Tag", v_str(L"t"));
    ASSERT_EQ(save(), 0);
    const std::string good = qmtest::read_bytes(path);
    unsigned seed = 31;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    int damaged = 0;
    std::wstring before = dump();
    for (int round = 0; round < 10000; ++round) {
        std::string bytes = good;
        if (next() % 4 == 0) bytes.resize(next() % bytes.size());
        for (unsigned k = 0, n = 1 + next() % 3; k < n && !bytes.empty(); ++k) {
            const size_t at = next() % bytes.size();
            const unsigned kind = next() % 3;
            bytes[at] = static_cast<char>(kind == 0 ? next() : kind == 1 ? bytes[at] ^ 1 : 0xFF);
        }
        qmtest::write_bytes(path, bytes);
        const long r = load();
        ASSERT_TRUE(r == 0 || r == 62 || r == 35602) << round << ": " << r;
        if (r == 62) {
            ++damaged;
            ASSERT_EQ(dump(), before) << round;
        } else {
            before = dump();
        }
    }
    EXPECT_GT(damaged, 1000);
}

}  // namespace
