// LB_CB: boxes filled from the system's lists, a record set and a folder.
#include <algorithm>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"

namespace qm {

using lbcb::Items;

namespace {

// The box gets the names in place of its items, ascending by character code
// (equal names keep their order).
void fill_sorted(IDispatch* box, std::vector<std::wstring> names) {
    std::stable_sort(names.begin(), names.end());
    const Items items(box);
    items.clear();
    for (const std::wstring& n : names) items.add(n);
}

}  // namespace

// One source per call; a sum of sources selects none. The System members'
// own error numbers are not passed on: the box gets what they returned.
HRESULT LB_CB::List(LISTINFO What, IDispatch* LBCB, long* result) {
    return trapped(Trap{Source::LB_CB, L"List"}, result, ErrorNumberResult{}, [&]() -> long {
        switch (What) {
        case liSYSTEMFONTS: {
            SafeArray fonts(VT_RECORD);
            check(shared<_Misc>()->Get_SystemFonts(fonts.put()));
            std::vector<std::wstring> names;
            for (long i = 0, n = fonts.count(); i < n; ++i)
                names.emplace_back(text_of(fonts.at<FONTINFO>(fonts.lbound() + i).RegsiteredFontName));
            fill_sorted(LBCB, std::move(names));
            return 0;
        }
        case liUSER: {
            Variant users;
            VARIANT_BOOL system_users = VARIANT_TRUE;
            long ignored = 0;
            check(shared<_System>()->Get_UserList(&system_users, &ignored, users.put()));
            fill_sorted(LBCB, texts_of(array_of(*users.get())));
            return 0;
        }
        case liSERVICES: {
            SafeArray names(VT_BSTR);
            long ignored = 0;
            check(shared<_System>()->Service_GetNames(&ignored, names.put()));
            fill_sorted(LBCB, texts_of(names.get()));
            return 0;
        }
        case lsREGISTEREDFILETYPES: {
            SafeArray types(VT_RECORD);
            check(shared<_File>()->Get_RegisteredFileTypes(types.put()));
            const Items items(LBCB);
            items.clear();
            for (long i = 0, n = types.count(); i < n; ++i)
                items.add(std::wstring(text_of(types.at<REGISTEREDFILETYPEINFO>(types.lbound() + i).Prefix)));
            return 0;
        }
        default: return 0;
        }
    });
}

// Every record's field as an item (without duplicates or empty texts when so
// asked); a box of another kind is left alone, and so is the record set then.
HRESULT LB_CB::ReadDatabase(IDispatch* LBCB, IDispatch* Recordset, VARIANT Field, VARIANT_BOOL AllowDouble,
                            VARIANT_BOOL AllowEmpty, long* result) {
    return trapped(Trap{Source::LB_CB, L"ReadDatabase"}, result, ErrorNumberResult{}, [&]() -> long {
        const bool list = late::is_list_box(LBCB);
        if (!list && !late::is_combo_box(LBCB)) return -1;
        const Items items(LBCB);
        late::skipping_errors([&] { late::call(Recordset, L"MoveFirst"); });
        late::skipping_errors([&] { items.clear(); });
        const late::Bound eof(Recordset, L"EOF"), fields(Recordset, L"Fields"), move_next(Recordset, L"MoveNext");
        const Variant field(deref(Field));
        while (!CBool(eof.get())) {
            const std::wstring text = CStr(late::value_of(fields.get({field})));
            if (!text.empty() || AllowEmpty != VARIANT_FALSE) {
                long found = -1, find_error = 0;
                if (AllowDouble == VARIANT_FALSE) {
                    const Bstr wanted(text);
                    check(list ? LB_Find(LBCB, wanted.get(), VARIANT_TRUE, &find_error, &found)
                               : CB_Find(LBCB, wanted.get(), VARIANT_TRUE, &find_error, &found));
                }
                if (found == -1) items.add(text);
            }
            move_next.call();
        }
        return 0;
    });
}

HRESULT LB_CB::AddFromPath(IDispatch* LBCB, BSTR Path, AddInfo Add, VARIANT_BOOL ClearBeforAdding, long* result) {
    return trapped(Trap{Source::LB_CB, L"AddFromPath"}, result, ErrorNumberResult{}, [&]() -> long {
        Variant dirs, files;
        long attributes = 7, read = 0;
        check(shared<_Directory>()->Read(Path, dirs.get(), files.get(), &attributes, &read));
        if (read != 0) return read;
        if (Add != addDIRS && Add != addFILES) return 0;
        IDispatch* box = LBCB;
        VARIANT_BOOL allow_double = VARIANT_TRUE, clear = ClearBeforAdding;
        long added = 0;
        check(AddArray(&box, Add == addDIRS ? dirs.get() : files.get(), &allow_double, &clear, &added));
        return added;
    });
}

}  // namespace qm
