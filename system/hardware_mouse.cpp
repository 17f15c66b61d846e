// Hardware: the mouse pointer over the client's controls.
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms_globals.h"
#include "runtime/latebind.h"
#include "system/hardware.h"
#include "windows/window_common.h"

namespace qm {

namespace {

double number(IDispatch* object, const wchar_t* name) { return CDbl(*late::get(object, name).get()); }

// Pixels per unit of a container's scale mode along one axis (what the
// container's ScaleX/ScaleY with the target scale 3 gives for one unit).
double pixels_per_unit(IDispatch* parent, HWND window, bool vertical) {
    const double tpp = vertical ? forms::screen_twips_per_pixel_y() : forms::screen_twips_per_pixel_x();
    switch (CLng(*late::get(parent, L"ScaleMode").get())) {
    case 0: {  // user scale: the client area measures ScaleWidth x ScaleHeight
        RECT client{};
        GetClientRect(window, &client);
        const double units = number(parent, vertical ? L"ScaleHeight" : L"ScaleWidth");
        if (units == 0) raise(err::DivisionByZero);
        return (vertical ? client.bottom : client.right) / units;
    }
    case 2: return 20 / tpp;                          // points
    case 3: return 1;                                 // pixels
    case 4: return (vertical ? 240 : 120) / tpp;      // characters
    case 5: return 1440 / tpp;                        // inches
    case 6: return 1440 / 25.4 / tpp;                 // millimetres
    case 7: return 1440 / 2.54 / tpp;                 // centimetres
    default: return 1 / tpp;                          // twips
    }
}

}  // namespace

HRESULT Hardware::Mouse_isCursorOverControl(IDispatch** Control, LONG* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Hardware, L"Mouse_isCursorOverControl", ErrorNumber}, result, false, [&] {
        IDispatch* control = Control ? *Control : nullptr;
        Variant handle;
        const bool windowed = control && late::try_get(control, L"hWnd", handle);
        if (windowed) {
            const long hwnd = CLng(*handle.get());
            POINT cursor{};
            GetCursorPos(&cursor);
            return WindowFromPoint(cursor) == hwnd_of(hwnd);
        }
        if (!control) raise(err::ObjectNotSet);
        // A windowless control: its rectangle in the parent's client area, on the screen.
        ComPtr<IDispatch> parent = late::object(*late::get(control, L"Parent").get());
        HWND window = hwnd_of(CLng(*late::get(parent.get(), L"hWnd").get()));
        const double px = pixels_per_unit(parent.get(), window, false), py = pixels_per_unit(parent.get(), window, true);
        const double left = number(control, L"Left"), top = number(control, L"Top");
        POINT corner[2] = {{CLng(left * px), CLng(top * py)},
                           {CLng((left + number(control, L"Width")) * px), CLng((top + number(control, L"Height")) * py)}};
        ClientToScreen(window, &corner[0]);
        ClientToScreen(window, &corner[1]);
        POINT cursor{};
        GetCursorPos(&cursor);
        return cursor.x >= corner[0].x && cursor.x <= corner[1].x && cursor.y >= corner[0].y &&
               cursor.y <= corner[1].y;
    });
}

}  // namespace qm
