// The folder lister of the walks, and the three walks: the folder search, the
// folder statistics and the subfolder list, with their progress windows.
#include "files/folder_walk.h"

#include <climits>
#include <utility>

#include "files/filebase.h"
#include "frame/frm_tmp.h"
#include "frame/progbar.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/files.h"
#include "runtime/interfaces.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// Whether the file system under path may show a link as a plain folder: a file
// server that follows its links itself gives no sign of them. Links of local
// volumes (junctions, symbolic links, mount points, and under Wine the host's
// links) carry the reparse attribute in the listing, and as a folder has no
// second parent, only through a link can a walk reach a folder it is already in:
// there the walk needs no identities.
bool may_hide_links(std::wstring_view path) {
    if (path.starts_with(L"\\\\?\\UNC\\")) return true;
    if (path.starts_with(L"\\\\?\\")) path.remove_prefix(4);
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return true;  // a share or a device
    const wchar_t root[] = {path[0], L':', L'\\', 0};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

}  // namespace

FolderWalk::FolderWalk() = default;
FolderWalk::~FolderWalk() = default;

FolderWalk::Level::~Level() {
    if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
    if (pushed_) walk_.path_.pop_back();
    if (data_) --walk_.depth_;
}

// Notes the identity of a folder the walk enters; false when it is already on
// the walk's path. One open per folder, and only where links may be hidden.
bool FolderWalk::Level::enter(const std::wstring& full) {
    if (walk_.identify_ < 0) walk_.identify_ = may_hide_links(full);
    if (!walk_.identify_) return true;
    HANDLE h = CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return true;  // unknown: the listing tells whether it can be read
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    const Key key{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    if (!known || (!key.high && !key.low)) return true;  // a file system without identities cannot tell
    for (const Key& k : walk_.path_)
        if (k.volume == key.volume && k.high == key.high && k.low == key.low) return false;
    walk_.path_.push_back(key);
    pushed_ = true;
    return true;
}

bool FolderWalk::Level::open(const std::wstring& folder) {
    if (folder.empty()) return false;
    std::wstring pattern;
    try {
        pattern = win32_path(AddBackslash(folder));
    } catch (const RuntimeError&) {
        return false;
    }
    if (!enter(pattern)) return false;
    if (walk_.data_.size() <= walk_.depth_) walk_.data_.push_back(std::make_unique<WIN32_FIND_DATAW>());
    WIN32_FIND_DATAW* data = walk_.data_[walk_.depth_].get();
    pattern += L'*';
    find_ = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, data, FindExSearchNameMatch, nullptr,
                             FIND_FIRST_EX_LARGE_FETCH);
    if (find_ == INVALID_HANDLE_VALUE) return false;
    data_ = data;
    ++walk_.depth_;
    pending_ = true;
    return true;
}

bool FolderWalk::Level::next(FolderEntry& entry) {
    for (;;) {
        if (!pending_ && !FindNextFileW(find_, data_)) return false;
        pending_ = false;
        const wchar_t* n = data_->cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        entry.name = n;
        entry.attributes = data_->dwFileAttributes;
        entry.size = static_cast<long long>((static_cast<unsigned long long>(data_->nFileSizeHigh) << 32) |
                                            data_->nFileSizeLow);
        return true;
    }
}

// --- the search -------------------------------------------------------------------------

namespace {

// A name compared as the runtime's LCase compares it, without a copy per entry.
class NameTest {
public:
    explicit NameTest(const std::wstring& name) : lower_(LCase(name)) {}
    bool operator()(std::wstring_view name) const noexcept {
        if (name.size() != lower_.size() || name.empty() || name.size() > kLongest) return false;
        wchar_t folded[kLongest];
        const int n = static_cast<int>(name.size());
        if (LCMapStringW(locale(), LCMAP_LOWERCASE, name.data(), n, folded, n) != n) return false;
        return std::wstring_view(folded, name.size()) == lower_;
    }

private:
    static constexpr size_t kLongest = 512;
    std::wstring lower_;
};

// Path shortened to the width of a label of a progress window.
std::wstring compact(forms::Label& label, const std::wstring& path) {
    IDispatch* control = &label;
    long error = 0;
    Bstr text;
    check(shared<_Controls>()->Control_CompactPath(&control, Bstr(path).get(), &error, text.put()));
    return text.str();
}

void on_top_and_centred(forms::Form& form) {
    IDispatch* self = &form;
    cCenterInfo where = ccMIDDLE;
    long centred = 0, error = 0;
    VARIANT_BOOL on_top = VARIANT_FALSE;
    check(shared<_Forms>()->Center(&self, &where, &centred));
    check(shared<_Forms>()->StayOnTop(&self, &error, &on_top));
}

struct SearchState {
    bool first_call = false;
    ProgressWindow window;
};
SearchState& search_state() {
    static SearchState state;
    return state;
}

std::wstring search(FolderWalk& walk, const std::wstring& start_path, const NameTest& matches, bool is_directory,
                    bool show_progress) {
    SearchState& state = search_state();
    if (show_progress && state.first_call) {
        state.window.load(L"");
        state.first_call = false;
        state.window.SetOption(0, 0, L"Searching...", false, 0xFF0000);
    }
    const std::wstring start = AddBackslash(start_path);
    if (show_progress && state.window.form())
        state.window.set_message(compact(state.window.form()->get<forms::Label>(L"Message"), start));
    std::wstring found;
    walk.list(start, [&](const FolderEntry& entry) {
        if (entry.folder()) {
            if (is_directory && matches(entry.name)) {
                found = start + std::wstring(entry.name);
                return false;
            }
            if (entry.descends())
                found = search(walk, start + std::wstring(entry.name), matches, is_directory, show_progress);
            return found.empty();
        }
        if (!is_directory && matches(entry.name)) {
            found = start + std::wstring(entry.name);
            state.first_call = true;
            return false;
        }
        return true;
    });
    return found;
}

}  // namespace

