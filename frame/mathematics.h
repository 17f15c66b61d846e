// Mathematics: numbers.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Mathematics : public Dispatch<_Mathematics> {
};

}  // namespace qm
