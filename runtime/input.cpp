#include "runtime/input.h"

namespace qm {

namespace {

POINT display_pointer() noexcept {
    POINT at{};
    GetCursorPos(&at);
    return at;
}

SHORT display_key(int key) noexcept { return GetAsyncKeyState(key); }

}  // namespace

PointerSource& pointer_source() noexcept {
    static PointerSource source = display_pointer;
    return source;
}

POINT pointer_position() noexcept { return pointer_source()(); }

KeySource& key_source() noexcept {
    static KeySource source = display_key;
    return source;
}

SHORT key_state(int key) noexcept { return key_source()(key); }

}  // namespace qm
