#include "standin_store.h"

#include <cwctype>

#include "standin.h"

namespace standin {

namespace {

const wchar_t kMagic[] = L"QuillmarkTest database 1";

std::string utf8(const std::wstring& s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string r(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), r.data(), n, nullptr, nullptr);
    return r;
}

std::wstring wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

// Cells are written escaped: \N for Null, else ' and the text with \ \t \n \r escaped.
std::wstring escape(const Value& v) {
    if (v.null) return L"\\N";
    std::wstring r = L"'";
    for (wchar_t c : v.text) {
        if (c == L'\\') r += L"\\\\";
        else if (c == L'\t') r += L"\\t";
        else if (c == L'\n') r += L"\\n";
        else if (c == L'\r') r += L"\\r";
        else r += c;
    }
    return r;
}

Value unescape(const std::wstring& s) {
    Value v;
    if (s == L"\\N") return v;
    v.null = false;
    for (size_t i = 1; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L'\\' && i + 1 < s.size()) {
            c = s[++i];
            c = c == L't' ? L'\t' : c == L'n' ? L'\n' : c == L'r' ? L'\r' : c;
        }
        v.text += c;
    }
    return v;
}

std::vector<std::wstring> split(const std::wstring& line, wchar_t sep) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t at = line.find(sep, start);
        parts.push_back(line.substr(start, at - start));
        if (at == std::wstring::npos) return parts;
        start = at + 1;
    }
}

std::wstring trim(const std::wstring& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::iswspace(s[a])) ++a;
    while (b > a && std::iswspace(s[b - 1])) --b;
    return s.substr(a, b - a);
}

// Reads a keyword sequence at the front of s (any case, words separated by blanks).
bool take_words(std::wstring& s, const wchar_t* words) {
    std::wstring rest = trim(s);
    for (const std::wstring& w : split(words, L' ')) {
        if (rest.size() < w.size() || _wcsnicmp(rest.c_str(), w.c_str(), w.size()) != 0) return false;
        if (rest.size() > w.size() && !std::iswspace(rest[w.size()]) && rest[w.size()] != L'(') return false;
        rest = trim(rest.substr(w.size()));
    }
    s = rest;
    return true;
}

bool numeric_type(std::wstring type) {
    type = lower(trim(type));
    for (const wchar_t* t : {L"int", L"integer", L"long", L"short", L"smallint", L"byte", L"double", L"float", L"real",
                             L"single", L"currency", L"counter", L"number"})
        if (type.rfind(t, 0) == 0) return true;
    return false;
}

// The literals of a VALUES list: 'text' ('' for a quote), NULL, numbers.
std::vector<Value> literals(const std::wstring& list) {
    std::vector<Value> values;
    size_t i = 0;
    auto skip = [&] {
        while (i < list.size() && std::iswspace(list[i])) ++i;
    };
    for (;;) {
        skip();
        Value v;
        if (i < list.size() && list[i] == L'\'') {
            v.null = false;
            for (++i;; ++i) {
                if (i >= list.size()) fail_hr(E_SYNTAX, L"Syntax error in string in query expression.");
                if (list[i] == L'\'') {
                    if (i + 1 < list.size() && list[i + 1] == L'\'') {
                        v.text += L'\'';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    v.text += list[i];
                }
            }
        } else {
            size_t start = i;
            while (i < list.size() && list[i] != L',') ++i;
            std::wstring token = trim(list.substr(start, i - start));
            if (token.empty()) fail_hr(E_SYNTAX, L"Syntax error in INSERT INTO statement.");
            if (_wcsicmp(token.c_str(), L"NULL") != 0) {
                wchar_t* end = nullptr;
                wcstod(token.c_str(), &end);
                if (*end) fail_hr(E_NOVALUE, L"No value given for one or more required parameters.");
                v.null = false;
                v.text = token;
            }
        }
        values.push_back(v);
        skip();
        if (i >= list.size()) return values;
        if (list[i] != L',') fail_hr(E_SYNTAX, L"Syntax error in INSERT INTO statement.");
        ++i;
    }
}

// "name (inner)" -> name and inner; no parentheses: inner is empty.
void name_and_list(const std::wstring& s, std::wstring& name, std::wstring& inner, bool& has_list) {
    size_t open = s.find(L'(');
    has_list = open != std::wstring::npos;
    name = trim(s.substr(0, open));
    inner.clear();
    if (has_list) {
        size_t close = s.rfind(L')');
        if (close == std::wstring::npos || close < open || !trim(s.substr(close + 1)).empty())
            fail_hr(E_SYNTAX, L"Syntax error in statement.");
        inner = s.substr(open + 1, close - open - 1);
    }
}

}  // namespace

Table* Database::find(const std::wstring& name) {
    for (auto& t : tables)
        if (_wcsicmp(t.name.c_str(), name.c_str()) == 0) return &t;
    return nullptr;
}

