// Dialog: the library's message box (placed and closed by a worker form when
// asked) and the question box built on it.
#include <string>

#include "controls/dialog.h"
#include "frame/mycontrols.h"
#include "runtime/app.h"
#include "runtime/contract.h"
#include "windows/window_common.h"

namespace qm {

HRESULT Dialog::MsgBox(long hwnd, BSTR Title, BSTR Prompt, long* Button, long* XPos, long* YPos, long* AutoCloser,
                       long* result) {
    return untrapped(result, [&] {
        const std::wstring title(text_of(Title)), prompt(text_of(Prompt));
        const long x = arg_or(XPos, -1L), y = arg_or(YPos, -1L), closer = arg_or(AutoCloser, 0L);
        const bool place = !(x <= -1 && y <= -1);

        // A new worker form per box carries the placement and closing timers; it
        // unloads itself when they are done.
        ComPtr<MyControls> worker;
        if (place || closer > 0) {
            worker = forms::make<MyControls>();
            worker->load();
            try {
                if (place) worker->SetMsgbox(hwnd, x, y);
                if (closer > 0) worker->SetMsgCloser(closer, static_cast<long>(App::ThreadID()));
            } catch (...) {
                worker->unload();
                throw;
            }
        }
        return static_cast<long>(MessageBoxW(hwnd_of(hwnd), prompt.c_str(), title.c_str(), arg_or(Button, 0L)));
    });
}

HRESULT Dialog::Ask(long hwnd, BSTR Prompt, BSTR Title, long* Button, long* result) {
    long style = arg_or(Button, 36L), x = -1, y = -1, closer = 0;
    return MsgBox(hwnd, Title, Prompt, &style, &x, &y, &closer, result);
}

}  // namespace qm
