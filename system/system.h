// System: the operating system and processes.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class System : public Dispatch<_System> {
};

}  // namespace qm
