// LB_CB: list and combo boxes.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class LB_CB : public Dispatch<_LB_CB> {
};

}  // namespace qm
