// The stand-in database: tables kept in the database file itself (so a file
// copied or renamed carries its tables), read and written whole on each statement.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace standin {

struct Value {
    bool null = true;
    std::wstring text;
};

struct Table {
    std::wstring name;
    std::vector<std::wstring> columns;
    std::vector<bool> numeric;  // per column: numbers, else text
    std::vector<std::vector<Value>> rows;
};

struct Database {
    std::vector<Table> tables;
    Table* find(const std::wstring& name);  // any case
};

// A missing file fails with the provider's "could not find" error, a file of
// another format with its "unrecognized format" error.
Database load(const std::wstring& path);
void save(const std::wstring& path, const Database& db, bool create_new = false);

// CREATE TABLE, DROP TABLE, INSERT INTO ... VALUES: the provider's syntax error otherwise.
void execute(const std::wstring& path, const std::wstring& sql);

// A cell as a Variant: Null, a number of a numeric column, else text.
void cell_value(const Table& t, size_t row, size_t column, VARIANT* out);

// Provider errors.
constexpr HRESULT E_PROVIDER = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_SYNTAX = static_cast<HRESULT>(0x80040E14);
constexpr HRESULT E_NOTABLE = static_cast<HRESULT>(0x80040E37);
constexpr HRESULT E_NOVALUE = static_cast<HRESULT>(0x80040E10);

}  // namespace standin
