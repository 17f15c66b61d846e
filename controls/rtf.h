// RTF: rich-text boxes.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class RTF : public Dispatch<_RTF> {
};

}  // namespace qm
