// Connection, Recordset (with Fields and Field), Properties and Catalog: the part
// of the database object model that the library and its tests use.
#include <algorithm>
#include <cwctype>
#include <map>

#include "standin.h"
#include "standin_store.h"

namespace standin {

namespace {

[[noreturn]] void closed() { fail(3704, L"Operation is not allowed when the object is closed."); }
[[noreturn]] void no_record() {
    fail(3021, L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
               L"current record.");
}
[[noreturn]] void not_found() {
    fail(3265, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

std::wstring trim(const std::wstring& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::iswspace(s[a])) ++a;
    while (b > a && std::iswspace(s[b - 1])) --b;
    return s.substr(a, b - a);
}

// ---- Properties: named values of a connection ----------------------------------

struct PropertyStore {
    std::map<std::wstring, std::pair<std::wstring, VARIANT>> items;  // by lower-case name
    ~PropertyStore() {
        for (auto& [key, item] : items) VariantClear(&item.second);
    }
};

class Property : public Object {
public:
    Property(Object* owner, PropertyStore& store, std::wstring name)
        : Object({L"Value", L"Name"}, 1), owner_(owner), store_(store), name_(std::move(name)) {
        owner_->AddRef();
    }
    ~Property() override { owner_->Release(); }

    // Value: put when value is given, else get.
    void access(const VARIANT* value, VARIANT* result) {
        auto& item = store_.items[lower(name_)];
        if (value) {
            item.first = name_;
            VariantClear(&item.second);
            VariantCopy(&item.second, const_cast<VARIANT*>(value));
            return;
        }
        if (item.first.empty()) {
            store_.items.erase(lower(name_));
            not_found();
        }
        ret_copy(result, item.second);
    }

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        if (id == 2) return ret_text(result, name_);
        access(call.value, result);
    }

private:
    Object* owner_;
    PropertyStore& store_;
    std::wstring name_;
};

class Properties : public Object {
public:
    Properties(Object* owner, PropertyStore& store) : Object({L"Item", L"Count"}, 1), owner_(owner), store_(store) {
        owner_->AddRef();
    }
    ~Properties() override { owner_->Release(); }

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        if (id == 2) return ret_long(result, static_cast<long>(store_.items.size()));
        ret_object(result, new Property(owner_, store_, text_of(call.arg(0))));
    }

private:
    Object* owner_;
    PropertyStore& store_;
};

// ---- Connection -----------------------------------------------------------------

class Connection : public Object {
public:
    Connection()
        : Object({L"CursorLocation", L"Mode", L"Provider", L"Properties", L"Open", L"Close", L"State", L"Execute",
                  L"OpenSchema"},
                 0) {}

    const std::wstring& path() const {
        if (!open_) fail(3709, L"The connection cannot be used to perform this operation. It is either closed or "
                               L"invalid in this context.");
        return path_;
    }

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        switch (id) {
        case 1: return call.put() ? void(cursor_location_ = long_of(*call.value)) : ret_long(result, cursor_location_);
        case 2: return call.put() ? void(mode_ = long_of(*call.value)) : ret_long(result, mode_);
        case 3: return call.put() ? void(provider_ = text_of(*call.value)) : ret_text(result, provider_);
        case 4: {
            if (call.count() == 0 && !call.put()) return ret_object(result, new Properties(this, properties_));
            // Properties(name) and Properties(name) = value, as a script writes them.
            Property* p = new Property(this, properties_, text_of(call.arg(0)));
            try {
                p->access(call.value, result);
            } catch (...) {
                p->Release();
                throw;
            }
            p->Release();
            return;
        }
        case 5:
            if (open_) fail(3705, L"Operation is not allowed when the object is open.");
            {
                auto source = properties_.items.find(L"data source");
                std::wstring path = source == properties_.items.end() ? std::wstring() : text_of(source->second.second);
                load(path);  // fails as the provider does for a missing file or a foreign format
                path_ = path;
                open_ = true;
            }
            return;
        case 6:
            if (!open_) closed();
            open_ = false;
            return;
        case 7: return ret_long(result, open_ ? 1 : 0);
        case 8:
            if (!open_) closed();
            execute(path_, text_of(call.arg(0)));
            return;
        case 9: return ret_object(result, schema(long_of(call.arg(0))));
        }
    }

private:
    IDispatch* schema(long kind);

    long cursor_location_ = 2;
    long mode_ = 0;
    std::wstring provider_ = L"MSDASQL";
    PropertyStore properties_;
    std::wstring path_;
    bool open_ = false;
};

// ---- Recordset ------------------------------------------------------------------

class Recordset : public Object {
public:
    Recordset()
        : Object({L"ActiveConnection", L"CursorLocation", L"CursorType", L"LockType", L"Source", L"Open", L"Close",
                  L"MoveFirst", L"MoveNext", L"EOF", L"BOF", L"RecordCount", L"Find", L"Fields", L"State"},
                 14) {}
    ~Recordset() override {
        if (connection_) connection_->Release();
    }

