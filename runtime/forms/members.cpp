// The member tables: the runtime's property and method names of every kind of
// form and control, as clients reach them late-bound.
#include <algorithm>
#include <utility>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/table_helpers.h"

namespace qm::forms {

namespace {

using namespace tables;

Surface& SF(Object& o) { return *static_cast<Visual&>(o).surface(); }

long color(V v) { return CLng(v); }

ComPtr<IPictureDisp> picture_arg(V v) {
    const VARIANT& d = deref(v);
    if (V_VT(&d) == VT_EMPTY || ((V_VT(&d) == VT_DISPATCH || V_VT(&d) == VT_UNKNOWN) && !V_UNKNOWN(&d)))
        return {};
    if (V_VT(&d) != VT_DISPATCH && V_VT(&d) != VT_UNKNOWN) raise(err::TypeMismatch);
    ComPtr<IPictureDisp> pic;
    if (FAILED(V_UNKNOWN(&d)->QueryInterface(IID_IPictureDisp, pic.put_void()))) raise(ferr::InvalidPicture);
    return pic;
}

IFontDisp* font_arg(V v, ComPtr<IFontDisp>& holder) {
    const VARIANT& d = deref(v);
    if ((V_VT(&d) != VT_DISPATCH && V_VT(&d) != VT_UNKNOWN) || !V_UNKNOWN(&d)) raise(err::ObjectRequired);
    if (FAILED(V_UNKNOWN(&d)->QueryInterface(IID_IFontDisp, holder.put_void()))) raise(err::TypeMismatch);
    return holder.get();
}

Variant font_prop(Object& o, DISPID which) {
    ComPtr<IFont> f = S<Visual>(o).font().query<IFont>();
    BOOL b = FALSE;
    switch (which) {
    case DISPID_FONT_BOLD: f->get_Bold(&b); break;
    case DISPID_FONT_ITALIC: f->get_Italic(&b); break;
    case DISPID_FONT_UNDER: f->get_Underline(&b); break;
    default: f->get_Strikethrough(&b); break;
    }
    return Variant(b != FALSE);
}

// A read-only list of objects (a form's Controls): Count, Item, For Each.
class ObjectList final : public Object {
public:
    explicit ObjectList(std::vector<Variant> items) : items_(std::move(items)) {}
    const wchar_t* type_name() const noexcept override { return L"Object"; }
    const Table& table() const override {
        static const Table t({},
                             {
                                 {L"Count", [](Object& o, A) { return var(static_cast<long>(S<ObjectList>(o).items_.size())); }},
                                 {L"Item", [](Object& o, A a) -> Variant {
                                      auto& items = S<ObjectList>(o).items_;
                                      long i = a.lng(0);
                                      if (i < 0 || static_cast<size_t>(i) >= items.size()) raise(err::SubscriptOutOfRange);
                                      return items[static_cast<size_t>(i)];
                                  }},
                             },
                             L"Item");
        return t;
    }

protected:
    ComPtr<IEnumVARIANT> enumerate() override { return make_enum(items_); }

private:
    std::vector<Variant> items_;
};

const Table& windowed() {
    static const Table t({}, {
                                 {L"hWnd", [](Object& o, A) { return var(static_cast<long>(reinterpret_cast<LONG_PTR>(S<Visual>(o).hwnd()))); }},
                                 {L"SetFocus", [](Object& o, A) { S<Control>(o).set_focus(); return none(); }},
                             });
    return t;
}

// ToolTipText of the intrinsic controls.
const Table& tip_members() {
    static const Table t({}, {
                                 {L"ToolTipText", [](Object& o, A) { return var(S<Control>(o).tool_tip()); },
                                  [](Object& o, A, V v) { S<Control>(o).set_tool_tip(CStr(v)); }},
                             });
    return t;
}

// Members of forms and picture boxes: the drawing surface.
const Table& surface_members() {
    static const Table t(
        {},
        {
            {L"AutoRedraw", [](Object& o, A) { return var(SF(o).auto_redraw()); },
             [](Object& o, A, V v) { SF(o).set_auto_redraw(CBool(v)); }},
            {L"Cls", [](Object& o, A) { SF(o).cls(); return none(); }},
            {L"PSet", [](Object& o, A a) { SF(o).pset(a.sng(0), a.sng(1), a.lng(2, -1)); return none(); }},
            {L"Point", [](Object& o, A a) { return var(SF(o).point(a.sng(0), a.sng(1))); }},
            {L"Line", [](Object& o, A a) {
                 std::wstring flags = a.str(5, L"");
                 bool box = !flags.empty() && (flags[0] == L'B' || flags[0] == L'b');
                 bool fill = box && flags.size() > 1 && (flags[1] == L'F' || flags[1] == L'f');
                 SF(o).line(a.sng(0), a.sng(1), a.sng(2), a.sng(3), a.lng(4, -1), box, fill);
                 return none();
             }},
            {L"Print", [](Object& o, A a) { SF(o).print(a.str(0, L"")); return none(); }},
            {L"TextWidth", [](Object& o, A a) { return var(SF(o).text_width(a.str(0))); }},
            {L"TextHeight", [](Object& o, A a) { return var(SF(o).text_height(a.str(0))); }},
            {L"PaintPicture", [](Object& o, A a) {
                 ComPtr<IPictureDisp> pic = picture_arg(a.at(0));
                 float w1 = a.sng(3, 0), h1 = a.sng(4, 0), w2 = a.sng(7, 0), h2 = a.sng(8, 0);
                 SF(o).paint_picture(pic.get(), a.sng(1), a.sng(2), a.has(3) ? &w1 : nullptr, a.has(4) ? &h1 : nullptr,
                                     a.sng(5, 0), a.sng(6, 0), a.has(7) ? &w2 : nullptr, a.has(8) ? &h2 : nullptr,
                                     static_cast<DWORD>(a.lng(9, SRCCOPY)));
                 return none();
             }},
            {L"Picture", [](Object& o, A) { return var(SF(o).picture()); },
             [](Object& o, A, V v) { SF(o).set_picture(picture_arg(v).get()); }},
            {L"Image", [](Object& o, A) { return var(SF(o).image()); }},
            {L"hDC", [](Object& o, A) { return var(static_cast<long>(reinterpret_cast<LONG_PTR>(SF(o).hdc()))); }},
            {L"CurrentX", [](Object& o, A) { return var(SF(o).current_x); },
             [](Object& o, A, V v) { SF(o).current_x = CSng(v); }},
            {L"CurrentY", [](Object& o, A) { return var(SF(o).current_y); },
             [](Object& o, A, V v) { SF(o).current_y = CSng(v); }},
            {L"DrawWidth", [](Object& o, A) { return var(SF(o).draw_width); },
             [](Object& o, A, V v) {
                 long w = CLng(v);
                 if (w < 1 || w > 32767) raise(err::InvalidPropertyValue);
                 SF(o).draw_width = w;
             }},
            {L"FillStyle", [](Object& o, A) { return var(SF(o).fill_style); },
             [](Object& o, A, V v) {
                 long s = CLng(v);
                 if (s < 0 || s > 7) raise(err::InvalidPropertyValue);
                 SF(o).fill_style = s;
             }},
            {L"FillColor", [](Object& o, A) { return var(SF(o).fill_color); },
             [](Object& o, A, V v) { SF(o).fill_color = color(v); }},
            {L"ScaleMode", [](Object& o, A) { return var(static_cast<long>(SF(o).scale_mode())); },
             [](Object& o, A, V v) { SF(o).set_scale_mode(static_cast<int>(CLng(v))); }},
            {L"ScaleWidth", [](Object& o, A) { return var(SF(o).scale_width()); },
             [](Object& o, A, V v) { SF(o).set_scale_width(CSng(v)); }},
            {L"ScaleHeight", [](Object& o, A) { return var(SF(o).scale_height()); },
             [](Object& o, A, V v) { SF(o).set_scale_height(CSng(v)); }},
            {L"ScaleX", [](Object& o, A a) {
                 return var(SF(o).scale_x(a.sng(0), static_cast<int>(a.lng(1, 8)),
                                          static_cast<int>(a.lng(2, SF(o).scale_mode()))));
             }},
            {L"ScaleY", [](Object& o, A a) {
                 return var(SF(o).scale_y(a.sng(0), static_cast<int>(a.lng(1, 8)),
                                          static_cast<int>(a.lng(2, SF(o).scale_mode()))));
             }},
            {L"ScaleLeft", [](Object& o, A) { return var(SF(o).scale().mode == 0 ? SF(o).scale().left : 0.0f); }},
            {L"ScaleTop", [](Object& o, A) { return var(SF(o).scale().mode == 0 ? SF(o).scale().top : 0.0f); }},
        });
    return t;
}

Variant parent_of(Object& o) {
    Form* f = S<Control>(o).form();
    if (!f) raise(err::ObjectNotSet);
    return var(static_cast<IDispatch*>(f));
}

}  // namespace

const Table& Visual::members() {
    static const Table t(
        {},
        {
            {L"Name", [](Object& o, A) { return var(S<Visual>(o).name()); }},
            {L"Tag", [](Object& o, A) { return var(S<Visual>(o).tag()); },
             [](Object& o, A, V v) { S<Visual>(o).set_tag(CStr(v)); }},
            {L"BackColor", [](Object& o, A) { return var(static_cast<long>(S<Visual>(o).back_color())); },
             [](Object& o, A, V v) { S<Visual>(o).set_back_color(static_cast<OLE_COLOR>(color(v))); }},
            {L"ForeColor", [](Object& o, A) { return var(static_cast<long>(S<Visual>(o).fore_color())); },
             [](Object& o, A, V v) { S<Visual>(o).set_fore_color(static_cast<OLE_COLOR>(color(v))); }},
            {L"Font", [](Object& o, A) { return var(S<Visual>(o).font()); },
             [](Object& o, A, V v) {
                 ComPtr<IFontDisp> f;
                 S<Visual>(o).set_font(font_arg(v, f));
             }},
            {L"FontName", [](Object& o, A) {
                 BSTR n = nullptr;
                 S<Visual>(o).font().query<IFont>()->get_Name(&n);
                 return var(Bstr::attach(n).str());
             },
             [](Object& o, A, V v) { S<Visual>(o).set_font_name(CStr(v)); }},
            {L"FontSize", [](Object& o, A) {
                 CY cy{};
                 S<Visual>(o).font().query<IFont>()->get_Size(&cy);
                 return var(static_cast<float>(cy.int64 / 10000.0));
             },
             [](Object& o, A, V v) { S<Visual>(o).set_font_size(CSng(v)); }},
            {L"FontBold", [](Object& o, A) { return font_prop(o, DISPID_FONT_BOLD); },
             [](Object& o, A, V v) { S<Visual>(o).set_font_flag(DISPID_FONT_BOLD, CBool(v)); }},
            {L"FontItalic", [](Object& o, A) { return font_prop(o, DISPID_FONT_ITALIC); },
             [](Object& o, A, V v) { S<Visual>(o).set_font_flag(DISPID_FONT_ITALIC, CBool(v)); }},
            {L"FontUnderline", [](Object& o, A) { return font_prop(o, DISPID_FONT_UNDER); },
             [](Object& o, A, V v) { S<Visual>(o).set_font_flag(DISPID_FONT_UNDER, CBool(v)); }},
            {L"FontStrikethru", [](Object& o, A) { return font_prop(o, DISPID_FONT_STRIKE); },
             [](Object& o, A, V v) { S<Visual>(o).set_font_flag(DISPID_FONT_STRIKE, CBool(v)); }},
            {L"MousePointer", [](Object& o, A) { return var(S<Visual>(o).mouse_pointer()); },
             [](Object& o, A, V v) { S<Visual>(o).set_mouse_pointer(CLng(v)); }},
            {L"MouseIcon", [](Object& o, A) { return var(S<Visual>(o).mouse_icon()); },
             [](Object& o, A, V v) { S<Visual>(o).set_mouse_icon(picture_arg(v).get()); }},
            {L"Enabled", [](Object& o, A) { return var(S<Visual>(o).enabled()); },
             [](Object& o, A, V v) { S<Visual>(o).set_enabled(CBool(v)); }},
            {L"Refresh", [](Object& o, A) { S<Visual>(o).refresh(); return none(); }},
        });
    return t;
}

const Table& Control::members() {
    static const Table t(
        {&Visual::members()},
        {
            {L"Left", [](Object& o, A) { return var(S<Control>(o).left()); },
             [](Object& o, A, V v) { S<Control>(o).set_left(CSng(v)); }},
            {L"Top", [](Object& o, A) { return var(S<Control>(o).top()); },
             [](Object& o, A, V v) { S<Control>(o).set_top(CSng(v)); }},
            {L"Width", [](Object& o, A) { return var(S<Control>(o).width()); },
             [](Object& o, A, V v) { S<Control>(o).set_width(CSng(v)); }},
            {L"Height", [](Object& o, A) { return var(S<Control>(o).height()); },
             [](Object& o, A, V v) { S<Control>(o).set_height(CSng(v)); }},
            {L"Visible", [](Object& o, A) { return var(S<Control>(o).visible()); },
             [](Object& o, A, V v) { S<Control>(o).set_visible(CBool(v)); }},
            {L"Move", [](Object& o, A a) {
                 float t = a.sng(1, 0), w = a.sng(2, 0), h = a.sng(3, 0);
                 S<Control>(o).move(a.sng(0), a.has(1) ? &t : nullptr, a.has(2) ? &w : nullptr, a.has(3) ? &h : nullptr);
                 return none();
             }},
            {L"ZOrder", [](Object& o, A a) { S<Control>(o).zorder(static_cast<int>(a.lng(0, 0))); return none(); }},
            {L"Index", [](Object& o, A) {
                 long i = S<Control>(o).index();
                 if (i < 0) raise(343, L"Object not an array");
                 return var(i);
             }},
            {L"Parent", [](Object& o, A) { return parent_of(o); }},
            {L"Container", [](Object& o, A) {
                 Control* k = S<Control>(o).container();
                 return k ? var(static_cast<IDispatch*>(k)) : parent_of(o);
             }},
        });
    return t;
}

const Table& Label::table() const {
    static const Table t({&Control::members(), &tip_members()},
                         {
                             {L"Caption", [](Object& o, A) { return var(S<Label>(o).caption()); },
                              [](Object& o, A, V v) { S<Label>(o).set_caption(CStr(v)); }},
                             {L"AutoSize", [](Object& o, A) { return var(S<Label>(o).s_.auto_size); },
                              [](Object& o, A, V v) { S<Label>(o).set_auto_size(CBool(v)); }},
                             {L"WordWrap", [](Object& o, A) { return var(S<Label>(o).s_.word_wrap); },
                              [](Object& o, A, V v) {
                                  S<Label>(o).s_.word_wrap = CBool(v);
                                  S<Label>(o).set_auto_size(S<Label>(o).s_.auto_size);
                              }},
                             {L"Alignment", [](Object& o, A) { return var(S<Label>(o).s_.alignment); },
                              [](Object& o, A, V v) {
                                  long a = CLng(v);
                                  if (a < 0 || a > 2) raise(err::InvalidPropertyValue);
                                  S<Label>(o).s_.alignment = a;
                                  S<Label>(o).refresh();
                              }},
                             {L"BackStyle", [](Object& o, A) { return var(S<Label>(o).s_.back_style); },
                              [](Object& o, A, V v) {
                                  long b = CLng(v);
                                  if (b < 0 || b > 1) raise(err::InvalidPropertyValue);
                                  S<Label>(o).s_.back_style = b;
                                  S<Label>(o).refresh();
                              }},
                             {L"BorderStyle", [](Object& o, A) { return var(S<Label>(o).s_.border_style); },
                              [](Object& o, A, V v) {
                                  long b = CLng(v);
                                  if (b < 0 || b > 1) raise(err::InvalidPropertyValue);
                                  S<Label>(o).s_.border_style = b;
                                  S<Label>(o).refresh();
                              }},
                         },
                         L"Caption");
    return t;
}

const Table& TextBox::table() const {
    static const Table t(
        {&windowed(), &Control::members(), &tip_members()},
        {
            {L"Text", [](Object& o, A) { return var(S<TextBox>(o).text()); },
             [](Object& o, A, V v) { S<TextBox>(o).set_text(CStr(v)); }},
            {L"SelStart", [](Object& o, A) { return var(S<TextBox>(o).sel_start()); },
             [](Object& o, A, V v) { S<TextBox>(o).set_sel_start(CLng(v)); }},
            {L"SelLength", [](Object& o, A) { return var(S<TextBox>(o).sel_length()); },
             [](Object& o, A, V v) { S<TextBox>(o).set_sel_length(CLng(v)); }},
            {L"SelText", [](Object& o, A) { return var(S<TextBox>(o).sel_text()); },
             [](Object& o, A, V v) { S<TextBox>(o).set_sel_text(CStr(v)); }},
            {L"Locked", [](Object& o, A) { return var(S<TextBox>(o).s_.locked); },
             [](Object& o, A, V v) { S<TextBox>(o).set_locked(CBool(v)); }},
            {L"MultiLine", [](Object& o, A) { return var(S<TextBox>(o).s_.multi_line); },
             [](Object& o, A, V v) { S<TextBox>(o).set_multi_line(CBool(v)); }},
            {L"PasswordChar", [](Object& o, A) {
                 wchar_t c = S<TextBox>(o).s_.password;
                 return var(c ? std::wstring(1, c) : std::wstring());
             },
             [](Object& o, A, V v) { S<TextBox>(o).set_password_char(CStr(v)); }},
            {L"MaxLength", [](Object& o, A) { return var(S<TextBox>(o).s_.max_length); },
             [](Object& o, A, V v) {
                 long n = CLng(v);
                 if (n < 0) raise(err::InvalidPropertyValue);
                 auto& box = S<TextBox>(o);
                 box.s_.max_length = n;
                 if (box.hwnd()) SendMessageW(box.hwnd(), EM_LIMITTEXT, static_cast<WPARAM>(n), 0);
             }},
            {L"Alignment", [](Object& o, A) { return var(S<TextBox>(o).s_.alignment); }},
            {L"ScrollBars", [](Object& o, A) { return var(S<TextBox>(o).s_.scroll_bars); }},
            {L"BorderStyle", [](Object& o, A) { return var(S<TextBox>(o).s_.border_style); }},
        },
        L"Text");
    return t;
}

const Table& Button::table() const {
    static const Table t({&windowed(), &Control::members(), &tip_members()},
                         {
                             {L"Caption", [](Object& o, A) { return var(S<Button>(o).caption()); },
                              [](Object& o, A, V v) { S<Button>(o).set_caption(CStr(v)); }},
                             {L"Value", [](Object& o, A) -> Variant {
                                  auto& b = S<Button>(o);
                                  if (b.kind_ == Check) return var(b.value());
                                  return var(b.value() != 0);
                              },
                              [](Object& o, A, V v) {
                                  auto& b = S<Button>(o);
                                  b.set_value(b.kind_ == Check ? CLng(v) : (CBool(v) ? -1 : 0));
                              }},
                             {L"Alignment", [](Object& o, A) { return var(S<Button>(o).s_.alignment); }},
                         },
                         L"Value");
    return t;
}

const Table& Frame::table() const {
    static const Table t({&windowed(), &Control::members(), &tip_members()},
                         {
                             {L"Caption", [](Object& o, A) { return var(S<Frame>(o).caption()); },
                              [](Object& o, A, V v) { S<Frame>(o).set_caption(CStr(v)); }},
                             {L"BorderStyle", [](Object& o, A) { return var(S<Frame>(o).s_.border_style); },
                              [](Object& o, A, V v) {
                                  long b = CLng(v);
                                  if (b < 0 || b > 1) raise(err::InvalidPropertyValue);
                                  S<Frame>(o).s_.border_style = b;
                                  S<Frame>(o).refresh();
                              }},
                         },
                         L"Caption");
    return t;
}

const Table& ListControl::members() {
    static const Table t(
        {&windowed(), &Control::members(), &tip_members()},
        {
            {L"List", [](Object& o, A a) { return var(S<ListControl>(o).list(a.lng(0))); },
             [](Object& o, A a, V v) { S<ListControl>(o).set_list(a.lng(0), CStr(v)); }},
            {L"ListCount", [](Object& o, A) { return var(S<ListControl>(o).list_count()); }},
            {L"ListIndex", [](Object& o, A) { return var(S<ListControl>(o).list_index()); },
             [](Object& o, A, V v) { S<ListControl>(o).set_list_index(CLng(v)); }},
            {L"ItemData", [](Object& o, A a) { return var(S<ListControl>(o).item_data(a.lng(0))); },
             [](Object& o, A a, V v) { S<ListControl>(o).set_item_data(a.lng(0), CLng(v)); }},
            {L"NewIndex", [](Object& o, A) { return var(S<ListControl>(o).new_index()); }},
            {L"Sorted", [](Object& o, A) { return var(S<ListControl>(o).sorted()); }},
            {L"AddItem", [](Object& o, A a) {
                 S<ListControl>(o).add_item(a.str(0), a.lng(1, -1));
                 return none();
             }},
            {L"RemoveItem", [](Object& o, A a) { S<ListControl>(o).remove_item(a.lng(0)); return none(); }},
            {L"Clear", [](Object& o, A) { S<ListControl>(o).clear(); return none(); }},
            {L"Text", [](Object& o, A) { return var(S<ListControl>(o).text()); }},
        });
    return t;
}

const Table& ListBox::table() const {
    static const Table t({&ListControl::members()},
                         {
                             {L"TopIndex", [](Object& o, A) { return var(S<ListBox>(o).top_index()); },
                              [](Object& o, A, V v) { S<ListBox>(o).set_top_index(CLng(v)); }},
                             {L"Selected", [](Object& o, A a) { return var(S<ListBox>(o).selected(a.lng(0))); },
                              [](Object& o, A a, V v) { S<ListBox>(o).set_selected(a.lng(0), CBool(v)); }},
                             {L"SelCount", [](Object& o, A) { return var(S<ListBox>(o).sel_count()); }},
                             {L"MultiSelect", [](Object& o, A) { return var(S<ListBox>(o).multi_select()); }},
                         },
                         L"Text");
    return t;
}

// The selection in a combo box's edit field (none in a drop-down list).
static std::pair<long, long> combo_selection(HWND combo) {
    DWORD start = 0, end = 0;
    if (!combo || SendMessageW(combo, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)) ==
                      CB_ERR)
        return {0, 0};
    return {static_cast<long>(start), static_cast<long>(end)};
}

