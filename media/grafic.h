// Grafic: colours and pictures.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Grafic : public Dispatch<_Grafic> {
};

}  // namespace qm
