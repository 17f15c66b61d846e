// The recursive folder walks: the folder search, the folder statistics and the
// list of every subfolder; and the lister they share.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/variant.h"

namespace qm {

class ProgBar;

// One entry of a folder as the file system lists it.
struct FolderEntry {
    std::wstring_view name;
    DWORD attributes = 0;
    long long size = 0;  // bytes, the whole 64-bit length
    bool folder() const noexcept { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
    // A folder a walk goes into: not a link or junction (its target may lie anywhere,
    // an ancestor included).
    bool descends() const noexcept {
        return folder() && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }
};

// Lists folders for one walk, in the order the file system returns the entries
// (hidden and system ones included, "." and ".." left out). A walk never comes
// back into a folder already on its current path, so it always ends: it goes into
// no link (FolderEntry::descends), and where a server may show its links as plain
// folders, it also compares the identities of the folders it enters.
class FolderWalk {
public:
    FolderWalk();
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    // Calls each(entry) for the entries of folder (a path with or without its
    // trailing "\", of any length) until each returns false. False when the folder
    // cannot be listed or is already on the path; otherwise true.
    template <class Each>
    bool list(const std::wstring& folder, Each&& each) {
        Level level(*this);
        if (!level.open(folder)) return false;
        FolderEntry entry;
        while (level.next(entry))
            if (!each(entry)) break;
        return true;
    }

private:
    struct Key {
        DWORD volume, high, low;
    };
    class Level {
    public:
        explicit Level(FolderWalk& walk) : walk_(walk) {}
        ~Level();
        bool open(const std::wstring& folder);
        bool next(FolderEntry& entry);

    private:
        bool enter(const std::wstring& full);
        FolderWalk& walk_;
        HANDLE find_ = INVALID_HANDLE_VALUE;
        WIN32_FIND_DATAW* data_ = nullptr;
        bool pending_ = false;  // data_ holds an entry not yet handed out
        bool pushed_ = false;
    };
    std::vector<Key> path_;
    std::vector<std::unique_ptr<WIN32_FIND_DATAW>> data_;  // one per depth, kept for the walk
    size_t depth_ = 0;
    int identify_ = -1;  // compare identities: not yet known (-1), no (0), yes (1)
};

// Full path of the first folder (is_directory) or file named name (any case,
// no wildcards) below start_path; "" when there is none. With show_progress the
// search's progress window names each folder visited; it is opened by the
// outermost call after FileSearch_ShowNext and closed by FileSearch_Close.
std::wstring FileSearch(const std::wstring& start_path, const std::wstring& name, bool is_directory,
                        bool show_progress);
// The next FileSearch with show_progress opens the progress window.
void FileSearch_ShowNext() noexcept;
// Closes the search's progress window, if one is open.
void FileSearch_Close() noexcept;

// FileSearch for a folder (is_directory) or a file named name below start, or
// with all_drives from the root of every drive in the system's order (for
// folders without A and B); "" when start is "" without all_drives. The
// progress window, when shown, is closed at the end.
std::wstring search_drives_or_path(const std::wstring& name, const std::wstring& start, bool all_drives,
                                   bool progress, bool is_directory);

// The total length in bytes of the files in path (and in all its subfolders
// when incl_subdirectories is not 0), the number of files and of folders.
Variant Get_DirectoryStatistics(const std::wstring& path, short incl_subdirectories, long& file_count,
                                long& directory_count, bool show_progress);

// Appends every folder below directory, in depth-first pre-order and without a
// trailing "\", to the module's subfolder list; progress_form, when given with
// show_progress, names each folder found.
void ReadAllSubDirsFunc(const std::wstring& directory, bool show_progress, ProgBar* progress_form);
// Hands over the module's subfolder list and empties it.
std::vector<std::wstring> ReadAllSubDirs_Take();

}  // namespace qm
