#include "frame/mycontrols.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/limits.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "runtime/safearray.h"
#include "runtime/thread_state.h"
#include "windows/window_common.h"

namespace qm {

using namespace forms;

namespace {

constexpr long kFindInterval = 10;  // ms
constexpr long kFindGiveUp = 10;    // ticks without a box before giving up
constexpr std::wstring_view kDialogClass = L"#32770";
constexpr std::wstring_view kReporterCaption = L"      DLL Error <";
constexpr const wchar_t* kScratch[] = {L"PicTMP", L"ps", L"po", L"pd", L"sLB"};
const char kSpare = 0;  // the kind of the thread's spare instance

BOOL CALLBACK collect_dialog(HWND h, LPARAM p) {
    wchar_t name[8] = {};
    if (IsWindowVisible(h) && GetClassNameW(h, name, 8) == 6 && std::wstring_view(name) == kDialogClass)
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
}

// The thread's visible dialog-class windows.
std::vector<HWND> thread_dialogs() {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), collect_dialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring class_of(long hwnd) {
    Bstr name;
    check(shared<_Window>()->Get_Class(hwnd, name.put()));
    return name.str();
}

// The hand-shaped pointer of ClickIcon, made once per thread.
struct HandPointer final : ThreadPart {
    ComPtr<IPictureDisp> made;
    bool tried = false;
    const ComPtr<IPictureDisp>& picture() {
        if (!tried) made = hand_icon();
        tried = true;
        return made;
    }
    void close() noexcept override { made.reset(); }
};

}  // namespace

ComPtr<IPictureDisp> hand_icon() {
    PICTDESC desc{sizeof(desc), PICTYPE_ICON};
    desc.icon.hicon = CopyIcon(LoadCursorW(nullptr, IDC_HAND));
    ComPtr<IPictureDisp> pic;
    if (!desc.icon.hicon) return pic;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, pic.put_void()))) DestroyIcon(desc.icon.hicon);
    return pic;
}

std::wstring& ListEditOldText() {
    static thread_local std::wstring text;
    return text;
}

MyControls::MyControls() {
    set_name(L"MyControls");
    w_ = 0;
    h_ = 0;
    border_style_ = 0;
    reset_state();
    on.load = [this] {
        if (width() != 0 || height() != 0) {  // a given-back form keeps its size
            set_width(0);
            set_height(0);
        }
        for (const auto& c : controls())
            if (auto* timer = dynamic_cast<Timer*>(c.get()); timer && c->name() != L"Timer_KeyLogger")
                timer->set_enabled(false);
        set_visible(false);
        reset_effects();
        field(L"uStringWasSet") = Variant(false);
        field(L"uString") = Variant(std::wstring());
        ListEditOldText().clear();
    };
    // A taskbar faded by this instance gets its own look back whatever unloads it.
    on.unload = [this](int&) {
        restore_taskbar();
        reset_effects();
    };
}

void MyControls::reset_state() {
    declare_field(L"ListEdit", Variant(false));
    declare_field(L"ListEditESC", Variant(false));
    declare_field(L"ListEditEmpty", Variant(false));
    declare_field(L"uStringWasSet", Variant(false));
    declare_field(L"uString", Variant(std::wstring()));
    parent_hwnd_ = msg_x_ = msg_y_ = closer_thread_ = find_ticks_ = 0;
    dialogs_before_.clear();
    corners_ = {};
    taskbar_style_ = 0;
}

ComPtr<MyControls> MyControls::fresh() {
    if (ComPtr<Form> spare = take_spare(&kSpare)) {
        ComPtr<MyControls> form(static_cast<MyControls*>(spare.get()));
        form->reset_state();
        if (form->on.load) form->on.load();
        return form;
    }
    ComPtr<MyControls> form = make<MyControls>();
    form->load();
    return form;
}

void MyControls::release() {
    if (!loaded()) return;
    bool keep = !visible() && controls().size() == designed_ && scratch_.size() == std::size(kScratch);
    for (const auto& c : controls())
        if (auto* timer = dynamic_cast<Timer*>(c.get()); timer && timer->enabled() && c->name() != L"Timer_KeyLogger")
            keep = false;
    for (const auto& [name, design] : scratch_) {
        if (!keep) break;
        Control* c = control(name);
        keep = c && c->restore(*design.get());
    }
    if (!keep) {
        get<ListBox>(L"sLB").clear();
        unload();
        return;
    }
    set_tag(L"");
    unload_to_spare(&kSpare);
}

void MyControls::reset_effects() {
    blinks_.clear();
    hyperlinks_.clear();
    hyperlink_icon_.reset();
    captions_.clear();
    taskbar_hwnd_ = alpha_ = 0;
    taskbar_saved_ = false;
    roll_form_.reset();
    roll_hwnd_ = roll_end_height_ = 0;
}

