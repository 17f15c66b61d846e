// Text: text files.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Text : public Dispatch<_Text> {
};

}  // namespace qm
