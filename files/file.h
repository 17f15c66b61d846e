// File: files.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class File : public Dispatch<_File> {
};

}  // namespace qm
