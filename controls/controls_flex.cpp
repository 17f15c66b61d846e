// Controls: a flexible grid's column alignment, sorting, row and column colours,
// row removal and searching. The grid is reached late-bound by its property
// names, so any grid with that object model works. Row 0 is the header row;
// data rows run from 1 to Rows - 1; cells are read through TextArray(row x Cols + col).
#include <string>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr long kInvalidRow = 30009;  // the grid's "invalid Row value"
constexpr long kBadIndex = 381;      // invalid property array index

long lng(IDispatch* flex, const wchar_t* name) { return CLng(late::get(flex, name)); }

void refresh(IDispatch* flex) {
    late::call(flex, L"Refresh");
    forms::do_events();
}

// One search: whole-cell equality, both sides lower-cased when not exact.
class Search {
public:
    Search(IDispatch* flex, const BSTR find, bool exact)
        : flex_(flex), exact_(exact), find_(exact ? std::wstring(Bstr::view_of(find)) : LCase(Bstr::view_of(find))) {}

    bool matches(long row, long col, long cols) const {
        const std::wstring cell = CStr(late::get(flex_, L"TextArray", {Variant(row * cols + col)}));
        return exact_ ? cell == find_ : LCase(cell) == find_;
    }
    // The first data row of column col holding the text; -1 when none.
    long in_column(long col) const {
        const long rows = lng(flex_, L"Rows"), cols = lng(flex_, L"Cols");
        // A column past the last one would address the cells of the next row.
        if (col >= cols) raise(kBadIndex);
        for (long r = 1; r < rows; ++r)
            if (matches(r, col, cols)) return r;
        return -1;
    }
    // The first column of row `row` holding the text; -1 when none.
    long in_row(long row, long cols) const {
        for (long c = 0; c < cols; ++c)
            if (matches(row, c, cols)) return c;
        return -1;
    }
    long in_row(long row) const { return in_row(row, lng(flex_, L"Cols")); }

private:
    IDispatch* flex_;
    bool exact_;
    std::wstring find_;
};

long find(IDispatch* flex, BSTR text, bool exact, long col, long row, bool whole_grid) {
    const Search search(flex, text, exact);
    if (whole_grid) {
        const long rows = lng(flex, L"Rows"), cols = lng(flex, L"Cols");
        for (long r = 1; r < rows; ++r)
            if (long c = search.in_row(r, cols); c >= 0) return c;  // the column only
        return -1;
    }
    if (col >= 0) return search.in_column(col);
    if (row >= 1) return search.in_row(row);
    return -1;
}

// Removes data row `row`; rows outside the data rows are left alone. A grid
// refuses to remove its only data row: it is emptied to the header row instead.
void remove_row(IDispatch* flex, long row) {
    const long rows = lng(flex, L"Rows");
    if (row < 1 || row > rows - 1) return;
    try {
        late::call(flex, L"RemoveItem", {Variant(row)});
    } catch (const RuntimeError&) {
        if (rows != 2) throw;
        late::put(flex, L"Rows", Variant(1L));
    }
}

// Paints the cells from (row, col) to (row_sel, col_sel) through the selection;
// the grid's current cell, selection mode and fill style come back afterwards.
void paint_range(IDispatch* flex, long fore, long back, long row, long col, long row_sel, long col_sel) {
    const Variant old_row = late::get(flex, L"Row"), old_col = late::get(flex, L"Col");
    const Variant old_big = late::get(flex, L"AllowBigSelection"), old_fill = late::get(flex, L"FillStyle");
    auto restore = [&] {
        late::put(flex, L"Row", old_row);
        late::put(flex, L"Col", old_col);
        late::put(flex, L"AllowBigSelection", old_big);
        late::put(flex, L"FillStyle", old_fill);
    };
    try {
        late::put(flex, L"AllowBigSelection", Variant(true));
        late::put(flex, L"FillStyle", Variant(1L));
        late::put(flex, L"Row", Variant(row));
        late::put(flex, L"Col", Variant(col));
        late::put(flex, L"RowSel", Variant(row_sel));
        late::put(flex, L"ColSel", Variant(col_sel));
        late::put(flex, L"CellBackColor", Variant(back));
        late::put(flex, L"CellForeColor", Variant(fore));
    } catch (...) {
        late::skipping_errors(restore);
        throw;
    }
    restore();
    refresh(flex);
}

}  // namespace

HRESULT Controls::Flex_SetColAligment(IDispatch** Flex, FLEXALIGMENT Alignment, long ColIndex, VARIANT_BOOL AllCols,
                                      long* result) {
    return trapped(Trap{Source::Controls, L"Flex_SetColAligment"}, result, ErrorNumberResult{}, [&] {
        IDispatch* flex = object_arg(Flex);
        const Variant value(static_cast<long>(Alignment));
        if (AllCols) {
            for (long c = 0, cols = lng(flex, L"Cols"); c < cols; ++c)
                late::put(flex, L"ColAlignment", value, {Variant(c)});
        } else {
            late::put(flex, L"ColAlignment", value, {Variant(ColIndex)});
        }
        refresh(flex);
        return 0L;
    });
}

