// Directory: existence, listings, deletion of listed files and the shell's
// file operation on folders.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "files/directory.h"
#include "files/filebase.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "runtime/convert.h"
#include "runtime/files.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

// shlwapi's header would rename the class's PathIsDirectory member.
extern "C" BOOL WINAPI PathIsDirectoryEmptyW(LPCWSTR path);

namespace qm {

namespace {

constexpr long kEveryEntry = attr::ReadOnly | attr::Hidden | attr::System | attr::Directory | attr::Archive;  // 55

// The names a member is given: each element of an array, or the value itself.
std::vector<std::wstring> names_of(const VARIANT& list) {
    const VARIANT& value = deref(list);
    std::vector<std::wstring> names;
    if (IsArray(value)) {
        const SafeArray items = array_copy(value);
        if (items.dimensioned())
            for (long i : indices(items.lbound(), items.ubound())) names.push_back(LCase(CStr(*items.get(i).get())));
    } else {
        names.push_back(LCase(CStr(value)));
    }
    return names;
}

bool listed(const std::vector<std::wstring>& names, const std::wstring& name) {
    const std::wstring key = LCase(name);
    for (const std::wstring& n : names)
        if (n == key) return true;
    return false;
}

// The entries of folder (with its trailing "\") that the mask lets through, "." and ".." left out.
std::vector<std::wstring> entries(const std::wstring& folder, long mask) {
    std::vector<std::wstring> names;
    for (std::wstring name = Dir(folder + L"*.*", mask); !name.empty(); name = Dir())
        if (name != L"." && name != L"..") names.push_back(name);
    return names;
}

bool is_folder(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(win32_path(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Deletes the files directly in Directory that FileList names (any case), or all
// of them with DeleteAllFiles; folders stay.
HRESULT Directory::DirectoryDeleteFiles(BSTR Directory, VARIANT FileList, VARIANT_BOOL* DeleteAllFiles,
                                        long* result) {
    return trapped(Trap{Source::Directory, L"DirectoryDeleteFiles"}, result, ErrorNumberResult{}, [&] {
        const std::wstring folder = AddBackslash(text_of(Directory));
        const bool all = DeleteAllFiles && *DeleteAllFiles;
        const std::vector<std::wstring> wanted = all ? std::vector<std::wstring>() : names_of(FileList);
        _File* files = shared<_File>();
        for (const std::wstring& name : entries(folder, kEveryEntry)) {
            if (is_folder(folder + name)) continue;
            if (!all && !listed(wanted, name)) continue;
            long ignored = 0;
            check(files->fKill(Bstr(folder + name).get(), &ignored));
        }
        return 0L;
    });
}

HRESULT Directory::Exist(BSTR Path, VARIANT_BOOL* sCreatePath, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        bool exists = false;
        try {
            exists = is_folder(AddBackslash(text_of(Path)));
        } catch (const RuntimeError&) {
            return false;
        }
        if (exists || !sCreatePath || !*sCreatePath) return exists;
        VARIANT_BOOL made = VARIANT_FALSE;
        return SUCCEEDED(CreatePath(Path, &made)) && made;
    });
}

HRESULT Directory::isDirectoryEmpty(BSTR Directory, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring folder(text_of(Directory));
        check_plain_path(folder);  // the system cuts a longer one, and answers for another folder
        return PathIsDirectoryEmptyW(folder.c_str()) == 1;
    });
}

// The names of the folders and of the files in Directory, in listing order, as
// 0-based Variant lists (Empty when there is none). Attributes adds hidden (2),
// system (4) and other entries to the ordinary ones; folders are always listed.
HRESULT Directory::Read(BSTR Directory, VARIANT* DirList, VARIANT* FileList, long* Attributes, long* result) {
    return trapped(Trap{Source::Directory, L"Read"}, result, ErrorNumberResult{}, [&] {
        if (!DirList || !FileList) raise(err::InvalidCall);
        VARIANT& dirs_out = deref(*DirList);
        VARIANT& files_out = deref(*FileList);
        VariantClear(&dirs_out);
        VariantClear(&files_out);
        const long wanted = Attributes ? *Attributes : 7;
        const long mask = attr::Directory | (wanted & (1 | 2 | 4 | 8 | 32 | 64));
        const std::wstring folder = AddBackslash(text_of(Directory));
        std::vector<std::wstring> dirs, files;
        // The names gathered stay in the lists also when the listing ends in an error.
        const auto publish = [&] {
            for (auto [names, out] : {std::pair{&dirs, &dirs_out}, std::pair{&files, &files_out}}) {
                if (names->empty()) continue;
                SafeArray list(VT_VARIANT, static_cast<long>(names->size()));
                for (long i = 0; i < list.count(); ++i) list.set(i, *Variant((*names)[i]).get());
                assign_array(*out, std::move(list));
            }
        };
        try {
            for (std::wstring name = Dir(folder + L"*.*", mask); !name.empty(); name = Dir()) {
                if (name == L"." || name == L"..") continue;
                long attributes = 0;
                try {
                    attributes = GetAttr(folder + name);
                } catch (const RuntimeError& e) {
                    if (e.number() == err::InvalidCall) continue;
                    throw;
                }
                (attributes & attr::Directory ? dirs : files).push_back(name);
            }
        } catch (...) {
            publish();
            throw;
        }
        publish();
        return 0L;
    });
}

namespace {

// Whether Read finds at least one folder (dirs) or file in Directory.
bool contains(Directory& self, BSTR Directory, bool dirs) {
    Variant folders, files;
    long attributes = 7, r = -1;
    check(self.Read(Directory, folders.get(), files.get(), &attributes, &r));
    return r == 0 && IsArray(*(dirs ? folders : files).get());
}

}  // namespace

HRESULT Directory::isDirectoryContainingDirs(BSTR Directory, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return contains(*this, Directory, true); });
}

