// Dialog: message, question and common dialogs.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Dialog : public Dispatch<_Dialog> {
};

}  // namespace qm
