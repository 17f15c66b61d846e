// Misc: the diagnostics settings, the client's own log and error entries, and
// the library's version.
#include <windows.h>

#include <string>

#include "frame/diagnostics.h"
#include "frame/frmdebug.h"
#include "frame/misc.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/forms/forms.h"
#include "runtime/module.h"
#include "runtime/strings.h"

namespace qm {

namespace {

using diag::kCrLf;

// Whether the debug window is loaded, asked of Forms.Find_Form as a client would.
bool debug_window_loaded() {
    IDispatch* all = &forms::forms_collection();
    ComPtr<IDispatch> form;
    FormOption by = ffFormName;
    VARIANT_BOOL exact = VARIANT_FALSE;
    long error = 0, index = -1;
    check(shared<_Forms>()->Find_Form(&all, Bstr(L"frmdebug").get(), &by, form.put(), &exact, &error, &index));
    return index >= 0;
}

void add_to_end(const std::wstring& file, const std::wstring& text) {
    ADDTTEXTINFO where = Add_to_End;
    long result = 0;
    check(shared<_Text>()->TextFile_AddText(Bstr(file).get(), Bstr(text).get(), &where, &result));
}

// The folder part of a path, for a temporary file beside it.
std::wstring folder_of(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!n) raise_file_error();
    std::wstring full(n, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), n, full.data(), nullptr));
    size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : full.substr(0, slash + 1);
}

// Replaces the file's content by text and CR LF. The new content is written
// beside the file first and takes the old file's place in one step, so a
// failure leaves the old file as it was.
void rewrite(const std::wstring& path, std::wstring_view text) {
    std::wstring folder = folder_of(path);
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(folder.c_str(), L"qml", 0, temp)) raise_file_error();
    try {
        RtFile file(temp, OpenMode::Output);
        file.Print(text);
        file.Close();
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) raise_file_error();
    } catch (...) {
        DeleteFileW(temp);
        throw;
    }
}

}  // namespace

HRESULT Misc::SetDebugInfo(VARIANT_BOOL DebugModeIsEnabled, VARIANT_BOOL ShowMessage, VARIANT_BOOL ShowMessageOnly,
                           BSTR LogFilePath) {
    // Every failure in here is ignored.
    try {
        const std::wstring path(text_of(LogFilePath));
        const bool debug = DebugModeIsEnabled != VARIANT_FALSE;
        set_diagnostics({debug, ShowMessage != VARIANT_FALSE, ShowMessageOnly != VARIANT_FALSE, path});

        bool loaded = false;
        try {
            loaded = debug_window_loaded();
        } catch (...) {
        }
        const std::wstring marker = diag::time_prefix() + (path.empty() ? L">>>>> Stopping writing LogFile <<<<<"
                                                                        : L">>>>> Set LogFile to " + path + L" <<<<<");
        try {
            if (loaded && !debug) {
                frmDebug().unload();
            } else if (loaded) {
                FrmDebug& window = frmDebug();
                window.append(std::wstring(kCrLf) + marker);
                window.show_log_file(path);
            }
        } catch (...) {
        }
        try {
            if (path != log_path_ && !log_path_.empty()) {
                add_to_end(log_path_, marker);
                if (!path.empty())
                    add_to_end(path, L">>>>> Continue Log from " + log_path_ + L" <<<<<" + std::wstring(kCrLf) + std::wstring(kCrLf));
            }
        } catch (...) {
        }
        log_path_ = path;
    } catch (...) {
    }
    return S_OK;
}

HRESULT Misc::Log(BSTR LogText, BSTR LogFile, long FileSizeLimit, BSTR* result) {
    const std::wstring_view text = text_of(LogText);
    std::wstring entry;
    if (text.empty()) {
        entry = kCrLf;
    } else {
        std::wstring prefix = diag::time_prefix();
        entry = prefix + Replace(text, kCrLf, std::wstring(kCrLf) + diag::indent_of(prefix));
        if (entry.ends_with(kCrLf)) entry.resize(entry.size() - kCrLf.size());
    }
    return trapped(Trap{Source::Misc, L"Log"}, result, Bstr(entry), [&] {
        std::wstring target(text_of(LogFile));
        if (target.empty()) target = diagnostics().log_file;
        if (target.empty()) return Bstr(entry);
        if (FileSizeLimit > 0) {
            // The old content (a missing file counts as empty; a file that cannot
            // be read stops the rewrite), the new entry after it, cut from the front.
            long error = 0;
            Bstr old;
            check(shared<_Text>()->TextFile_Read(Bstr(target).get(), &error, old.put()));
            if (error > 0) raise(error);
            std::wstring content = old.view().empty() ? entry : old.str() + std::wstring(kCrLf) + entry;
            if (content.size() > static_cast<size_t>(FileSizeLimit))
                content.erase(0, content.size() - static_cast<size_t>(FileSizeLimit));
            rewrite(target, content);
        } else {
            diag::append_line(target, entry);
        }
        return Bstr(entry);
    });
}

HRESULT Misc::ERROR(BSTR Routine, long ErrorNumber, BSTR ErrorText, BSTR UserMessage, BSTR LogFile, BSTR* result) {
    const std::wstring prefix = diag::time_prefix();
    const std::wstring indent = diag::indent_of(prefix);
    std::wstring entry = prefix + L"ERROR " + std::to_wstring(ErrorNumber) + std::wstring(kCrLf);
    if (SysStringLen(Routine)) entry.append(indent).append(L"Routine: ").append(text_of(Routine)).append(kCrLf);
    if (SysStringLen(ErrorText)) entry.append(indent).append(text_of(ErrorText)).append(kCrLf);
    if (SysStringLen(UserMessage)) entry.append(indent).append(text_of(UserMessage)).append(kCrLf);
    entry.resize(entry.size() - kCrLf.size());

    return trapped(Trap{Source::Misc, L"ERROR"}, result, Bstr(entry), [&] {
        const DiagnosticsSettings settings = diagnostics();
        std::wstring target(text_of(LogFile));
        if (target.empty()) target = settings.log_file;
        if (settings.debug_mode) {
            // Into the window, loaded if needed but not shown.
            FrmDebug& window = frmDebug();
            window.load();
            window.append(entry);
            if (target.empty()) {
                for (const wchar_t* name : {L"butCopy", L"txtPath", L"butLogFile"})
                    window.get<forms::Control>(name).set_visible(false);
            } else {
                window.txtPath().set_text(target);
            }
        }
        if (!target.empty()) diag::append_line(target, entry);
        return Bstr(entry);
    });
}

HRESULT Misc::Verison(BSTR* result) {
    return untrapped(result, [] {
        ModuleVersion v = module_version();
        return Bstr(std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." + std::to_wstring(v.revision));
    });
}

}  // namespace qm
