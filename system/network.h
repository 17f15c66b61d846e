// Network: the network and the internet.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Network : public Dispatch<_Network> {
};

}  // namespace qm
