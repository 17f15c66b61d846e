// Controls: a path shortened with "..." to the width of a control.
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"

namespace qm {

// The width is the control's Width taken as twips; the text is measured in the
// font selected into the device context of the control's Parent.
HRESULT Controls::Control_CompactPath(IDispatch** Control, BSTR Path, long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Controls, L"Control_CompactPath", ErrorNumber}, result, Bstr(), [&] {
        IDispatch* control = Control ? *Control : nullptr;
        if (!control) raise(err::ObjectNotSet);
        const long width = CLng(CDbl(late::get(control, L"Width")) / forms::screen_twips_per_pixel_x());
        ComPtr<IDispatch> parent = late::object(late::get(control, L"Parent"));
        const HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(CLng(late::get(parent.get(), L"hDC"))));

        // The system function works in a buffer of MAX_PATH characters: a longer
        // path keeps its start and its end around an ellipsis first.
        std::wstring path(text_of(Path));
        if (path.size() >= MAX_PATH) path = path.substr(0, 3) + L"..." + path.substr(path.size() - (MAX_PATH - 8));
        std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
        std::copy(path.begin(), path.end(), buffer.begin());
        PathCompactPathW(dc, buffer.data(), static_cast<UINT>(std::max(width, 0L)));
        return Bstr(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
    });
}

}  // namespace qm
