#include "runtime/contract.h"

#include <exception>

namespace qm::detail {

RuntimeError as_runtime_error(std::exception_ptr e) noexcept {
    try {
        std::rethrow_exception(e);
    } catch (const RuntimeError& r) {
        return r;
    } catch (const std::bad_alloc&) {
        return RuntimeError(err::OutOfMemory);
    } catch (...) {
        return RuntimeError(err::InternalError);
    }
}

HRESULT unexpected(std::exception_ptr e) noexcept { return as_runtime_error(e).report(); }

void report(const Trap& trap, const RuntimeError& e) noexcept {
    try {
        Write_ErrorLog(static_cast<long>(trap.source), trap.routine ? trap.routine : L"", e.number(), e.description(),
                       trap.extra);
    } catch (...) {
        // The reporter never turns a trapped error into a failure of the member.
    }
}

}  // namespace qm::detail