static void set_combo_selection(HWND combo, long start, long length) {
    if (start < 0 || length < 0) raise(err::InvalidPropertyValue);
    if (!combo) return;
    const long n = GetWindowTextLengthW(combo);
    start = std::min(start, n);
    SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(start, std::min(start + length, n)));
}

const Table& ComboBox::table() const {
    static const Table t({&ListControl::members()},
                         {
                             {L"Style", [](Object& o, A) { return var(S<ComboBox>(o).style()); }},
                             {L"Text", [](Object& o, A) { return var(S<ComboBox>(o).text()); },
                              [](Object& o, A, V v) { S<ComboBox>(o).set_text(CStr(v)); }},
                             {L"SelStart", [](Object& o, A) { return var(combo_selection(S<ComboBox>(o).hwnd()).first); },
                              [](Object& o, A, V v) { set_combo_selection(S<ComboBox>(o).hwnd(), CLng(v), 0); }},
                             {L"SelLength",
                              [](Object& o, A) {
                                  auto s = combo_selection(S<ComboBox>(o).hwnd());
                                  return var(s.second - s.first);
                              },
                              [](Object& o, A, V v) {
                                  HWND h = S<ComboBox>(o).hwnd();
                                  set_combo_selection(h, combo_selection(h).first, CLng(v));
                              }},
                             {L"SelText", [](Object& o, A) {
                                  auto s = combo_selection(S<ComboBox>(o).hwnd());
                                  std::wstring t = S<ComboBox>(o).text();
                                  if (s.first >= static_cast<long>(t.size())) return var(std::wstring());
                                  return var(t.substr(static_cast<size_t>(s.first), static_cast<size_t>(s.second - s.first)));
                              }},
                         },
                         L"Text");
    return t;
}

