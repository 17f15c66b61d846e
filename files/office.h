// Office: office documents.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Office : public Dispatch<_Office> {
};

}  // namespace qm
