// File: making shell shortcuts and reading the local target out of a shortcut file.
#include <windows.h>

#include <string>

#include "files/file.h"
#include "files/file_formats.h"
#include "files/filebase.h"
#include "files/shell_link.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/process.h"

namespace qm {

// A shortcut to SourceFile: in the user's start-up, desktop or programs folder
// named Text, at TargetFile (nothing happens when that exists), or named after
// SourceFile in the send-to or quick-launch folder. 0, else the error number.
HRESULT File::ShortCut_Create(ShortcutNFO* Where, BSTR* SourceFile, BSTR* Text, BSTR* TargetFile, long* result) {
    return trapped(Trap{Source::File, L"ShortCut_Create"}, result, ErrorNumberResult{}, [&] {
        const long where = Where ? static_cast<long>(*Where) : static_cast<long>(scAUTOSTART);
        const std::wstring source(SourceFile ? text_of(*SourceFile) : std::wstring_view());
        const std::wstring text(Text ? text_of(*Text) : std::wstring_view());
        switch (where) {
        case scFROMFILE: {
            const Variant target(TargetFile ? text_of(*TargetFile) : std::wstring_view());
            const ComPtr<IDispatch> fso = late::create(L"Scripting.FileSystemObject");
            if (CBool(*late::call(fso.get(), L"FileExists", {target}).get())) return 0L;
            const ComPtr<IDispatch> shell = late::create(L"WScript.Shell");
            const ComPtr<IDispatch> link = late::object(*late::call(shell.get(), L"CreateShortcut", {target}).get());
            late::put(link.get(), L"TargetPath", Variant(source));
            late::call(link.get(), L"Save");
            return 0L;
        }
        case scSENDTO:
        case scQUICKLAUNCH: {
            ::SystemDirectory folder_id = where == scSENDTO ? sdUser_SendTo : sdUser_QuickLaunch;
            Bstr folder;
            check(shared<_System>()->SystemDirectory(&folder_id, folder.put()));
            Bstr target(folder.str() + Get_FileTitleFromPath(source) + L".lnk");
            BSTR target_ref = target.get();
            ShortcutNFO from_file = scFROMFILE;
            long r = 0;
            check(ShortCut_Create(&from_file, SourceFile, Text, &target_ref, &r));
            return r;
        }
        case scAUTOSTART: create_shell_link(LinkFolder::Startup, text, source); return 0L;
        case scDESKTOP: create_shell_link(LinkFolder::Desktop, text, source); return 0L;
        default: create_shell_link(LinkFolder::Programs, text, source); return 0L;
        }
    });
}

// The local target path of a shortcut file, read from the file's own layout;
// "" when it cannot be read or has no local base path.
HRESULT File::ShortCut_GetTarget(BSTR* File, BSTR* result) {
    return untrapped(result, [&] {
        if (!File) return Bstr();
        process::Handle h;
        try {
            h = process::Handle(CreateFileW(win32_path(text_of(*File)).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        } catch (const RuntimeError&) {
            return Bstr();  // no usable name
        }
        LARGE_INTEGER length{};
        if (!h || !GetFileSizeEx(h.get(), &length)) return Bstr();
        const std::string path = link_local_base_path(
            static_cast<uint64_t>(length.QuadPart), [&](uint64_t offset, void* data, size_t size) {
                OVERLAPPED at{};
                at.Offset = static_cast<DWORD>(offset);
                at.OffsetHigh = static_cast<DWORD>(offset >> 32);
                DWORD read = 0;
                return ReadFile(h.get(), data, static_cast<DWORD>(size), &read, &at) && read == size;
            });
        return Bstr(from_ansi(path));
    });
}

}  // namespace qm
