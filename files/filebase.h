// Path texts, the recursive folder deletion and the shell's file operation that
// the file, folder and drive classes share; and the safe replacement of a file
// that every member rewriting a file uses.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "runtime/files.h"

namespace qm {

// 1-based position of the last "\" in path; 0 when there is none.
long LastBackslashPos(std::wstring_view path) noexcept;
// The name after the last "\" (all of path when it has none), cut before its last ".".
std::wstring Get_FileTitleFromPath(std::wstring_view path);
// path & "\" unless it ends with "\"; "" gives "\".
std::wstring AddBackslash(std::wstring_view path);
// path without any trailing "\".
std::wstring RemoveBackslash(std::wstring_view path);

// Deletes the folder with everything in it; 0 or the run-time error number
// (reported under "DeleteTree_").
long DeleteTree(std::wstring_view path);
long DeleteTree_(std::wstring& path);

// The shell's copy (1), move (2), rename (3) or delete (4). Target may be
// rewritten (a bare new name for a rename gets the source's folder; a delete
// empties it). 0 on success; otherwise the run-time error number, the shell's
// error code as a run-time number, or 17 (the user cancelled).
long SH_FileOperation(long& hwnd, long& operation, std::wstring& source, std::wstring& target,
                      bool include_subdirectories, bool confirm, bool show_dialogs, bool show_progress,
                      bool move_to_recycle_bin);

// Writes the file path anew without putting its old content at risk: write()
// fills a new file in the same folder, which then takes the old file's place
// (whatever the old file's attributes; the new file has normal attributes).
// When anything fails the old file stays as it was and the new one is removed.
void replace_file(std::wstring_view path, const std::function<void(RtFile&)>& write);
// The same where fill(temp) opens and fills the new file itself.
void replace_file_with(std::wstring_view path, const std::function<void(const std::wstring& temp)>& fill);

// Whether two paths name one file: the same full path (case aside), or for
// existing files the same file on the same volume (links, short names).
bool same_file(std::wstring_view a, std::wstring_view b);

// A new, empty, uniquely named file in the folder of path, for replace_file and
// copies: its full Win32 path.
std::wstring sibling_temp_file(std::wstring_view path);

}  // namespace qm
