// A member of a client's object looked up once and then called many times
// without looking its name up again (the loops over a record set's records).
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string_view>

#include "runtime/com_ptr.h"
#include "runtime/variant.h"

namespace qm::late {

class Bound {
public:
    // object.name; an empty name is the object's default member. 438 when missing.
    Bound(IDispatch* object, std::wstring_view name);
    // Property get or method call without arguments, errors as late::get raises them.
    Variant get() const;
    // The same with arguments (object.name(args...)), a property let and a method call.
    Variant get(std::initializer_list<Variant> args) const;
    void put(const Variant& value, std::initializer_list<Variant> args = {}) const;
    Variant call(std::initializer_list<Variant> args = {}) const;

private:
    ComPtr<IDispatch> object_;
    DISPID id_;
};

}  // namespace qm::late
