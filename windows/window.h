// Window: windows of any process.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Window : public Dispatch<_Window> {
};

}  // namespace qm
