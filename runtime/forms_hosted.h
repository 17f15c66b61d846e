// Controls a client's form hosts beyond the intrinsic ones: tree and list views,
// status and progress bars, the rich-text box, the drive list box, the grids and
// the browser control. Each lives on its system window class where one exists,
// keeps its items in its own model and answers the member names clients use.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/forms.h"

namespace qm::forms {

// Error numbers of the hosted controls.
namespace herr {
constexpr long IndexOutOfBounds = 35600;   // an index outside a collection
constexpr long ElementNotFound = 35601;    // a relative node that does not exist
constexpr long KeyNotUnique = 35602;       // a duplicate key
constexpr long Cycle = 35614;              // a node made its own descendant
constexpr long InvalidRow = 30009;
constexpr long InvalidCol = 30010;
constexpr long CannotRemoveRow = 30015;
constexpr long BadArrayIndex = 381;
}  // namespace herr

// A new control of the engine by its TypeName (intrinsic and hosted), or nullptr.
ComPtr<Control> new_control(std::wstring_view type_name);

// Member table helpers shared by the hosted controls.
const Table& hwnd_member();          // hWnd
bool is_text(const VARIANT& v);      // a key rather than an index
IDispatch* dispatch_of(const VARIANT& v) noexcept;  // the object a value holds (not AddRef'd), else nullptr
// A collection property's result: the collection, or with an argument its Item
// (tree.Nodes(1) as a script writes it).
Variant collection_result(IDispatch* collection, const Args& args);

// --- progress bar ---------------------------------------------------------------------

class ProgressBar final : public Control {
public:
    const wchar_t* type_name() const noexcept override { return L"ProgressBar"; }
    const Table& table() const override;
    void set_range(float min, float max);  // 380 unless min < max
    void set_value(float v);               // 380 outside Min..Max
    struct State {
        float min = 0, max = 100, value = 0;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void create_window() override;
    void apply();
};

// --- status bar -------------------------------------------------------------------------

class StatusBar;

class Panel final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"Panel"; }
    const Table& table() const override;
    StatusBar* bar = nullptr;  // cleared when the bar goes
    std::wstring key, text;
    float width = 1440;  // twips
};

class StatusBar final : public Control {
public:
    StatusBar();
    ~StatusBar() override;
    const wchar_t* type_name() const noexcept override { return L"StatusBar"; }
    const Table& table() const override;
    const std::vector<ComPtr<Panel>>& panels() const noexcept { return panels_; }
    Panel& add_panel(long index, const std::wstring& key, const std::wstring& text);  // index 1-based, -1 last
    Panel& panel(const VARIANT& index_or_key) const;
    void layout();  // parts and texts to the window
    void container_resized() override;

private:
    friend class Control;
    ComPtr<Control> clone() const override;
    void create_window() override;
    std::vector<ComPtr<Panel>> panels_;
};

// --- rich-text box ----------------------------------------------------------------------

class RichTextBox final : public Control {
public:
    RichTextBox() { back_ = 0x80000005, fore_ = 0x80000008; }
    const wchar_t* type_name() const noexcept override { return L"RichTextBox"; }
    const Table& table() const override;
    std::wstring text() const;
    void set_text(const std::wstring& t);
    long sel_start() const;
    long sel_length() const;
    void set_sel_start(long v);
    void set_sel_length(long v);
    std::wstring sel_text() const;
    void set_sel_text(const std::wstring& t);
    Variant sel_color() const;  // Null for a selection of mixed colours
    void set_sel_color(long color);
    float sel_indent(bool right) const;  // container scale units
    void set_sel_indent(bool right, float units);
    void sel_print(HDC dc, bool start_doc);
    struct State {
        std::wstring text;
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void create_window() override;
    void destroy_window() override;
};

// --- drive list box ---------------------------------------------------------------------

class DriveListBox final : public ListControl {
public:
    DriveListBox() : ListControl(true) {}
    const wchar_t* type_name() const noexcept override { return L"DriveListBox"; }
    const Table& table() const override;
    std::wstring drive() const;
    void set_drive(const std::wstring& d);  // selects by the letter; 68 for a missing drive
    void fill();                            // the system's drives, "c: [LABEL]"
    struct State {
    } s_;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_list(*this); }
    void create_window() override;
};

// --- tree view --------------------------------------------------------------------------

class TreeView;

class Node final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"Node"; }
    const Table& table() const override;
    TreeView* tree = nullptr;  // cleared when the node leaves the tree
    Node* parent = nullptr;
    std::vector<Node*> children;
    HTREEITEM item = nullptr;
    std::wstring text, key;
    Variant tag;
    long index = 0;  // 1-based position in the tree's Nodes
    long rank = 0;   // place among its siblings while they are sorted
    bool sorted = false, expanded = false;
    std::wstring full_path() const;
    bool is_below(const Node* ancestor) const noexcept;  // this node lies in ancestor's subtree (or is it)
};