long MyControls::upper_bound(const wchar_t* array) const {
    long top = -1;
    for (const auto& c : controls())
        if (c->index() > top && c->name() == array) top = c->index();
    return top;
}

void MyControls::design() {
    Timer& find = add<Timer>(L"Timer_FindMsgBox");
    find.on.timer = [this] { find_msgbox_tick(); };
    Timer& closer = add<Timer>(L"Timer_MsgCloser");
    closer.on.timer = [this] { msg_closer_tick(); };
    add_element<Timer>(L"Timer_Blink", 0);
    add<Timer>(L"Timer_HyperLink");
    add_element<Timer>(L"Timer_ScrollCaption", 0);
    add<Timer>(L"Timer_TaskBarFade");
    add<Timer>(L"Timer_Roll2");
    add<Timer>(L"Timer_KeyLogger");
    add<Timer>(L"Timer_cLabel");

    add<ListBox>(L"sLB", true);
    add<ListBox>(L"LBtmp");
    add_element<ListBox>(L"vLB", 0, true);
    TextBox& input = add<TextBox>(L"uInput");
    input.on.key_press = [this](int& key) { key_press_input(key); };
    add<TextBox>(L"TextLB");

    add<Frame>(L"Frame1");
    Frame& rotate = add<Frame>(L"Frame2");
    rotate.set_caption(L"Bitmap Rotate && Zoom");
    add_in<PictureBox>(rotate, L"ps");
    add_in<PictureBox>(rotate, L"po");
    add_in<PictureBox>(rotate, L"pd");
    PictureBox& shape = add<PictureBox>(L"PicTMP");
    float width = 1575, height = 975, top = 0;
    shape.move(0, &top, &width, &height);
    add_element<PictureBox>(L"vPic", 0);
    add<PictureBox>(L"picCredits");
    for (long i = 1; i <= 3; ++i) add_element<PictureBox>(L"PicFade", i);

    add<Label>(L"ClickIcon").set_mouse_icon(thread_part<HandPointer>().picture().get());
    add<Label>(L"LabelTMP");
    add<Label>(L"LabelMessage");
    add<Label>(L"Label1");

    scratch_.clear();
    for (const wchar_t* name : kScratch) scratch_.emplace_back(name, copy_of(*control(name)));
    designed_ = controls().size();
}

// --- sorting ----------------------------------------------------------------------

bool MyControls::SortLB(IDispatch* LB) {
    try {
        load();
        if (CBool(*late::get(LB, L"Sorted").get())) return false;
        ListBox& sorted = get<ListBox>(L"sLB");
        sorted.clear();
        const long count = CLng(*late::get(LB, L"ListCount").get());
        for (long i = 0; i < count; ++i) {
            sorted.add_item(CStr(*late::get(LB, L"List", {Variant(i)}).get()));
            sorted.set_item_data(sorted.new_index(), CLng(*late::get(LB, L"ItemData", {Variant(i)}).get()));
        }
        late::call(LB, L"Clear");
        for (long i = 0; i < sorted.list_count(); ++i) {
            late::call(LB, L"AddItem", {Variant(sorted.list(i))});
            Variant added = late::get(LB, L"NewIndex");
            late::put(LB, L"ItemData", Variant(sorted.item_data(i)), {added});
        }
        unload();
        return true;
    } catch (...) {
        return false;
    }
}

// --- the in-place edit box --------------------------------------------------------

void MyControls::key_press_input(int& key) {
    TextBox& input = get<TextBox>(L"uInput");
    auto flag = [this](const wchar_t* name) { return CBool(*field(name).get()); };
    if (key == VK_RETURN) {
        key = 0;
        hide();
        field(L"uStringWasSet") = Variant(true);
        field(L"uString") = Variant(input.text());
    } else if (key == VK_ESCAPE && flag(L"ListEdit") && flag(L"ListEditESC")) {
        key = 0;
        input.set_text(ListEditOldText());
        if (flag(L"ListEditEmpty")) {
            hide();
            field(L"uStringWasSet") = Variant(true);
            field(L"uString") = Variant(input.text());
        }
    }
}

// --- message-box placement and closing ----------------------------------------------

void MyControls::SetMsgbox(long ParentHwnd, long XPos, long YPos) {
    check_window(XPos, YPos, 0, 0);  // a place beyond the screen's coordinates: 380, nothing armed
    load();
    parent_hwnd_ = ParentHwnd;
    msg_x_ = XPos;
    msg_y_ = YPos;
    dialogs_before_ = thread_dialogs();
    Timer& timer = get<Timer>(L"Timer_FindMsgBox");
    timer.set_interval(kFindInterval);
    timer.set_enabled(true);
}

void MyControls::SetMsgCloser(long Sec, long ThreadID) {
    long long ms = static_cast<long long>(Sec) * 1000;
    if (ms > std::numeric_limits<long>::max() || ms < std::numeric_limits<long>::min()) raise(err::Overflow);
    load();
    closer_thread_ = ThreadID;
    Timer& timer = get<Timer>(L"Timer_MsgCloser");
    timer.set_interval(static_cast<long>(ms));
    timer.set_enabled(true);
}

