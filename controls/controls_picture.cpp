// Controls: effects in picture boxes: a text filled with a colour gradient, a
// text scrolling up through the box, and a plain gradient.
#include "controls/controls.h"

namespace qm {

HRESULT Controls::PictureBox_FadingText(IDispatch**, BSTR, long, long, IFontDisp**, long*) { return E_NOTIMPL; }
HRESULT Controls::PictureBox_ScrollText(IDispatch**, BSTR, RGBCOLOR*, long*) { return E_NOTIMPL; }
HRESULT Controls::PictureBox_Fade(IDispatch**, long, long, long*) { return E_NOTIMPL; }

}  // namespace qm
