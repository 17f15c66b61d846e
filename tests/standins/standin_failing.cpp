// An object whose every member but Code and Excepinfo fails with the HRESULT
// put in Code: returned by Invoke itself, or, when Excepinfo is True, as the
// exception's code with no description (as ITypeInfo::Invoke reports a failed
// member).
#include "standin.h"

namespace standin {

namespace {

class Failing : public Object {
public:
    Failing() : Object({L"Code", L"Excepinfo", L"Width", L"Height", L"Run"}, 3) {}

protected:
    void invoke(DISPID id, const Call& call, VARIANT* result) override {
        switch (id) {
        case 1:
            if (call.put()) code_ = long_of(*call.value);
            else ret_long(result, code_);
            return;
        case 2:
            if (call.put()) excepinfo_ = text_of(*call.value) == L"True";
            else ret_bool(result, excepinfo_);
            return;
        default:
            if (excepinfo_) throw Fail{code_, std::wstring()};
            throw Refusal{code_};
        }
    }

private:
    HRESULT code_ = E_FAIL;
    bool excepinfo_ = false;
};

}  // namespace

IDispatch* make_failing() { return new Failing(); }

}  // namespace standin
