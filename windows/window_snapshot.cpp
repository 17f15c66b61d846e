// Window: a picture of a whole window.
#include "frame/frm_tmp.h"
#include "runtime/contract.h"
#include "windows/window.h"

namespace qm {

HRESULT Window::SnapShot(long hwnd, long* ErrorNumber, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return trapped(Trap{Source::Window, L"SnapShot", ErrorNumber}, [&] {
        // A private capture form for this one picture, unloaded whatever happens.
        ComPtr<FrmTMP> form = forms::make<FrmTMP>();
        struct Unload {
            FrmTMP& form;
            ~Unload() {
                try {
                    form.unload();
                } catch (...) {
                }
            }
        } unload{*form.get()};
        form->load();
        *result = form->GetWindowHwnd(hwnd).detach();
    });
}

}  // namespace qm
