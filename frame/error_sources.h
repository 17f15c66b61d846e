// Names of the object numbers that members pass to the error reporter.
#pragma once
#include <string>

namespace qm {

// 1 to 27: the classes, 101 and 102: the modules, 100: empty; any other
// number raises "Subscript out of range".
std::wstring Get_ErrorSourceName(long object_number);

}  // namespace qm