const Table& HScrollBar::table() const {
    static const Table t(
        {&windowed(), &Control::members(), &tip_members()},
        {
            {L"Value", [](Object& o, A) { return var(S<HScrollBar>(o).value()); },
             [](Object& o, A, V v) { S<HScrollBar>(o).set_value(CLng(v)); }},
            {L"Min", [](Object& o, A) { return var(S<HScrollBar>(o).s_.min); },
             [](Object& o, A, V v) { S<HScrollBar>(o).set_range(CLng(v), S<HScrollBar>(o).s_.max); }},
            {L"Max", [](Object& o, A) { return var(S<HScrollBar>(o).s_.max); },
             [](Object& o, A, V v) { S<HScrollBar>(o).set_range(S<HScrollBar>(o).s_.min, CLng(v)); }},
            {L"SmallChange", [](Object& o, A) { return var(S<HScrollBar>(o).s_.small_change); },
             [](Object& o, A, V v) {
                 long n = CLng(v);
                 if (n < 1 || n > 32767) raise(err::InvalidPropertyValue);
                 S<HScrollBar>(o).s_.small_change = n;
             }},
            {L"LargeChange", [](Object& o, A) { return var(S<HScrollBar>(o).s_.large_change); },
             [](Object& o, A, V v) {
                 long n = CLng(v);
                 if (n < 1 || n > 32767) raise(err::InvalidPropertyValue);
                 S<HScrollBar>(o).s_.large_change = n;
             }},
        },
        L"Value");
    return t;
}

