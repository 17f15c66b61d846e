// DataBase: opening and closing a connection, selecting and sorting a table,
// creating a database file, and its tables.
#include <vector>

#include "files/database.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"

namespace qm {

namespace database {

IDispatch* object_of(IDispatch** argument) {
    if (!argument || !*argument) raise(err::ObjectNotSet);
    return *argument;
}

std::wstring text_of_value(const VARIANT& value) {
    Variant v = late::value_of(value);
    if (v.vt() == VT_NULL) return {};
    return CStr(*v.get());
}

}  // namespace database

namespace {

using database::object_of;

constexpr wchar_t kProvider[] = L"Microsoft.Jet.OLEDB.4.0";

// Connection.Properties(name) = value, through the collection's item.
void set_property(IDispatch* connection, const wchar_t* name, BSTR value) {
    ComPtr<IDispatch> properties = late::object(late::get(connection, L"Properties"));
    ComPtr<IDispatch> item = late::object(late::get(properties.get(), L"Item", {Variant(name)}));
    late::put(item.get(), L"Value", Variant(Bstr(text_of(value))));
}

bool given(const BSTR* text) { return text && SysStringLen(*text) > 0; }

// SelectTable and Sort: the record set opened on the table, with an ORDER BY
// clause when SortBy is given or the clause is wanted anyway.
void open_table(IDispatch* connection, IDispatch* recordset, std::wstring_view table, std::wstring_view sort_by,
                bool order) {
    late::skipping_errors([&] { late::call(recordset, L"Close"); });
    Variant cn;
    V_VT(cn.get()) = VT_DISPATCH;
    V_DISPATCH(cn.get()) = connection;
    connection->AddRef();
    late::put(recordset, L"ActiveConnection", cn);
    late::put(recordset, L"CursorLocation", Variant(3L));
    late::put(recordset, L"CursorType", Variant(1L));
    late::put(recordset, L"LockType", Variant(3L));
    std::wstring source = L"SELECT * FROM " + std::wstring(table);
    if (order || !sort_by.empty()) source += L" ORDER BY " + std::wstring(sort_by);
    late::put(recordset, L"Source", Variant(source));
    late::call(recordset, L"Open");
}

// A file name in the folder of path that no file has yet.
std::wstring temporary_beside(const std::wstring& path) {
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    if (folder.empty()) folder = L".\\";
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"qdb", 0, name)) raise_file_error();
    DeleteFileW(name);  // the catalog makes the file itself
    return name;
}

// A path as the value of a connection text's setting: in quotes when it holds
// what would end the value (";") or be cut from it (blanks at either end), so
// that the rest of the path never becomes a setting of its own. No path holds a
// quote.
std::wstring setting_value(const std::wstring& path) {
    if (path.find(L'"') != std::wstring::npos) raise(err::BadFileNameOrNumber);
    const bool plain = path.find_first_of(L";'") == std::wstring::npos && !path.empty() && path.front() != L' ' &&
                       path.back() != L' ';
    return plain ? path : L"\"" + path + L"\"";
}

}  // namespace

HRESULT DataBase::OpenDatabase(IDispatch** Connection, BSTR DataBasePath, BSTR* User, BSTR* Password, long* result) {
    Trap trap{Source::DataBase, L"OpenDatabase", nullptr, L"Databasepath: " + std::wstring(text_of(DataBasePath))};
    return trapped(trap, result, ErrorNumberResult{}, [&] {
        IDispatch* cn = object_of(Connection);
        late::put(cn, L"CursorLocation", Variant(3L));
        late::put(cn, L"Mode", Variant(16L));
        late::put(cn, L"Provider", Variant(kProvider));
        set_property(cn, L"Data Source", DataBasePath);
        if (given(Password)) set_property(cn, L"Password", *Password);
        if (given(User)) set_property(cn, L"User", *User);
        late::call(cn, L"Open");
        return 0L;
    });
}

HRESULT DataBase::CloseDataBase(IDispatch** Connection, long* result) {
    return trapped(Trap{Source::DataBase, L"CloseDataBase"}, result, ErrorNumberResult{}, [&] {
        // The caller's reference goes also when the close fails.
        struct Release {
            IDispatch** p;
            ~Release() {
                if (p && *p) {
                    (*p)->Release();
                    *p = nullptr;
                }
            }
        } release{Connection};
        late::call(object_of(Connection), L"Close");
        return 0L;
    });
}

HRESULT DataBase::SelectTable(IDispatch** Connection, IDispatch** Recordset, BSTR Table, BSTR* SortBy, long* result) {
    Trap trap{Source::DataBase, L"SelectTable", nullptr, L"Table: " + std::wstring(text_of(Table))};
    return trapped(trap, result, ErrorNumberResult{}, [&] {
        IDispatch* rs = object_of(Recordset);
        open_table(object_of(Connection), rs, text_of(Table), SortBy ? text_of(*SortBy) : std::wstring_view(),
                   false);
        late::skipping_errors([&] { late::call(rs, L"MoveFirst"); });
        return 0L;
    });
}

