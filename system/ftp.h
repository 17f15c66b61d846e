// FTP: FTP sessions.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class FTP : public Dispatch<_FTP> {
};

}  // namespace qm
