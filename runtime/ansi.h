// Texts in the system's ANSI (and OEM) code page, both ways.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Characters without an ANSI form become the code page's default character.
std::string to_ansi(std::wstring_view text, UINT code_page = CP_ACP);
std::wstring from_ansi(std::string_view bytes, UINT code_page = CP_ACP);
std::string to_oem(std::wstring_view text);
std::wstring from_oem(std::string_view bytes);

// Text that becomes a name or structure in the code page (a file name, an INI
// section, a function name): the code page must hold it exactly. A look-alike
// of the best-fit table ("\uFF3C" read as "\\", "\u03A9" as "O") or the default
// character would name another thing than the caller wrote.
bool holds_exactly(std::wstring_view text, UINT code_page = CP_ACP);
// The text's bytes when the code page holds it exactly; nothing otherwise.
std::optional<std::string> to_ansi_exact(std::wstring_view text, UINT code_page = CP_ACP);

// A text read as OEM bytes and shown in the ANSI code page (OemToChar on the text's
// ANSI bytes), and the reverse (CharToOem): what a console program wrote and what
// it should be given.
std::wstring oem_to_ansi(std::wstring_view text);
std::wstring ansi_to_oem(std::wstring_view text);

// Single-byte code pages: the ANSI code of each UTF-16 unit, one byte each, as the
// runtime's Asc gives it per character (a unit without an ANSI form, a lone
// surrogate included, becomes the default character). Writes text.size() bytes to
// out; false, with nothing written, when the code page has double-byte characters.
bool ansi_units(std::wstring_view text, char* out, UINT code_page = CP_ACP);

}  // namespace qm
