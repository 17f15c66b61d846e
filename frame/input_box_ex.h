// The runtime's input box with its edit field adjusted while it is open: a
// password character, a maximum length, digits only. A thread-local CBT hook
// applies the settings when the box's dialog is activated.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace qm {

// Shows the input box and waits for it. The hook is installed only when there
// is something to apply (a password character, a length limit or digits only)
// and is removed when the box closes, whatever way it ends. Boxes opened while
// another waits (from a timer) keep their own settings. x and y are twips; a
// place beyond a window's coordinates (forms/limits.h) raises 380 first.
std::wstring InputBoxEx(const std::wstring& prompt, const std::wstring& title, const std::wstring& default_text,
                        long x, long y, const VARIANT* help_file, const VARIANT* context, long& max_length,
                        std::wstring& password_char, bool& numbers_only, bool& cancelled);

// The hook procedure (WH_CBT, calling thread only).
LRESULT CALLBACK InputBoxHookProc(int code, WPARAM wparam, LPARAM lparam);

// How many input-box hooks the calling thread holds now.
size_t input_box_hooks() noexcept;

}  // namespace qm
