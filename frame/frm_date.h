// The date picker: a small modal month calendar. Misc.DatePicker shows a new
// instance and reads the chosen day from PickedDate once the form has closed.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "runtime/forms/forms.h"

namespace qm {

// The last day chosen in a date picker (kept between calls; the empty date before
// the first choice).
extern DATE PickedDate;

class FrmDate : public forms::Form {
public:
    FrmDate();
    const forms::Table& table() const override;

    // The cursor position in screen pixels.
    static void GetMousePos(long& x, long& y);

    // What the calendar shows now.
    int shown_day() const noexcept { return day_; }
    int shown_month() const noexcept { return month_; }
    int shown_year() const noexcept { return year_; }
    DATE shown_date() const noexcept { return shown_date_; }

    // Geometry of the day cells (twips, form client area): for tests and layout.
    static constexpr float kWidth = 3075, kHeight = 2370;
    static constexpr float kGridLeft = 330, kCellWidth = 390, kCellHeight = 240, kCellsTop = 615;

protected:
    void design() override;

private:
    void StepMonth(wchar_t direction);
    void StepYear(wchar_t direction);
    void ResetHover();
    void HighlightCell(long index);
    void Redraw();
    void Choose(long index);
    void Key(int& key_ascii);
    void place_on_screen();

    long hover_cell_ = 0;
    OLE_COLOR hover_back_color_ = 0;
    int day_ = 1, month_ = 1, year_ = 2000;
    int days_in_month_[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    DATE shown_date_ = 0;
    int offset_ = 0;  // the cell of the month's first day
};

}  // namespace qm
