// Menu: menus.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Menu : public Dispatch<_Menu> {
};

}  // namespace qm
