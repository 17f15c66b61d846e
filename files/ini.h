// INI: INI files.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class INI : public Dispatch<_INI> {
};

}  // namespace qm
