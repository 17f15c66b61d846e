// The shell's list of recent documents and the recycle bin's icon (the shell's
// object headers stay out of the files that see the library's own classes).
#include <windows.h>
#include <shlobj.h>

#include "windows/desktop_recent.h"

// Exported by shell32 without a declaration in the SDK headers.
extern "C" DECLSPEC_IMPORT HRESULT WINAPI SHUpdateRecycleBinIcon(void);

namespace qm {

void recent_docs_add(const wchar_t* path) noexcept { SHAddToRecentDocs(SHARD_PATHW, path); }

void recycle_bin_update_icon() noexcept { SHUpdateRecycleBinIcon(); }

}  // namespace qm
