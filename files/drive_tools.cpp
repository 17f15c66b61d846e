// Drive: the CD tray, virtual drives and disk checks through the system's
// programs.
#include <windows.h>
#include <mmsystem.h>

#include <string>

#include "files/drive.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/process.h"
#include "runtime/strings.h"

namespace qm {

namespace {

void write_back(BSTR* target, const std::wstring& text) {
    if (!target) return;
    Bstr value(text);
    SysFreeString(*target);
    *target = value.detach();
}

bool is_folder(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool drive_exists(wchar_t letter) { return all_drive_letters().find(letter) != std::wstring::npos; }

// Runs a command line hidden and waits for it, the caller's messages flowing.
void run_hidden(const std::wstring& command) {
    long done = 0;
    check(shared<_Shell>()->ExecuteAndWait(Bstr(command).get(), 0, &done));
}

}  // namespace

// Opens or closes the tray of the default CD audio device. The command goes
// through mciSendString, which reports failure instead of showing a modal box.
HRESULT Drive::CDROM(CDROMCOMMAND* Command, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const wchar_t* command = nullptr;
        if (Command && *Command == cdOPEN) command = L"Set CDaudio door open";
        if (Command && *Command == cdCLOSE) command = L"Set CDaudio door closed";
        if (!command) return false;
        return mciSendStringW(command, nullptr, 0, nullptr) == 0;
    });
}

// Makes a drive letter for a folder (vdCREATE) or removes one (vdREMOVE) with
// the system's subst command. TargetDrive comes back as the bare letter,
// SourceDir as its short form.
HRESULT Drive::VirtualDrive(VIRTUALDRIVECOMMAND* Command, BSTR* TargetDrive, BSTR* SourceDir, long* ErrorNumber,
                            VARIANT_BOOL* result) {
    return trapped(Trap{Source::Drive, L"VirtualDrive", ErrorNumber}, result, false, [&] {
        if (!Command || !TargetDrive) return false;
        const std::wstring_view target = text_of(*TargetDrive);
        std::wstring root;
        if (*Command == vdCREATE) {
            if (target.empty()) {
                Bstr next;
                check(Get_NextFreeDrive(next.put()));
                root = next.str();
            } else {
                root = Check_DriveLetter(target, false);
            }
            if (root.empty()) return false;
            const wchar_t letter = root[0];
            write_back(TargetDrive, std::wstring(1, letter));
            const std::wstring source(SourceDir ? text_of(*SourceDir) : std::wstring_view());
            if (source.empty() || drive_exists(letter)) return false;
            // A folder that does not exist is refused before anything changes.
            if (!is_folder(source)) return false;
            Bstr short_path;
            check(shared<_File>()->Get_ShortPath(Bstr(source).get(), short_path.put()));
            if (short_path.view().empty()) return false;
            write_back(SourceDir, short_path.str());
            run_hidden(std::wstring(L"subst ") + letter + L": " + process::quote(short_path.str()));
            return drive_exists(letter);
        }
        if (*Command == vdREMOVE) {
            root = Check_DriveLetter(target, false);
            if (root.empty()) return false;
            const wchar_t letter = root[0];
            write_back(TargetDrive, std::wstring(1, letter));
            if (!drive_exists(letter)) return false;
            run_hidden(std::wstring(L"subst /D ") + letter + L":");
            return !drive_exists(letter);
        }
        return false;
    });
}

HRESULT Drive::ChkDskAll(VARIANT_BOOL* RepairErrors) {
    return untrapped([&] {
        VARIANT_BOOL repair = RepairErrors ? *RepairErrors : VARIANT_TRUE, wait = VARIANT_TRUE;
        for (wchar_t c : all_drive_letters()) {
            const ::DriveTyp type = drive_type_of(std::wstring{c, L':', L'\\'});
            if (type != dtHARDDISK && type != dtREMOVABLE) continue;
            check(ChkDsk(Bstr(std::wstring(1, c)).get(), &repair, &wait));
        }
    });
}

// Checks the drive with the system's disk check in a console window, through a
// batch file in the temporary folder that waits for a key and deletes itself.
HRESULT Drive::ChkDsk(BSTR Drive, VARIANT_BOOL* RepairErrors, VARIANT_BOOL* WaitForExit) {
    return untrapped([&] {
        const std::wstring root = Check_DriveLetter(text_of(Drive), true);
        if (root.empty()) return;
        const std::wstring drive = root.substr(0, 2);
        _File* files = shared<_File>();
        Bstr temp;
        check(files->TempFile_Create(nullptr, temp.put()));
        const std::wstring batch = temp.str() + L".Bat";
        long ignored = 0;
        check(files->fKill(temp.get(), &ignored));
        Bstr batch_path(batch);
        check(files->Create_File(batch_path.get(), &ignored));
        Bstr short_path;
        check(files->Get_ShortPath(batch_path.get(), short_path.put()));
        const bool repair = RepairErrors ? *RepairErrors != VARIANT_FALSE : true;
        const std::wstring text = L"Cls\r\n@echo off\r\nchkdsk " + drive + (repair ? L" /f" : L"") +
                                  L"\r\necho.\r\nPause\r\nDel " + short_path.str() + L"\r\nExit";
        check(shared<_Text>()->TextFile_WriteText(batch_path.get(), Bstr(text).get(), &ignored));
        if (WaitForExit && *WaitForExit) {
            check(shared<_Shell>()->ExecuteAndWait(batch_path.get(), 3, &ignored));
        } else {
            Bstr none(L"");
            LONG style = 1;
            VARIANT_BOOL started = VARIANT_FALSE;
            BSTR path_arg = batch_path.get(), param_arg = none.get();
            check(shared<_Shell>()->Execute(&path_arg, &param_arg, &style, &started));
        }
    });
}

}  // namespace qm
