// Controls: a whole tree view saved to a binary file and rebuilt from one.
//
// File: a 32-bit record count, then one record per node, parents before their
// children: ParentIndex (32 bits, 0 for a root, else the parent's record number),
// Text (counted ANSI string), Key (Variant, always a String), Expanded (16 bits),
// Sorted (32 bits), Tag (Variant), Selected (16 bits); little-endian, the
// runtime's Put layout, no header.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "controls/controls.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/files.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

struct TreeRecord {
    long parent = 0;  // record number of the parent, 0 for a root
    std::wstring text;
    std::wstring key;
    bool expanded = false;
    bool sorted = false;
    Variant tag;
    bool selected = false;
};

// The Variant types a tag may have in the file, with their value's size in bytes
// (-1: a counted string).
int tag_size(uint16_t vt) {
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        return 0;
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_R4:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
        return -1;
    default:
        return -2;
    }
}

ComPtr<IDispatch> nodes_of(IDispatch** tree) {
    if (!tree || !*tree) raise(err::ObjectNotSet);
    return late::object(*late::get(*tree, L"Nodes").get());
}

ComPtr<IDispatch> node_at(IDispatch* nodes, long i) {
    return late::object(*late::get(nodes, L"Item", {Variant(i)}).get());
}

// Reads a tree-view file held in memory; any count, length or type code that does
// not fit the data, or a parent that is not an earlier record, is error 62.
class TreeReader {
public:
    explicit TreeReader(std::string_view data) : data_(data) {}

    std::vector<TreeRecord> records() {
        const int32_t count = number<int32_t>();
        // The smallest record takes 18 bytes: a count beyond what the data can hold is damage.
        if (count < 0 || static_cast<uint64_t>(count) * 18 > data_.size() - pos_) raise(err::InputPastEnd);
        std::vector<TreeRecord> out(static_cast<size_t>(count));
        for (int32_t r = 0; r < count; ++r) {
            TreeRecord& rec = out[static_cast<size_t>(r)];
            const int32_t parent = number<int32_t>();
            if (parent < 0 || parent > r) raise(err::InputPastEnd);
            rec.parent = parent;
            rec.text = counted();
            if (number<uint16_t>() != VT_BSTR) raise(err::InputPastEnd);
            rec.key = counted();
            rec.expanded = number<int16_t>() != 0;
            rec.sorted = number<int32_t>() != 0;
            rec.tag = variant();
            rec.selected = number<int16_t>() != 0;
        }
        return out;  // bytes after the last record are not part of the tree
    }

private:
    void need(size_t n) const {
        if (n > data_.size() - pos_) raise(err::InputPastEnd);
    }
    template <class T>
    T number() {
        need(sizeof(T));
        T v;
        std::memcpy(&v, data_.data() + pos_, sizeof(T));
        pos_ += sizeof(T);
        return v;
    }
    // 16-bit length; FF FF announces a 32-bit one.
    std::wstring counted() {
        size_t n = number<uint16_t>();
        if (n == 0xFFFF) n = number<uint32_t>();
        need(n);
        std::wstring text = from_ansi(data_.substr(pos_, n));
        pos_ += n;
        return text;
    }
    Variant variant() {
        const uint16_t vt = number<uint16_t>();
        const int size = tag_size(vt);
        if (size == -2) raise(err::InputPastEnd);
        if (size == -1) return Variant(counted());
        Variant v;
        VARIANT* p = v.get();
        p->vt = vt;
        if (size > 0) {
            need(static_cast<size_t>(size));
            std::memcpy(&p->bVal, data_.data() + pos_, static_cast<size_t>(size));
            pos_ += static_cast<size_t>(size);
        }
        return v;
    }

    std::string_view data_;
    size_t pos_ = 0;
};

}  // namespace

