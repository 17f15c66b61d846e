// Forms: what the form effects share with each other and with their tests.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <optional>

namespace qm {

// The AnimateWindow flags of an ANIMETNFO value below 100 (0 for one outside the table).
DWORD animate_flags(long type);

// The region of a picture box's pixels other than the colour of pixel (0, 0),
// as one-pixel-high runs; nullptr when every pixel has that colour.
HRGN Create_PictureRegion(IDispatch* box);

// Where a form or control is, in its own units: a form's twips on the screen, a
// control's scale of its container.
struct Place {
    double left, top, width, height;
};
// The place of a form or control of the forms engine; nothing for any other
// object, whose own properties bound it.
std::optional<Place> engine_place(IDispatch* object);
// 380 (480 when its persistent image could not grow so large) unless a form or
// control of the forms engine may take that place; other objects pass. Effects
// that step towards a place check it before the first step.
void check_place(IDispatch* object, const Place& place);

}  // namespace qm
