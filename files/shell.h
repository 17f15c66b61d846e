// Shell: running programs.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Shell : public Dispatch<_Shell> {
};

}  // namespace qm
