// Directory: the members built on the recursive walks.
#include <string>
#include <vector>

#include "files/directory.h"
#include "files/filebase.h"
#include "files/folder_walk.h"
#include "frame/progbar.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"

namespace qm {

// Every folder below Directory, depth first, as full paths without a trailing
// "\"; unallocated when there is none. The progress window names each folder.
HRESULT Directory::ReadAllSubDirs(BSTR Directory, VARIANT_BOOL* ShowProgress, SAFEARRAY** result) {
    return untrapped(result, [&]() -> SAFEARRAY* {
        const bool progress = ShowProgress && *ShowProgress;
        ProgressWindow window;
        if (progress) {
            window.load(L"");
            ProgBar& bar = *window.form();
            bar.get<forms::PictureBox>(L"Picture1").set_visible(false);
            bar.get<forms::Frame>(L"Frame1").set_caption(L"Verzeichnisse werden durchsucht...");
            auto& message = bar.get<forms::Label>(L"Message");
            message.set_caption(L"Bitte warten...");
            message.set_top(480);
            IDispatch* self = &bar;
            cCenterInfo where = ccMIDDLE;
            long centred = 0, error = 0;
            VARIANT_BOOL on_top = VARIANT_FALSE;
            check(shared<_Forms>()->StayOnTop(&self, &error, &on_top));
            check(shared<_Forms>()->Center(&self, &where, &centred));
            bar.set_visible(true);
            forms::do_events();
        }
        ReadAllSubDirs_Take();
        std::vector<std::wstring> folders;
        try {
            ReadAllSubDirsFunc(std::wstring(text_of(Directory)), progress, window.form());
            folders = ReadAllSubDirs_Take();
        } catch (...) {
            ReadAllSubDirs_Take();
            throw;
        }
        if (folders.empty()) return nullptr;
        return string_array(folders).detach();
    });
}

namespace {

// Ends the search's progress window when a search member ends.
struct SearchWindow {
    bool shown;
    explicit SearchWindow(bool show) : shown(show) {
        if (shown) FileSearch_ShowNext();
    }
    ~SearchWindow() {
        if (shown) FileSearch_Close();
    }
};

// The drive letters of the system in its order, without those in skip.
std::wstring drive_letters(std::wstring_view skip) {
    Bstr all;
    check(shared<_Drive>()->Get_AllDrives(all.put()));
    std::wstring letters;
    for (wchar_t c : all.view())
        if (skip.find(c) == std::wstring_view::npos) letters += c;
    return letters;
}

}  // namespace

std::wstring search_drives_or_path(const std::wstring& name, const std::wstring& start, bool all_drives,
                                   bool progress, bool is_directory) {
    if (start.empty() && !all_drives) return {};
    SearchWindow window(progress);
    if (!all_drives) return FileSearch(start, name, is_directory, progress);
    // Floppy drives are not searched for folders: asking them may take long.
    for (wchar_t letter : drive_letters(is_directory ? L"AB" : L"")) {
        std::wstring found = FileSearch(std::wstring(1, letter) + L":\\", name, is_directory, progress);
        if (!found.empty()) return found;
    }
    return {};
}

// Full path of the first folder named DirectoryToFind (any case, no wildcards)
// below StartSearchPath, or on any drive but A and B with SearchAllDrives; "" when none.
HRESULT Directory::Find(BSTR DirectoryToFind, BSTR StartSearchPath, VARIANT_BOOL* SearchAllDrives,
                        VARIANT_BOOL* ShowProgress, BSTR* result) {
    return trapped(Trap{Source::Directory, L"Find"}, result, Bstr(L""), [&] {
        return Bstr(search_drives_or_path(std::wstring(text_of(DirectoryToFind)),
                                          std::wstring(text_of(StartSearchPath)),
                                          SearchAllDrives && *SearchAllDrives, ShowProgress && *ShowProgress, true));
    });
}

// The folder's path, the size of its files in kilobytes (to two decimals), the
// number of its files and folders (of the whole tree with InclSubDirectorys),
// and its owner; an empty record for a folder that does not exist.
HRESULT Directory::Get_DirectoryInfo(BSTR Directory, VARIANT_BOOL InclSubDirectorys, VARIANT_BOOL ShowProgress,
                                     DIRECTORYINFO* result) {
    if (!result) return E_POINTER;
    *result = DIRECTORYINFO{};
    return untrapped([&] {
        result->DirectoryPath = Bstr(L"").detach();
        result->Owner = Bstr(L"").detach();
        VARIANT_BOOL create = VARIANT_FALSE, exists = VARIANT_FALSE;
        check(Exist(Directory, &create, &exists));
        if (!exists) return;
        const std::wstring folder = AddBackslash(text_of(Directory));
        long files = 0, folders = 0;
        Variant total = Get_DirectoryStatistics(folder, InclSubDirectorys ? -1 : 0, files, folders,
                                                ShowProgress != VARIANT_FALSE);
        BYTEISINFO unit = biBytes;
        long error = 0;
        BYTEINFOS sizes{};
        check(shared<_Mathematics>()->BYTEINFO(*total.get(), &unit, &error, &sizes));
        VariantCopy(&result->DirectorySize, &sizes.KiloBytes);
        for (VARIANT* v : {&sizes.Bytes, &sizes.KiloBytes, &sizes.MegaBytes, &sizes.GigaBytes}) VariantClear(v);
        result->FileCount = files;
        result->DirectoryCount = folders;
        SysFreeString(result->DirectoryPath);
        result->DirectoryPath = Bstr(folder).detach();
        SysFreeString(result->Owner);
        check(Get_Owner(Bstr(folder).get(), &result->Owner));
    });
}

HRESULT Directory::Get_DirectorySize(BSTR Directory, VARIANT_BOOL InclSubDirectorys, VARIANT_BOOL* ShowProgress,
                                     VARIANT* result) {
    return untrapped(result, [&] {
        DIRECTORYINFO info{};
        const HRESULT hr = Get_DirectoryInfo(Directory, InclSubDirectorys,
                                             ShowProgress ? *ShowProgress : VARIANT_FALSE, &info);
        Variant size(info.DirectorySize);
        SysFreeString(info.DirectoryPath);
        SysFreeString(info.Owner);
        VariantClear(&info.DirectorySize);
        check(hr);
        return size;
    });
}

}  // namespace qm
