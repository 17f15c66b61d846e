// A member of a client's object looked up once and then called many times
// without looking its name up again (the loops over a record set's records).
#pragma once
#include <windows.h>
#include <oaidl.h>

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

private:
    ComPtr<IDispatch> object_;
    DISPID id_;
};

}  // namespace qm::late
