// System: the services of the local computer and system restore, through WMI,
// and the system configuration editor.
#include <windows.h>

#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"
#include "runtime/wmi.h"
#include "system/system.h"

namespace qm {

namespace {

constexpr wchar_t kCimv2[] = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2";
// The same object as "winmgmts://./root/default:SystemRestore"; Wine's moniker
// parser takes the backslash form only.
constexpr wchar_t kSystemRestore[] = L"winmgmts:\\\\.\\root\\default:SystemRestore";

// The services whose key name is name (any case).
std::vector<ComPtr<IDispatch>> services_named(const BSTR* name) {
    auto cimv2 = wmi::bind(kCimv2);
    return wmi::exec_query(cimv2.get(), L"Select * from Win32_Service where Name = " +
                                            sys::wql_string(name ? text_of(*name) : std::wstring_view()));
}

// The provider's method for a command, nullptr for anything else.
const wchar_t* service_method(long command) {
    switch (command) {
        case svcSTART: return L"StartService";
        case svcSTOP: return L"StopService";
        case svcRESUME: return L"ResumeService";
        case svcPAUSE: return L"PauseService";
        default: return nullptr;
    }
}

bool flag(IDispatch* object, const wchar_t* name) {
    Variant v = wmi::get_or_empty(object, name);
    return v.vt() != VT_EMPTY && v.vt() != VT_NULL && CBool(*v.get());
}

}  // namespace

namespace sys {

std::wstring wql_string(std::wstring_view text) {
    const bool apostrophe = text.find(L'\'') != text.npos, quote = text.find(L'"') != text.npos,
               backslash = text.find(L'\\') != text.npos;
    // WQL knows both quotes; Wine's parser rejects escapes, so none are used
    // unless the name needs them.
    if (!backslash && !apostrophe) return L"'" + std::wstring(text) + L"'";
    if (!backslash && !quote) return L"\"" + std::wstring(text) + L"\"";
    std::wstring literal = L"'";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'\'') literal += L'\\';
        literal += c;
    }
    return literal + L"'";
}

}  // namespace sys

// Runs the command on the service of that name. A command the provider refuses
// gives False with its return code in ErrorNumber; a name that matches no
// service gives True.
HRESULT System::Service_Command(BSTR* ServiceName, SERVICECOMMANDINFO* Command, LONG* ErrorNumber,
                                 VARIANT_BOOL* result) {
    return trapped(Trap{Source::System, L"Service_Command", ErrorNumber}, result, false, [&] {
        const wchar_t* method = service_method(Command ? *Command : 0);
        for (auto& service : services_named(ServiceName)) {
            if (!method) return false;
            ComPtr<IDispatch> out = wmi::exec_method(service.get(), method);
            Variant code = out ? wmi::get_or_empty(out.get(), L"ReturnValue") : Variant();
            const long refused = code.vt() == VT_EMPTY || code.vt() == VT_NULL ? 0 : CLng(*code.get());
            if (refused) {
                if (ErrorNumber) *ErrorNumber = refused;
                return false;
            }
        }
        return true;
    });
}

HRESULT System::Service_GetInfo(BSTR* ServiceName, LONG* ErrorNumber, SERVICEINFO* result) {
    if (!result) return E_POINTER;
    *result = SERVICEINFO{};
    std::wstring texts[6];
    bool can_pause = false, can_stop = false;
    HRESULT hr = trapped(Trap{Source::System, L"Get_ServiceInfo", ErrorNumber}, [&] {
        auto found = services_named(ServiceName);
        if (found.empty()) return;
        IDispatch* service = found.front().get();
        // Read completely before anything is kept: a failure leaves the record empty.
        std::wstring read[6] = {std::wstring(ServiceName ? text_of(*ServiceName) : std::wstring_view()),
                                wmi::text_or_empty(service, L"DisplayName"),
                                wmi::text_or_empty(service, L"PathName"),
                                wmi::text_or_empty(service, L"ServiceType"),
                                wmi::text_or_empty(service, L"StartMode"),
                                wmi::text_or_empty(service, L"State")};
        const bool pause = flag(service, L"AcceptPause"), stop = flag(service, L"AcceptStop");
        for (size_t i = 0; i < 6; ++i) texts[i] = std::move(read[i]);
        can_pause = pause, can_stop = stop;
    });
    BSTR* fields[] = {&result->ServiceName, &result->ServiceDisplayName,
                      &result->ServicePathName, &result->ServiceType, &result->ServiceStartMode, &result->ServiceState};
    for (size_t i = 0; i < 6; ++i) *fields[i] = Bstr(texts[i]).detach();
    for (BSTR* f : fields)
        if (!*f) *f = SysAllocStringLen(nullptr, 0);
    result->ServiceCanPause = can_pause ? VARIANT_TRUE : VARIANT_FALSE;
    result->ServiceCanStop = can_stop ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

// The key names of all services, in the provider's order.
HRESULT System::Service_GetNames(LONG* ErrorNumber, SAFEARRAY** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    std::vector<std::wstring> names;
    bool complete = false;
    HRESULT hr = trapped(Trap{Source::System, L"Get_ServiceNames", ErrorNumber}, [&] {
        auto cimv2 = wmi::bind(kCimv2);
        for (auto& service : wmi::exec_query(cimv2.get(), L"Select * from Win32_Service"))
            names.push_back(wmi::text(service.get(), L"Name"));
        complete = true;
    });
    if (!complete) names.clear();
    *result = string_array(names).detach();
    return hr;
}

// 0, or the number of the error that kept system restore from being switched.
HRESULT System::SystemRestore(VARIANT_BOOL* EnableSystemRestore, LONG* result) {
    return trapped(Trap{Source::System, L"SystemRestore"}, result, ErrorNumberResult{}, [&] {
        const bool enable = !EnableSystemRestore || *EnableSystemRestore != VARIANT_FALSE;
        auto restore = wmi::bind(kSystemRestore);
        // An empty drive means all drives.
        wmi::exec_method(restore.get(), enable ? L"Enable" : L"Disable", {{L"Drive", Variant(L"")}});
        return 0L;
    });
}

HRESULT System::SystemConfigurationEditor(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        Bstr program(L"Sysedit"), none(L"");
        BSTR path = program.get(), param = none.get();
        LONG style = SW_SHOWMAXIMIZED;
        VARIANT_BOOL started = VARIANT_FALSE;
        check(shared<_Shell>()->Execute(&path, &param, &style, &started));
        return started != VARIANT_FALSE;
    });
}

}  // namespace qm
