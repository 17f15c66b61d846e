// Hardware: hardware information.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Hardware : public Dispatch<_Hardware> {
};

}  // namespace qm
