// The C++ interfaces that widl makes from the type library.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>

// Member names of the type library that Windows headers use as macros keep
// their names: the macros go.
#undef ERROR

#include "Quillmark.h"