HRESULT DataBase::Sort(IDispatch** Connection, IDispatch** Recordset, BSTR Table, BSTR SortBy, long* result) {
    Trap trap{Source::DataBase, L"Sort", nullptr, L"Table: " + std::wstring(text_of(Table))};
    return trapped(trap, result, ErrorNumberResult{}, [&] {
        // The clause is there even for an empty SortBy (which the provider refuses).
        open_table(object_of(Connection), object_of(Recordset), text_of(Table), text_of(SortBy), true);
        return 0L;
    });
}

HRESULT DataBase::CreateDatabase(BSTR Path, VARIANT_BOOL* DeleteExist, long* result) {
    return trapped(Trap{Source::DataBase, L"CreateDatabase"}, result, ErrorNumberResult{}, [&] {
        const std::wstring path(text_of(Path));
        const bool replace = !DeleteExist || *DeleteExist;
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(shared<_File>()->Exist(Path, nullptr, &exists));
        if (!replace && exists) return -1L;
        // The catalog is made before anything is deleted, and an existing database is
        // replaced only by a new file that the catalog created completely.
        ComPtr<IDispatch> catalog = late::create(L"ADOX.Catalog");
        const std::wstring target = exists ? temporary_beside(path) : path;
        try {
            late::call(catalog.get(),
                       L"Create", {Variant(L"Provider=" + std::wstring(kProvider) +
                                           L"; Jet OLEDB:Engine Type=5;Data Source=" + setting_value(target))});
        } catch (...) {
            if (target != path) DeleteFileW(target.c_str());
            throw;
        }
        catalog.reset();
        if (target != path) {
            long killed = 0;
            check(shared<_File>()->fKill(Path, &killed));
            if (!MoveFileExW(target.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                DWORD code = GetLastError();
                DeleteFileW(target.c_str());
                raise_file_error(code);
            }
        }
        return 0L;
    });
}

HRESULT DataBase::TableCreate(IDispatch** Connection, BSTR Table, long* result) {
    return trapped(Trap{Source::DataBase, L"TableCreate"}, result, ErrorNumberResult{}, [&] {
        late::call(object_of(Connection), L"Execute", {Variant(L"CREATE TABLE " + std::wstring(text_of(Table)))});
        return 0L;
    });
}

HRESULT DataBase::TableDelete(IDispatch** Connection, BSTR Table, long* result) {
    return trapped(Trap{Source::DataBase, L"TableDelete"}, result, ErrorNumberResult{}, [&] {
        late::call(object_of(Connection), L"Execute", {Variant(L"DROP TABLE " + std::wstring(text_of(Table)))});
        return 0L;
    });
}

HRESULT DataBase::TableList(IDispatch** Cn, long* ErrorNumber, SAFEARRAY** result) {
    return untrapped(result, [&] {
        std::vector<std::wstring> names;  // what was read before a failure is kept
        trapped(Trap{Source::DataBase, L"TableList", ErrorNumber}, [&] {
            ComPtr<IDispatch> schema = late::object(late::call(object_of(Cn), L"OpenSchema", {Variant(20L)}));
            const long count = CLng(*late::get(schema.get(), L"RecordCount").get());
            for (long i = 0; i < count; ++i) {
                const Variant type = late::get(schema.get(), L"Fields", {Variant(L"TABLE_TYPE")});
                if (database::text_of_value(type) == L"TABLE")
                    names.push_back(
                        database::text_of_value(late::get(schema.get(), L"Fields", {Variant(L"TABLE_NAME")})));
                late::call(schema.get(), L"MoveNext");
            }
        });
        return string_array(names).detach();
    });
}

HRESULT DataBase::TableExist(IDispatch** Cn, BSTR Table, long* ErrorNumber, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long number = 0;
        SafeArray list(VT_BSTR);
        check(TableList(Cn, &number, list.put()));
        if (ErrorNumber) *ErrorNumber = number;
        if (number != 0) return false;
        Variant names = std::move(list).to_variant();
        Variant table(Bstr(text_of(Table)));
        long end = -1, index = -1;
        VARIANT_BOOL exact = VARIANT_FALSE;
        Variant start(-1L);
        check(shared<_Arry>()->Find(*names.get(), *table.get(), start.get(), &end, &exact, nullptr, &index));
        return index >= 0;
    });
}

HRESULT DataBase::TableCount(IDispatch** Cn, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::DataBase, L"TableCount", ErrorNumber}, result, 0L, [&] {
        long number = 0;
        SafeArray list(VT_BSTR);
        check(TableList(Cn, &number, list.put()));
        if (ErrorNumber) *ErrorNumber = number;
        if (number != 0) return -2L;
        return list.count();
    });
}

}  // namespace qm
