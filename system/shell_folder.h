// The shell's special folders, apart from the type library's declarations
// (the shell's headers declare a class of the same name as one of ours).
#pragma once
#include <string>

namespace qm::sys {

// The file-system path of a shell folder identifier (CSIDL); empty when the
// shell has none.
std::wstring shell_folder_path(int csidl);

}  // namespace qm::sys
