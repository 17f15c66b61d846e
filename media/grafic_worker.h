// Grafic's private worker form for one call: loaded and tagged with the
// member's name, given back whatever happens. The members' work stays on the
// form's scratch boxes (MyControls::release).
#pragma once
#include "frame/mycontrols.h"

namespace qm::grafic {

class Worker {
public:
    explicit Worker(const wchar_t* tag) : form_(MyControls::fresh()) { form_->set_tag(tag); }
    ~Worker() {
        try {
            form_->release();
        } catch (...) {
        }
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    MyControls& form() { return *form_.get(); }
    forms::PictureBox& box() { return form_->get<forms::PictureBox>(L"PicTMP"); }

private:
    ComPtr<MyControls> form_;
};

}  // namespace qm::grafic
