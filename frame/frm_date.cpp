#include "frame/frm_date.h"

#include <string>

#include "runtime/convert.h"
#include "runtime/dates.h"
#include "runtime/format.h"
#include "runtime/forms/globals.h"
#include "runtime/input.h"
#include "runtime/strings.h"

namespace qm {

using namespace forms;

DATE PickedDate = 0;

namespace {

constexpr int kCells = 42, kRows = 6, kColumns = 7;
constexpr long kFirstYear = 100, kLastYear = 9999;  // the automation Date's range

// Header band (Picture1) and its labels, in twips.
constexpr float kBandLeft = 15, kBandTop = 15, kBandWidth = FrmDate::kWidth - 30, kBandHeight = 330;
constexpr float kHeadsTop = 360, kHeadHeight = 225;

constexpr OLE_COLOR kFormBack = 0xFFFFFF;
constexpr OLE_COLOR kBandBack = 0xF0E0D0;   // light blue
constexpr OLE_COLOR kHeadBack = 0xE8E8E8;   // light grey
constexpr OLE_COLOR kPressedFill = 0xC0F0FF;  // light yellow

bool leap_year(long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

void use_font(Visual& v, const wchar_t* name, float size, bool bold = false) {
    v.set_font_name(name);
    v.set_font_size(size);
    if (bold) v.set_font_flag(DISPID_FONT_BOLD, true);
}

Label& add_label(Form& form, Control* container, const std::wstring& name, long index, float left, float top,
                 float width, float height, const wchar_t* font, float size) {
    Label* label;
    if (container)
        label = &form.add_in<Label>(*container, name);
    else if (index >= 0)
        label = &form.add_element<Label>(name, index);
    else
        label = &form.add<Label>(name);
    label->s_.back_style = 0;
    label->s_.alignment = 2;
    label->move(left, &top, &width, &height);
    use_font(*label, font, size);
    return *label;
}

// The close glyph: a cross on a square, in three states.
ComPtr<IPictureDisp> close_glyph(COLORREF back, COLORREF cross, bool sunken) {
    constexpr int size = 14;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT r{0, 0, size, size};
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    DrawEdge(dc, &r, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    HPEN pen = CreatePen(PS_SOLID, 2, cross);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    int o = sunken ? 1 : 0;
    MoveToEx(dc, 4 + o, 4 + o, nullptr);
    LineTo(dc, size - 4 + o, size - 4 + o);
    MoveToEx(dc, size - 5 + o, 4 + o, nullptr);
    LineTo(dc, 3 + o, size - 4 + o);
    SelectObject(dc, old_pen);
    DeleteObject(pen);
    SelectObject(dc, old);
    DeleteDC(dc);
    return picture_from_bitmap(bitmap);
}

}  // namespace

FrmDate::FrmDate() {
    set_name(L"frmDate");
    caption_ = L"Calendrier";
    w_ = kWidth;
    h_ = kHeight;
    border_style_ = 0;
    back_ = kFormBack;

    on.load = [this] {
        // Weekday heads Monday to Sunday: 22 to 28 October 2007.
        for (int i = 0; i < kColumns; ++i)
            get<Label>(L"Lib", i).set_caption(Left(FormatDate(DateSerial(2007, 10, 22 + i), L"ddd"), 2) + L".");
        place_on_screen();
        DATE today = Date();
        day_ = qm::Day(today);
        month_ = qm::Month(today);
        year_ = qm::Year(today);
        Redraw();
    };
    on.mouse_move = [this](int, int, float, float) { ResetHover(); };
    on.key_press = [this](int& key) { Key(key); };
}

void FrmDate::design() {
    auto& frame = add<Shape>(L"Shape1");
    frame.s_.border_color = 0x808080;
    float top = 0, width = kWidth, height = kHeight;
    frame.move(0, &top, &width, &height);

    // Header band: month and year with their arrows, and the close glyph.
    auto& band = add<PictureBox>(L"Picture1");
    band.set_border_style(0);
    band.set_back_color(kBandBack);
    top = kBandTop, width = kBandWidth, height = kBandHeight;
    band.move(kBandLeft, &top, &width, &height);
    band.on.mouse_move = [this](int, int, float, float) { ResetHover(); };

    struct Arrow {
        const wchar_t* name;
        const wchar_t* glyph;  // Marlett: 3 left, 4 right
        float left;
    };
    const Arrow arrows[] = {{L"MoisG", L"3", 30}, {L"MoisD", L"4", 1200}, {L"AnnéeG", L"3", 1470},
                           {L"AnnéeD", L"4", 2400}};
    for (const Arrow& a : arrows) {
        Label& l = add_label(*this, &band, a.name, -1, a.left, 45, 240, 240, L"Marlett", 10);
        l.set_caption(a.glyph);
    }
    add_label(*this, &band, L"lblMois", -1, 270, 45, 930, 240, L"Tahoma", 8).set_caption(L"Novembre");
    add_label(*this, &band, L"lblAnnée", -1, 1710, 45, 690, 240, L"Tahoma", 8).set_caption(L"1997");
    for (const wchar_t* name : {L"lblMois", L"lblAnnée"}) use_font(get<Label>(name), L"Tahoma", 8, true);
    get<Label>(L"MoisG").on.click = [this] { StepMonth(L'-'); };
    get<Label>(L"MoisD").on.click = [this] { StepMonth(L'+'); };
    get<Label>(L"AnnéeG").on.click = [this] { StepYear(L'-'); };
    get<Label>(L"AnnéeD").on.click = [this] { StepYear(L'+'); };
    get<Label>(L"lblMois").on.mouse_up = [this](int button, int, float, float) { StepMonth(button == 2 ? L'+' : L'-'); };
    get<Label>(L"lblAnnée").on.mouse_up = [this](int button, int, float, float) { StepYear(button == 2 ? L'+' : L'-'); };
    for (const wchar_t* name : {L"MoisG", L"MoisD", L"AnnéeG", L"AnnéeD", L"lblMois", L"lblAnnée"}) {
        Label& l = get<Label>(name);
        l.on.mouse_move = [&l](int, int, float, float) {
            if (l.fore_color() != static_cast<OLE_COLOR>(qb_color(12))) l.set_fore_color(qb_color(12));
        };
    }

    auto& up = add<Image>(L"imgUp");
    up.set_picture(close_glyph(RGB(0xD0, 0xE0, 0xF0), RGB(0x40, 0x40, 0x40), false).get());
    auto& down = add<Image>(L"imgDown");
    down.set_picture(close_glyph(RGB(0xA0, 0xB0, 0xC0), RGB(0, 0, 0), true).get());
    auto& hover = add<Image>(L"imgMove");
    hover.set_picture(close_glyph(RGB(0xFF, 0xFF, 0xFF), RGB(0xC0, 0, 0), false).get());
    for (Image* i : {&up, &down, &hover}) i->set_visible(false);
    auto& close = add_in<Image>(band, L"imgClose");
    close.set_picture(up.s_.picture.get());
    top = 60, width = 210, height = 210;
    close.move(2790, &top, &width, &height);
    close.on.mouse_down = [this](int, int, float, float) {
        get<Image>(L"imgClose").set_picture(get<Image>(L"imgDown").s_.picture.get());
    };
    close.on.mouse_move = [this](int buttons, int, float, float) {
        if (buttons == 0) get<Image>(L"imgClose").set_picture(get<Image>(L"imgMove").s_.picture.get());
    };
    close.on.mouse_up = [this](int, int, float, float) {
        get<Image>(L"imgClose").set_picture(get<Image>(L"imgUp").s_.picture.get());
        unload();
    };

    // Weekday heads on a grey band, a line under them and one beside the week column.
    auto& heads = add<Shape>(L"Shape2");
    heads.s_.back_style = 1;
    heads.set_back_color(kHeadBack);
    heads.s_.border_style = 0;
    top = kHeadsTop, width = kColumns * kCellWidth, height = kHeadHeight;
    heads.move(kGridLeft, &top, &width, &height);
    auto& under = add<Line>(L"Line1");
    under.s_.x1 = 30, under.s_.x2 = kWidth - 30, under.s_.y1 = under.s_.y2 = kCellsTop - 15;
    auto& beside = add<Line>(L"Line2");
    beside.s_.x1 = beside.s_.x2 = kGridLeft - 15, beside.s_.y1 = kHeadsTop, beside.s_.y2 = kCellsTop + kRows * kCellHeight;

    // The marks of the shown day and of the cell under the mouse lie under the numbers.
    auto& now = add<Shape>(L"picNow");
    now.s_.border_color = qb_color(12);
    now.s_.border_width = 2;
    auto& sel = add<Shape>(L"picSel");
    sel.s_.border_color = 0xC08000;
    sel.s_.fill_color = kPressedFill;
    sel.set_visible(false);
    for (Shape* s : {&now, &sel}) {
        width = kCellWidth, height = kCellHeight, top = kCellsTop;
        s->move(kGridLeft, &top, &width, &height);
    }

    for (int i = 0; i < kColumns; ++i) {
        Label& head = add_label(*this, nullptr, L"Lib", i, kGridLeft + i * kCellWidth, kHeadsTop + 15, kCellWidth,
                                kHeadHeight - 15, L"Tahoma", 8);
        head.on.mouse_move = [this](int, int, float, float) { ResetHover(); };
    }
    for (int row = 0; row < kRows; ++row) {
        Label& week = add_label(*this, nullptr, L"Sem", row, 30, kCellsTop + row * kCellHeight + 15, kGridLeft - 60,
                                kCellHeight - 15, L"Tahoma", 7);
        week.set_caption(L"Sem");
        week.set_fore_color(qb_color(8));
    }
    for (int i = 0; i < kCells; ++i) {
        Label& cell = add_label(*this, nullptr, L"Label2", i, kGridLeft + (i % kColumns) * kCellWidth,
                                kCellsTop + (i / kColumns) * kCellHeight + 15, kCellWidth, kCellHeight - 15,
                                L"Arial", 9);
        cell.on.mouse_move = [this, i](int, int, float, float) { HighlightCell(i); };
        cell.on.mouse_down = [this, i](int, int, float, float) {
            hover_back_color_ = get<Label>(L"Label2", i).back_color();
            Shape& s = get<Shape>(L"picSel");
            s.s_.fill_style = 0;
            s.set_visible(s.visible());
        };
        cell.on.mouse_up = [this, i](int, int, float, float) {
            get<Label>(L"Label2", i).set_back_color(hover_back_color_);
            Shape& s = get<Shape>(L"picSel");
            s.s_.fill_style = 1;
            s.set_visible(s.visible());
        };
        cell.on.click = [this, i] { Choose(i); };
    }

    auto& button = add<Button>(L"cmdClose");
    button.set_caption(L"Fermer");
    top = kCellsTop + kRows * kCellHeight + 15, width = 900, height = 270;
    button.move(kWidth - 960, &top, &width, &height);
    button.on.click = [this] { unload(); };
    // The button holds the focus: the calendar's keys work there as on the form.
    button.on.key_press = [this](int& key) { Key(key); };
}

void FrmDate::GetMousePos(long& x, long& y) {
    const POINT p = pointer_position();
    x = p.x;
    y = p.y;
}

void FrmDate::place_on_screen() {
    // At the cursor; to its left (or above it) where the screen ends.
    long x = 0, y = 0;
    GetMousePos(x, y);
    float left = x * screen_twips_per_pixel_x(), top = y * screen_twips_per_pixel_y();
    if (screen_width() - kWidth <= left) left -= kWidth;
    if (screen_height() - kHeight <= top) top -= kHeight;
    float width = kWidth, height = kHeight;
    move(left, &top, &width, &height);
}

void FrmDate::Key(int& key_ascii) {
    switch (key_ascii) {
    case '+': StepMonth(L'+'); break;
    case '-': StepMonth(L'-'); break;
    case '*': StepYear(L'+'); break;
    case '/': StepYear(L'-'); break;
    default: return;
    }
    key_ascii = 0;
}

void FrmDate::StepMonth(wchar_t direction) {
    if (direction == L'+') {
        if (month_ == 12 && year_ >= kLastYear) return;
        if (++month_ > 12) month_ = 1, ++year_;
    } else {
        if (month_ == 1 && year_ <= kFirstYear) return;
        if (--month_ < 1) month_ = 12, --year_;
    }
    Redraw();
}

void FrmDate::StepYear(wchar_t direction) {
    if (direction == L'+') {
        if (year_ >= kLastYear) return;
        ++year_;
    } else {
        if (year_ <= kFirstYear) return;
        --year_;
    }
    Redraw();
}

void FrmDate::ResetHover() {
    for (const wchar_t* name : {L"MoisG", L"MoisD", L"AnnéeG", L"AnnéeD", L"lblMois", L"lblAnnée"}) {
        Label& l = get<Label>(name);
        if (l.fore_color() != 0) l.set_fore_color(0);
    }
    Label& cell = get<Label>(L"Label2", hover_cell_);
    if (cell.s_.border_style != 0) {
        cell.s_.border_style = 0;
        cell.refresh();
    }
    Shape& sel = get<Shape>(L"picSel");
    sel.s_.fill_style = 1;
    if (sel.visible()) sel.set_visible(false);
    Image& close = get<Image>(L"imgClose");
    IPictureDisp* up = get<Image>(L"imgUp").s_.picture.get();
    if (close.s_.picture.get() != up) close.set_picture(up);
}

void FrmDate::HighlightCell(long index) {
    if (index != hover_cell_) {
        try {
            Label& old = get<Label>(L"Label2", hover_cell_);
            old.s_.border_style = 0;
            old.refresh();
        } catch (...) {
        }
    }
    hover_cell_ = index;
    Label& cell = get<Label>(L"Label2", index);
    Shape& sel = get<Shape>(L"picSel");
    float left = cell.left(), top = cell.top() - 15;
    sel.move(left, &top);
    sel.s_.fill_style = 1;
    sel.set_visible(true);
}

void FrmDate::Redraw() {
    // February by the calendar's rule: no 29th in 1900 or 2100.
    days_in_month_[1] = leap_year(year_) ? 29 : 28;
    int length = days_in_month_[month_ - 1];
    if (day_ > length) day_ = length;
    shown_date_ = DateSerial(year_, month_, day_);

    std::wstring month = MonthName(month_);
    if (!month.empty()) month = UCase(month.substr(0, 1)) + month.substr(1);
    get<Label>(L"lblMois").set_caption(month);
    get<Label>(L"lblAnnée").set_caption(std::to_wstring(year_));

    long black = qb_color(0), grey = qb_color(8);
    for (int i = 0; i < kCells; ++i) {
        Label& cell = get<Label>(L"Label2", i);
        cell.set_caption(L"");
        cell.set_fore_color(black);
    }

    // Monday 0 ... Sunday 6.
    offset_ = Weekday(DateSerial(year_, month_, 1), Sunday) - 2;
    if (offset_ < 0) offset_ = 6;

    for (int d = 1; d <= length; ++d) {
        Label& cell = get<Label>(L"Label2", offset_ + d - 1);
        cell.set_caption(Str(d));
        if (d == day_) {
            Shape& now = get<Shape>(L"picNow");
            float top = cell.top() - 15;
            now.move(cell.left(), &top);
        }
    }
    int previous = days_in_month_[(month_ + 10) % 12];
    for (int i = offset_ - 1; i >= 0; --i) {
        Label& cell = get<Label>(L"Label2", i);
        cell.set_caption(Str(previous - (offset_ - 1 - i)));
        cell.set_fore_color(grey);
    }
    for (int i = offset_ + length, next = 1; i < kCells; ++i, ++next) {
        Label& cell = get<Label>(L"Label2", i);
        cell.set_caption(Str(next));
        cell.set_fore_color(grey);
    }
    for (int row = 0; row < kRows; ++row) get<Label>(L"Sem", row).set_caption(L"");
}

void FrmDate::Choose(long index) {
    int month = month_, year = year_;
    int length = days_in_month_[month_ - 1];
    long day = CLng(get<Label>(L"Label2", index).caption());
    if (index < offset_ || index >= offset_ + length) {  // a grey cell: a neighbouring month
        if (day > 15) {
            if (--month < 1) month = 12, --year;
        } else {
            if (++month > 12) month = 1, ++year;
        }
    }
    if (year >= kFirstYear && year <= kLastYear) PickedDate = DateSerial(year, month, day);
    unload();
}

const Table& FrmDate::table() const {
    static const Table t({&Form::members()},
                         {
                             {L"GetMousePos",
                              [](Object&, const Args& a) {
                                  long x = 0, y = 0;
                                  GetMousePos(x, y);
                                  // ByRef X and Y: the caller's variables.
                                  for (size_t i = 0; i < 2 && i < a.size(); ++i) {
                                      VARIANT& v = const_cast<VARIANT&>(a.at(i));
                                      long value = i == 0 ? x : y;
                                      if (V_VT(&v) == (VT_BYREF | VT_I4)) {
                                          *V_I4REF(&v) = value;
                                      } else if (V_VT(&v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&v)) {
                                          VariantClear(V_VARIANTREF(&v));
                                          V_VT(V_VARIANTREF(&v)) = VT_I4;
                                          V_I4(V_VARIANTREF(&v)) = value;
                                      } else if (!(V_VT(&v) & VT_BYREF)) {  // the variable itself
                                          VariantClear(&v);
                                          V_VT(&v) = VT_I4;
                                          V_I4(&v) = value;
                                      }
                                  }
                                  return Variant{};
                              }},
                         });
    return t;
}

}  // namespace qm
