// The grids' automation face: FlexGrid's members, and DataGrid, which fills
// itself from a record set (read late-bound through its Fields and records).
#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/forms/table_helpers.h"
#include "runtime/latebind.h"

namespace qm::forms {

namespace {

using namespace tables;

FlexGrid& F(Object& o) { return S<FlexGrid>(o); }

// TextArray's index: row x Cols + column.
std::pair<long, long> cell_of_index(const FlexGrid& g, long i) {
    if (i < 0 || g.cols() == 0 || i >= g.rows() * g.cols()) raise(herr::BadArrayIndex);
    return {i / g.cols(), i % g.cols()};
}

const Table& grid_shape() {
    static const Table t({},
                         {
                             {L"FixedRows", [](Object& o, A) { return var(S<GridControl>(o).fixed_rows()); },
                              [](Object& o, A, V v) { S<GridControl>(o).set_fixed_rows(CLng(v)); }},
                             {L"FixedCols", [](Object& o, A) { return var(S<GridControl>(o).fixed_cols()); },
                              [](Object& o, A, V v) { S<GridControl>(o).set_fixed_cols(CLng(v)); }},
                             {L"ColWidth", [](Object& o, A a) { return var(S<GridControl>(o).col_width(a.lng(0))); },
                              [](Object& o, A a, V v) { S<GridControl>(o).set_col_width(a.lng(0), CSng(v)); }},
                             {L"ColAlignment", [](Object& o, A a) { return var(S<GridControl>(o).col_alignment(a.lng(0))); },
                              [](Object& o, A a, V v) { S<GridControl>(o).set_col_alignment(a.lng(0), CLng(v)); }},
                             {L"Redraw", [](Object& o, A) { return var(S<GridControl>(o).redraw()); },
                              [](Object& o, A, V v) { S<GridControl>(o).set_redraw(CBool(v)); }},
                         });
    return t;
}

}  // namespace

const Table& FlexGrid::table() const {
    static const Table t(
        {&hwnd_member(), &grid_shape(), &Control::members()},
        {
            {L"Rows", [](Object& o, A) { return var(F(o).rows()); }, [](Object& o, A, V v) { F(o).set_rows_kept(CLng(v)); }},
            {L"Cols", [](Object& o, A) { return var(F(o).cols()); }, [](Object& o, A, V v) { F(o).set_cols_kept(CLng(v)); }},
            {L"Row", [](Object& o, A) { return var(F(o).row()); }, [](Object& o, A, V v) { F(o).set_row(CLng(v)); }},
            {L"Col", [](Object& o, A) { return var(F(o).col()); }, [](Object& o, A, V v) { F(o).set_col(CLng(v)); }},
            {L"RowSel", [](Object& o, A) { return var(F(o).row_sel()); }, [](Object& o, A, V v) { F(o).set_row_sel(CLng(v)); }},
            {L"ColSel", [](Object& o, A) { return var(F(o).col_sel()); }, [](Object& o, A, V v) { F(o).set_col_sel(CLng(v)); }},
            {L"TextMatrix", [](Object& o, A a) { return var(F(o).text(a.lng(0), a.lng(1))); },
             [](Object& o, A a, V v) { F(o).set_text(a.lng(0), a.lng(1), CStr(v)); }},
            {L"TextArray", [](Object& o, A a) {
                 auto [r, c] = cell_of_index(F(o), a.lng(0));
                 return var(F(o).text(r, c));
             },
             [](Object& o, A a, V v) {
                 auto [r, c] = cell_of_index(F(o), a.lng(0));
                 F(o).set_text(r, c, CStr(v));
             }},
            {L"Sort", nullptr, [](Object& o, A, V v) { F(o).sort(CLng(v)); }},
            {L"FillStyle", [](Object& o, A) { return var(F(o).fill_style); },
             [](Object& o, A, V v) {
                 long s = CLng(v);
                 if (s < 0 || s > 1) raise(err::InvalidPropertyValue);
                 F(o).fill_style = s;
             }},
            {L"AllowBigSelection", [](Object& o, A) { return var(F(o).allow_big_selection); },
             [](Object& o, A, V v) { F(o).allow_big_selection = CBool(v); }},
            {L"CellBackColor", [](Object& o, A) { return var(F(o).cell_color(true)); },
             [](Object& o, A, V v) { F(o).set_cell_color(true, CLng(v)); }},
            {L"CellForeColor", [](Object& o, A) { return var(F(o).cell_color(false)); },
             [](Object& o, A, V v) { F(o).set_cell_color(false, CLng(v)); }},
            {L"RemoveItem", [](Object& o, A a) { F(o).remove_item(a.lng(0)); return none(); }},
            {L"Clear", [](Object& o, A) { F(o).clear(); return none(); }},
        });
    return t;
}

// --- DataGrid ------------------------------------------------------------------------------

DataGrid::DataGrid() {
    fixed_cols_ = 0;
    resize(1, 0);
}

ComPtr<Control> DataGrid::clone() const {
    ComPtr<DataGrid> c = make<DataGrid>();
    c->copy_grid(*this);
    c->source_ = source_;
    return ComPtr<Control>(c.get());
}

void DataGrid::set_data_source(IDispatch* recordset) {
    if (!recordset) {
        source_ = nullptr;
        resize(1, 0);
        return;
    }
    ComPtr<IDispatch> fields = late::object(*late::get(recordset, L"Fields").get());
    long n = CLng(*late::get(fields.get(), L"Count").get());
    if (n < 0) raise(err::InvalidPropertyValue);
    std::vector<std::wstring> names;
    for (long i = 0; i < n; ++i) {
        ComPtr<IDispatch> field = late::object(*late::get(fields.get(), L"Item", {Variant(i)}).get());
        names.push_back(CStr(*late::get(field.get(), L"Name").get()));
    }
    std::vector<std::wstring> texts;  // the records' values, row by row
    long records = 0;
    if (!CBool(*late::get(recordset, L"EOF").get())) {
        late::call(recordset, L"MoveFirst");
        while (!CBool(*late::get(recordset, L"EOF").get())) {
            ComPtr<IDispatch> current = late::object(*late::get(recordset, L"Fields").get());
            for (long i = 0; i < n; ++i) {
                ComPtr<IDispatch> field = late::object(*late::get(current.get(), L"Item", {Variant(i)}).get());
                Variant value = late::get(field.get(), L"Value");
                texts.push_back(IsNull(*value.get()) || IsEmpty(*value.get()) ? std::wstring() : CStr(*value.get()));
            }
            ++records;
            late::call(recordset, L"MoveNext");
        }
    }
    resize(0, 0);
    resize(records + 1, n);
    fixed_rows_ = 1;
    for (long c = 0; c < n; ++c) cell(0, c).text = names[static_cast<size_t>(c)];
    for (long r = 0; r < records; ++r)
        for (long c = 0; c < n; ++c) cell(r + 1, c).text = std::move(texts[static_cast<size_t>(r * n + c)]);
    source_ = recordset;
    invalidate();
}

const Table& GridColumn::table() const {
    static const Table t({},
                         {
                             {L"Caption", [](Object& o, A) { auto& c = S<GridColumn>(o); return var(c.grid->text(0, c.index)); },
                              [](Object& o, A, V v) { auto& c = S<GridColumn>(o); c.grid->set_text(0, c.index, CStr(v)); }},
                             {L"Width", [](Object& o, A) { auto& c = S<GridColumn>(o); return var(c.grid->col_width(c.index)); },
                              [](Object& o, A, V v) {
                                  auto& c = S<GridColumn>(o);
                                  float w = CSng(v);
                                  if (w < 0) raise(err::InvalidPropertyValue);
                                  c.grid->set_col_width(c.index, w);
                              }},
                             {L"ColIndex", [](Object& o, A) { return var(S<GridColumn>(o).index); }},
                         },
                         L"Caption");
    return t;
}

namespace {
class GridColumns final : public Object {
public:
    explicit GridColumns(DataGrid& g) : grid_(&g) {}
    const wchar_t* type_name() const noexcept override { return L"Columns"; }
    const Table& table() const override {
        static const Table t({},
                             {
                                 {L"Count", [](Object& o, A) { return var(S<GridColumns>(o).grid_->cols()); }},
                                 {L"Item", [](Object& o, A a) {
                                      auto& self = S<GridColumns>(o);
                                      long i = a.lng(0);
                                      if (i < 0 || i >= self.grid_->cols()) raise(herr::IndexOutOfBounds);
                                      ComPtr<GridColumn> c = make<GridColumn>();
                                      c->grid = self.grid_;
                                      c->index = i;
                                      return var(static_cast<IDispatch*>(c.get()));
                                  }},
                             },
                             L"Item");
        return t;
    }

private:
    ComPtr<DataGrid> grid_;
};
}  // namespace

const Table& DataGrid::table() const {
    static const Table t({&hwnd_member(), &Control::members()},
                         {
                             {L"DataSource", [](Object& o, A) { return var(static_cast<IDispatch*>(S<DataGrid>(o).data_source().get())); },
                              [](Object& o, A, V v) {
                                  IDispatch* d = dispatch_of(v);
                                  if (!d && V_VT(&deref(v)) != VT_DISPATCH && V_VT(&deref(v)) != VT_EMPTY) raise(err::ObjectRequired);
                                  S<DataGrid>(o).set_data_source(d);
                              }},
                             {L"Columns", [](Object& o, A a) {
                                  ComPtr<GridColumns> c = make<GridColumns>(S<DataGrid>(o));
                                  return collection_result(c.get(), a);
                              }},
                         });
    return t;
}

}  // namespace qm::forms