// A grid without data rows refuses Row = 1 (30009): nothing to sort, no error.
HRESULT Controls::Flex_Sort(IDispatch** Flex, FLEXSORT Sort, long ColIndex, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_Sort"}, result, ErrorNumberResult{}, [&] {
        IDispatch* flex = object_arg(Flex);
        // Every step runs; the last error other than 30009 is the result.
        RuntimeError failed(0);
        auto step = [&](auto&& body) {
            try {
                body();
            } catch (...) {
                RuntimeError e = detail::as_runtime_error(std::current_exception());
                if (e.number() != kInvalidRow) failed = e;
            }
        };
        Variant row, col;
        step([&] { row = late::get(flex, L"Row"); });
        step([&] { col = late::get(flex, L"Col"); });
        step([&] { late::put(flex, L"Row", Variant(1L)); });
        step([&] { late::put(flex, L"Col", Variant(ColIndex)); });
        step([&] { late::put(flex, L"Sort", Variant(static_cast<long>(Sort))); });
        step([&] { late::put(flex, L"Row", row); });
        step([&] { late::put(flex, L"Col", col); });
        step([&] { refresh(flex); });
        if (failed.number()) throw failed;
        return 0L;
    });
}

HRESULT Controls::Flex_ColorRow(IDispatch** Flex, long ForeColor, long BackColor, long Row, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_ColorRow"}, result, ErrorNumberResult{}, [&] {
        IDispatch* flex = object_arg(Flex);
        paint_range(flex, ForeColor, BackColor, Row, 0, Row, lng(flex, L"Cols") - 1);
        return 0L;
    });
}

HRESULT Controls::Flex_ColorCol(IDispatch** Flex, long ForeColor, long BackColor, long Col, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_ColorCol"}, result, ErrorNumberResult{}, [&] {
        IDispatch* flex = object_arg(Flex);
        paint_range(flex, ForeColor, BackColor, 1, Col, lng(flex, L"Rows") - 1, Col);
        return 0L;
    });
}

HRESULT Controls::Flex_Remove(IDispatch** Flex, long Row, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_Remove"}, result, ErrorNumberResult{}, [&] {
        remove_row(object_arg(Flex), Row);
        return 0L;
    });
}

HRESULT Controls::Flex_Find(IDispatch** Flex, BSTR Find, VARIANT_BOOL FindExact, long Col, long Row,
                            VARIANT_BOOL SearchCompleteFlex, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_Find", ErrorNumber}, result, -2L,
                   [&] { return find(object_arg(Flex), Find, FindExact, Col, Row, SearchCompleteFlex); });
}

// Row -1 searches every column; any other value names the one column searched.
// The first match of each column is removed.
HRESULT Controls::Flex_DeleteValue(IDispatch** Flex, BSTR Value, long Row, VARIANT_BOOL FindExact, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_DeleteValue"}, result, ErrorNumberResult{}, [&] {
        IDispatch* flex = object_arg(Flex);
        const Search search(flex, Value, FindExact);
        long first = Row, last = Row;
        if (Row == -1) first = 0, last = lng(flex, L"Cols") - 1;
        for (long c = first; c <= last; ++c)
            if (long r = search.in_column(c); r >= 0) remove_row(flex, r);
        return 0L;
    });
}

// The first error of a row's search ends the walk.
HRESULT Controls::Flex_ItemExist(IDispatch** Flex, BSTR Value, VARIANT_BOOL FindExact, long* ErrorNumber,
                                 VARIANT_BOOL* result) {
    return trapped(Trap{Source::Controls, L"Flex_ItemExist", ErrorNumber}, result, false, [&] {
        IDispatch* flex = object_arg(Flex);
        const long rows = lng(flex, L"Rows");
        for (long r = 1; r < rows; ++r) {
            VARIANT_BOOL found = VARIANT_FALSE;
            long number = 0;
            check(Flex_RowItemExist(Flex, Value, r, FindExact, &number, &found));
            if (number) {
                if (ErrorNumber) *ErrorNumber = number;
                return false;
            }
            if (found) return true;
        }
        return false;
    });
}

HRESULT Controls::Flex_ColItemExist(IDispatch** Flex, BSTR Item, long Col, VARIANT_BOOL FindExact, long* ErrorNumber,
                                    VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long at = -1;
        check(Flex_Find(Flex, Item, FindExact, Col, 0, VARIANT_FALSE, ErrorNumber, &at));
        return at >= 0;
    });
}

HRESULT Controls::Flex_RowItemExist(IDispatch** Flex, BSTR Value, long Row, VARIANT_BOOL FindExact, long* ErrorNumber,
                                    VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long at = -1;
        check(Flex_Find(Flex, Value, FindExact, -1, Row, VARIANT_FALSE, ErrorNumber, &at));
        return at >= 0;
    });
}

}  // namespace qm