Database load(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) fail_hr(E_PROVIDER, L"Could not find file '" + path + L"'.");
    std::string bytes;
    char buffer[4096];
    DWORD got;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(h);
    std::vector<std::wstring> lines = split(wide(bytes), L'\n');
    if (lines.empty() || lines[0] != kMagic) fail_hr(E_PROVIDER, L"Unrecognized database format '" + path + L"'.");
    Database db;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::wstring> f = split(lines[i], L'\t');
        if (f[0] == L"table" && f.size() >= 2) {
            Table t;
            t.name = f[1];
            for (size_t c = 2; c < f.size(); ++c) {
                t.numeric.push_back(f[c].size() > 1 && f[c][0] == L'N');
                t.columns.push_back(f[c].substr(1));
            }
            db.tables.push_back(std::move(t));
        } else if (f[0] == L"row" && !db.tables.empty()) {
            std::vector<Value> row;
            for (size_t c = 1; c < f.size(); ++c) row.push_back(unescape(f[c]));
            db.tables.back().rows.push_back(std::move(row));
        }
    }
    return db;
}

void save(const std::wstring& path, const Database& db, bool create_new) {
    std::wstring text = kMagic;
    for (const Table& t : db.tables) {
        text += L"\ntable\t" + t.name;
        for (size_t c = 0; c < t.columns.size(); ++c) text += (t.numeric[c] ? L"\tN" : L"\tT") + t.columns[c];
        for (const auto& row : t.rows) {
            text += L"\nrow";
            for (const Value& v : row) text += L"\t" + escape(v);
        }
    }
    std::string bytes = utf8(text);
    HANDLE h =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, create_new ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (create_new && GetLastError() == ERROR_FILE_EXISTS) fail_hr(E_PROVIDER, L"Database already exists.");
        fail_hr(E_PROVIDER, L"Could not find file '" + path + L"'.");
    }
    DWORD put = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
    if (!ok || put != bytes.size()) fail_hr(E_PROVIDER, L"Disk or network error.");
}

void execute(const std::wstring& path, const std::wstring& sql) {
    Database db = load(path);
    std::wstring rest = sql, name, inner;
    bool has_list = false;
    if (take_words(rest, L"CREATE TABLE")) {
        name_and_list(rest, name, inner, has_list);
        if (name.empty() || !has_list || trim(inner).empty())
            fail_hr(E_SYNTAX, L"Syntax error in CREATE TABLE statement.");
        if (db.find(name)) fail_hr(E_PROVIDER, L"Table '" + name + L"' already exists.");
        Table t;
        t.name = name;
        for (const std::wstring& column : split(inner, L',')) {
            std::wstring c = trim(column);
            size_t blank = c.find_first_of(L" \t");
            if (c.empty() || blank == std::wstring::npos)
                fail_hr(E_SYNTAX, L"Syntax error in field definition.");
            t.columns.push_back(c.substr(0, blank));
            t.numeric.push_back(numeric_type(c.substr(blank)));
        }
        db.tables.push_back(std::move(t));
    } else if (take_words(rest, L"DROP TABLE")) {
        name = trim(rest);
        Table* t = db.find(name);
        if (!t) fail_hr(E_NOTABLE, L"Table '" + name + L"' does not exist.");
        db.tables.erase(db.tables.begin() + (t - db.tables.data()));
    } else if (take_words(rest, L"INSERT INTO")) {
        size_t values = lower(rest).find(L"values");
        if (values == std::wstring::npos) fail_hr(E_SYNTAX, L"Syntax error in INSERT INTO statement.");
        name = trim(rest.substr(0, values));
        rest = rest.substr(values + 6);
        std::wstring unused;
        name_and_list(rest, unused, inner, has_list);
        if (!has_list || !unused.empty()) fail_hr(E_SYNTAX, L"Syntax error in INSERT INTO statement.");
        Table* t = db.find(name);
        if (!t) fail_hr(E_NOTABLE, L"The database engine cannot find the input table or query '" + name + L"'.");
        std::vector<Value> row = literals(inner);
        if (row.size() != t->columns.size())
            fail_hr(E_SYNTAX, L"Number of query values and destination fields are not the same.");
        t->rows.push_back(std::move(row));
    } else {
        fail_hr(E_SYNTAX, L"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }
    save(path, db);
}

void cell_value(const Table& t, size_t row, size_t column, VARIANT* out) {
    VariantInit(out);
    const Value& v = t.rows[row][column];
    if (v.null) {
        V_VT(out) = VT_NULL;
    } else if (t.numeric[column]) {
        double d = wcstod(v.text.c_str(), nullptr);
        if (d == static_cast<long>(d)) V_VT(out) = VT_I4, V_I4(out) = static_cast<long>(d);
        else V_VT(out) = VT_R8, V_R8(out) = d;
    } else {
        ret_text(out, v.text);
    }
}

}  // namespace standin
