// Shell links made through the system's link object, kept apart from the type
// library's declarations (the shell's headers name some of the same things).
#pragma once
#include <string_view>

namespace qm {

// The special folders a link can go to (the shell's folder numbers).
enum class LinkFolder : int { Startup = 7, Desktop = 16, Programs = 2 };

// Makes <folder>\name.lnk pointing at target, without arguments; the folder is
// created when missing. A failure raises its error.
void create_shell_link(LinkFolder folder, std::wstring_view name, std::wstring_view target);

}  // namespace qm
