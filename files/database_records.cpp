// DataBase: finding records, testing columns and emptiness, and the CSV export.
#include <utility>
#include <vector>

#include "files/database.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"

namespace qm {

namespace {

using database::object_of;
using database::text_of_value;

bool at_end(IDispatch* recordset) { return CBool(*late::get(recordset, L"EOF").get()); }

ComPtr<IDispatch> fields_of(IDispatch* recordset) { return late::object(late::get(recordset, L"Fields")); }

// The field of the current record by index or name.
ComPtr<IDispatch> field(IDispatch* fields, const VARIANT& index) {
    return late::object(late::get(fields, L"Item", {Variant(deref(index))}));
}

void move_first(IDispatch* recordset) {
    late::skipping_errors([&] { late::call(recordset, L"MoveFirst"); });
}

// Recordset.Find with "column = 'value'" (the value is not escaped: a quote in it
// is the provider's error); true when a record was found.
bool find_first(IDispatch* recordset, std::wstring_view column, std::wstring_view value) {
    late::call(recordset, L"Find", {Variant(std::wstring(column) + L" = '" + std::wstring(value) + L"'")});
    return !at_end(recordset);
}

// One CSV line: every cell quoted, quotes inside doubled, cells separated by ",".
void append_line(std::wstring& text, const std::vector<std::wstring>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) text += L',';
        text += L'"';
        text += Replace(cells[i], L"\"", L"\"\"");
        text += L'"';
    }
    text += L"\r\n";
}

}  // namespace

HRESULT DataBase::Find(IDispatch** Recordset, BSTR FindIn, BSTR* sFind, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::DataBase, L"Find", ErrorNumber}, result, false, [&] {
        IDispatch* rs = object_of(Recordset);
        move_first(rs);
        return find_first(rs, text_of(FindIn), sFind ? text_of(*sFind) : std::wstring_view());
    });
}

HRESULT DataBase::Find_Multi(IDispatch** Recordset, SAFEARRAY** Find, BSTR* ErrorNumber, VARIANT_BOOL* result) {
    long number = 0;
    HRESULT hr = trapped(Trap{Source::DataBase, L"Find_Multi", &number}, result, false, [&] {
        IDispatch* rs = object_of(Recordset);
        // The criteria: column (name or index) and wanted text, lower to upper bound.
        SAFEARRAY* sa = Find ? *Find : nullptr;
        long lo = 0, hi = -1;
        if (!sa || SafeArrayGetDim(sa) != 1 || FAILED(SafeArrayGetLBound(sa, 1, &lo)) ||
            FAILED(SafeArrayGetUBound(sa, 1, &hi)) || hi < lo)
            raise(err::SubscriptOutOfRange);
        VARTYPE vt = VT_EMPTY;
        if (FAILED(SafeArrayGetVartype(sa, &vt)) || vt != VT_RECORD || SafeArrayGetElemsize(sa) != sizeof(FindInfo))
            raise(err::TypeMismatch);
        std::vector<std::pair<Variant, std::wstring>> criteria;
        {
            FindInfo* items = nullptr;
            check(SafeArrayAccessData(sa, reinterpret_cast<void**>(&items)));
            struct Unaccess {
                SAFEARRAY* sa;
                ~Unaccess() { SafeArrayUnaccessData(sa); }
            } unaccess{sa};
            for (long i = 0; i <= hi - lo; ++i)
                criteria.emplace_back(Variant(deref(items[i].FindIn)), text_of_value(items[i].ToFind));
        }
        move_first(rs);
        if (!find_first(rs, text_of_value(*criteria[0].first.get()), criteria[0].second)) return false;
        ComPtr<IDispatch> fields = fields_of(rs);
        while (!at_end(rs)) {
            bool match = true;
            for (const auto& [column, wanted] : criteria) {
                Variant value = late::value_of(*late::get(field(fields.get(), *column.get()).get(), L"Value").get());
                // A Null field holds no text: it matches no criterion.
                if (value.vt() == VT_NULL || CStr(*value.get()) != wanted) {
                    match = false;
                    break;
                }
            }
            if (match) return true;
            late::call(rs, L"MoveNext");
        }
        return false;
    });
    if (ErrorNumber) detail::store(ErrorNumber, Bstr(CStr(number)));
    return hr;
}

HRESULT DataBase::Exist(IDispatch** Recordset, BSTR sFind, VARIANT* FindIn, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::DataBase, L"Exist", ErrorNumber}, result, false, [&] {
        Bstr column(FindIn ? text_of_value(*FindIn) : std::wstring());
        Bstr wanted(text_of(sFind));
        BSTR text = wanted.get();
        VARIANT_BOOL found = VARIANT_FALSE;
        check(this->Find(Recordset, column.get(), &text, ErrorNumber, &found));
        return found == VARIANT_TRUE;
    });
}

HRESULT DataBase::Export(IDispatch** Recordset, BSTR Path, long* result) {
    return trapped(Trap{Source::DataBase, L"Export"}, result, ErrorNumberResult{}, [&] {
        IDispatch* rs = object_of(Recordset);
        move_first(rs);
        ComPtr<IDispatch> fields = fields_of(rs);
        const long count = CLng(*late::get(fields.get(), L"Count").get());
        std::vector<std::wstring> cells(static_cast<size_t>(count > 0 ? count : 0));
        std::wstring text;
        for (long i = 0; i < count; ++i)
            cells[i] = text_of_value(*late::get(field(fields.get(), *Variant(i).get()).get(), L"Name").get());
        append_line(text, cells);
        while (!at_end(rs)) {
            for (long i = 0; i < count; ++i)
                cells[i] = text_of_value(*late::get(field(fields.get(), *Variant(i).get()).get(), L"Value").get());
            append_line(text, cells);
            late::call(rs, L"MoveNext");
        }
        long written = 0;
        check(shared<_Text>()->TextFile_WriteText(Path, Bstr(text).get(), &written));
        return written;
    });
}

HRESULT DataBase::ColumnExist(IDispatch** Recordset, BSTR Column, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::DataBase, L"ColumnExist", ErrorNumber}, result, false, [&] {
        ComPtr<IDispatch> fields = fields_of(object_of(Recordset));
        const long count = CLng(*late::get(fields.get(), L"Count").get());
        const std::wstring wanted = LCase(text_of(Column));
        for (long i = 0; i < count; ++i)
            if (LCase(text_of_value(*late::get(field(fields.get(), *Variant(i).get()).get(), L"Name").get())) == wanted)
                return true;
        return false;
    });
}

HRESULT DataBase::isEMPTY(IDispatch** Recordset, long* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::DataBase, L"isEMPTY", ErrorNumber}, result, false, [&] {
        return CLng(*late::get(object_of(Recordset), L"RecordCount").get()) == 0;
    });
}

}  // namespace qm