// The file is written under a temporary name in the target folder and replaces
// the old one only when complete.
HRESULT Controls::Treeview_Save(IDispatch** Treeview, BSTR Filename, long* result) {
    return trapped(Trap{Source::Controls, L"Treeview_Save"}, result, ErrorNumberResult{}, [&] {
        ComPtr<IDispatch> nodes = nodes_of(Treeview);
        const long count = CLng(*late::get(nodes.get(), L"Count").get());
        std::vector<TreeRecord> nodes_by_index(static_cast<size_t>(std::max(count, 0L)) + 1);
        for (long i = 1; i <= count; ++i) {
            ComPtr<IDispatch> node = node_at(nodes.get(), i);
            TreeRecord& rec = nodes_by_index[static_cast<size_t>(i)];
            Variant parent = late::get(node.get(), L"Parent");
            if (parent.get()->vt == VT_DISPATCH && parent.get()->pdispVal) {
                const long p = CLng(*late::get(parent.get()->pdispVal, L"Index").get());
                if (p < 1 || p > count || p == i) raise(err::InvalidCall);
                rec.parent = p;
            }
            rec.text = CStr(*late::get(node.get(), L"Text").get());
            rec.key = CStr(*late::get(node.get(), L"Key").get());
            rec.expanded = CBool(*late::get(node.get(), L"Expanded").get());
            rec.sorted = CBool(*late::get(node.get(), L"Sorted").get());
            rec.tag = late::get(node.get(), L"Tag");
            if (tag_size(rec.tag.get()->vt) == -2) raise(458);  // no file form the load accepts
            rec.selected = CBool(*late::get(node.get(), L"Selected").get());
        }

        // Index order, except that a node whose parent comes later follows that parent.
        std::vector<long> record_of(nodes_by_index.size(), 0), order, stack;
        std::vector<std::vector<long>> waiting(nodes_by_index.size());
        order.reserve(nodes_by_index.size());
        for (long i = 1; i <= count; ++i) {
            const long p = nodes_by_index[static_cast<size_t>(i)].parent;
            if (p && !record_of[static_cast<size_t>(p)]) {
                waiting[static_cast<size_t>(p)].push_back(i);
                continue;
            }
            stack.push_back(i);
            while (!stack.empty()) {
                const long n = stack.back();
                stack.pop_back();
                order.push_back(n);
                record_of[static_cast<size_t>(n)] = static_cast<long>(order.size());
                auto& w = waiting[static_cast<size_t>(n)];
                stack.insert(stack.end(), w.rbegin(), w.rend());
            }
        }
        if (static_cast<long>(order.size()) != count) raise(err::InvalidCall);  // not a tree

        wchar_t full[MAX_PATH * 4] = {};
        const DWORD n = GetFullPathNameW(std::wstring(text_of(Filename)).c_str(), MAX_PATH * 4, full, nullptr);
        if (text_of(Filename).empty() || n == 0 || n >= MAX_PATH * 4) raise(err::BadFileNameOrNumber);
        const std::wstring target(full), temporary = target + L".~tv";
        DeleteFileW(temporary.c_str());
        try {
            RtFile file(temporary, OpenMode::Binary, OpenAccess::Write);
            file.Put<int32_t>(count);
            for (long i : order) {
                const TreeRecord& rec = nodes_by_index[static_cast<size_t>(i)];
                file.Put<int32_t>(rec.parent ? record_of[static_cast<size_t>(rec.parent)] : 0);
                file.PutCountedString(rec.text);
                file.PutVariant(*Variant(rec.key).get());
                file.Put<int16_t>(rec.expanded ? -1 : 0);
                file.Put<int32_t>(rec.sorted ? -1 : 0);
                file.PutVariant(*rec.tag.get());
                file.Put<int16_t>(rec.selected ? -1 : 0);
            }
            file.Close();
            if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                raise_file_error();
        } catch (...) {
            DeleteFileW(temporary.c_str());
            throw;
        }
        return 0L;
    });
}

// The whole file is read and checked before the tree is cleared: a damaged file
// (62) or a missing one (53) leaves the tree as it is.
HRESULT Controls::Treeview_Load(IDispatch** Treeview, BSTR Filename, long* result) {
    return trapped(Trap{Source::Controls, L"Treeview_Load"}, result, ErrorNumberResult{}, [&] {
        ComPtr<IDispatch> nodes = nodes_of(Treeview);
        std::string data;
        {
            RtFile file(text_of(Filename), OpenMode::Binary, OpenAccess::Read);
            const long long size = file.LOF();
            if (size > 0x7FFFFFFF) raise(err::InputPastEnd);
            data = file.GetBytes(static_cast<size_t>(size));
        }
        const std::vector<TreeRecord> records = TreeReader(data).records();

        late::call(nodes.get(), L"Clear");
        const Variant missing = [] {
            Variant m;
            m.get()->vt = VT_ERROR;
            m.get()->scode = DISP_E_PARAMNOTFOUND;
            return m;
        }();
        std::vector<ComPtr<IDispatch>> added;
        added.reserve(records.size());
        for (const TreeRecord& rec : records) {
            const Variant relative = rec.parent ? Variant(rec.parent) : missing;
            const Variant relationship = rec.parent ? Variant(4L) : missing;
            ComPtr<IDispatch> node =
                late::object(*late::call(nodes.get(), L"Add", {relative, relationship, Variant(rec.key), Variant(rec.text)})
                                  .get());
            late::put(node.get(), L"Selected", Variant(rec.selected));
            late::put(node.get(), L"Sorted", Variant(rec.sorted));
            late::put(node.get(), L"Tag", rec.tag);
            added.push_back(std::move(node));
        }
        // Expanded once every node is there: a tree view expands no node without children.
        for (size_t i = 0; i < added.size(); ++i) late::put(added[i].get(), L"Expanded", Variant(records[i].expanded));
        return 0L;
    });
}

}  // namespace qm
