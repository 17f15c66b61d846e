// The stand-in server the tests use for the database objects: what the library's
// members and the forms' data grid rely on behaves as the real objects do. And
// the error numbers of failed calls into objects, against the script engine's.
#include <gtest/gtest.h>

#include <string>

#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "script_host.h"
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

// A member that calls into a client's object gives the error number a script
// gets for the same failure: the object's HRESULT returned by Invoke itself, and
// as the code of an exception without a description.
TEST(LateBoundErrors, NumbersAreTheScriptEnginesOwn) {
    const struct {
        HRESULT code;
        long number;
    } cases[] = {
        {E_NOTIMPL, 445}, {E_NOINTERFACE, 430}, {E_ACCESSDENIED, 70}, {E_OUTOFMEMORY, 7}, {E_INVALIDARG, 5},
        {DISP_E_UNKNOWNINTERFACE, 438}, {DISP_E_MEMBERNOTFOUND, 438}, {DISP_E_UNKNOWNNAME, 438},
        {DISP_E_PARAMNOTFOUND, 448}, {DISP_E_TYPEMISMATCH, 13}, {DISP_E_NONAMEDARGS, 446}, {DISP_E_BADVARTYPE, 458},
        {DISP_E_OVERFLOW, 6}, {DISP_E_BADINDEX, 9}, {DISP_E_UNKNOWNLCID, 447}, {DISP_E_ARRAYISLOCKED, 10},
        {DISP_E_BADPARAMCOUNT, 450}, {DISP_E_PARAMNOTOPTIONAL, 449}, {DISP_E_NOTACOLLECTION, 451},
        {TYPE_E_DLLFUNCTIONNOTFOUND, 453}, {TYPE_E_TYPEMISMATCH, 13}, {TYPE_E_OUTOFBOUNDS, 9}, {TYPE_E_IOERROR, 57},
        {TYPE_E_CANTCREATETMPFILE, 322}, {STG_E_FILENOTFOUND, 432}, {STG_E_PATHNOTFOUND, 76},
        {STG_E_TOOMANYOPENFILES, 67}, {STG_E_ACCESSDENIED, 70}, {STG_E_INSUFFICIENTMEMORY, 7},
        {STG_E_NOMOREFILES, 67}, {STG_E_DISKISWRITEPROTECTED, 70}, {STG_E_WRITEFAULT, 57}, {STG_E_READFAULT, 57},
        {STG_E_SHAREVIOLATION, 75}, {STG_E_LOCKVIOLATION, 70}, {STG_E_FILEALREADYEXISTS, 58}, {STG_E_MEDIUMFULL, 61},
        {STG_E_INVALIDNAME, 53}, {STG_E_INUSE, 70}, {STG_E_NOTCURRENT, 70}, {STG_E_CANTSAVE, 57},
        {REGDB_E_CLASSNOTREG, 429}, {MK_E_UNAVAILABLE, 429}, {MK_E_INVALIDEXTENSION, 432}, {MK_E_CANTOPENFILE, 432},
        {CO_E_CLASSSTRING, 429}, {CO_E_APPNOTFOUND, 429}, {CO_E_APPDIDNTREG, 429}, {CO_E_SERVER_EXEC_FAILURE, 429},
        {HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), 462}, {static_cast<HRESULT>(0x800A0035), 53},
        // Kept as they are.
        {E_FAIL, E_FAIL}, {E_POINTER, E_POINTER}, {E_ABORT, E_ABORT}, {E_UNEXPECTED, E_UNEXPECTED},
        {MK_E_SYNTAX, MK_E_SYNTAX},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {static_cast<HRESULT>(0x80040E37), static_cast<HRESULT>(0x80040E37)},
    };
    ComPtr<IDispatch> object = create(L"QuillmarkTest.Failing");
    ASSERT_TRUE(object) << "the harness registers the stand-ins";
    ComPtr<_Forms> forms = create(L"Quillmark.Forms").query<_Forms>();
    ASSERT_TRUE(forms);
    ScriptHost vbs(L"VBScript");
    ASSERT_TRUE(vbs.ready());
    vbs.add_object(L"o", object.get());
    for (bool excepinfo : {false, true}) {
        late::put(object.get(), L"Excepinfo", Variant(excepinfo));
        for (const auto& c : cases) {
            late::put(object.get(), L"Code", Variant(static_cast<long>(c.code)));
            ASSERT_EQ(vbs.run(L"On Error Resume Next\nx = o.Width\nn = Err.Number\n"), S_OK);
            IDispatch* form = object.get();
            cCenterInfo where = ccMIDDLE;
            long member = 0;
            ASSERT_EQ(forms->Center(&form, &where, &member), S_OK);
            EXPECT_EQ(V_I4(vbs.eval(L"CLng(n)").get()), c.number) << std::hex << c.code << " " << excepinfo;
            EXPECT_EQ(member, c.number) << std::hex << c.code << " " << excepinfo;
        }
    }
}

}  // namespace
