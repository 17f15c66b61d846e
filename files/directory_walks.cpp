// Directory: the members built on the recursive walks.
#include <string>
#include <vector>

#include "files/directory.h"
#include "files/folder_walk.h"
#include "frame/progbar.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/safearray.h"

namespace qm {

// Every folder below Directory, depth first, as full paths without a trailing
// "\"; unallocated when there is none. The progress window names each folder.
HRESULT Directory::ReadAllSubDirs(BSTR Directory, VARIANT_BOOL* ShowProgress, SAFEARRAY** result) {
    return untrapped(result, [&]() -> SAFEARRAY* {
        const bool progress = ShowProgress && *ShowProgress;
        ProgressWindow window;
        if (progress) {
            window.load(L"");
            ProgBar& bar = *window.form();
            bar.get<forms::PictureBox>(L"Picture1").set_visible(false);
            bar.get<forms::Frame>(L"Frame1").set_caption(L"Verzeichnisse werden durchsucht...");
            auto& message = bar.get<forms::Label>(L"Message");
            message.set_caption(L"Bitte warten...");
            message.set_top(480);
            IDispatch* self = &bar;
            cCenterInfo where = ccMIDDLE;
            long centred = 0, error = 0;
            VARIANT_BOOL on_top = VARIANT_FALSE;
            check(shared<_Forms>()->StayOnTop(&self, &error, &on_top));
            check(shared<_Forms>()->Center(&self, &where, &centred));
            bar.set_visible(true);
            forms::do_events();
        }
        ReadAllSubDirs_Take();
        std::vector<std::wstring> folders;
        try {
            ReadAllSubDirsFunc(std::wstring(text_of(Directory)), progress, window.form());
            folders = ReadAllSubDirs_Take();
        } catch (...) {
            ReadAllSubDirs_Take();
            throw;
        }
        if (folders.empty()) return nullptr;
        return string_array(folders).detach();
    });
}

}  // namespace qm
