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
};

}  // namespace qm
