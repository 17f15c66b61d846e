// Multimedia: sound, music and video.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Multimedia : public Dispatch<_Multimedia> {
};

}  // namespace qm
