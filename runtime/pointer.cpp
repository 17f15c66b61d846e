#include "runtime/pointer.h"

namespace qm {

namespace {

POINT display_pointer() noexcept {
    POINT at{};
    GetCursorPos(&at);
    return at;
}

}  // namespace

PointerSource& pointer_source() noexcept {
    static PointerSource source = display_pointer;
    return source;
}

POINT pointer_position() noexcept { return pointer_source()(); }

}  // namespace qm
