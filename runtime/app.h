// The runtime's application object and the small global statements the library
// uses: App.Path, App.EXEName, the version numbers, App.hInstance, App.ThreadID,
// Beep and Environ.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

struct App {
    // The folder of the library file, without a trailing "\" (except at a drive's root: "C:\").
    static std::wstring Path();
    // The library file's name without its extension ("Quillmark").
    static std::wstring EXEName();
    // The library's version resource: major, minor and revision numbers.
    static long Major();
    static long Minor();
    static long Revision();
    static HINSTANCE hInstance() noexcept;
    // The calling (client's) thread.
    static DWORD ThreadID() noexcept;
};

// Beep: the system's default sound.
void Beep() noexcept;

// Environ(name): the value of the process's environment variable (any case), ""
// when it is not set; 5 for an empty name.
std::wstring Environ(std::wstring_view name);
// Environ(n): entry n (from 1) of the process's environment as name=value, in the
// order of the environment block, "" beyond the last; 5 for n < 1. The block's
// hidden entries (those that start with "=", the drives' current folders) are not
// counted.
std::wstring Environ(long number);

}  // namespace qm
