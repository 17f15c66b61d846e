#include "frame/misc.h"

#include <string>

#include "runtime/contract.h"
#include "runtime/module.h"

namespace qm {

HRESULT Misc::Verison(BSTR* result) {
    return untrapped(result, [] {
        ModuleVersion v = module_version();
        return Bstr(std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." + std::to_wstring(v.revision));
    });
}

}  // namespace qm