    // The record set opened on these rows.
    void fill(Table t) {
        data_ = std::move(t);
        open_ = true;
        pos_ = 0;
    }

    const Table& data() const {
        if (!open_) closed();
        return data_;
    }
    size_t current() const {
        if (!open_) closed();
        if (pos_ < 0 || pos_ >= static_cast<long>(data_.rows.size())) no_record();
        return static_cast<size_t>(pos_);
    }

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        switch (id) {
        case 1:
            if (call.put()) return set_connection(*call.value);
            if (connection_) connection_->AddRef();
            return ret_object(result, connection_);
        case 2: return call.put() ? void(cursor_location_ = long_of(*call.value)) : ret_long(result, cursor_location_);
        case 3: return call.put() ? void(cursor_type_ = long_of(*call.value)) : ret_long(result, cursor_type_);
        case 4: return call.put() ? void(lock_type_ = long_of(*call.value)) : ret_long(result, lock_type_);
        case 5: return call.put() ? void(source_ = text_of(*call.value)) : ret_text(result, source_);
        case 6:
            if (open_) fail(3705, L"Operation is not allowed when the object is open.");
            if (call.count() > 0 && !is_omitted(*call.args[0])) source_ = text_of(*call.args[0]);
            if (call.count() > 1 && !is_omitted(*call.args[1])) set_connection(*call.args[1]);
            return open();
        case 7:
            if (!open_) closed();
            open_ = false;
            data_ = Table{};
            return;
        case 8:
            if (!open_) closed();
            if (data_.rows.empty()) no_record();
            pos_ = 0;
            return;
        case 9:
            if (!open_) closed();
            if (pos_ >= static_cast<long>(data_.rows.size())) no_record();
            ++pos_;
            return;
        case 10: return ret_bool(result, data().rows.empty() || pos_ >= static_cast<long>(data_.rows.size()));
        case 11: return ret_bool(result, data().rows.empty() || pos_ < 0);
        case 12: return ret_long(result, static_cast<long>(data().rows.size()));
        case 13: return find(text_of(call.arg(0)));
        case 14: return fields(call, result);
        case 15: return ret_long(result, open_ ? 1 : 0);
        }
    }

private:
    void set_connection(const VARIANT& value) {
        const bool is_object = V_VT(&value) == VT_DISPATCH || V_VT(&value) == VT_UNKNOWN;
        Object* c = is_object ? Object::of(V_UNKNOWN(&value)) : nullptr;
        if (!c || !dynamic_cast<Connection*>(c))
            fail(3001, L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
                       L"another.");
        c->AddRef();
        if (connection_) connection_->Release();
        connection_ = c;
    }

    // "SELECT * FROM name [ORDER BY column [ASC|DESC]]"
    void open() {
        if (!connection_) fail(3709, L"The connection cannot be used to perform this operation. It is either closed "
                                     L"or invalid in this context.");
        const std::wstring& path = static_cast<Connection*>(connection_)->path();
        std::wstring sql = trim(source_), low = lower(sql);
        if (low.rfind(L"select * from ", 0) != 0)
            fail_hr(E_SYNTAX, L"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                              L"'UPDATE'.");
        size_t order = low.find(L" order by ");
        std::wstring name = trim(sql.substr(14, order == std::wstring::npos ? std::wstring::npos : order - 14));
        Database db = load(path);
        Table* t = db.find(name);
        if (!t) fail_hr(E_NOTABLE, L"The database engine cannot find the input table or query '" + name + L"'.");
        if (order != std::wstring::npos) {
            std::wstring by = trim(sql.substr(order + 10));
            bool descending = false;
            std::wstring lby = lower(by);
            if (lby.ends_with(L" desc")) {
                descending = true;
                by = trim(by.substr(0, by.size() - 5));
            } else if (lby.ends_with(L" asc")) {
                by = trim(by.substr(0, by.size() - 4));
            }
            auto column = std::find_if(t->columns.begin(), t->columns.end(),
                                       [&](const std::wstring& c) { return _wcsicmp(c.c_str(), by.c_str()) == 0; });
            if (column == t->columns.end())
                fail_hr(E_NOVALUE, L"No value given for one or more required parameters.");
            size_t c = static_cast<size_t>(column - t->columns.begin());
            bool numeric = t->numeric[c];
            std::stable_sort(t->rows.begin(), t->rows.end(), [&](const auto& a, const auto& b) {
                const Value& x = descending ? b[c] : a[c];
                const Value& y = descending ? a[c] : b[c];
                if (x.null || y.null) return x.null && !y.null;
                if (numeric) return wcstod(x.text.c_str(), nullptr) < wcstod(y.text.c_str(), nullptr);
                return _wcsicmp(x.text.c_str(), y.text.c_str()) < 0;
            });
        }
        fill(std::move(*t));
    }

    // "column = 'value'" from the current record on; not found: EOF.
    void find(const std::wstring& criterion) {
        if (!open_) closed();
        size_t eq = criterion.find(L'=');
        std::wstring column = trim(criterion.substr(0, eq == std::wstring::npos ? 0 : eq));
        std::wstring value = eq == std::wstring::npos ? std::wstring() : trim(criterion.substr(eq + 1));
        if (column.empty() || value.size() < 2 || value.front() != L'\'' || value.back() != L'\'' ||
            value.find(L'\'', 1) != value.size() - 1)
            fail(3001, L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
                       L"another.");
        value = value.substr(1, value.size() - 2);
        auto it = std::find_if(data_.columns.begin(), data_.columns.end(),
                               [&](const std::wstring& c) { return _wcsicmp(c.c_str(), column.c_str()) == 0; });
        if (it == data_.columns.end()) not_found();
        size_t c = static_cast<size_t>(it - data_.columns.begin());
        current();
        for (; pos_ < static_cast<long>(data_.rows.size()); ++pos_) {
            const Value& v = data_.rows[pos_][c];
            if (v.null) continue;
            if (data_.numeric[c] ? wcstod(v.text.c_str(), nullptr) == wcstod(value.c_str(), nullptr)
                                 : _wcsicmp(v.text.c_str(), value.c_str()) == 0)
                return;
        }
    }

    void fields(const Call& call, VARIANT* result);

    Object* connection_ = nullptr;
    long cursor_location_ = 2, cursor_type_ = 0, lock_type_ = 1;
    std::wstring source_;
    Table data_;
    bool open_ = false;
    long pos_ = 0;
};

