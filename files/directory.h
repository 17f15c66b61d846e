// Directory: folders.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Directory : public Dispatch<_Directory> {
};

}  // namespace qm
