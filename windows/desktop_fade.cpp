// Desktop: the taskbar fading that a worker form carries on the client's message loop.
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/forms/object.h"
#include "windows/desktop.h"

namespace qm {

namespace {

// The loaded worker tagged "TaskBarFade", as Forms.Find_Form finds it.
MyControls* fading_worker(ComPtr<IDispatch>& found) {
    IDispatch* all = &forms::forms_collection();
    FormOption by = ffFormTag;
    VARIANT_BOOL exact = VARIANT_TRUE;
    long error = 0, index = -1;
    check(shared<_Forms>()->Find_Form(&all, Bstr(L"TaskBarFade").get(), &by, found.put(), &exact, &error, &index));
    return index >= 0 && found ? dynamic_cast<MyControls*>(forms::object_of(found.get())) : nullptr;
}

}  // namespace

HRESULT Desktop::TaskBar_FadeEffect(TaskBarStartCommand* Command) {
    return untrapped([&] {
        const long command = Command ? *Command : -1;
        ComPtr<IDispatch> found;
        if (command == tscSTART) {
            if (fading_worker(found)) return;
            // One worker, tagged before it starts, so that a second start finds it.
            ComPtr<MyControls> worker = forms::make<MyControls>();
            worker->load();
            worker->set_tag(L"TaskBarFade");
            worker->TaskBarFade(true);
        } else if (command == tscSTOP) {
            if (MyControls* worker = fading_worker(found)) worker->TaskBarFade(false);
        }
    });
}

}  // namespace qm
