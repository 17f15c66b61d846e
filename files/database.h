// DataBase: databases.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class DataBase : public Dispatch<_DataBase> {
};

}  // namespace qm
