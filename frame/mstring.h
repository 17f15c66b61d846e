// mString: strings.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class mString : public Dispatch<_mString> {
};

}  // namespace qm