void MyControls::unload_unless_closing() {
    if (!get<Timer>(L"Timer_MsgCloser").enabled()) unload();
}

void MyControls::find_msgbox_tick() {
    Timer& timer = get<Timer>(L"Timer_FindMsgBox");
    long active = long_of(GetActiveWindow());
    std::wstring name;
    try {
        name = class_of(active);
    } catch (...) {
    }
    // The system may make the new box active only some ticks after showing it
    // (a busy display): a dialog of this thread that appeared since the call is
    // the box as well.
    if (name != kDialogClass) {
        for (HWND h : thread_dialogs())
            if (std::find(dialogs_before_.begin(), dialogs_before_.end(), h) == dialogs_before_.end()) {
                active = long_of(h);
                name = kDialogClass;
                break;
            }
    }
    if (name == kDialogClass) {
        timer.set_enabled(false);
        SetWindowPos(hwnd_of(active), hwnd_of(parent_hwnd_), msg_x_, msg_y_, 0, 0, SWP_NOSIZE);
        unload_unless_closing();
        return;
    }
    if (++find_ticks_ > kFindGiveUp) {
        timer.set_enabled(false);
        unload_unless_closing();
    }
    do_events();
}

void MyControls::msg_closer_tick() {
    get<Timer>(L"Timer_MsgCloser").set_enabled(false);
    try {
        _Window* window = shared<_Window>();
        SafeArray all = SafeArray(VT_I4);
        check(window->Get_AllHwnd(all.put()));
        for (const Variant& v : elements_of(all.get())) {
            long h = CLng(*v.get());
            long thread = 0;
            if (FAILED(window->Get_ThreadID(h, &thread)) || thread != closer_thread_) continue;
            std::wstring name;
            try {
                name = class_of(h);
            } catch (...) {
                continue;
            }
            if (name != kDialogClass) continue;
            Bstr caption;
            if (FAILED(window->Get_Text(h, caption.put())) || !caption.view().starts_with(kReporterCaption)) continue;
            VARIANT_BOOL closed = VARIANT_FALSE;
            window->CloseWindow(h, &closed);
        }
    } catch (...) {
    }
    unload();
}

// --- the automation face -------------------------------------------------------------

const Table& MyControls::table() const {
    static const Table t({&Form::members()},
                         {
                             {L"SortLB",
                              [](Object& o, const Args& a) {
                                  return Variant(static_cast<MyControls&>(o).SortLB(a.obj(0)));
                              }},
                             {L"SetMsgbox",
                              [](Object& o, const Args& a) {
                                  static_cast<MyControls&>(o).SetMsgbox(a.lng(0), a.lng(1), a.lng(2));
                                  return Variant{};
                              }},
                             {L"SetMsgCloser",
                              [](Object& o, const Args& a) {
                                  static_cast<MyControls&>(o).SetMsgCloser(a.lng(0), a.lng(1));
                                  return Variant{};
                              }},
                             {L"SetBlink",
                              [](Object& o, const Args& a) {
                                  static_cast<MyControls&>(o).SetBlink(a.obj(0), a.lng(1), a.lng(2), a.lng(3));
                                  return Variant{};
                              }},
                             {L"Create_Hyperlink",
                              [](Object& o, const Args& a) {
                                  return Variant(static_cast<MyControls&>(o).Create_Hyperlink(a.obj(0), a.obj(1),
                                                                                              a.lng(2), a.lng(3)));
                              }},
                             {L"SetScrollCaption",
                              [](Object& o, const Args& a) {
                                  return Variant(static_cast<MyControls&>(o).SetScrollCaption(a.obj(0), a.lng(1)));
                              }},
                             {L"TaskBarFade",
                              [](Object& o, const Args& a) {
                                  static_cast<MyControls&>(o).TaskBarFade(a.boolean(0));
                                  return Variant{};
                              }},
                             {L"GetTaskbarHeight",
                              [](Object& o, const Args&) {
                                  return Variant(static_cast<MyControls&>(o).GetTaskbarHeight());
                              }},
                             {L"Roll2",
                              [](Object& o, const Args& a) {
                                  static_cast<MyControls&>(o).Roll2(a.obj(0), a.lng(1));
                                  return Variant{};
                              }},
                             {L"BitmapWork",
                              [](Object& o, const Args& a) {
                                  auto opt = [&](size_t i) { return a.has(i) ? &a.at(i) : nullptr; };
                                  return var(static_cast<MyControls&>(o).BitmapWork(a.obj(0), opt(1), opt(2), opt(3),
                                                                                    opt(4)));
                              }},
                         });
    return t;
}

MyControls& myControls() { return predeclared<MyControls>(); }

}  // namespace qm
