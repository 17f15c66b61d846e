// Late binding to the client's objects (forms, controls, any automation object):
// get, put and call by name with the runtime's semantics and errors (438 for a
// missing member, the callee's own error number and text otherwise), default
// properties, "with run-time errors skipped" access, and the type tests members
// use (is it a ListBox, a ComboBox, a form of the forms engine).
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "runtime/com_ptr.h"
#include "runtime/errors.h"
#include "runtime/variant.h"

namespace qm::late {

// Property get (or a method call returning a value): obj.Name(args...).
Variant get(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args = {});
// Property let: obj.Name(args...) = value.
void put(IDispatch* object, std::wstring_view name, const Variant& value, std::initializer_list<Variant> args = {});
// Property set (object reference): Set obj.Name = value.
void put_ref(IDispatch* object, std::wstring_view name, IDispatch* value);
// Method call: obj.Name args...
Variant call(IDispatch* object, std::wstring_view name, std::initializer_list<Variant> args = {});

// CreateObject: a new object of the class registered under progid (429 when
// the name is not registered or the object cannot be made).
ComPtr<IDispatch> create(std::wstring_view progid);

// The object held by a Variant (Nothing: 91; not an object: 424).
ComPtr<IDispatch> object(const VARIANT& value);
// A Variant's value with default properties followed (an object gives its default member).
Variant value_of(const VARIANT& value);

// "With run-time errors skipped": the run-time errors of body are dropped; false when one occurred.
template <class Body>
bool skipping_errors(Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        return false;
    }
}
// The same for one property: false (and value untouched) when the object lacks it or it fails.
bool try_get(IDispatch* object, std::wstring_view name, Variant& value) noexcept;
bool try_put(IDispatch* object, std::wstring_view name, const Variant& value) noexcept;

// Whether the object answers a member name (GetIDsOfNames only; nothing is called).
bool has_member(IDispatch* object, std::wstring_view name) noexcept;

// Type tests. type_name is the runtime's TypeName for objects: the type name of
// the forms engine's objects, else the object's type information ("" if none).
std::wstring type_name(IDispatch* object);
bool is_type(IDispatch* object, std::wstring_view type);  // case-insensitive
// List and combo boxes: by type name, or by their window's class name (a box of
// any forms runtime: ListBox, ThunderListBox, ThunderRT6ListBox, ...).
bool is_list_box(IDispatch* object);
bool is_combo_box(IDispatch* object);
// A form of this library's forms engine.
bool is_form(IDispatch* object);

}  // namespace qm::late
