// The diagnostics of the library: the four process-wide settings that
// Misc.SetDebugInfo stores and the error reporter, Misc.Log and Misc.ERROR read,
// and the text pieces their entries share.
#pragma once
#include <string>
#include <string_view>

namespace qm {

struct DiagnosticsSettings {
    bool debug_mode = false;         // show entries in the debug window
    bool show_message = false;       // beep and show a message box per reported error
    bool show_message_only = false;  // with debug mode on: the reporter keeps out of the debug window
    std::wstring log_file;           // file the entries are appended to; empty: none
};

// A copy of the settings as they are now.
DiagnosticsSettings diagnostics();
void set_diagnostics(const DiagnosticsSettings& settings);

namespace diag {

inline constexpr std::wstring_view kCrLf = L"\r\n";
inline constexpr std::wstring_view kNoLogFile = L"<No LogFile Selected>";

// The time prefix of an entry: short date, " / ", long time, " -> ".
std::wstring time_prefix();
// As many blanks as the prefix has characters.
inline std::wstring indent_of(std::wstring_view prefix) { return std::wstring(prefix.size(), L' '); }

// Appends text and CR LF to the file (created when missing), in the system's
// ANSI code page. Raises the file statements' errors.
void append_line(const std::wstring& path, std::wstring_view text);

}  // namespace diag

}  // namespace qm
