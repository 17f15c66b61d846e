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
// FTP's enumerations name WinInet's constants with the same values.
#undef INTERNET_OPEN_TYPE_PRECONFIG
#undef INTERNET_OPEN_TYPE_DIRECT
#undef INTERNET_OPEN_TYPE_PROXY
#undef INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY
#undef FTP_TRANSFER_TYPE_UNKNOWN
#undef FTP_TRANSFER_TYPE_ASCII
#undef FTP_TRANSFER_TYPE_BINARY

// The record WINDOWINFO shares its name with the system's structure: in C++ the
// library's record is QM_WINDOWINFO (the type library keeps its own name).
#define WINDOWINFO QM_WINDOWINFO
// So does CURSORINFO: the library's record is QM_CURSORINFO in C++.
#define CURSORINFO QM_CURSORINFO
#include "Quillmark.h"
#undef WINDOWINFO
#undef CURSORINFO

// What the LOWORD macro did, for code that splits message parameters.
constexpr WORD LOWORD(DWORD_PTR value) noexcept { return static_cast<WORD>(value & 0xFFFF); }
