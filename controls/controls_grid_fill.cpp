// Controls: a flexible grid's column widths fitted to its texts, and grids filled
// from a record set. Grids and record sets are reached late-bound (MoveFirst,
// MoveNext, EOF, Fields with each field's Name and default value), so those of
// any origin work; the cells of our own forms engine's grid are written and read
// in place, without a late-bound call per cell. Texts are measured on the worker
// form's LabelMessage.
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/forms/limits.h"
#include "runtime/latebind.h"
#include "runtime/latebind_bound.h"

namespace qm {

namespace {

long lng(IDispatch* object, const wchar_t* name) { return CLng(late::get(object, name)); }

// A loaded worker form, unloaded however the member ends.
class Worker {
public:
    explicit Worker(const wchar_t* tag) : form_(forms::make<MyControls>()) {
        form_->load();
        form_->set_tag(tag);
    }
    ~Worker() {
        late::skipping_errors([&] { form_->unload(); });
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    MyControls& operator*() { return *form_.get(); }

private:
    ComPtr<MyControls> form_;
};

// Widths of texts as the label takes them with AutoSize on (one line, an empty
// caption as one blank, its border added), in twips, the worker form's scale;
// measured on one device context holding the label's font.
class Measure {
public:
    explicit Measure(forms::Label& label)
        : dc_(CreateCompatibleDC(nullptr)), border_(label.s_.border_style == 1 ? 2 : 0) {
        if (!dc_) raise(err::OutOfMemory);
        old_ = SelectObject(dc_, label.hfont());
    }
    ~Measure() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;
    float operator()(const std::wstring& text) const {
        const std::wstring& t = text.empty() ? kBlank : text;
        RECT r{};
        DrawTextW(dc_, t.c_str(), static_cast<int>(t.size()), &r, DT_CALCRECT);
        return static_cast<float>(r.right + border_) * forms::twips_per_pixel_x();
    }

private:
    inline static const std::wstring kBlank = L" ";
    HDC dc_;
    int border_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

// Each column gets the width of its widest text, header included, or with
// SingleColSize False every column the widest text of the whole grid.
HRESULT Controls::Flex_Autosize(IDispatch** Flex, VARIANT_BOOL SingleColSize, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_Autosize"}, result, ErrorNumberResult{}, [&] {
        IDispatch* flex = object_arg(Flex);
        Worker worker(L"Flex_Autosize");
        auto& label = (*worker).get<forms::Label>(L"LabelMessage");
        ComPtr<IDispatch> font = late::object(late::get(flex, L"Font"));
        label.set_font_name(CStr(late::get(font.get(), L"Name")));
        label.set_font_size(CSng(late::get(font.get(), L"Size")));
        label.set_font_flag(DISPID_FONT_ITALIC, CBool(late::get(font.get(), L"Italic")));
        label.set_font_flag(DISPID_FONT_BOLD, CBool(late::get(font.get(), L"Bold")));
        label.set_auto_size(true);
        const Measure measure(label);

        const Variant redraw = late::get(flex, L"Redraw");
        late::put(flex, L"Redraw", Variant(false));
        try {
            const long rows = lng(flex, L"Rows"), cols = lng(flex, L"Cols");
            auto* hosted = dynamic_cast<forms::FlexGrid*>(forms::object_of(flex));
            auto width = [&](long r, long c) {
                if (hosted) return measure(hosted->text(r, c));
                return measure(CStr(late::get(flex, L"TextMatrix", {Variant(r), Variant(c)})));
            };
            float widest = 0;
            for (long c = 0; c < cols; ++c) {
                if (SingleColSize) widest = 0;
                for (long r = 0; r < rows; ++r) widest = std::max(widest, width(r, c));
                if (SingleColSize) late::put(flex, L"ColWidth", Variant(std::lround(widest)), {Variant(c)});
            }
            if (!SingleColSize)
                for (long c = 0; c < cols; ++c) late::put(flex, L"ColWidth", Variant(std::lround(widest)), {Variant(c)});
        } catch (...) {
            late::try_put(flex, L"Redraw", redraw);
            throw;
        }
        late::put(flex, L"Redraw", redraw);
        return 0L;
    });
}

HRESULT Controls::DataGrid_ReadDatabase(IDispatch** DataGrid, IDispatch** Recordset, long ColumnsWidth, long* result) {
    return trapped(Trap{Source::Controls, L"DataGrid_ReadDataBase"}, result, ErrorNumberResult{}, [&] {
        IDispatch* grid = object_arg(DataGrid);
        // A column wider than any window (twips) is refused before the grid changes.
        if (std::abs(ColumnsWidth / forms::twips_per_pixel_x()) > forms::kMaxPixels) raise(err::InvalidPropertyValue);
        late::put_ref(grid, L"DataSource", object_arg(Recordset));
        if (ColumnsWidth != 0) {
            ComPtr<IDispatch> columns = late::object(late::get(grid, L"Columns"));
            for (long i = 0, n = lng(columns.get(), L"Count"); i < n; ++i) {
                ComPtr<IDispatch> column = late::object(late::get(columns.get(), L"Item", {Variant(i)}));
                late::put(column.get(), L"Width", Variant(ColumnsWidth));
            }
        }
        return 0L;
    });
}

// The header row takes the field names, one row follows per record. A Null
// value leaves its cell empty; any other failure ends the fill with its number.
// An empty record set leaves the grid cleared with its rows and columns.
HRESULT Controls::Flex_ReadDatabase(IDispatch** Flex, IDispatch** Recordset, VARIANT_BOOL AutoFormat, long* result) {
    return trapped(Trap{Source::Controls, L"Flex_ReadDataBase"}, result, ErrorNumberResult{}, [&] {
        IDispatch* flex = object_arg(Flex);
        IDispatch* records = object_arg(Recordset);
        // An empty record set refuses MoveFirst; the grid is emptied either way.
        late::skipping_errors([&] { late::call(records, L"MoveFirst"); });
        late::skipping_errors([&] { late::call(flex, L"Clear"); });
        if (CBool(late::get(records, L"EOF"))) return 0L;

        // Painted once, when the grid is full (a grid without Redraw paints as it likes).
        Variant redraw;
        const bool held = late::try_get(flex, L"Redraw", redraw) && late::try_put(flex, L"Redraw", Variant(false));
        struct Release {
            IDispatch* flex;
            const Variant& redraw;
            const bool held;
            ~Release() {
                if (held) late::try_put(flex, L"Redraw", redraw);
            }
        } release{flex, redraw, held};

        ComPtr<IDispatch> fields = late::object(late::get(records, L"Fields"));
        const long count = lng(fields.get(), L"Count");
        late::put(flex, L"Cols", Variant(count));
        late::put(flex, L"FixedCols", Variant(0L));
        late::put(flex, L"Rows", Variant(2L));
        late::put(flex, L"FixedRows", Variant(1L));
        // The engine's own grid takes its rows and texts in place.
        auto* hosted = dynamic_cast<forms::FlexGrid*>(forms::object_of(flex));
        auto put_text = [&](long row, long col, std::wstring text) {
            if (hosted) hosted->set_text(row, col, std::move(text));
            else late::put(flex, L"TextMatrix", Variant(std::move(text)), {Variant(row), Variant(col)});
        };
        // The field objects follow the current record; their values are read by
        // default member, each name looked up once.
        std::vector<late::Bound> values;
        values.reserve(static_cast<size_t>(std::max(count, 0L)));
        for (long i = 0; i < count; ++i) {
            ComPtr<IDispatch> f = late::object(late::get(fields.get(), L"Item", {Variant(i)}));
            const Variant name = late::get(f.get(), L"Name");
            if (hosted) hosted->set_text(0, i, CStr(*name.get()));
            else late::put(flex, L"TextMatrix", name, {Variant(0L), Variant(i)});
            values.emplace_back(f.get(), L"");
        }
        const late::Bound eof(records, L"EOF");
        std::optional<late::Bound> move_next;
        for (long row = 1; !CBool(eof.get()); ++row) {
            if (row > 1) {
                if (hosted) hosted->set_rows_kept(row + 1);
                else late::put(flex, L"Rows", Variant(row + 1));
            }
            for (long i = 0; i < count; ++i) {
                std::wstring text;
                try {
                    Variant value = values[static_cast<size_t>(i)].get();
                    if (value.vt() == VT_DISPATCH || value.vt() == VT_UNKNOWN) value = late::value_of(*value.get());
                    if (!IsNull(*value.get())) text = CStr(*value.get());
                } catch (const RuntimeError& e) {
                    if (e.number() != err::InvalidUseOfNull) throw;
                }
                put_text(row, i, std::move(text));
            }
            if (!move_next) move_next.emplace(records, L"MoveNext");
            move_next->get();
        }
        long fitted = 0;
        if (AutoFormat) check(shared<_Controls>()->Flex_Autosize(&flex, VARIANT_TRUE, &fitted));
        return fitted;
    });
}

}  // namespace qm
