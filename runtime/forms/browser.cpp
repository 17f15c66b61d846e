// WebBrowser: the system's browser object (CLSID_WebBrowser) activated in place
// in the control's window through a minimal OLE container site (client site,
// in-place site and frame). Extender members are the control's own; every other
// name goes to the browser's IDispatch.
#include <exdisp.h>
#include <oleidl.h>

#include "runtime/convert.h"
#include "runtime/forms/hosted.h"

namespace qm::forms {

class WebBrowser::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit Site(HWND hwnd) : hwnd_(hwnd) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
        else return *out = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (the in-place site's and the frame's)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        *out = hwnd_;
        return hwnd_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return hwnd_ ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos,
                                               RECT* clip, OLEINPLACEFRAMEINFO* info) override {
        if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *doc = nullptr;
        GetClientRect(hwnd_, pos);
        *clip = *pos;
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(hwnd_, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: no tool space, menus or accelerators.
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    void detach() noexcept { hwnd_ = nullptr; }

private:
    ~Site() = default;
    HWND hwnd_;
    LONG refs_ = 1;
};

WebBrowser::WebBrowser() {
    w_ = 4800;
    h_ = 3600;
}

WebBrowser::~WebBrowser() { destroy_window(); }

void WebBrowser::create_window() {
    create(L"QuillmarkBrowser", WS_TABSTOP | WS_CLIPCHILDREN);
    if (!hwnd_) return;
    // In-place activation needs OLE on this thread; it stays initialised for the thread's browsers.
    static thread_local bool ole = SUCCEEDED(OleInitialize(nullptr));
    if (!ole) return;
    ComPtr<IOleObject> object;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object.put_void())))
        return;  // no browser here: every forwarded name is then unknown (438)
    site_ = new Site(hwnd_);
    object->SetClientSite(static_cast<IOleClientSite*>(site_));
    RECT r;
    GetClientRect(hwnd_, &r);
    object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0, hwnd_, &r);
    ole_ = object;
    object->QueryInterface(IID_IDispatch, browser_.put_void());
    fit();
}

void WebBrowser::destroy_window() {
    if (ole_) {
        ole_->Close(OLECLOSE_NOSAVE);
        ole_->SetClientSite(nullptr);
    }
    browser_ = nullptr;
    ole_ = nullptr;
    forwarded_.clear();
    if (site_) {
        site_->detach();
        site_->Release();
        site_ = nullptr;
    }
    Control::destroy_window();
}

void WebBrowser::fit() {
    if (!ole_ || !hwnd_) return;
    ComPtr<IOleInPlaceObject> in_place;
    if (FAILED(ole_->QueryInterface(IID_IOleInPlaceObject, in_place.put_void()))) return;
    RECT r;
    GetClientRect(hwnd_, &r);
    in_place->SetObjectRects(&r, &r);
}

HWND WebBrowser::browser_window() const {
    if (!ole_) return nullptr;
    ComPtr<IOleWindow> w;
    HWND h = nullptr;
    if (SUCCEEDED(ole_->QueryInterface(IID_IOleWindow, w.put_void()))) w->GetWindow(&h);
    return h;
}

LRESULT WebBrowser::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (hwnd == hwnd_) fit();
        break;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_WINDOW));
        return 1;
    }
    case WM_NCDESTROY:
        detach(hwnd);
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return Visual::window_proc(hwnd, msg, wp, lp);
}

DISPID WebBrowser::dynamic_id(std::wstring_view name) {
    if (!browser_) return DISPID_UNKNOWN;
    std::wstring n(name);
    LPOLESTR p = n.data();
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(browser_->GetIDsOfNames(IID_NULL, &p, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
    for (size_t i = 0; i < forwarded_.size(); ++i)
        if (forwarded_[i] == id) return kDynamic + static_cast<DISPID>(i);
    forwarded_.push_back(id);
    return kDynamic + static_cast<DISPID>(forwarded_.size() - 1);
}

HRESULT STDMETHODCALLTYPE WebBrowser::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                             VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
    if (id >= kDynamic && static_cast<size_t>(id - kDynamic) < forwarded_.size() && browser_) {
        ComPtr<IDispatch> keep = browser_;
        return keep->Invoke(forwarded_[static_cast<size_t>(id - kDynamic)], riid, lcid, flags, params, result, excep,
                            arg_err);
    }
    return Control::Invoke(id, riid, lcid, flags, params, result, excep, arg_err);
}

namespace {
template <class T>
T& S(Object& o) {
    return self<T>(o);
}
}  // namespace

const Table& WebBrowser::table() const {
    // The extender members: the control's own, picked from the common ones.
    static const Table t(
        {},
        [] {
            std::vector<Member> own;
            DISPID id;
            for (const wchar_t* name : {L"Name", L"Tag", L"Left", L"Top", L"Width", L"Height", L"Visible", L"Move",
                                        L"ZOrder", L"Index", L"Parent", L"Container"})
                if (const Member* m = Control::members().find(name, &id)) own.push_back(*m);
            return own;
        }());
    return t;
}

}  // namespace qm::forms
