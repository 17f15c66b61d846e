// Controls: lists of file paths on the clipboard in the shell's file-drop format.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <cstddef>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

constexpr long kCantOpenClipboard = 521;
constexpr DWORD kDropEffectCopyAndLink = 5;

// The head of a file-drop block: where the list starts, the drop point, and
// whether the names are wide.
struct DropHeader {
    DWORD pFiles;
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};
static_assert(sizeof(DropHeader) == 20 && offsetof(DropHeader, pt) == 4 && offsetof(DropHeader, fNC) == 12 &&
              offsetof(DropHeader, fWide) == 16);

// The clipboard, opened without an owner window and closed on every way out.
class OpenClipboardScope {
public:
    OpenClipboardScope() {
        if (!OpenClipboard(nullptr)) raise(kCantOpenClipboard);
    }
    ~OpenClipboardScope() { CloseClipboard(); }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

// A movable, zero-filled global block; freed unless the clipboard took it.
class GlobalBlock {
public:
    explicit GlobalBlock(size_t size) : h_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)) {}
    ~GlobalBlock() {
        if (h_) GlobalFree(h_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    explicit operator bool() const noexcept { return h_ != nullptr; }
    void fill(const void* data, size_t size, size_t offset = 0) {
        auto* p = static_cast<char*>(GlobalLock(h_));
        if (!p) raise(err::OutOfMemory);
        std::memcpy(p + offset, data, size);
        GlobalUnlock(h_);
    }
    // Hands the block to the clipboard; it stays ours when the clipboard refuses it.
    bool give(UINT format) {
        if (!SetClipboardData(format, h_)) return false;
        h_ = nullptr;
        return true;
    }

private:
    HGLOBAL h_;
};

}  // namespace

// Each name is read whole, in its wide form, whatever the code page.
HRESULT Controls::Clipboard_GetFiles(VARIANT* result) {
    return trapped(Trap{Source::Controls, L"Clipboard_GetFiles"}, result, SafeArray(VT_BSTR).to_variant(), [&] {
        std::vector<std::wstring> names;
        if (IsClipboardFormatAvailable(CF_HDROP)) {
            OpenClipboardScope open;
            if (auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP))) {
                const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
                names.reserve(n);
                for (UINT i = 0; i < n; ++i) {
                    std::wstring name(DragQueryFileW(drop, i, nullptr, 0), L'\0');
                    const UINT got = DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
                    name.resize(got);
                    names.push_back(std::move(name));
                }
            }
        }
        return string_array(names).to_variant();
    });
}

// The list is read before the clipboard is touched, so bad input leaves the
// clipboard as it was. The names go in the wide form (fWide 1), so that each
// reaches the shell as written, whatever the code page.
HRESULT Controls::Clipboard_SetPathList(VARIANT* Paths, long* result) {
    return trapped(Trap{Source::Controls, L"Clipboard_SetPathList"}, result, ErrorNumberResult{}, [&] {
        if (!Paths || array_type(*Paths) == VT_EMPTY) raise(err::TypeMismatch);
        const SAFEARRAY* paths = array_of(*Paths);
        if (!paths) raise(err::SubscriptOutOfRange);
        std::wstring list;
        for (const std::wstring& path : texts_of(paths)) {
            list += path;
            list += L'\0';
        }
        list += L'\0';
        const size_t list_bytes = list.size() * sizeof(wchar_t);

        DropHeader header{};
        header.pFiles = sizeof(DropHeader);
        header.fWide = TRUE;

        OpenClipboardScope open;
        EmptyClipboard();
        GlobalBlock effect(sizeof(DWORD));
        if (effect) {
            effect.fill(&kDropEffectCopyAndLink, sizeof(DWORD));
            effect.give(RegisterClipboardFormatW(L"Preferred DropEffect"));
        }
        GlobalBlock drop(sizeof(DropHeader) + list_bytes);
        if (!drop) raise(err::OutOfMemory);
        drop.fill(&header, sizeof(header));
        drop.fill(list.data(), list_bytes, sizeof(header));
        if (!drop.give(CF_HDROP)) raise(err::OutOfMemory);
        return 0L;
    });
}

}  // namespace qm
