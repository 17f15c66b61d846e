// WMI through its scripting objects, the way automation clients reach it:
// bind a "winmgmts:" moniker, run InstancesOf or a WQL query, read properties
// and call methods by name.
//
//   auto services = wmi::bind(L"winmgmts:{impersonationLevel=impersonate}");
//   for (auto& os : wmi::instances_of(services.get(), L"Win32_OperatingSystem"))
//       std::wstring caption = wmi::text(os.get(), L"Caption");
//
// Failures raise run-time errors (check(hr) numbers): a moniker that cannot be
// bound, a failing query, a property the object lacks (438).
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/com_ptr.h"
#include "runtime/variant.h"

namespace qm::wmi {

// The object a moniker display name names (as GetObject binds it): for
// "winmgmts:..." an SWbemServices or SWbemObject.
ComPtr<IDispatch> bind(std::wstring_view moniker);

// For tests: while set (not empty), bind() takes every "winmgmts:" moniker to
// this namespace of the local computer instead ("root\Missing" makes binding fail).
void set_namespace_override(std::wstring_view name_space);

// The objects of a collection (anything with _NewEnum, e.g. an SWbemObjectSet).
std::vector<ComPtr<IDispatch>> items(IDispatch* collection);

// services.InstancesOf(cls) and services.ExecQuery(wql), as a list of objects.
std::vector<ComPtr<IDispatch>> instances_of(IDispatch* services, std::wstring_view cls);
std::vector<ComPtr<IDispatch>> exec_query(IDispatch* services, std::wstring_view wql);

// A property by name (raises 438 when the object has none).
Variant get(IDispatch* object, std::wstring_view name);
// The same as text: Null and Empty give "", numbers their plain decimal form.
std::wstring text(IDispatch* object, std::wstring_view name);
// Tolerant reads: a property that the object's class does not have reads as
// Empty (so as "" through text_or_empty); every other failure still raises.
Variant get_or_empty(IDispatch* object, std::wstring_view name);
std::wstring text_or_empty(IDispatch* object, std::wstring_view name);
// A method by name; arguments in natural order.
Variant call(IDispatch* object, std::wstring_view method, std::initializer_list<Variant> args = {});

// A method of a WMI object run through the object's ExecMethod_, with its input
// parameters by name: the output parameters (ReturnValue and any others), null
// when the provider returns none. Wine's scripting objects cannot call a
// provider's method by its own name, but ExecMethod_ works on both.
struct Input {
    std::wstring_view name;
    Variant value;
};
ComPtr<IDispatch> exec_method(IDispatch* object, std::wstring_view method, std::initializer_list<Input> inputs = {});

// A value as text (Null and Empty give ""), as the items of a WMI object read.
std::wstring to_text(const VARIANT& v);

}  // namespace qm::wmi
