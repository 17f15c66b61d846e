// Forms: the client's forms.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Forms : public Dispatch<_Forms> {
};

}  // namespace qm
