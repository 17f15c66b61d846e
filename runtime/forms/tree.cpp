// TreeView on SysTreeView32: the nodes live in the control's own model (in the
// order they were added, which is their Index) and are mirrored into the window.
#include <algorithm>

#include "runtime/convert.h"
#include "runtime/forms/hosted.h"
#include "runtime/forms/table_helpers.h"

namespace qm::forms {

namespace {

using namespace tables;


enum Relationship { First = 0, Last = 1, Next = 2, Previous = 3, Child = 4 };

bool text_less(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

int CALLBACK by_rank(LPARAM a, LPARAM b, LPARAM) {
    long ra = reinterpret_cast<Node*>(a)->rank, rb = reinterpret_cast<Node*>(b)->rank;
    return ra < rb ? -1 : ra > rb ? 1 : 0;
}

Node& tree_node(Object& o) {
    auto& n = S<Node>(o);
    if (!n.tree) raise(herr::ElementNotFound, L"The node is no longer in its tree");
    return n;
}

}  // namespace

// --- Node ---------------------------------------------------------------------------------

std::wstring Node::full_path() const {
    std::wstring sep = tree ? tree->path_separator : L"\\";
    std::wstring path = text;
    for (const Node* p = parent; p; p = p->parent) path = p->text + sep + path;
    return path;
}

bool Node::is_below(const Node* ancestor) const noexcept {
    for (const Node* n = this; n; n = n->parent)
        if (n == ancestor) return true;
    return false;
}

const Table& Node::table() const {
    static const Table t(
        {},
        {
            {L"Index", [](Object& o, A) { return var(S<Node>(o).index); }},
            {L"Text", [](Object& o, A) { return var(S<Node>(o).text); },
             [](Object& o, A, V v) {
                 auto& n = S<Node>(o);
                 if (n.tree) n.tree->set_text(n, CStr(v));
                 else n.text = CStr(v);
             }},
            {L"Key", [](Object& o, A) { return var(S<Node>(o).key); }},
            {L"Tag", [](Object& o, A) { return S<Node>(o).tag; }, [](Object& o, A, V v) { S<Node>(o).tag = Variant(v); }},
            {L"Expanded", [](Object& o, A) { return var(tree_node(o).tree->expanded(S<Node>(o))); },
             [](Object& o, A, V v) { tree_node(o).tree->set_expanded(S<Node>(o), CBool(v)); }},
            {L"Sorted", [](Object& o, A) { return var(S<Node>(o).sorted); },
             [](Object& o, A, V v) { tree_node(o).tree->set_sorted(S<Node>(o), CBool(v)); }},
            {L"Selected", [](Object& o, A) { return var(tree_node(o).tree->selected(S<Node>(o))); },
             [](Object& o, A, V v) { tree_node(o).tree->set_selected(S<Node>(o), CBool(v)); }},
            {L"FullPath", [](Object& o, A) { return var(S<Node>(o).full_path()); }},
            {L"Parent", [](Object& o, A) { return var(static_cast<IDispatch*>(S<Node>(o).parent)); },
             [](Object& o, A, V v) {
                 Node& n = tree_node(o);
                 IDispatch* d = dispatch_of(v);
                 if (!d) raise(err::ObjectNotSet);
                 Node* p = dynamic_cast<Node*>(object_of(d));
                 if (!p) raise(err::TypeMismatch);
                 n.tree->set_parent(n, p);
             }},
        },
        L"Text");
    return t;
}

// --- TreeView -----------------------------------------------------------------------------

TreeView::~TreeView() {
    for (auto& n : nodes_) {  // nodes a client still holds outlive the tree on their own
        n->tree = nullptr;
        n->parent = nullptr;
        n->children.clear();
        n->item = nullptr;
    }
}

ComPtr<Control> TreeView::clone() const {
    ComPtr<TreeView> c = make<TreeView>();
    c->copy_control(*this);
    c->path_separator = path_separator;
    return ComPtr<Control>(c.get());
}

void TreeView::create_window() {
    init_common_controls(ICC_TREEVIEW_CLASSES);
    create(WC_TREEVIEWW, WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE);
    for (Node* r : roots_) insert_item(*r, TVI_LAST);
}

void TreeView::insert_item(Node& n, HTREEITEM after) {
    if (!hwnd_) return;
    TVINSERTSTRUCTW is{};
    is.hParent = n.parent ? n.parent->item : TVI_ROOT;
    is.hInsertAfter = after;
    is.item.mask = TVIF_TEXT | TVIF_PARAM;
    is.item.pszText = n.text.data();
    is.item.lParam = reinterpret_cast<LPARAM>(&n);
    n.item = reinterpret_cast<HTREEITEM>(send(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&is)));
    if (!n.item) raise(err::OutOfMemory);
    for (Node* c : n.children) insert_item(*c, TVI_LAST);
    if (n.expanded && !n.children.empty()) send(hwnd_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(n.item));
}

Node& TreeView::node(const VARIANT& index_or_key) const {
    if (is_text(index_or_key)) {
        std::wstring key = CStr(index_or_key);
        if (!key.empty())
            for (const auto& n : nodes_)
                if (n->key == key) return *n.get();
        raise(herr::ElementNotFound);
    }
    long i = CLng(index_or_key);
    if (i < 1 || i > count()) raise(herr::IndexOutOfBounds);
    return *nodes_[static_cast<size_t>(i - 1)].get();
}

Node& TreeView::add(const VARIANT* relative, long relationship, const std::wstring& key, const std::wstring& text) {
    if (relationship < First || relationship > Child) raise(err::InvalidPropertyValue);
    Node* rel = nullptr;
    if (relative) {
        if (Node* n = dynamic_cast<Node*>(object_of(dispatch_of(*relative)))) {
            if (n->tree != this) raise(herr::ElementNotFound);
            rel = n;
        } else {
            try {
                rel = &node(*relative);
            } catch (const RuntimeError&) {
                raise(herr::ElementNotFound);
            }
        }
    }
    if (!key.empty())
        for (const auto& n : nodes_)
            if (n->key == key) raise(herr::KeyNotUnique);

    Node* parent = nullptr;
    size_t at = roots_.size();
    if (rel) {
        parent = relationship == Child ? rel : rel->parent;
        auto& list = siblings(parent);
        size_t pos = static_cast<size_t>(std::find(list.begin(), list.end(), rel) - list.begin());
        switch (relationship) {
        case First: at = 0; break;
        case Next: at = pos + 1; break;
        case Previous: at = pos; break;
        default: at = list.size(); break;
        }
    } else if (relationship == First) {
        at = 0;
    }
    ComPtr<Node> n = make<Node>();
    n->tree = this;
    n->parent = parent;
    n->key = key;
    n->text = text;
    n->index = count() + 1;
    nodes_.push_back(n);
    auto& list = siblings(parent);
    list.insert(list.begin() + static_cast<ptrdiff_t>(at), n.get());
    try {
        insert_item(*n.get(), at == 0 ? TVI_FIRST : list[at - 1]->item);
    } catch (...) {
        list.erase(list.begin() + static_cast<ptrdiff_t>(at));
        nodes_.pop_back();
        n->tree = nullptr;
        throw;
    }
    if (parent && parent->sorted) sort_children(parent);
    return *n.get();
}

void TreeView::clear() {
    send(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    for (auto& n : nodes_) {
        n->tree = nullptr;
        n->parent = nullptr;
        n->children.clear();
        n->item = nullptr;
    }
    nodes_.clear();
    roots_.clear();
}

void TreeView::set_text(Node& n, const std::wstring& text) {
    n.text = text;
    if (hwnd_ && n.item) {
        TVITEMW it{};
        it.mask = TVIF_TEXT;
        it.hItem = n.item;
        it.pszText = n.text.data();
        send(hwnd_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    }
    if (n.parent && n.parent->sorted) sort_children(n.parent);
}

void TreeView::sort_children(Node* parent) {
    auto& list = siblings(parent);
    std::stable_sort(list.begin(), list.end(), [](const Node* a, const Node* b) { return text_less(a->text, b->text); });
    for (size_t i = 0; i < list.size(); ++i) list[i]->rank = static_cast<long>(i);
    if (!hwnd_) return;
    TVSORTCB cb{parent ? parent->item : TVI_ROOT, by_rank, 0};
    send(hwnd_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&cb));
}

void TreeView::set_sorted(Node& n, bool on) {
    n.sorted = on;
    if (on) sort_children(&n);
}

bool TreeView::expanded(const Node& n) const {
    if (hwnd_ && n.item && !n.children.empty())
        return (send(hwnd_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(n.item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    return n.expanded;
}

void TreeView::set_expanded(Node& n, bool on) {
    n.expanded = on;
    if (hwnd_ && n.item) send(hwnd_, TVM_EXPAND, on ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(n.item));
}

bool TreeView::selected(const Node& n) const {
    return hwnd_ && n.item && reinterpret_cast<HTREEITEM>(send(hwnd_, TVM_GETNEXTITEM, TVGN_CARET)) == n.item;
}

void TreeView::set_selected(Node& n, bool on) {
    if (!hwnd_ || !n.item) return;
    if (on) send(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(n.item));
    else if (selected(n)) send(hwnd_, TVM_SELECTITEM, TVGN_CARET, 0);
}

void TreeView::set_parent(Node& n, Node* parent) {
    if (parent && parent->tree != this) raise(herr::ElementNotFound);
    if (parent && parent->is_below(&n)) raise(herr::Cycle);
    if (parent == n.parent) return;
    // Keep what the window knows of the subtree (expanded states, the selection).
    HTREEITEM caret = hwnd_ ? reinterpret_cast<HTREEITEM>(send(hwnd_, TVM_GETNEXTITEM, TVGN_CARET)) : nullptr;
    Node* selected_node = nullptr;
    std::vector<Node*> walk{&n};
    while (!walk.empty()) {
        Node* m = walk.back();
        walk.pop_back();
        m->expanded = expanded(*m);
        if (caret && m->item == caret) selected_node = m;
        walk.insert(walk.end(), m->children.begin(), m->children.end());
    }
    if (hwnd_ && n.item) send(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(n.item));
    auto& old = siblings(n.parent);
    old.erase(std::find(old.begin(), old.end(), &n));
    n.parent = parent;
    siblings(parent).push_back(&n);
    insert_item(n, TVI_LAST);
    if (parent && parent->sorted) sort_children(parent);
    if (selected_node) set_selected(*selected_node, true);
}

namespace {
class Nodes final : public Object {
public:
    explicit Nodes(TreeView& tree) : tree_(&tree) {}
    const wchar_t* type_name() const noexcept override { return L"Nodes"; }
    const Table& table() const override {
        static const Table t(
            {},
            {
                {L"Count", [](Object& o, A) { return var(S<Nodes>(o).tree_->count()); }},
                {L"Item", [](Object& o, A a) { return var(static_cast<IDispatch*>(&S<Nodes>(o).tree_->node(a.at(0)))); }},
                {L"Clear", [](Object& o, A) { S<Nodes>(o).tree_->clear(); return none(); }},
                {L"Add", [](Object& o, A a) {
                     const VARIANT* rel = a.has(0) ? &a.at(0) : nullptr;
                     long how = a.lng(1, rel ? 2 : 1);
                     Node& n = S<Nodes>(o).tree_->add(rel, how, a.has(2) ? a.str(2) : L"", a.str(3, L""));
                     return var(static_cast<IDispatch*>(&n));
                 }},
            },
            L"Item");
        return t;
    }

protected:
    ComPtr<IEnumVARIANT> enumerate() override {
        std::vector<Variant> items;
        for (long i = 1; i <= tree_->count(); ++i) {
            Variant index(i);
            items.push_back(var(static_cast<IDispatch*>(&tree_->node(*index.get()))));
        }
        return make_enum(std::move(items));
    }

private:
    ComPtr<TreeView> tree_;
};
}  // namespace

const Table& TreeView::table() const {
    static const Table t({&hwnd_member(), &Control::members()},
                         {
                             {L"Nodes", [](Object& o, A a) {
                                  ComPtr<Nodes> n = make<Nodes>(S<TreeView>(o));
                                  return collection_result(n.get(), a);
                              }},
                             {L"PathSeparator", [](Object& o, A) { return var(S<TreeView>(o).path_separator); },
                              [](Object& o, A, V v) { S<TreeView>(o).path_separator = CStr(v); }},
                         });
    return t;
}

}  // namespace qm::forms