std::wstring FileSearch(const std::wstring& start_path, const std::wstring& name, bool is_directory,
                        bool show_progress) {
    FolderWalk walk;
    const std::wstring found = search(walk, start_path, NameTest(name), is_directory, show_progress);
    if (!found.empty()) FileSearch_Close();
    return found;
}

void FileSearch_ShowNext() noexcept { search_state().first_call = true; }

void FileSearch_Close() noexcept { search_state().window.unload(); }

// --- the statistics ---------------------------------------------------------------------

namespace {

struct Statistics {
    unsigned long long total = 0;
    long files = 0, folders = 0;
    FrmTMP* window = nullptr;
};

void statistics(FolderWalk& walk, const std::wstring& path, bool deep, Statistics& s) {
    const std::wstring folder = AddBackslash(path);
    walk.list(folder, [&](const FolderEntry& entry) {
        if (!entry.folder()) {
            ++s.files;
            if (entry.size > 0) s.total += static_cast<unsigned long long>(entry.size);
            return true;
        }
        ++s.folders;
        const std::wstring sub = folder + std::wstring(entry.name);
        if (s.window) {
            try {
                auto& label = s.window->get<forms::Label>(L"lblDir");
                label.set_caption(compact(label, sub));
                label.refresh();
                if (HWND h = s.window->hwnd()) UpdateWindow(h);
                forms::do_events();
            } catch (...) {
            }
        }
        if (deep && entry.descends()) statistics(walk, sub, deep, s);
        return true;
    });
}

}  // namespace

Variant Get_DirectoryStatistics(const std::wstring& path, short incl_subdirectories, long& file_count,
                                long& directory_count, bool show_progress) {
    Statistics s;
    ComPtr<FrmTMP> window;
    struct Unload {
        ComPtr<FrmTMP>& form;
        ~Unload() {
            if (!form) return;
            try {
                form->unload();
            } catch (...) {
            }
        }
    } unload{window};
    if (show_progress) {
        try {
            window = forms::make<FrmTMP>();
            window->load();
            window->get<forms::Label>(L"lblDir").set_caption(L"..");
            auto& frame = window->get<forms::Frame>(L"frameDir");
            frame.set_visible(true);
            frame.set_top(0);
            frame.set_left(120);
            window->set_width(8070);
            window->set_height(800);
            on_top_and_centred(*window.get());
            window->set_visible(true);
            s.window = window.get();
        } catch (...) {
        }
    }
    FolderWalk walk;
    statistics(walk, path, incl_subdirectories != 0, s);
    file_count = s.files;
    directory_count = s.folders;
    if (s.files == 0) return Variant(static_cast<short>(0));
    if (s.total <= static_cast<unsigned long long>(LONG_MAX)) return Variant(static_cast<long>(s.total));
    return Variant(static_cast<double>(s.total));
}

// --- the subfolder list -----------------------------------------------------------------

namespace {

std::vector<std::wstring>& subfolder_list() {
    static std::vector<std::wstring> list;
    return list;
}

void subfolders(FolderWalk& walk, const std::wstring& directory, ProgBar* form) {
    const std::wstring folder = AddBackslash(directory);
    walk.list(folder, [&](const FolderEntry& entry) {
        if (!entry.folder()) return true;
        std::wstring full = folder + std::wstring(entry.name);
        if (form) {
            auto& message = form->get<forms::Label>(L"Message");
            message.set_caption(compact(message, full));
            message.refresh();
            if (HWND h = form->get<forms::Frame>(L"Frame1").hwnd()) UpdateWindow(h);
            forms::do_events();
        }
        subfolder_list().push_back(full);
        if (entry.descends()) subfolders(walk, full, form);
        return true;
    });
}

}  // namespace

void ReadAllSubDirsFunc(const std::wstring& directory, bool show_progress, ProgBar* progress_form) {
    FolderWalk walk;
    subfolders(walk, directory, show_progress ? progress_form : nullptr);
}

std::vector<std::wstring> ReadAllSubDirs_Take() { return std::exchange(subfolder_list(), {}); }

}  // namespace qm