class TreeView final : public Control {
public:
    TreeView() { back_ = 0x80000005, fore_ = 0x80000008; }
    ~TreeView() override;
    const wchar_t* type_name() const noexcept override { return L"TreeView"; }
    const Table& table() const override;
    long count() const noexcept { return static_cast<long>(nodes_.size()); }
    Node& node(const VARIANT& index_or_key) const;  // 35600 / 35601
    Node& add(const VARIANT* relative, long relationship, const std::wstring& key, const std::wstring& text);
    void clear();
    void set_text(Node& n, const std::wstring& text);
    void set_sorted(Node& n, bool on);
    void set_expanded(Node& n, bool on);
    bool expanded(const Node& n) const;
    bool selected(const Node& n) const;
    void set_selected(Node& n, bool on);
    void set_parent(Node& n, Node* parent);  // moves the node with its children
    std::wstring path_separator = L"\\";

private:
    friend class Control;
    ComPtr<Control> clone() const override;
    void create_window() override;
    void insert_item(Node& n, HTREEITEM after);  // n and its subtree into the window
    void sort_children(Node* parent);            // by text, keeping the window in step
    std::vector<Node*>& siblings(Node* parent) { return parent ? parent->children : roots_; }
    std::vector<ComPtr<Node>> nodes_;
    std::vector<Node*> roots_;
};

// --- list view --------------------------------------------------------------------------

class ListView;

class ColumnHeader final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"ColumnHeader"; }
    const Table& table() const override;
    ListView* view = nullptr;
    std::wstring key, text;
    float width = 1440;  // twips
};

class ListItem final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"ListItem"; }
    const Table& table() const override;
    ListView* view = nullptr;
    std::wstring key, text;
    std::vector<std::wstring> subs;  // SubItems(1..)
    const std::wstring& column_text(long key_column) const;  // 0 the text, k SubItems(k)
};

class ListView final : public Control {
public:
    ListView() { back_ = 0x80000005, fore_ = 0x80000008; }
    ~ListView() override;
    const wchar_t* type_name() const noexcept override { return L"ListView"; }
    const Table& table() const override;
    const std::vector<ComPtr<ColumnHeader>>& columns() const noexcept { return columns_; }
    const std::vector<ComPtr<ListItem>>& items() const noexcept { return items_; }
    ColumnHeader& add_column(long index, const std::wstring& key, const std::wstring& text, const float* width);
    void remove_column(long index);  // 1-based
    ListItem& add_item(long index, const std::wstring& key, const std::wstring& text);
    ListItem& item(const VARIANT& index_or_key) const;
    long item_index(const ListItem& item) const;
    void set_sub_item(ListItem& item, long j, const std::wstring& text);
    const std::wstring& sub_item(const ListItem& item, long j) const;
    void set_view(long v);
    long view() const noexcept { return view_; }
    void set_sort_key(long k);
    long sort_key() const noexcept { return sort_key_; }
    void set_sort_order(long o);
    long sort_order() const noexcept { return sort_order_; }
    void set_sorted(bool on);
    bool sorted() const noexcept { return sorted_; }
    // Puts the items in the order given (order[i]: the 0-based place the new i-th
    // item had) for a caller that ordered them by keys of its own; the view is
    // then sorted on `key` and `sort_order` without sorting again.
    void arrange(const std::vector<size_t>& order, long key, long sort_order);
    void changed();  // the items changed: the window shows them anew
    bool reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    friend class Control;
    ComPtr<Control> clone() const override;
    void create_window() override;
    void sort();
    std::vector<ComPtr<ColumnHeader>> columns_;
    std::vector<ComPtr<ListItem>> items_;
    long view_ = 3, sort_key_ = 0, sort_order_ = 0;
    bool sorted_ = false;
};

// --- grids --------------------------------------------------------------------------------

// The comparison of FlexGrid.Sort for one sort kind (1-8) on two cell texts:
// negative when a goes before b.
int grid_compare(long sort, std::wstring_view a, std::wstring_view b);

