// The stand-in server the tests use for the database objects: what the library's
// members and the forms' data grid rely on behaves as the real objects do.
#include <gtest/gtest.h>

#include <string>

#include "runtime/latebind.h"
#include "support.h"

using qm::ComPtr;
using qm::Variant;
using namespace qmtest;
namespace late = qm::late;

namespace {

std::wstring text(const Variant& v) {
    if (v.vt() == VT_NULL) return L"<Null>";
    Variant t;
    VariantChangeType(t.put(), const_cast<VARIANT*>(v.get()), 0, VT_BSTR);
    return std::wstring(V_BSTR(t.get()), SysStringLen(V_BSTR(t.get())));
}

long error_number(const auto& f) {
    try {
        f();
    } catch (const qm::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

class Standins : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = scratch() + L"standin " + test_name() + L".mdb";
        DeleteFileW(path_.c_str());
        ComPtr<IDispatch> catalog = create(L"QuillmarkTest.Catalog");
        ASSERT_TRUE(catalog) << "the harness registers the stand-ins";
        late::call(catalog.get(), L"Create", {Variant(L"Provider=X; Data Source=" + path_)});
        cn_ = create(L"QuillmarkTest.Connection");
        ASSERT_TRUE(cn_);
        Variant item = late::get(late::object(late::get(cn_.get(), L"Properties")).get(), L"Item",
                                 {Variant(L"Data Source")});
        late::put(late::object(item).get(), L"Value", Variant(path_));
        late::call(cn_.get(), L"Open");
    }
    // The rows of "SELECT * FROM <source>", fields joined by "|", rows by ";".
    std::wstring rows(const wchar_t* source) {
        ComPtr<IDispatch> rs = create(L"QuillmarkTest.Recordset");
        Variant connection;
        V_VT(connection.get()) = VT_DISPATCH;
        V_DISPATCH(connection.get()) = cn_.get();
        cn_->AddRef();
        late::call(rs.get(), L"Open", {Variant(std::wstring(L"SELECT * FROM ") + source), connection});
        std::wstring out;
        long n = V_I4(late::get(late::object(late::get(rs.get(), L"Fields")).get(), L"Count").get());
        while (!V_BOOL(late::get(rs.get(), L"EOF").get())) {
            for (long i = 0; i < n; ++i)
                out += (i ? L"|" : L"") + text(late::value_of(late::get(rs.get(), L"Fields", {Variant(i)})));
            out += L";";
            late::call(rs.get(), L"MoveNext");
        }
        return out;
    }
    std::wstring path_;
    ComPtr<IDispatch> cn_;
};

TEST_F(Standins, TablesLiveInTheFileAndReadBackInOrder) {
    late::call(cn_.get(), L"Execute", {Variant(L"CREATE TABLE t (a TEXT, b INT)")});
    late::call(cn_.get(), L"Execute", {Variant(L"INSERT INTO t VALUES ('x''y', 2)")});
    late::call(cn_.get(), L"Execute", {Variant(L"insert into T values (NULL, 10)")});
    late::call(cn_.get(), L"Execute", {Variant(L"INSERT INTO t VALUES ('a\tb', -1)")});
    EXPECT_EQ(rows(L"t"), L"x'y|2;<Null>|10;a\tb|-1;");
    EXPECT_EQ(rows(L"t ORDER BY b DESC"), L"<Null>|10;x'y|2;a\tb|-1;");
    EXPECT_EQ(rows(L"t ORDER BY a"), L"<Null>|10;a\tb|-1;x'y|2;");
    EXPECT_EQ(error_number([&] { rows(L"missing"); }), static_cast<long>(0x80040E37));
    EXPECT_EQ(error_number([&] { late::call(cn_.get(), L"Execute", {Variant(L"INSERT INTO t VALUES (1)")}); }),
              static_cast<long>(0x80040E14));
    late::call(cn_.get(), L"Execute", {Variant(L"DROP TABLE t")});
    EXPECT_EQ(error_number([&] { rows(L"t"); }), static_cast<long>(0x80040E37));
}

TEST_F(Standins, FailuresAreTheComponentsOwn) {
    late::call(cn_.get(), L"Execute", {Variant(L"CREATE TABLE e (a TEXT)")});
    ComPtr<IDispatch> rs = create(L"QuillmarkTest.Recordset");
    EXPECT_EQ(error_number([&] { late::call(rs.get(), L"Close"); }), 3704);
    Variant connection;
    V_VT(connection.get()) = VT_DISPATCH;
    V_DISPATCH(connection.get()) = cn_.get();
    cn_->AddRef();
    late::put(rs.get(), L"ActiveConnection", connection);
    late::put(rs.get(), L"Source", Variant(L"SELECT * FROM e"));
    late::call(rs.get(), L"Open");
    EXPECT_TRUE(V_BOOL(late::get(rs.get(), L"EOF").get()));
    EXPECT_EQ(error_number([&] { late::call(rs.get(), L"MoveFirst"); }), 3021);
    EXPECT_EQ(error_number([&] { late::call(rs.get(), L"Find", {Variant(L"a = 'it's'")}); }), 3001);
    EXPECT_EQ(error_number([&] { late::get(rs.get(), L"Fields", {Variant(L"zz")}); }), 3265);

    ComPtr<IDispatch> other = create(L"QuillmarkTest.Connection");
    late::put(other.get(), L"Properties", Variant(path_ + L".none"), {Variant(L"Data Source")});
    EXPECT_EQ(error_number([&] { late::call(other.get(), L"Open"); }), static_cast<long>(0x80004005));
    ComPtr<IDispatch> catalog = create(L"QuillmarkTest.Catalog");
    EXPECT_EQ(error_number([&] { late::call(catalog.get(), L"Create", {Variant(L"Data Source=" + path_)}); }),
              static_cast<long>(0x80004005));
}

}  // namespace
