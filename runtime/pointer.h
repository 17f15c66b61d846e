// Where the mouse pointer stands, as the library's members read it.
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

}  // namespace qm
