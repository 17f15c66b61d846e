// Controls: the document of a web browser control.
#include "controls/controls.h"

namespace qm {

HRESULT Controls::WebBrowser_InsertText(IDispatch**, BSTR, long*) { return E_NOTIMPL; }
HRESULT Controls::WebBrowser_Clear(IDispatch**, long*) { return E_NOTIMPL; }
HRESULT Controls::WebBrowser_GetSource(IDispatch**, VARIANT_BOOL, long*, long*, BSTR*) { return E_NOTIMPL; }

}  // namespace qm
