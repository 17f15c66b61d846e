// Drive: drives.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Drive : public Dispatch<_Drive> {
};

}  // namespace qm
