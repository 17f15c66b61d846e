// The C++ interfaces that widl makes from the type library.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>

// Member names of the type library that Windows headers use as macros keep
// their names: the macros go.
#undef ERROR
#undef FindWindow
#undef LOWORD

// The record WINDOWINFO shares its name with the system's structure: in C++ the
// library's record is QM_WINDOWINFO (the type library keeps its own name).
#define WINDOWINFO QM_WINDOWINFO
#include "Quillmark.h"
#undef WINDOWINFO

// What the LOWORD macro did, for code that splits message parameters.
constexpr WORD LOWORD(DWORD_PTR value) noexcept { return static_cast<WORD>(value & 0xFFFF); }
