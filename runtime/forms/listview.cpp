// ListView on SysListView32 (report view by default): the items and their
// sub-items live in the control's model; the window is a virtual list that asks
// for each text it shows, so sorting reorders the model only.
#include <algorithm>

#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/forms/table_helpers.h"

namespace qm::forms {

namespace {

using namespace tables;


const std::wstring& empty_text() {
    static const std::wstring e;
    return e;
}

int compare_texts(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) - CSTR_EQUAL;
}

}  // namespace

const std::wstring& ListItem::column_text(long k) const {
    if (k <= 0) return text;
    return static_cast<size_t>(k) <= subs.size() ? subs[static_cast<size_t>(k - 1)] : empty_text();
}

ListView::~ListView() {
    for (auto& c : columns_) c->view = nullptr;
    for (auto& i : items_) i->view = nullptr;
}

ComPtr<Control> ListView::clone() const {
    ComPtr<ListView> c = make<ListView>();
    c->copy_control(*this);
    c->view_ = view_;
    return ComPtr<Control>(c.get());
}

namespace {
DWORD view_style(long view) { return view == 0 ? LVS_ICON : view == 1 ? LVS_SMALLICON : view == 2 ? LVS_LIST : LVS_REPORT; }

// The window's columns anew from the model (each column asks for its own sub-item).
void rebuild_columns(HWND h, const std::vector<ComPtr<ColumnHeader>>& columns) {
    if (!h) return;
    while (send(h, LVM_DELETECOLUMN, 0)) {
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = columns[i]->text.data();
        col.cx = px_x(columns[i]->width);
        col.iSubItem = static_cast<int>(i);
        send(h, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
}
}  // namespace

void ListView::create_window() {
    init_common_controls(ICC_LISTVIEW_CLASSES);
    create(WC_LISTVIEWW, WS_TABSTOP | LVS_OWNERDATA | LVS_SHOWSELALWAYS | view_style(view_), WS_EX_CLIENTEDGE);
    rebuild_columns(hwnd_, columns_);
    changed();
}

void ListView::changed() {
    if (!hwnd_) return;
    send(hwnd_, LVM_SETITEMCOUNT, items_.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

bool ListView::reflect(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_NOTIFY) return false;
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    if (hdr->code != LVN_GETDISPINFOW) return false;
    auto* di = reinterpret_cast<NMLVDISPINFOW*>(lp);
    if ((di->item.mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0) {
        size_t i = static_cast<size_t>(di->item.iItem);
        const std::wstring& t = i < items_.size() ? items_[i]->column_text(di->item.iSubItem) : empty_text();
        size_t n = std::min(t.size(), static_cast<size_t>(di->item.cchTextMax - 1));
        t.copy(di->item.pszText, n);
        di->item.pszText[n] = 0;
    }
    result = 0;
    return true;
}

void ListView::set_view(long v) {
    if (v < 0 || v > 3) raise(err::InvalidPropertyValue);
    view_ = v;
    if (!hwnd_) return;
    LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>((style & ~LVS_TYPEMASK) | view_style(v)));
    InvalidateRect(hwnd_, nullptr, TRUE);
}

ColumnHeader& ListView::add_column(long index, const std::wstring& key, const std::wstring& text, const float* width) {
    long n = static_cast<long>(columns_.size());
    if (index == -1) index = n + 1;
    if (index < 1 || index > n + 1) raise(herr::IndexOutOfBounds);
    if (width && *width < 0) raise(err::InvalidPropertyValue);
    if (!key.empty())
        for (const auto& c : columns_)
            if (c->key == key) raise(herr::KeyNotUnique);
    auto c = make<ColumnHeader>();
    c->view = this;
    c->key = key;
    c->text = text;
    if (width) c->width = *width;
    columns_.insert(columns_.begin() + (index - 1), c);
    if (index >= 2 && index <= n)  // the later columns' sub-items move one place on
        for (auto& item : items_)
            if (item->subs.size() >= static_cast<size_t>(index - 1))
                item->subs.insert(item->subs.begin() + (index - 2), std::wstring());
    rebuild_columns(hwnd_, columns_);
    changed();
    return *c.get();
}

void ListView::remove_column(long index) {
    if (index < 1 || index > static_cast<long>(columns_.size())) raise(herr::IndexOutOfBounds);
    size_t sub = static_cast<size_t>(index >= 2 ? index - 2 : 0);
    for (auto& item : items_)
        if (sub < item->subs.size()) item->subs.erase(item->subs.begin() + static_cast<ptrdiff_t>(sub));
    columns_[static_cast<size_t>(index - 1)]->view = nullptr;
    columns_.erase(columns_.begin() + (index - 1));
    rebuild_columns(hwnd_, columns_);
    changed();
}

ListItem& ListView::add_item(long index, const std::wstring& key, const std::wstring& text) {
    long n = static_cast<long>(items_.size());
    if (index == -1) index = n + 1;
    if (index < 1 || index > n + 1) raise(herr::IndexOutOfBounds);
    if (!key.empty())
        for (const auto& i : items_)
            if (i->key == key) raise(herr::KeyNotUnique);
    auto item = make<ListItem>();
    item->view = this;
    item->key = key;
    item->text = text;
    items_.insert(items_.begin() + (index - 1), item);
    if (sorted_) sort();
    changed();
    return *item.get();
}

ListItem& ListView::item(const VARIANT& index_or_key) const {
    if (is_text(index_or_key)) {
        std::wstring key = CStr(index_or_key);
        if (!key.empty())
            for (const auto& i : items_)
                if (i->key == key) return *i.get();
        raise(herr::ElementNotFound);
    }
    long i = CLng(index_or_key);
    if (i < 1 || i > static_cast<long>(items_.size())) raise(herr::IndexOutOfBounds);
    return *items_[static_cast<size_t>(i - 1)].get();
}

long ListView::item_index(const ListItem& item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == &item) return static_cast<long>(i + 1);
    raise(herr::ElementNotFound);
}

const std::wstring& ListView::sub_item(const ListItem& item, long j) const {
    if (j < 1 || j >= static_cast<long>(columns_.size())) raise(err::InvalidPropertyValue);
    return item.column_text(j);
}

void ListView::set_sub_item(ListItem& item, long j, const std::wstring& text) {
    if (j < 1 || j >= static_cast<long>(columns_.size())) raise(err::InvalidPropertyValue);
    if (item.subs.size() < static_cast<size_t>(j)) item.subs.resize(static_cast<size_t>(j));
    item.subs[static_cast<size_t>(j - 1)] = text;
    if (sorted_ && sort_key_ == j) sort();
    changed();
}

void ListView::sort() {
    long k = sort_key_;
    if (sort_order_ == 0)
        std::stable_sort(items_.begin(), items_.end(), [k](const ComPtr<ListItem>& a, const ComPtr<ListItem>& b) {
            return compare_texts(a->column_text(k), b->column_text(k)) < 0;
        });
    else
        std::stable_sort(items_.begin(), items_.end(), [k](const ComPtr<ListItem>& a, const ComPtr<ListItem>& b) {
            return compare_texts(b->column_text(k), a->column_text(k)) < 0;
        });
}

void ListView::arrange(const std::vector<size_t>& order, long key, long sort_order) {
    if (order.size() != items_.size()) raise(err::InvalidCall);
    std::vector<ComPtr<ListItem>> arranged;
    arranged.reserve(order.size());
    for (size_t i : order) arranged.push_back(items_[i]);
    items_.swap(arranged);
    sort_key_ = key;
    sort_order_ = sort_order;
    sorted_ = true;
    changed();
}

void ListView::set_sort_key(long k) {
    if (k < 0) raise(err::InvalidPropertyValue);
    sort_key_ = k;
    if (sorted_) {
        sort();
        changed();
    }
}

void ListView::set_sort_order(long o) {
    if (o < 0 || o > 1) raise(err::InvalidPropertyValue);
    sort_order_ = o;
    if (sorted_) {
        sort();
        changed();
    }
}

void ListView::set_sorted(bool on) {
    sorted_ = on;
    if (on) {
        sort();
        changed();
    }
}

// --- automation ------------------------------------------------------------------------------

const Table& ColumnHeader::table() const {
    static const Table t({},
                         {
                             {L"Text", [](Object& o, A) { return var(S<ColumnHeader>(o).text); },
                              [](Object& o, A, V v) {
                                  auto& c = S<ColumnHeader>(o);
                                  c.text = CStr(v);
                                  if (c.view) rebuild_columns(c.view->hwnd(), c.view->columns());
                              }},
                             {L"Width", [](Object& o, A) { return var(S<ColumnHeader>(o).width); },
                              [](Object& o, A, V v) {
                                  float w = CSng(v);
                                  if (w < 0) raise(err::InvalidPropertyValue);
                                  auto& c = S<ColumnHeader>(o);
                                  c.width = w;
                                  if (c.view) rebuild_columns(c.view->hwnd(), c.view->columns());
                              }},
                             {L"Key", [](Object& o, A) { return var(S<ColumnHeader>(o).key); }},
                             {L"Index", [](Object& o, A) -> Variant {
                                  auto& c = S<ColumnHeader>(o);
                                  if (c.view)
                                      for (size_t i = 0; i < c.view->columns().size(); ++i)
                                          if (c.view->columns()[i].get() == &c) return var(static_cast<long>(i + 1));
                                  raise(herr::ElementNotFound);
                              }},
                         },
                         L"Text");
    return t;
}

namespace {
ListView& owner(ListItem& i) {
    if (!i.view) raise(herr::ElementNotFound, L"The item is no longer in its list");
    return *i.view;
}
}  // namespace

const Table& ListItem::table() const {
    static const Table t({},
                         {
                             {L"Text", [](Object& o, A) { return var(S<ListItem>(o).text); },
                              [](Object& o, A, V v) {
                                  auto& i = S<ListItem>(o);
                                  i.text = CStr(v);
                                  if (i.view) {
                                      if (i.view->sorted() && i.view->sort_key() == 0) i.view->set_sorted(true);
                                      i.view->changed();
                                  }
                              }},
                             {L"SubItems", [](Object& o, A a) { return var(owner(S<ListItem>(o)).sub_item(S<ListItem>(o), a.lng(0))); },
                              [](Object& o, A a, V v) { owner(S<ListItem>(o)).set_sub_item(S<ListItem>(o), a.lng(0), CStr(v)); }},
                             {L"Key", [](Object& o, A) { return var(S<ListItem>(o).key); }},
                             {L"Index", [](Object& o, A) { return var(owner(S<ListItem>(o)).item_index(S<ListItem>(o))); }},
                         },
                         L"Text");
    return t;
}

namespace {
class ColumnHeaders final : public Object {
public:
    explicit ColumnHeaders(ListView& v) : view_(&v) {}
    const wchar_t* type_name() const noexcept override { return L"ColumnHeaders"; }
    const Table& table() const override {
        static const Table t(
            {},
            {
                {L"Count", [](Object& o, A) { return var(static_cast<long>(S<ColumnHeaders>(o).view_->columns().size())); }},
                {L"Item", [](Object& o, A a) -> Variant {
                     const auto& list = S<ColumnHeaders>(o).view_->columns();
                     if (is_text(a.at(0))) {
                         std::wstring key = a.str(0);
                         for (const auto& c : list)
                             if (!key.empty() && c->key == key) return var(static_cast<IDispatch*>(c.get()));
                         raise(herr::ElementNotFound);
                     }
                     long i = a.lng(0);
                     if (i < 1 || i > static_cast<long>(list.size())) raise(herr::IndexOutOfBounds);
                     return var(static_cast<IDispatch*>(list[static_cast<size_t>(i - 1)].get()));
                 }},
                {L"Add", [](Object& o, A a) {
                     float w = a.sng(3, 0);
                     ColumnHeader& c = S<ColumnHeaders>(o).view_->add_column(a.lng(0, -1), a.str(1, L""), a.str(2, L""),
                                                                             a.has(3) ? &w : nullptr);
                     return var(static_cast<IDispatch*>(&c));
                 }},
                {L"Remove", [](Object& o, A a) { S<ColumnHeaders>(o).view_->remove_column(a.lng(0)); return none(); }},
            },
            L"Item");
        return t;
    }

private:
    ComPtr<ListView> view_;
};

constexpr wchar_t kListItems[] = L"ListItems";
using ListItems = tables::ItemCollection<ListView, ListItem, kListItems, &ListView::items, &ListView::item, &ListView::add_item>;
}  // namespace

const Table& ListView::table() const {
    static const Table t(
        {&hwnd_member(), &Control::members()},
        {
            {L"View", [](Object& o, A) { return var(S<ListView>(o).view()); },
             [](Object& o, A, V v) { S<ListView>(o).set_view(CLng(v)); }},
            {L"ColumnHeaders", [](Object& o, A a) {
                 ComPtr<ColumnHeaders> c = make<ColumnHeaders>(S<ListView>(o));
                 return collection_result(c.get(), a);
             }},
            {L"ListItems", [](Object& o, A a) {
                 ComPtr<ListItems> c = make<ListItems>(S<ListView>(o));
                 return collection_result(c.get(), a);
             }},
            {L"SortKey", [](Object& o, A) { return var(S<ListView>(o).sort_key()); },
             [](Object& o, A, V v) { S<ListView>(o).set_sort_key(CLng(v)); }},
            {L"SortOrder", [](Object& o, A) { return var(S<ListView>(o).sort_order()); },
             [](Object& o, A, V v) { S<ListView>(o).set_sort_order(CLng(v)); }},
            {L"Sorted", [](Object& o, A) { return var(S<ListView>(o).sorted()); },
             [](Object& o, A, V v) { S<ListView>(o).set_sorted(CBool(v)); }},
        });
    return t;
}

}  // namespace qm::forms
