// Forms: visual effects on a client's form or picture box.
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "windows/forms.h"

namespace qm {

// Tiles the picture over the client area in rows and columns (its size taken
// in the target's scale mode) and keeps the result as the target's picture.
HRESULT Forms::Tile(IDispatch** Form, IPictureDisp** Picture, LONG* result) {
    return trapped(Trap{Source::Forms, L"Tile"}, result, ErrorNumberResult{}, [&] {
        if (!Form || !*Form || !Picture || !*Picture) raise(err::ObjectNotSet);
        IDispatch* form = *Form;
        IDispatch* picture = *Picture;
        const Variant mode = late::get(form, L"ScaleMode");
        const long w = CLng(*late::get(form, L"ScaleX", {late::get(picture, L"Width"), Variant(8L), mode}).get());
        const long h = CLng(*late::get(form, L"ScaleY", {late::get(picture, L"Height"), Variant(8L), mode}).get());
        // A tile without width or height would never cover the area; one
        // narrower or lower than a pixel would paint each pixel over and over.
        if (w <= 0 || h <= 0) raise(err::InvalidCall);
        const Variant pixels(3L);
        if (CDbl(*late::get(form, L"ScaleX", {Variant(w), mode, pixels}).get()) < 1 ||
            CDbl(*late::get(form, L"ScaleY", {Variant(h), mode, pixels}).get()) < 1)
            raise(err::InvalidCall);
        late::put(form, L"AutoRedraw", Variant(true));
        late::call(form, L"Cls");
        const double width = CDbl(*late::get(form, L"ScaleWidth").get());
        const double height = CDbl(*late::get(form, L"ScaleHeight").get());
        VARIANT held;
        V_VT(&held) = VT_DISPATCH;
        V_DISPATCH(&held) = picture;
        const Variant tile(held);  // a counted copy
        for (double x = 0; x <= width; x += w)
            for (double y = 0; y <= height; y += h) late::call(form, L"PaintPicture", {tile, Variant(x), Variant(y)});
        late::put(form, L"Picture", late::get(form, L"Image"));
        late::put(form, L"AutoRedraw", Variant(false));
        return 0L;
    });
}

}  // namespace qm