const Table& Timer::table() const {
    static const Table t({},
                         {
                             {L"Name", [](Object& o, A) { return var(S<Timer>(o).name()); }},
                             {L"Tag", [](Object& o, A) { return var(S<Timer>(o).tag()); },
                              [](Object& o, A, V v) { S<Timer>(o).set_tag(CStr(v)); }},
                             {L"Index", [](Object& o, A) {
                                  long i = S<Timer>(o).index();
                                  if (i < 0) raise(343, L"Object not an array");
                                  return var(i);
                              }},
                             {L"Parent", [](Object& o, A) { return parent_of(o); }},
                             {L"Enabled", [](Object& o, A) { return var(S<Timer>(o).enabled()); },
                              [](Object& o, A, V v) { S<Timer>(o).set_enabled(CBool(v)); }},
                             {L"Interval", [](Object& o, A) { return var(S<Timer>(o).interval()); },
                              [](Object& o, A, V v) { S<Timer>(o).set_interval(CLng(v)); }},
                         },
                         L"Enabled");
    return t;
}

const Table& PictureBox::table() const {
    static const Table t(
        {&surface_members(), &windowed(), &Control::members(), &tip_members()},
        {
            {L"Picture", [](Object& o, A) { return var(SF(o).picture()); },
             [](Object& o, A, V v) { S<PictureBox>(o).set_picture(picture_arg(v).get()); }},
            {L"AutoSize", [](Object& o, A) { return var(S<PictureBox>(o).s_.auto_size); },
             [](Object& o, A, V v) { S<PictureBox>(o).set_auto_size(CBool(v)); }},
            {L"BorderStyle", [](Object& o, A) { return var(S<PictureBox>(o).s_.border_style); },
             [](Object& o, A, V v) { S<PictureBox>(o).set_border_style(CLng(v)); }},
            {L"Appearance", [](Object& o, A) { return var(S<PictureBox>(o).s_.appearance); },
             [](Object& o, A, V v) {
                 long a = CLng(v);
                 if (a < 0 || a > 1) raise(err::InvalidPropertyValue);
                 auto& p = S<PictureBox>(o);
                 p.s_.appearance = a;
                 p.set_border_style(p.s_.border_style);
             }},
        },
        L"Picture");
    return t;
}

