// The C++ interfaces that widl makes from the type library.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>

// Member names of the type library that Windows headers use as macros keep
// their names: the macros go.
#undef ERROR
#undef LOWORD

#include "Quillmark.h"

// What the LOWORD macro did, for code that splits message parameters.
constexpr WORD LOWORD(DWORD_PTR value) noexcept { return static_cast<WORD>(value & 0xFFFF); }
