// Network: the network and the internet.
#pragma once
#include "runtime/bstr.h"
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

    // Name resolution and local addresses
    HRESULT STDMETHODCALLTYPE Get_LocalIP(long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE IPtoName(BSTR IP, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE NameToIP(BSTR Name, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_HostName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DynamicDNS(long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_IP(BSTR* HOST, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE DomainToIP(BSTR Domain, BSTR* result) override;

    // Local network: computers, shares, messages and time
    HRESULT STDMETHODCALLTYPE Set_LocalNetworkName(BSTR* Name, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_LocalNetworkName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE PortInUse(short Port, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE BroadcastMessage(BSTR msgFrom, BSTR SendTo, BSTR Message,
                                               BroadcastReturnCode* result) override;
    HRESULT STDMETHODCALLTYPE Get_LocalPCs(VARIANT_BOOL* AddOwnPC, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Get_NetTime(BSTR Server, VARIANT_BOOL* SetLocalDate, long* ErrorNumber,
                                          SERVERDATEINFO* result) override;
    HRESULT STDMETHODCALLTYPE Get_SharedDirectory(BSTR Server, long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE NetSend(BSTR PC, BSTR Message) override;
    HRESULT STDMETHODCALLTYPE BrowseForNetworkPath(long* hwnd, VARIANT_BOOL* BrowseOnlyForComputer,
                                                   BSTR* result) override;

    // Dial-up connections and telephony
    HRESULT STDMETHODCALLTYPE TAPIdialNumber(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE InternetDialUP(long* hwnd, BSTR* Connection) override;
    HRESULT STDMETHODCALLTYPE InternetHangup() override;
    HRESULT STDMETHODCALLTYPE Get_DialUPlist(SAFEARRAY** result) override;

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

    // Network adapters, MAC addresses and IP configuration
    HRESULT STDMETHODCALLTYPE get_macaddr(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_macaddr(BSTR value) override;
    HRESULT STDMETHODCALLTYPE DOS_IPconfig(BSTR* Param, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Adapter_GetInstalled(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Adapter_Count(long* result) override;
    HRESULT STDMETHODCALLTYPE Adapter_GetTransferredBytes(long Index, ADAPTERBYTEINFO* result) override;
    HRESULT STDMETHODCALLTYPE Adapter_GetInfo(long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE Get_Gateway(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_MACadress(BSTR* Data, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE IPconfig(long* ErrorNumber, IPconfigInfo* result) override;
    HRESULT STDMETHODCALLTYPE Adapter_GetMACadress(long Index, BSTR* PCname, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Adapter_GetAllMACadresses(SAFEARRAY** result) override;

private:
    Bstr macaddr_;  // kept for the client; no member reads it
};

}  // namespace qm