const Table& Image::table() const {
    static const Table t({&Control::members(), &tip_members()},
                         {
                             {L"Picture", [](Object& o, A) { return var(S<Image>(o).s_.picture); },
                              [](Object& o, A, V v) { S<Image>(o).set_picture(picture_arg(v).get()); }},
                             {L"Stretch", [](Object& o, A) { return var(S<Image>(o).s_.stretch); },
                              [](Object& o, A, V v) {
                                  S<Image>(o).s_.stretch = CBool(v);
                                  S<Image>(o).refresh();
                              }},
                             {L"BorderStyle", [](Object& o, A) { return var(S<Image>(o).s_.border_style); },
                              [](Object& o, A, V v) {
                                  S<Image>(o).s_.border_style = CLng(v) ? 1 : 0;
                                  S<Image>(o).refresh();
                              }},
                         },
                         L"Picture");
    return t;
}

namespace {
// A numeric property of a figure, checked against its range and repainted.
template <class T, long T::State::*field, long lo, long hi>
Member figure_prop(const wchar_t* name) {
    return {name, [](Object& o, A) { return var(S<T>(o).s_.*field); },
            [](Object& o, A, V v) {
                long n = CLng(v);
                if (n < lo || n > hi) raise(err::InvalidPropertyValue);
                S<T>(o).s_.*field = n;
                S<T>(o).refresh();
            }};
}
}  // namespace

