// Hardware: the keyboard's lock keys and the key pressed since the last query.
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/input.h"
#include "system/hardware.h"

namespace qm {

namespace {

// A lock key counts as on only while it is toggled and not held down.
bool lock_on(int key) noexcept { return GetKeyState(key) == 1; }

// The first key code that is down now and was pressed since the previous query.
long pressed_key() noexcept {
    for (int key = 0; key <= 255; ++key)
        if (key_state(key) == static_cast<SHORT>(0x8001)) return key;
    return 0;
}

// The key code a value stands for: its number as an Integer, or else the ANSI
// code of its text's first character; -1 when it stands for none.
long key_code(const VARIANT& key) {
    try {
        return CInt(key);
    } catch (const RuntimeError&) {
    }
    try {
        const std::wstring text = CStr(key);
        if (text.empty()) return -1;
        const std::string bytes = to_ansi(text.substr(0, 1));
        return bytes.empty() ? -1 : static_cast<BYTE>(bytes[0]);
    } catch (const RuntimeError&) {
        return -1;
    }
}

}  // namespace

HRESULT Hardware::Keyboard_CAPSisEnabled(VARIANT_BOOL* result) {
    return untrapped(result, [] { return lock_on(VK_CAPITAL); });
}

HRESULT Hardware::Keyboard_NUMisEnabled(VARIANT_BOOL* result) {
    return untrapped(result, [] { return lock_on(VK_NUMLOCK); });
}

HRESULT Hardware::Keyboard_GetPressedKey(long* result) {
    return untrapped(result, [] { return pressed_key(); });
}

// Conversion errors are never reported: a key that stands for no code is not pressed.
HRESULT Hardware::Keyboard_KeyIsPressed(VARIANT Key, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const long pressed = pressed_key();
        const long code = key_code(Key);
        return code >= 0 && code == pressed;
    });
}

}  // namespace qm