// The model and painter the grids share: rows and columns of texts with fixed
// header rows and columns (painted as buttons), cell colours, column widths and
// alignments, grid lines. The window is an engine class of its own.
class GridControl : public Control {
public:
    GridControl();
    long rows() const noexcept { return rows_; }
    long cols() const noexcept { return cols_; }
    long fixed_rows() const noexcept { return fixed_rows_; }
    long fixed_cols() const noexcept { return fixed_cols_; }
    void set_rows(long n);  // 380 below FixedRows
    void set_cols(long n);
    void set_fixed_rows(long n);  // 380 beyond Rows
    void set_fixed_cols(long n);
    const std::wstring& text(long r, long c) const;  // 381 outside
    void set_text(long r, long c, std::wstring t);
    float col_width(long c) const;            // twips; 381 outside
    void set_col_width(long c, float twips);  // c = -1: every column; -1 twips: the default width
    long col_alignment(long c) const;
    void set_col_alignment(long c, long a);  // 0-9; c = -1: every column
    bool redraw() const noexcept { return redraw_; }
    void set_redraw(bool on);
    void refresh() override;
    LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    static constexpr OLE_COLOR kDefault = 0xFFFFFFFF;
    struct Cell {
        std::wstring text;
        OLE_COLOR back = kDefault, fore = kDefault;
    };
    Cell& cell(long r, long c) { return cells_[static_cast<size_t>(r * cols_ + c)]; }
    const Cell& cell(long r, long c) const { return cells_[static_cast<size_t>(r * cols_ + c)]; }
    void check_cell(long r, long c) const;
    void resize(long rows, long cols);
    void invalidate();
    void paint(HDC dc);
    virtual bool highlighted(long, long) const { return false; }  // inside the selection
    virtual bool current(long, long) const { return false; }      // the cell with the focus
    virtual void clicked(long, long) {}
    void copy_grid(const GridControl& from);
    std::vector<Cell> cells_;
    long rows_ = 2, cols_ = 2, fixed_rows_ = 1, fixed_cols_ = 1;
    std::vector<float> widths_;
    std::vector<long> aligns_;
    float row_height_ = 240;
    bool redraw_ = true;
    long top_row_ = 0, left_col_ = 0;  // the first scrollable row and column shown

private:
    void create_window() override;
    void update_scroll();
    void scroll(int bar, WORD code);
    long next_row(long r) const noexcept;  // the row shown after r (-1: the first)
    long next_col(long c) const noexcept;
};

class FlexGrid final : public GridControl {
public:
    const wchar_t* type_name() const noexcept override { return L"FlexGrid"; }
    const Table& table() const override;
    long row() const noexcept { return row_; }
    long col() const noexcept { return col_; }
    long row_sel() const noexcept { return row_sel_; }
    long col_sel() const noexcept { return col_sel_; }
    void set_row(long r);  // 30009 outside; collapses the selection
    void set_col(long c);  // 30010 outside
    void set_row_sel(long r);
    void set_col_sel(long c);
    void set_rows_kept(long n);  // Rows, keeping the current cell inside
    void set_cols_kept(long n);
    void sort(long kind);  // 1-8; the data rows (all when Row = RowSel) by columns Col..ColSel
    long fill_style = 0;
    bool allow_big_selection = true;
    long cell_color(bool back) const;
    void set_cell_color(bool back, long color);  // the cell, or the selection with FillStyle 1
    void remove_item(long r);                    // 381 outside, 30015 for a fixed or the last data row
    void clear();                                // texts only

protected:
    bool highlighted(long r, long c) const override;
    bool current(long r, long c) const override { return r == row_ && c == col_; }
    void clicked(long r, long c) override;

private:
    friend class Control;
    ComPtr<Control> clone() const override;
    void keep_inside();
    long row_ = 1, col_ = 1, row_sel_ = 1, col_sel_ = 1;
};

class DataGrid;

class GridColumn final : public Object {
public:
    const wchar_t* type_name() const noexcept override { return L"Column"; }
    const Table& table() const override;
    ComPtr<DataGrid> grid;
    long index = 0;  // 0-based
};

class DataGrid final : public GridControl {
public:
    DataGrid();
    const wchar_t* type_name() const noexcept override { return L"DataGrid"; }
    const Table& table() const override;
    // Columns from the record set's Fields, rows from its records (read late-bound).
    void set_data_source(IDispatch* recordset);
    ComPtr<IDispatch> data_source() const { return source_; }

private:
    friend class Control;
    ComPtr<Control> clone() const override;
    ComPtr<IDispatch> source_;
};

// --- browser ------------------------------------------------------------------------------

// The system's browser object, activated in place in the control's window. The
// control answers the extender members itself and hands every other name to the
// browser's own IDispatch, results and errors unchanged.
class WebBrowser final : public Control {
public:
    WebBrowser();
    ~WebBrowser() override;
    const wchar_t* type_name() const noexcept override { return L"WebBrowser"; }
    const Table& table() const override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* arg_err) override;
    IDispatch* browser() const noexcept { return browser_.get(); }  // nullptr when it could not be made
    HWND browser_window() const;  // the browser's in-place window
    LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
    struct State {
    } s_;

protected:
    DISPID dynamic_id(std::wstring_view name) override;

private:
    friend class Control;
    ComPtr<Control> clone() const override { return clone_of(*this); }
    void create_window() override;
    void destroy_window() override;
    void fit();  // the browser to the window's client area
    class Site;
    Site* site_ = nullptr;
    ComPtr<IOleObject> ole_;
    ComPtr<IDispatch> browser_;
    std::vector<DISPID> forwarded_;  // the browser's ids behind our dynamic ids
};

}  // namespace qm::forms
