// SingleInterface: IUnknown of a small COM object that answers for one interface
// besides IUnknown, counts its references and deletes itself at zero. It starts
// with one reference, owned by whoever made it.
#pragma once
#include <windows.h>
#include <unknwn.h>

namespace qm {

template <class I>
class SingleInterface : public I {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(I))) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

protected:
    SingleInterface() = default;
    virtual ~SingleInterface() = default;

private:
    LONG refs_ = 1;
};

}  // namespace qm
