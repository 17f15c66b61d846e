// Desktop: the desktop, taskbar and tray.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Desktop : public Dispatch<_Desktop> {
};

}  // namespace qm
