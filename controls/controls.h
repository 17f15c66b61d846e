// Controls: controls of the client's forms.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Controls : public Dispatch<_Controls> {
};

}  // namespace qm
