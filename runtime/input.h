// Where the mouse pointer stands and which keys are down, as the library's
// members read them.
#pragma once
#include <windows.h>

namespace qm {

// The pointer's place in screen pixels, from the pointer source.
POINT pointer_position() noexcept;

// Where pointer_position() reads from: the display's pointer unless a test puts
// a source of its own here. Every program on a display shares its pointer, so a
// test of a member that acts where the pointer stands gives the member a point
// no other program can move.
using PointerSource = POINT (*)() noexcept;
PointerSource& pointer_source() noexcept;

// A key's state as the keyboard reports it asynchronously (0x8000: down now,
// 0x0001: pressed since the previous query), from the key source: the display's
// keyboard unless a test puts a source of its own here, for the same reason as
// the pointer's.
SHORT key_state(int key) noexcept;
using KeySource = SHORT (*)(int key) noexcept;
KeySource& key_source() noexcept;

}  // namespace qm