const Table& Shape::table() const {
    static const Table t({&Control::members()},
                         {
                             figure_prop<Shape, &Shape::State::shape, 0, 5>(L"Shape"),
                             figure_prop<Shape, &Shape::State::fill_style, 0, 7>(L"FillStyle"),
                             figure_prop<Shape, &Shape::State::back_style, 0, 1>(L"BackStyle"),
                             figure_prop<Shape, &Shape::State::border_style, 0, 6>(L"BorderStyle"),
                             figure_prop<Shape, &Shape::State::border_width, 1, 8192>(L"BorderWidth"),
                             {L"FillColor", [](Object& o, A) { return var(static_cast<long>(S<Shape>(o).s_.fill_color)); },
                              [](Object& o, A, V v) {
                                  S<Shape>(o).s_.fill_color = static_cast<OLE_COLOR>(color(v));
                                  S<Shape>(o).refresh();
                              }},
                             {L"BorderColor", [](Object& o, A) { return var(static_cast<long>(S<Shape>(o).s_.border_color)); },
                              [](Object& o, A, V v) {
                                  S<Shape>(o).s_.border_color = static_cast<OLE_COLOR>(color(v));
                                  S<Shape>(o).refresh();
                              }},
                         });
    return t;
}

namespace {
template <float Line::State::*field>
Member line_coord(const wchar_t* name) {
    return {name, [](Object& o, A) { return var(S<Line>(o).s_.*field); },
            [](Object& o, A, V v) {
                S<Line>(o).s_.*field = CSng(v);
                if (HWND h = S<Line>(o).container_hwnd()) InvalidateRect(h, nullptr, TRUE);
            }};
}
}  // namespace

