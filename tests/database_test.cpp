// DataBase against the tests' stand-ins of the connection, record set and catalog
// objects; the error reports read back from a log file of this test's own.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/database.h"
#include "frame/classes.h"
#include "runtime/convert.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "standins/standins_client.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::SafeArray;
using qm::Variant;
using namespace qmtest;
namespace late = qm::late;

namespace {

// {AAE1FD9D-B923-4FBD-815F-7952E510F7FB}: FindInfo
constexpr GUID kFindInfo = {0xaae1fd9d, 0xb923, 0x4fbd, {0x81, 0x5f, 0x79, 0x52, 0xe5, 0x10, 0xf7, 0xfb}};

constexpr long kProviderError = static_cast<long>(0x80004005);

std::string ansi(const std::wstring& s) { return std::string(s.begin(), s.end()); }

class DataBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        qm::find_class_by_interface(IID__DataBase)->create(IID__DataBase, db_.put_void());
        ASSERT_TRUE(db_);
        // A folder of the database's own: other tests make files in the scratch
        // folder meanwhile, and what the database leaves beside it is counted.
        folder_ = scratch() + L"db " + test_name() + L"\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
        path_ = folder_ + L"db.mdb";
        DeleteFileW(path_.c_str());
    }

    // What the error reporter wrote while f ran ("" for nothing).
    template <class F>
    std::string logged(F&& f) {
        ErrorLog errors(ErrorLog::linked);
        f();
        std::string text = errors.text();
        return text == "<missing>" ? "" : text;
    }

    long create_database(VARIANT_BOOL* delete_exist = nullptr) {
        long r = 1;
        EXPECT_EQ(db_->CreateDatabase(Bstr(path_).get(), delete_exist, &r), S_OK);
        return r;
    }
    // A new connection opened on the test's database.
    ComPtr<IDispatch> open() {
        ComPtr<IDispatch> cn = create(L"QuillmarkTest.Connection");
        IDispatch* p = cn.get();
        long r = 1;
        EXPECT_EQ(db_->OpenDatabase(&p, Bstr(path_).get(), nullptr, nullptr, &r), S_OK);
        EXPECT_EQ(r, 0);
        return cn;
    }
    // A database with table t (a TEXT, b INT) and these rows, open in cn_.
    void with_rows(std::initializer_list<const wchar_t*> rows) {
        Shadow catalog(L"ADOX.Catalog", standin::CLSID_Catalog);
        ASSERT_EQ(create_database(), 0);
        cn_ = open();
        IDispatch* p = cn_.get();
        long r = 1;
        ASSERT_EQ(db_->TableCreate(&p, Bstr(L"t (a TEXT, b INT)").get(), &r), S_OK);
        ASSERT_EQ(r, 0);
        for (const wchar_t* row : rows)
            late::call(cn_.get(), L"Execute", {Variant(std::wstring(L"INSERT INTO t VALUES (") + row + L")")});
        rs_ = create(L"QuillmarkTest.Recordset");
    }
    long select(const wchar_t* sort_by = nullptr) {
        IDispatch* c = cn_.get();
        IDispatch* s = rs_.get();
        BSTR by = sort_by ? SysAllocString(sort_by) : nullptr;
        long r = 1;
        EXPECT_EQ(db_->SelectTable(&c, &s, Bstr(L"t").get(), sort_by ? &by : nullptr, &r), S_OK);
        SysFreeString(by);
        return r;
    }
    std::wstring field(const wchar_t* name) {
        Variant v = late::value_of(late::get(rs_.get(), L"Fields", {Variant(name)}));
        return v.vt() == VT_NULL ? L"<Null>" : qm::CStr(*v.get());
    }
    bool find(const wchar_t* column, const wchar_t* value, long& error) {
        IDispatch* s = rs_.get();
        Bstr wanted(value);
        BSTR w = wanted.get();
        VARIANT_BOOL found = VARIANT_TRUE;
        error = -1;
        EXPECT_EQ(db_->Find(&s, Bstr(column).get(), &w, &error, &found), S_OK);
        return found == VARIANT_TRUE;
    }
    bool eof() { return V_BOOL(late::get(rs_.get(), L"EOF").get()) != VARIANT_FALSE; }

    ComPtr<_DataBase> db_;
    std::wstring folder_, path_;
    ComPtr<IDispatch> cn_, rs_;
};

