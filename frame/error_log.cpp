#include "runtime/contract.h"

namespace qm {

// The error reporter. Until the client enables diagnostics (debug mode or a
// log file), a trapped error produces nothing.
void Write_ErrorLog(long object_number, const std::wstring& routine, long error_number,
                    const std::wstring& error_text, const std::wstring& extra_text) {}

}  // namespace qm
