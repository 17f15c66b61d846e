// The shell's recent documents and recycle-bin icon.
#pragma once

namespace qm {

// Adds a file to the recent documents; nullptr clears the list.
void recent_docs_add(const wchar_t* path) noexcept;
void recycle_bin_update_icon() noexcept;

}  // namespace qm