TEST_F(DataBaseTest, CreateDatabaseKeepsAnOldFileUnlessANewOneWasMade) {
    std::optional<Shadow> catalog(std::in_place, L"ADOX.Catalog", standin::CLSID_Catalog);
    ASSERT_EQ(create_database(), 0);
    {
        ComPtr<IDispatch> cn = open();
        IDispatch* p = cn.get();
        long r = 1;
        db_->TableCreate(&p, Bstr(L"old (a TEXT)").get(), &r);
        ASSERT_EQ(r, 0);
    }
    const std::string old = read_bytes(path_);
    VARIANT_BOOL keep = VARIANT_FALSE;
    EXPECT_EQ(create_database(&keep), -1);
    EXPECT_EQ(read_bytes(path_), old);

    // Without the catalog's server nothing is deleted.
    catalog.reset();
    const std::string log = logged([&] { EXPECT_EQ(create_database(), 429); });
    EXPECT_NE(log.find("DLL ERROR <429>"), std::string::npos) << log;
    EXPECT_NE(log.find("Class: DataBase / Routine: CreateDatabase"), std::string::npos) << log;
    EXPECT_EQ(read_bytes(path_), old);

    // Replaced: a new, empty database in its place and no temporary file left over.
    catalog.emplace(L"ADOX.Catalog", standin::CLSID_Catalog);
    const int before = entries(folder_);
    EXPECT_EQ(create_database(), 0);
    EXPECT_EQ(entries(folder_), before);
    cn_ = open();
    IDispatch* p = cn_.get();
    long count = -1, error = -1;
    db_->TableCount(&p, &error, &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(error, 0);
}

TEST_F(DataBaseTest, CreateDatabaseMakesTheFileNamedWhateverSettingsItsNameSpells) {
    Shadow catalog(L"ADOX.Catalog", standin::CLSID_Catalog);
    for (const wchar_t* name : {L"a;Jet OLEDB:Engine Type=4;b.mdb", L"it's.mdb"}) {
        path_ = folder_ + name;
        ASSERT_EQ(create_database(), 0) << ansi(name);
        EXPECT_TRUE(exists(path_)) << ansi(name);
    }
    EXPECT_EQ(entries(folder_), 2);
}

TEST_F(DataBaseTest, OpenDatabaseSetsTheConnectionAndCloseDataBaseLetsItGo) {
    {
        Shadow catalog(L"ADOX.Catalog", standin::CLSID_Catalog);
        ASSERT_EQ(create_database(), 0);
    }
    auto property = [](IDispatch* cn, const wchar_t* name) {
        Variant v;
        long number = error_of([&] { v = late::get(cn, L"Properties", {Variant(name)}); });
        return number ? L"<" + std::to_wstring(number) + L">" : qm::CStr(*v.get());
    };
    ComPtr<IDispatch> cn = open();
    EXPECT_EQ(V_I4(late::get(cn.get(), L"CursorLocation").get()), 3);
    EXPECT_EQ(V_I4(late::get(cn.get(), L"Mode").get()), 16);
    EXPECT_EQ(qm::CStr(*late::get(cn.get(), L"Provider").get()), L"Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(property(cn.get(), L"Data Source"), path_);
    EXPECT_EQ(property(cn.get(), L"User"), L"<3265>");
    EXPECT_EQ(property(cn.get(), L"Password"), L"<3265>");
    EXPECT_EQ(V_I4(late::get(cn.get(), L"State").get()), 1);

    ComPtr<IDispatch> held = cn;  // the test's own reference outlives the caller's variable
    IDispatch* variable = cn.detach();
    long r = 1;
    EXPECT_EQ(db_->CloseDataBase(&variable, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(variable, nullptr);
    EXPECT_EQ(V_I4(late::get(held.get(), L"State").get()), 0);

    ComPtr<IDispatch> other = create(L"QuillmarkTest.Connection");
    IDispatch* p = other.get();
    Bstr user(L"admin"), password(L"geheim");
    BSTR u = user.get(), w = password.get();
    EXPECT_EQ(db_->OpenDatabase(&p, Bstr(path_).get(), &u, &w, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(property(other.get(), L"User"), L"admin");
    EXPECT_EQ(property(other.get(), L"Password"), L"geheim");

    // A missing file: the provider's error, reported with the path.
    const std::wstring missing = path_ + L".none";
    ComPtr<IDispatch> third = create(L"QuillmarkTest.Connection");
    p = third.get();
    const std::string log = logged([&] { db_->OpenDatabase(&p, Bstr(missing).get(), nullptr, nullptr, &r); });
    EXPECT_EQ(r, kProviderError);
    EXPECT_NE(log.find("Class: DataBase / Routine: OpenDatabase"), std::string::npos) << log;
    EXPECT_NE(log.find("Databasepath: " + ansi(missing)), std::string::npos) << log;
}

TEST_F(DataBaseTest, WinesOwnConnectionObjectFailsWithItsErrorNumber) {
    ComPtr<IDispatch> cn = create(L"ADODB.Connection");
    if (!cn) GTEST_SKIP() << "no ADODB.Connection in this prefix";
    IDispatch* p = cn.get();
    long r = 0;
    const std::string log = logged([&] { db_->OpenDatabase(&p, Bstr(path_).get(), nullptr, nullptr, &r); });
    EXPECT_NE(r, 0);
    EXPECT_NE(log.find("DLL ERROR <" + std::to_string(r) + ">"), std::string::npos) << log;
}

TEST_F(DataBaseTest, TablesAreListedCountedAndDeleted) {
    with_rows({L"'x', 1"});
    IDispatch* p = cn_.get();
    long error = -1, count = -1;
    SafeArray list(VT_BSTR);
    ASSERT_EQ(db_->TableList(&p, &error, list.put()), S_OK);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(list.count(), 1);  // the provider's system table is not listed
    EXPECT_EQ(list.text(0), L"t");
    using Case = std::pair<const wchar_t*, bool>;
    for (const auto& [name, expected] : {Case{L"t", true}, Case{L"T", true}, Case{L"u", false}}) {
        VARIANT_BOOL there = VARIANT_FALSE;
        db_->TableExist(&p, Bstr(name).get(), &error, &there);
        EXPECT_EQ(there == VARIANT_TRUE, expected) << ansi(name);
    }
    db_->TableCount(&p, &error, &count);
    EXPECT_EQ(count, 1);

    long r = 1;
    db_->TableDelete(&p, Bstr(L"t").get(), &r);
    EXPECT_EQ(r, 0);
    const std::string log = logged([&] { db_->TableCount(&p, &error, &count); });
    EXPECT_EQ(count, 0);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(log, "");
    const std::string failed = logged([&] { db_->TableDelete(&p, Bstr(L"t").get(), &r); });
    EXPECT_EQ(r, static_cast<long>(0x80040E37));
    EXPECT_NE(failed.find("Routine: TableDelete"), std::string::npos) << failed;
}

TEST_F(DataBaseTest, SelectSortAndFind) {
    with_rows({L"'Ann', 1", L"'ann', 2", L"'Bob', 3", L"'Ann', 2", L"NULL, 4"});
    ASSERT_EQ(select(), 0);
    EXPECT_EQ(qm::CStr(*late::get(rs_.get(), L"Source").get()), L"SELECT * FROM t");
    EXPECT_EQ(field(L"b"), L"1");

    IDispatch* c = cn_.get();
    IDispatch* s = rs_.get();
    long r = 1;
    ASSERT_EQ(db_->Sort(&c, &s, Bstr(L"t").get(), Bstr(L"b DESC").get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(qm::CStr(*late::get(rs_.get(), L"Source").get()), L"SELECT * FROM t ORDER BY b DESC");
    EXPECT_EQ(field(L"b"), L"4");

    long error = -1;
    EXPECT_TRUE(find(L"a", L"Bob", error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(field(L"b"), L"3");
    EXPECT_FALSE(find(L"a", L"Carl", error));
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(eof());
    const std::string log = logged([&] { EXPECT_FALSE(find(L"a", L"O'Neil", error)); });
    EXPECT_EQ(error, 3001);
    EXPECT_NE(log.find("Class: DataBase / Routine: Find"), std::string::npos) << log;

    VARIANT_BOOL found = VARIANT_FALSE;
    Variant column(L"a");
    EXPECT_EQ(db_->Exist(&s, Bstr(L"bob").get(), column.get(), &error, &found), S_OK);
    EXPECT_EQ(found, VARIANT_TRUE);
    EXPECT_EQ(db_->Exist(&s, Bstr(L"Eve").get(), column.get(), &error, &found), S_OK);
    EXPECT_EQ(found, VARIANT_FALSE);

    using Case = std::pair<const wchar_t*, bool>;
    for (const auto& [name, expected] : {Case{L"A", true}, Case{L"b", true}, Case{L"c", false}}) {
        db_->ColumnExist(&s, Bstr(name).get(), &error, &found);
        EXPECT_EQ(found == VARIANT_TRUE, expected) << ansi(name);
    }
    db_->isEMPTY(&s, &error, &found);
    EXPECT_EQ(found, VARIANT_FALSE);
    late::call(cn_.get(), L"Execute", {Variant(L"CREATE TABLE e (x TEXT)")});
    db_->SelectTable(&c, &s, Bstr(L"e").get(), nullptr, &r);
    EXPECT_EQ(r, 0);  // an empty table stands nowhere without an error
    db_->isEMPTY(&s, &error, &found);
    EXPECT_EQ(found, VARIANT_TRUE);
}

TEST_F(DataBaseTest, FindMultiComparesEveryCriterionExactly) {
    with_rows({L"'Ann', 1", L"'ann', 2", L"'Bob', 3", L"'Ann', 2", L"NULL, 2"});
    ASSERT_EQ(select(), 0);
    auto find_multi = [&](std::vector<std::pair<Variant, Variant>> criteria, std::wstring& error) {
        ComPtr<IRecordInfo> info;
        EXPECT_EQ(GetRecordInfoFromGuids(LIBID_Quillmark, 1, 0, 0, kFindInfo, info.put()), S_OK);
        SafeArray list = SafeArray::records(info.get(), static_cast<long>(criteria.size()));
        for (size_t i = 0; i < criteria.size(); ++i) {
            VariantCopy(&list.at<FindInfo>(static_cast<long>(i)).FindIn, criteria[i].first.get());
            VariantCopy(&list.at<FindInfo>(static_cast<long>(i)).ToFind, criteria[i].second.get());
        }
        IDispatch* s = rs_.get();
        SAFEARRAY* sa = list.get();
        Bstr number(L"x");
        BSTR n = number.detach();
        VARIANT_BOOL found = VARIANT_FALSE;
        EXPECT_EQ(db_->Find_Multi(&s, &sa, &n, &found), S_OK);
        error = std::wstring(n, SysStringLen(n));
        SysFreeString(n);
        return found == VARIANT_TRUE;
    };
    std::wstring error;
    EXPECT_TRUE(find_multi({{Variant(L"a"), Variant(L"Ann")}, {Variant(L"b"), Variant(2L)}}, error));
    EXPECT_EQ(error, L"0");
    EXPECT_EQ(field(L"a") + field(L"b"), L"Ann2");  // not "ann", though the provider's search ignores case
    EXPECT_FALSE(find_multi({{Variant(L"a"), Variant(L"Bob")}, {Variant(1L), Variant(L"1")}}, error));
    EXPECT_TRUE(eof());
    const std::string log = logged([&] { EXPECT_FALSE(find_multi({}, error)); });
    EXPECT_EQ(error, L"9");
    EXPECT_NE(log.find("Class: DataBase / Routine: Find_Multi"), std::string::npos) << log;
}

TEST_F(DataBaseTest, ExportWritesQuotedFieldsWithQuotesDoubled) {
    with_rows({L"'say \"hi\"', 1", L"NULL, 2", L"'plain', NULL"});
    ASSERT_EQ(select(), 0);
    const std::wstring csv = scratch() + L"db " + test_name() + L".csv";
    IDispatch* s = rs_.get();
    long r = 1;
    ASSERT_EQ(db_->Export(&s, Bstr(csv).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(csv), "\"a\",\"b\"\r\n\"say \"\"hi\"\"\",\"1\"\r\n\"\",\"2\"\r\n\"plain\",\"\"\r\n\r\n");

    late::call(cn_.get(), L"Execute", {Variant(L"CREATE TABLE e (x TEXT, y INT)")});
    IDispatch* c = cn_.get();
    db_->SelectTable(&c, &s, Bstr(L"e").get(), nullptr, &r);
    ASSERT_EQ(db_->Export(&s, Bstr(csv).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(read_bytes(csv), "\"x\",\"y\"\r\n\r\n");
}

}  // namespace
