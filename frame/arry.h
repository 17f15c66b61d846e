// Arry: arrays.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Arry : public Dispatch<_Arry> {
};

}  // namespace qm
