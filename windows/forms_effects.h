// Forms: what the form effects share with each other and with their tests.
#pragma once
#include <windows.h>
#include <oaidl.h>

namespace qm {

// The AnimateWindow flags of an ANIMETNFO value below 100 (0 for one outside the table).
DWORD animate_flags(long type);

// The region of a picture box's pixels other than the colour of pixel (0, 0),
// as one-pixel-high runs; nullptr when every pixel has that colour.
HRGN Create_PictureRegion(IDispatch* box);

}  // namespace qm
