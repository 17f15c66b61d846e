// Network: the network and the internet.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Network : public Dispatch<_Network> {
public:
    // Internet state, page download and public address
    HRESULT STDMETHODCALLTYPE DFUEconnected(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE InternetConnectedBy(icDevice* result) override;
    HRESULT STDMETHODCALLTYPE Get_HTMLfile(BSTR* URL, VARIANT_BOOL* ShowInternetExplorer, BSTR* File,
                                           BSTR* result) override;
    HRESULT STDMETHODCALLTYPE URLToHTML(BSTR URL, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE HTMLtoURL(BSTR HTML, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ConnectedToInternet(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE HTTP_CanConnect(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Host_isReachable(BSTR HOST, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE HTTP_isOnline(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_OnlineIP(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_InternetFilesize(BSTR Server, BSTR File, long* result) override;

    // Address validation
    HRESULT STDMETHODCALLTYPE ValidURL(BSTR URL, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isValidMail(BSTR* Mail, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isValidIP(BSTR IP, VARIANT_BOOL* result) override;

    // Browser, URL and mail launching
    HRESULT STDMETHODCALLTYPE OpenURL(BSTR URL, long WinStyle) override;
    HRESULT STDMETHODCALLTYPE SendNewMail(BSTR MailTo, BSTR Subject, BSTR Body, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_DefaultBrowser(DefaultBrowser* result) override;
    HRESULT STDMETHODCALLTYPE Create_InternetShortcut(BSTR URL, BSTR Linkfile, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Create_Hyperlink(IDispatch** Label, long LabelColor, long LabelColorMouseOver,
                                               long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IE_Open(BSTR* URL, long* WinStyle, VARIANT_BOOL* result) override;

    // Browser windows and browser settings
    HRESULT STDMETHODCALLTYPE IE_GetStartSite(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE IE_SetStartSite(BSTR URL, BSTR Title, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IE_ShowAutoComplete(IDispatch** TextBox, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IE_GetVersion(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE IE_AddFavorite(BSTR SiteName, BSTR URL, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IE_GetURL(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE IE_CloseAll() override;
    HRESULT STDMETHODCALLTYPE IE_ClearHistory(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IE_GetStatusText(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE IE_GetIE(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE IE_ProxySet(BSTR IP, BSTR Port, long* result) override;
    HRESULT STDMETHODCALLTYPE IE_ProxyClear(long* result) override;
};

}  // namespace qm
