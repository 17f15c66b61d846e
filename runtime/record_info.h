// The record descriptions behind the records the library hands out: values of
// VT_RECORD and arrays of records. A client clears and copies a record through
// its description, so it must know every field type the type library uses:
// texts, arrays, variants, interface pointers and nested records. (Wine's
// generic description destroys an array field as if the field itself were the
// array, copies variants shallowly and skips nested records.)
#pragma once
#include <oaidl.h>

namespace qm {

// A new description of the record type `record` (a record or an alias of one).
HRESULT make_record_info(ITypeInfo* record, IRecordInfo** out) noexcept;

}  // namespace qm
