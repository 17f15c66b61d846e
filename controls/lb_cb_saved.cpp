// LB_CB: lists saved inside the object and list files of CR LF lines.
#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"

namespace qm {

using lbcb::Items;

// A slot is chosen by Index (load and clear) or by the box's window handle. A
// box that was never saved loads nothing; saving a box that has no slot yet
// appends one. Clearing drops every box's list.
HRESULT LB_CB::vListBox(IDispatch* LBCB, vlbCommand Command, long Index, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"vListBox", ErrorNumber}, result, -2L, [&]() -> long {
        if (slots_.empty()) slots_.resize(1);
        const long last = static_cast<long>(slots_.size()) - 1;
        long slot = 0, hwnd = 0;
        if (Index != 0 && Command != vlSAVE) {
            if (Index < 1 || Index > last) return 0;
            slot = Index;
        } else {
            hwnd = CLng(late::get(lbcb::box_of(LBCB), L"hwnd"));
            for (long i = 1; i <= last && !slot; ++i)
                if (slots_[i].hwnd == hwnd) slot = i;
        }
        switch (Command) {
        case vlLOAD:
            if (slot) Items(LBCB).rewrite(slots_[slot].items);
            break;
        case vlSAVE: {
            std::vector<lbcb::Entry> items = Items(LBCB).entries();
            if (!slot) {
                slots_.emplace_back();
                slot = last + 1;
            }
            slots_[slot] = Slot{hwnd, std::move(items)};
            break;
        }
        case vlCLEAR: slots_.clear(); break;
        default: return 0;
        }
        return slot;
    });
}

// The texts joined by CR LF; the text writer ends the file with one more.
HRESULT LB_CB::SaveToFile(IDispatch* LBCB, BSTR File, long* result) {
    return trapped(Trap{Source::LB_CB, L"SaveToFile"}, result, ErrorNumberResult{}, [&]() -> long {
        const std::vector<std::wstring> texts = Items(LBCB).texts();
        std::wstring joined;
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i) joined += L"\r\n";
            joined += texts[i];
        }
        long written = 0;
        check(shared<_Text>()->TextFile_WriteText(File, Bstr(joined).get(), &written));
        return written;
    });
}

// The box receives the file's lines in place of its items, empty lines and
// duplicates included; a file that cannot be read leaves it as it is.
HRESULT LB_CB::LoadFromFile(IDispatch* LBCB, BSTR File, rsCommand ReadAs, long* result) {
    return trapped(Trap{Source::LB_CB, L"LoadFromFile"}, result, ErrorNumberResult{}, [&]() -> long {
        const Items items(LBCB);
        std::vector<std::wstring> lines;
        long read_error = 0;
        if (ReadAs == asTEXT) {
            Bstr text;
            check(shared<_Text>()->TextFile_Read(File, &read_error, text.put()));
            if (read_error != 0) return read_error;
            lines = Split(text.view(), L"\r\n");
        } else if (ReadAs == asBINARY) {
            SafeArray read(VT_BSTR);
            check(shared<_Arry>()->Array_ReadFromFile(File, &read_error, read.put()));
            if (read_error != 0) return read_error;
            lines = texts_of(read.get());
        } else {
            raise(err::InvalidCall);
        }
        items.clear();
        for (const std::wstring& line : lines) items.add(line);
        return 0;
    });
}

}  // namespace qm
