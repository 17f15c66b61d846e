// Texts in the system's ANSI (and OEM) code page, both ways.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

// Characters without an ANSI form become the code page's default character.
std::string to_ansi(std::wstring_view text, UINT code_page = CP_ACP);
std::wstring from_ansi(std::string_view bytes, UINT code_page = CP_ACP);

}  // namespace qm
