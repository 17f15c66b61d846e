#include <windows.h>
#include <initguid.h>  // defines the script engine interface IDs used here

#include "script_host.h"

namespace qmtest {

class ScriptHost::Site final : public IActiveScriptSite {
public:
    explicit Site(ScriptHost& host) : host_(host) {}
    std::map<std::wstring, qm::ComPtr<IDispatch>> items;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptSite)) {
            *out = static_cast<IActiveScriptSite*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (!n) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
        *lcid = GetUserDefaultLCID();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unk, ITypeInfo** ti) override {
        auto it = items.find(name);
        if (it == items.end()) return TYPE_E_ELEMENTNOTFOUND;
        if (mask & SCRIPTINFO_IUNKNOWN) {
            *unk = it->second.get();
            (*unk)->AddRef();
        }
        if (mask & SCRIPTINFO_ITYPEINFO) {
            *ti = nullptr;
            it->second->GetTypeInfo(0, 0, ti);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* e) override {
        EXCEPINFO ei{};
        if (SUCCEEDED(e->GetExceptionInfo(&ei))) {
            if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
            host_.error_.scode = ei.scode;
            host_.error_.description = ei.bstrDescription ? ei.bstrDescription : L"";
            SysFreeString(ei.bstrSource);
            SysFreeString(ei.bstrDescription);
            SysFreeString(ei.bstrHelpFile);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

private:
    ScriptHost& host_;
    ULONG refs_ = 1;
};

ScriptHost::ScriptHost(const wchar_t* language) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(language, &clsid))) return;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, script_.put_void()))) return;
    qm::ComPtr<IActiveScriptParse> parse;
    if (FAILED(script_->QueryInterface(IID_IActiveScriptParse, parse.put_void()))) return;
    site_ = new Site(*this);
    if (FAILED(script_->SetScriptSite(site_)) || FAILED(parse->InitNew())) return;
    parse_ = parse;
}

ScriptHost::~ScriptHost() {
    if (script_) script_->Close();
    if (site_) site_->Release();
}

void ScriptHost::add_object(const wchar_t* name, IDispatch* object) {
    site_->items[name] = object;
    script_->AddNamedItem(name, SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
}

HRESULT ScriptHost::run(const std::wstring& code) {
    error_ = {};
    HRESULT hr = parse_->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 1, 0, nullptr, nullptr);
    if (SUCCEEDED(hr)) hr = script_->SetScriptState(SCRIPTSTATE_CONNECTED);
    if (FAILED(hr) && error_.scode == S_OK) error_.scode = hr;
    return hr;
}

qm::Variant ScriptHost::eval(const std::wstring& expr) {
    error_ = {};
    qm::Variant result;
    script_->SetScriptState(SCRIPTSTATE_CONNECTED);
    HRESULT hr = parse_->ParseScriptText(expr.c_str(), nullptr, nullptr, nullptr, 0, 1, SCRIPTTEXT_ISEXPRESSION,
                                         result.put(), nullptr);
    if (FAILED(hr)) {
        if (error_.scode == S_OK) error_.scode = hr;
        result = qm::Variant();
    }
    return result;
}

}  // namespace qmtest
