// Texts in the system's ANSI (and OEM) code page, both ways.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

// Characters without an ANSI form become the code page's default character.
std::string to_ansi(std::wstring_view text, UINT code_page = CP_ACP);
std::wstring from_ansi(std::string_view bytes, UINT code_page = CP_ACP);
std::string to_oem(std::wstring_view text);
std::wstring from_oem(std::string_view bytes);

// A text read as OEM bytes and shown in the ANSI code page (OemToChar on the text's
// ANSI bytes), and the reverse (CharToOem): what a console program wrote and what
// it should be given.
std::wstring oem_to_ansi(std::wstring_view text);
std::wstring ansi_to_oem(std::wstring_view text);

}  // namespace qm
