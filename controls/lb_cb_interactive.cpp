// LB_CB: behaviours a client calls from its own control events: editing a list
// item in place, completing a combo box's text from its items, tracking the item
// under the mouse, making an item blink. They run on the caller's thread and let
// its messages run meanwhile; a busy flag turns a nested call from an event that
// the member itself raised into an immediate return.
#include <string>

#include "controls/lb_cb.h"
#include "controls/lb_cb_internal.h"
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/forms/globals.h"

namespace qm {

namespace {

thread_local bool t_auto_completing = false;
thread_local bool t_list_editing = false;

const wchar_t kNoEdit[] = {L'\0'};  // the result of an edit that did not take place

long handle_value(HWND h) { return static_cast<long>(reinterpret_cast<LONG_PTR>(h)); }

// Clears a flag when the scope ends, however it ends.
class Busy {
public:
    explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
    ~Busy() { flag_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& flag_;
};

// Waits for the next message of the thread (or a short while) and runs what waits.
void wait_and_run_messages() {
    MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    forms::do_events();
}

void unload_editor(ComPtr<MyControls>& editor) {
    if (!editor) return;
    ComPtr<MyControls> gone = std::move(editor);
    if (gone->loaded()) gone->unload();
}

enum class EditEnd { Done, Restart };

}  // namespace

// Puts a text box over the selected row (inside the list box) and runs the
// thread's messages until the user ends the edit with Enter (or Esc, as the
// worker form handles it), the parent form goes away, or a restart is asked for
// through the text box's Tag "new". The editor is unloaded on every end.
HRESULT LB_CB::LB_ListEdit(IDispatch* ListBox, VARIANT_BOOL AddInputToLB, long MaxInputLength,
                           VARIANT_BOOL AllowEmpty, VARIANT_BOOL CancelOnESC, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::LB_CB, L"LB_ListEdit", ErrorNumber}, result, Bstr(), [&]() -> Bstr {
        IDispatch* box = lbcb::box_of(ListBox);
        ComPtr<MyControls> editor;
        try {
            for (;;) {
                const ComPtr<IDispatch> parent = late::object(*late::get(box, L"Parent").get());
                if (!parent) raise(err::ObjectNotSet);
                const long parent_hwnd = CLng(*late::get(parent.get(), L"hwnd").get());
                const HWND window = lbcb::window_of(box);
                const long top_index = static_cast<long>(send_bounded(window, LB_GETTOPINDEX, 0, 0).value_or(0));
                const long row = static_cast<long>(send_bounded(window, LB_GETITEMHEIGHT, 0, 0).value_or(0));
                const long row_twips = CLng(row * static_cast<double>(forms::screen_twips_per_pixel_y()));
                const long k = CLng(*late::get(box, L"ListIndex").get());
                if (k < 0 || k > lbcb::list_count(box) || t_list_editing) return Bstr(std::wstring_view(kNoEdit, 1));

                const std::wstring tag = std::to_wstring(handle_value(window)) + L"LB_ListEdit";
                if (forms::Form* earlier = forms::forms_collection().find(tag, forms::FormsCollection::ByTag)) {
                    if (auto* other = dynamic_cast<MyControls*>(earlier)) other->get<forms::TextBox>(L"uInput").set_tag(L"new");
                    return Bstr(std::wstring_view(kNoEdit, 1));
                }
                editor = forms::make<MyControls>();
                editor->load();
                editor->field(L"ListEdit") = Variant(true);
                editor->field(L"ListEditESC") = Variant(CancelOnESC != VARIANT_FALSE);
                editor->field(L"ListEditEmpty") = Variant(AllowEmpty != VARIANT_FALSE);

                long ignored_error = 0;
                VARIANT_BOOL ignored = VARIANT_FALSE;
                Variant list_variant;
                V_VT(list_variant.get()) = VT_DISPATCH;
                V_DISPATCH(list_variant.get()) = box;
                box->AddRef();
                check(Set_ListIndex(*list_variant.get(), -1, &ignored_error, &ignored));
                editor->set_tag(tag);
                late::put(editor.get(), L"ScaleMode", late::get(parent.get(), L"ScaleMode"));

                const EditEnd end = [&] {
                    Busy busy(t_list_editing);
                    IDispatch* input = &editor->get<forms::TextBox>(L"uInput");
                    if (MaxInputLength > 0) late::put(input, L"MaxLength", Variant(MaxInputLength));
                    late::put_ref(input, L"Font", late::object(*late::get(box, L"Font").get()).get());
                    late::put(input, L"FontSize", late::get(box, L"FontSize"));
                    late::put(input, L"Width", late::get(box, L"Width"));
                    const long input_hwnd = CLng(*late::get(input, L"hwnd").get());
                    VARIANT_BOOL moved = VARIANT_FALSE;
                    check(shared<_Window>()->Set_Parent(input_hwnd, handle_value(window), &moved));
                    late::put(input, L"Left", Variant(0L));
                    late::put(input, L"Height", Variant(row_twips));
                    late::put(input, L"Top", Variant((k - top_index) * row_twips));
                    const std::wstring text = CStr(*late::get(box, L"List", {Variant(k)}).get());
                    late::put(input, L"Text", Variant(text));
                    late::put(input, L"Visible", Variant(true));
                    ListEditOldText() = text;
                    late::put(input, L"SelStart", Variant(static_cast<long>(text.size())));
                    late::call(input, L"ZOrder");
                    late::call(input, L"Refresh");
                    long focus = 0;
                    check(shared<_Window>()->Set_Focus(input_hwnd, &focus));

                    for (;;) {
                        wait_and_run_messages();
                        long task = 0;
                        check(shared<_Window>()->Get_TaskID(parent_hwnd, &task));
                        if (task == 0) return EditEnd::Done;
                        if (!editor->loaded()) return EditEnd::Done;
                        auto& field_input = editor->get<forms::TextBox>(L"uInput");
                        if (field_input.tag() == L"new") {
                            field_input.set_tag(L"");
                            return EditEnd::Restart;
                        }
                        if (CBool(*editor->field(L"uStringWasSet").get())) return EditEnd::Done;
                    }
                }();
                if (end == EditEnd::Restart) {
                    unload_editor(editor);
                    continue;
                }
                // Ended: by the user (the text), or by the parent form going away ("").
                Bstr text;
                if (editor->loaded() && CBool(*editor->field(L"uStringWasSet").get())) {
                    const std::wstring entered = CStr(*editor->field(L"uString").get());
                    if (AddInputToLB != VARIANT_FALSE) late::put(box, L"List", Variant(entered), {Variant(k)});
                    text = Bstr(entered);
                }
                unload_editor(editor);
                return text;
            }
        } catch (...) {
            unload_editor(editor);
            throw;
        }
    });
}

