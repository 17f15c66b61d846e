// Controls: the document of a web browser control, reached late-bound through
// its object model (Document, Body, All, Busy), so any object that answers
// these names serves.
#include <windows.h>

#include <string>

#include "controls/controls.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "runtime/latebind_bound.h"

namespace qm {

namespace {

ComPtr<IDispatch> member_object(IDispatch* object, const wchar_t* name) {
    return late::object(late::get(object, name));
}

ComPtr<IDispatch> body_of(IDispatch* browser) {
    return member_object(member_object(browser, L"Document").get(), L"Body");
}

}  // namespace

// The text is HTML, appended at the end of the body.
HRESULT Controls::WebBrowser_InsertText(IDispatch** WebBrowser, BSTR Text, long* result) {
    return trapped(Trap{Source::Controls, L"WebBrowser_InsertText"}, result, ErrorNumberResult{}, [&] {
        late::call(body_of(object_arg(WebBrowser)).get(), L"insertAdjacentHTML",
                   {Variant(L"BeforeEnd"), Variant(std::wstring(text_of(Text)))});
        return 0L;
    });
}

HRESULT Controls::WebBrowser_Clear(IDispatch** WebBrowser, long* result) {
    return trapped(Trap{Source::Controls, L"WebBrowser_Clear"}, result, ErrorNumberResult{}, [&] {
        late::put(body_of(object_arg(WebBrowser)).get(), L"innerHTML", Variant(L""));
        return 0L;
    });
}

// The markup of the first element that has any, normally the root element's:
// the whole page. Elements that cannot be read are passed over; "" and
// DocumentIndex untouched when none has markup. The wait for a busy control
// has no limit, but ends with an error once Busy cannot be read.
HRESULT Controls::WebBrowser_GetSource(IDispatch** WebBrowser, VARIANT_BOOL WaitIfBusy, long* DocumentIndex,
                                       long* ErrorNumber, BSTR* result) {
    return trapped(Trap{Source::Controls, L"WebBrowser_GetSource", ErrorNumber}, result, Bstr(), [&] {
        IDispatch* browser = object_arg(WebBrowser);
        if (WaitIfBusy)
            while (CBool(late::get(browser, L"Busy"))) forms::do_events();

        ComPtr<IDispatch> all;
        long count = 0;
        late::skipping_errors([&] {
            all = member_object(member_object(browser, L"Document").get(), L"All");
            count = CLng(late::get(all.get(), L"Length"));
        });
        // Up to and including Length, as the elements were always read.
        for (long i = 0; all && i <= count; ++i) {
            std::wstring markup;
            late::skipping_errors([&] {
                const ComPtr<IDispatch> element = late::object(late::Bound(all.get(), L"").get({Variant(i)}));
                markup = CStr(late::get(element.get(), L"outerHTML"));
            });
            if (markup.empty()) continue;
            if (DocumentIndex) *DocumentIndex = i;
            return Bstr(markup);
        }
        return Bstr();
    });
}

}  // namespace qm
