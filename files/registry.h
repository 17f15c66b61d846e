// Registry: the registry.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Registry : public Dispatch<_Registry> {
};

}  // namespace qm