HRESULT Directory::isDirectoryContainingFiles(BSTR Directory, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return contains(*this, Directory, false); });
}

// The shell's copy, move, rename or delete with the record's fields; the
// record's Target comes back as the operation used it.
HRESULT Directory::DirectroryOperation(DIROPEATION* OPERATION, long* result) {
    return untrapped(result, [&] {
        if (!OPERATION) raise(err::InvalidCall);
        long hwnd = OPERATION->hwnd;
        long operation = static_cast<long>(OPERATION->OPERATION);
        std::wstring source(text_of(OPERATION->Source)), target(text_of(OPERATION->Target));
        const long r = SH_FileOperation(hwnd, operation, source, target, OPERATION->INCLUDESUBDIRCTORYS != 0,
                                        OPERATION->Confirm != 0, OPERATION->SHOWDIALOGS != 0,
                                        OPERATION->ShowProgress != 0, OPERATION->MOVETORECYCLEBIN != 0);
        if (target != text_of(OPERATION->Target)) {
            Bstr updated(target);
            SysFreeString(OPERATION->Target);
            OPERATION->Target = updated.detach();
        }
        return r;
    });
}

HRESULT Directory::PathIsDirectory(BSTR* Path, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        VARIANT_BOOL create = VARIANT_FALSE;
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(Exist(Path ? *Path : nullptr, &create, &exists));
        return exists != VARIANT_FALSE;
    });
}

// Deletes the subfolders of Directory that DirList names (any case), or all of
// them with DeleteAllSubDirs, each with its content. A folder that cannot be
// deleted is left and the others still go: the first failure's number, or 0.
HRESULT Directory::DirectoryDeleteSubDirs(BSTR Directory, VARIANT DirList, VARIANT_BOOL* DeleteAllSubDirs,
                                          long* result) {
    return trapped(Trap{Source::Directory, L"DirectoryDeleteSubDirs"}, result, ErrorNumberResult{}, [&] {
        const std::wstring folder = AddBackslash(text_of(Directory));
        const bool all = DeleteAllSubDirs && *DeleteAllSubDirs;
        const std::vector<std::wstring> wanted = all ? std::vector<std::wstring>() : names_of(DirList);
        long first = 0;
        for (const std::wstring& name : entries(folder, kEveryEntry)) {
            if (!is_folder(folder + name)) continue;
            if (!all && !listed(wanted, name)) continue;
            const long r = DeleteTree(folder + name);
            if (!first) first = r;
        }
        return first;
    });
}

}  // namespace qm