class Field : public Object {
public:
    Field(Recordset* owner, size_t column) : Object({L"Value", L"Name"}, 1), owner_(owner), column_(column) {
        owner_->AddRef();
    }
    ~Field() override { owner_->Release(); }

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        const Table& t = owner_->data();
        if (column_ >= t.columns.size()) closed();
        if (id == 2) return ret_text(result, t.columns[column_]);
        if (call.put()) fail(3251, L"Current Recordset does not support updating.");
        size_t row = owner_->current();
        if (result) cell_value(t, row, column_, result);
    }

private:
    Recordset* owner_;
    size_t column_;
};

class Fields : public Object {
public:
    explicit Fields(Recordset* owner) : Object({L"Item", L"Count"}, 1), owner_(owner) { owner_->AddRef(); }
    ~Fields() override { owner_->Release(); }

    static IDispatch* item(Recordset* owner, const VARIANT& index) {
        const Table& t = owner->data();
        const VARIANT& i = deref(index);
        if (V_VT(&i) == VT_BSTR) {
            for (size_t c = 0; c < t.columns.size(); ++c)
                if (_wcsicmp(t.columns[c].c_str(), V_BSTR(&i)) == 0) return new Field(owner, c);
            not_found();
        }
        long n = long_of(i);
        if (n < 0 || n >= static_cast<long>(t.columns.size())) not_found();
        return new Field(owner, static_cast<size_t>(n));
    }

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        if (id == 2) return ret_long(result, static_cast<long>(owner_->data().columns.size()));
        ret_object(result, item(owner_, call.arg(0)));
    }

private:
    Recordset* owner_;
};

void Recordset::fields(const Call& call, VARIANT* result) {
    if (call.count() == 0) return ret_object(result, new Fields(this));
    IDispatch* field = Fields::item(this, call.arg(0));
    ret_object(result, field);
}

IDispatch* Connection::schema(long kind) {
    if (!open_) closed();
    if (kind != 20) fail(3251, L"Object or provider is not capable of performing requested operation.");
    Database db = load(path_);
    Table list;
    list.columns = {L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME", L"TABLE_TYPE"};
    list.numeric = {false, false, false, false};
    list.rows.push_back({Value{}, Value{}, Value{false, L"SysObjects"}, Value{false, L"SYSTEM TABLE"}});
    for (const Table& t : db.tables)
        list.rows.push_back({Value{}, Value{}, Value{false, t.name}, Value{false, L"TABLE"}});
    Recordset* r = new Recordset();  // a client-side set, already open
    r->fill(std::move(list));
    return r;
}

// ---- Catalog --------------------------------------------------------------------

class Catalog : public Object {
public:
    Catalog() : Object({L"Create"}, 0) {}

protected:
    void invoke(DISPID, const Call& call, VARIANT*) override {
        std::wstring text = text_of(call.arg(0));
        size_t at = lower(text).find(L"data source=");
        if (at == std::wstring::npos) fail_hr(E_PROVIDER, L"Could not find file ''.");
        std::wstring path = trim(text.substr(at + 12));
        const bool quoted = !path.empty() && path.front() == L'"';
        path = quoted ? path.substr(1, path.find(L'"', 1) - 1) : trim(path.substr(0, path.find(L';')));
        save(path, Database{}, true);
    }
};

}  // namespace

IDispatch* make_connection() { return new Connection(); }
IDispatch* make_recordset() { return new Recordset(); }
IDispatch* make_catalog() { return new Catalog(); }

}  // namespace standin