// Completes the combo box's text from the first item that starts with it (case
// ignored); the completion shows lower-cased with the added part selected, so the
// next key replaces it. -4 right after Backspace or Delete, so that deleting is
// not undone; -3 when called from the change event this member raised.
HRESULT LB_CB::CB_AutoComplete(IDispatch* ComboBox, long* ErrorNumber, long* result) {
    if (t_auto_completing) {
        if (!result) return E_POINTER;
        *result = -3;
        return S_OK;
    }
    return trapped(Trap{Source::LB_CB, L"CB_AutoComplete", ErrorNumber}, result, -2L, [&] {
        IDispatch* box = lbcb::box_of(ComboBox);
        long key = 0;
        check(shared<_Hardware>()->Keyboard_GetPressedKey(&key));
        if (key == VK_BACK || key == VK_DELETE) return -4L;
        const std::wstring typed = LCase(CStr(*late::get(box, L"Text").get()));
        if (typed.empty()) return -1L;
        Busy busy(t_auto_completing);
        for (long i = 0, n = lbcb::list_count(box); i < n; ++i) {
            const std::wstring item = LCase(lbcb::item_text(box, i));
            if (item.compare(0, typed.size(), typed) != 0) continue;
            if (item != typed) {
                late::put(box, L"Text", Variant(item));
                late::put(box, L"SelStart", Variant(static_cast<long>(typed.size())));
                late::put(box, L"SelLength", Variant(static_cast<long>(item.size())));
            }
            return i;
        }
        return -1L;
    });
}

// Selects the item under the mouse and shows its text as the tooltip; over no
// item (an empty list) the selection is cleared and the no-drop pointer shows.
HRESULT LB_CB::LB_MouseMove(IDispatch* ListBox, float X, float Y, VARIANT_BOOL SetMousePointer,
                            VARIANT_BOOL SetToolTip, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_MouseMove", ErrorNumber}, result, -2L, [&] {
        IDispatch* box = lbcb::box_of(ListBox);
        long index = -1, error_number = 0;
        check(LB_GetIndexUnderMouse(box, X, Y, &error_number, &index));
        long pointer = 0;
        std::wstring tip;
        const long count = lbcb::list_count(box);
        if (index >= count || count == 0) {  // no item: an empty list gives 0 or -1, as the system answers
            index = -1;
            pointer = 12;
        } else {
            tip = CStr(*late::get(box, L"List", {Variant(index)}).get());
        }
        late::put(box, L"ListIndex", Variant(index));
        if (SetMousePointer != VARIANT_FALSE) late::put(box, L"MousePointer", Variant(pointer));
        if (SetToolTip != VARIANT_FALSE) late::put(box, L"ToolTipText", Variant(tip));
        return index;
    });
}

// Item Index blinks BlinkTimes times: cleared and selected in turn, PauseInMS
// apart, and selected at the end.
HRESULT LB_CB::LB_IndexBlink(IDispatch* ListBox, long Index, long BlinkTimes, long PauseInMS, long* result) {
    return trapped(Trap{Source::LB_CB, L"LB_IndexBlink"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = lbcb::box_of(ListBox);
        const long long passes = 2LL * BlinkTimes + 1;
        for (long long n = 1; n <= passes; ++n) {
            late::put(box, L"ListIndex", Variant(n % 2 == 0 ? Index : -1L));
            check(shared<_Misc>()->Sleep(PauseInMS));
            forms::do_events();
        }
        late::put(box, L"ListIndex", Variant(Index));
        return 0L;
    });
}

}  // namespace qm
