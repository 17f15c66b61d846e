// The folder walks against a plain walk of the system's find functions over the
// same tree (20,000 files in 1,010 folders): the search for a name that is not
// there, and the statistics (file and folder counts, summed sizes). Prints both
// ratios (ours / system). Works in QM_SCRATCH or the temporary folder.
// Goal: ratio <= 1.2 for both.
#include <windows.h>

#include <string>

#include "bench.h"
#include "files/folder_walk.h"

using qmbench::Best;
using qmbench::report;
using qmbench::sink;

namespace {

constexpr int kTop = 10, kSub = 100, kFiles = 20;

// The tree, made once: a marker file tells that an earlier run finished it.
void make_tree(const std::wstring& root) {
    const std::wstring marker = root + L"complete";
    if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    for (int t = 0; t < kTop; ++t) {
        const std::wstring top = root + L"top" + std::to_wstring(t) + L"\\";
        CreateDirectoryW(top.c_str(), nullptr);
        for (int s = 0; s < kSub; ++s) {
            const std::wstring sub = top + L"folder" + std::to_wstring(s) + L"\\";
            CreateDirectoryW(sub.c_str(), nullptr);
            for (int f = 0; f < kFiles; ++f) {
                HANDLE h = CreateFileW((sub + L"file" + std::to_wstring(f) + L".dat").c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_ALWAYS, 0, nullptr);
                DWORD put = 0;
                WriteFile(h, "0123456789", static_cast<DWORD>(f % 10), &put, nullptr);
                CloseHandle(h);
            }
        }
    }
    CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

struct Totals {
    unsigned long long bytes = 0;
    long files = 0, folders = 0;
};

// The plain walk: basic information, large fetches; the name compared without case.
bool plain_walk(const std::wstring& folder, const wchar_t* name, Totals& t) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        const wchar_t* n = data.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        if (name && CompareStringOrdinal(n, -1, name, -1, TRUE) == CSTR_EQUAL) {
            found = true;
            break;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ++t.folders;
            if (plain_walk(folder + n + L"\\", name, t)) {
                found = true;
                break;
            }
        } else {
            ++t.files;
            t.bytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return found;
}

}  // namespace

int main() {
    const std::wstring root = qmbench::work_folder(L"qm_folder_walk_bench");
    make_tree(root);
    Best ours, system;
    for (qmbench::Rounds round(5, 4); round.next();) {
        ours.time([&] { sink = qm::FileSearch(root, L"absent.name", false, false).size(); });
        system.time([&] {
            Totals t;
            sink = plain_walk(root, L"absent.name", t);
        });
    }
    report("FileSearch, absent name", 1, ours, system, "FindFirstFileEx walk", qmbench::at_most(1.2));

    Best stats, sums;
    long files = 0, folders = 0;
    for (qmbench::Rounds round(5, 4); round.next();) {
        stats.time([&] { sink = qm::Get_DirectoryStatistics(root, -1, files, folders, false).get()->vt; });
        sums.time([&] {
            Totals t;
            plain_walk(root, nullptr, t);
            sink = static_cast<size_t>(t.bytes);
        });
    }
    report("Get_DirectoryStatistics", 1, stats, sums, "FindFirstFileEx walk", qmbench::at_most(1.2));
    std::printf("(%ld files, %ld folders)\n", files, folders);
    return 0;
}