const Table& Line::table() const {
    static const Table t({},
                         {
                             {L"Name", [](Object& o, A) { return var(S<Line>(o).name()); }},
                             {L"Tag", [](Object& o, A) { return var(S<Line>(o).tag()); },
                              [](Object& o, A, V v) { S<Line>(o).set_tag(CStr(v)); }},
                             {L"Visible", [](Object& o, A) { return var(S<Line>(o).visible()); },
                              [](Object& o, A, V v) {
                                  S<Line>(o).set_visible(CBool(v));
                                  if (HWND h = S<Line>(o).container_hwnd()) InvalidateRect(h, nullptr, TRUE);
                              }},
                             {L"Parent", [](Object& o, A) { return parent_of(o); }},
                             line_coord<&Line::State::x1>(L"X1"),
                             line_coord<&Line::State::y1>(L"Y1"),
                             line_coord<&Line::State::x2>(L"X2"),
                             line_coord<&Line::State::y2>(L"Y2"),
                             figure_prop<Line, &Line::State::border_width, 1, 8192>(L"BorderWidth"),
                             figure_prop<Line, &Line::State::border_style, 0, 6>(L"BorderStyle"),
                             {L"BorderColor", [](Object& o, A) { return var(static_cast<long>(S<Line>(o).s_.border_color)); },
                              [](Object& o, A, V v) {
                                  S<Line>(o).s_.border_color = static_cast<OLE_COLOR>(color(v));
                                  if (HWND h = S<Line>(o).container_hwnd()) InvalidateRect(h, nullptr, TRUE);
                              }},
                         });
    return t;
}

const Table& ControlArray::table() const {
    static const Table t({},
                         {
                             {L"Item", [](Object& o, A a) { return var(static_cast<IDispatch*>(S<ControlArray>(o).item(a.lng(0)).get())); }},
                             {L"Count", [](Object& o, A) { return var(static_cast<long>(S<ControlArray>(o).elements().size())); }},
                             {L"LBound", [](Object& o, A) {
                                  auto list = S<ControlArray>(o).elements();
                                  return var(list.empty() ? 0L : list.front()->index());
                              }},
                             {L"UBound", [](Object& o, A) {
                                  auto list = S<ControlArray>(o).elements();
                                  return var(list.empty() ? -1L : list.back()->index());
                              }},
                         },
                         L"Item");
    return t;
}

const Table& Form::members() {
    static const Table t(
        {&surface_members(), &Visual::members()},
        {
            {L"hWnd", [](Object& o, A) { return var(static_cast<long>(reinterpret_cast<LONG_PTR>(S<Form>(o).hwnd()))); }},
            {L"Caption", [](Object& o, A) { return var(S<Form>(o).caption()); },
             [](Object& o, A, V v) { S<Form>(o).set_caption(CStr(v)); }},
            {L"Visible", [](Object& o, A) { return var(S<Form>(o).visible()); },
             [](Object& o, A, V v) { S<Form>(o).set_visible(CBool(v)); }},
            {L"Left", [](Object& o, A) { return var(S<Form>(o).left()); },
             [](Object& o, A, V v) { S<Form>(o).set_left(CSng(v)); }},
            {L"Top", [](Object& o, A) { return var(S<Form>(o).top()); },
             [](Object& o, A, V v) { S<Form>(o).set_top(CSng(v)); }},
            {L"Width", [](Object& o, A) { return var(S<Form>(o).width()); },
             [](Object& o, A, V v) { S<Form>(o).set_width(CSng(v)); }},
            {L"Height", [](Object& o, A) { return var(S<Form>(o).height()); },
             [](Object& o, A, V v) { S<Form>(o).set_height(CSng(v)); }},
            {L"Move", [](Object& o, A a) {
                 float t = a.sng(1, 0), w = a.sng(2, 0), h = a.sng(3, 0);
                 S<Form>(o).move(a.sng(0), a.has(1) ? &t : nullptr, a.has(2) ? &w : nullptr, a.has(3) ? &h : nullptr);
                 return none();
             }},
            {L"Show", [](Object& o, A a) {
                 Form* owner = a.has(1) ? dynamic_cast<Form*>(object_of(a.obj(1))) : nullptr;
                 bool modal = a.lng(0, 0) != 0;
                 if (!modal && Form::modal_showing())
                     raise(401, L"Can't show non-modal form when modal form is displayed");
                 S<Form>(o).show(modal, owner);
                 return none();
             }},
            {L"Hide", [](Object& o, A) { S<Form>(o).hide(); return none(); }},
            {L"Appearance", [](Object&, A) { return var(1L); }, [](Object&, A, V) { raise(ferr::ReadOnly); }},
            {L"BorderStyle", [](Object& o, A) { return var(S<Form>(o).border_style()); },
             [](Object& o, A, V v) { S<Form>(o).set_border_style(CLng(v)); }},
            {L"WindowState", [](Object& o, A) { return var(S<Form>(o).window_state()); },
             [](Object& o, A, V v) { S<Form>(o).set_window_state(CLng(v)); }},
            {L"Controls", [](Object& o, A) {
                 std::vector<Variant> items;
                 for (const auto& c : S<Form>(o).controls()) items.push_back(var(static_cast<IDispatch*>(c.get())));
                 ComPtr<ObjectList> list = make<ObjectList>(std::move(items));
                 return var(static_cast<IDispatch*>(list.get()));
             }},
            {L"SetFocus", [](Object& o, A) {
                 HWND h = S<Form>(o).hwnd();
                 if (!IsWindowVisible(h)) raise(err::InvalidCall);
                 SetForegroundWindow(h);
                 SetFocus(h);
                 return none();
             }},
            {L"ZOrder", [](Object& o, A a) {
                 SetWindowPos(S<Form>(o).hwnd(), a.lng(0, 0) == 0 ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                              SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                 return none();
             }},
        });
    return t;
}

const Table& Form::table() const { return members(); }

const Table& FormsCollection::table() const {
    static const Table t({},
                         {
                             {L"Count", [](Object& o, A) { return var(S<FormsCollection>(o).count()); }},
                             {L"Item", [](Object& o, A a) { return var(static_cast<IDispatch*>(&S<FormsCollection>(o).item(a.lng(0)))); }},
                         },
                         L"Item");
    return t;
}

}  // namespace qm::forms
