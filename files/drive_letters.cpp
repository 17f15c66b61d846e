// Drive: letters, types and readiness.
#include <string>
#include <vector>

#include "files/drive.h"
#include "runtime/contract.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// Keeps the system's "insert a disk" box away while a drive without a medium is asked.
class QuietErrors {
public:
    QuietErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietErrors() { SetErrorMode(old_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    UINT old_;
};

}  // namespace

std::wstring all_drive_letters() {
    // The buffer follows the system's answer, however many drives there are.
    std::vector<wchar_t> buffer(128);
    for (;;) {
        const DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0) return {};
        if (n < buffer.size()) break;
        buffer.assign(n + 1, L'\0');
    }
    std::wstring letters;
    for (const wchar_t* root = buffer.data(); *root; root += wcslen(root) + 1) letters += root[0];
    return UCase(Trim(letters));
}

std::wstring Check_DriveLetter(std::wstring_view drive, bool must_exist) {
    const bool shape = drive.size() == 1 || (drive.size() == 2 && drive[1] == L':') ||
                       (drive.size() == 3 && drive.substr(1) == L":\\");
    if (!shape || drive[0] == L':' || drive[0] == L'\\') return {};  // no letter at all
    std::wstring root = UCase(drive.substr(0, 1)) + L":\\";
    if (must_exist && all_drive_letters().find(root[0]) == std::wstring::npos) return {};
    return root;
}

::DriveTyp drive_type_of(const std::wstring& root) {
    if (root.empty()) return dtINVALIDDRIVE;
    switch (GetDriveTypeW(root.c_str())) {
        case DRIVE_REMOVABLE: return dtREMOVABLE;
        case DRIVE_FIXED: return dtHARDDISK;
        case DRIVE_REMOTE: return dtNETDRIVE;
        case DRIVE_CDROM: return dtCDROM;
        case DRIVE_RAMDISK: return dtRAMDISK;
        default: return dtUNKNOWN;
    }
}

// The first free letter from C to Z as "X:\"; A and B are never offered.
HRESULT Drive::Get_NextFreeDrive(BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring used = all_drive_letters();
        for (wchar_t c = L'C'; c <= L'Z'; ++c)
            if (used.find(c) == std::wstring::npos) return Bstr(std::wstring{c, L':', L'\\'});
        return Bstr();
    });
}

HRESULT Drive::Get_AllDrives(BSTR* result) {
    return untrapped(result, [&] { return Bstr(all_drive_letters()); });
}

HRESULT Drive::Get_DriveType(BSTR Drive, DriveTyp* result) {
    if (!result) return E_POINTER;
    return untrapped([&] { *result = drive_type_of(Check_DriveLetter(text_of(Drive), true)); });
}

// Whether the drive's volume answers (a drive without a medium does not). The
// process's current folder, which other threads share, is left alone.
HRESULT Drive::isDriveReady(BSTR Drive, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring root = Check_DriveLetter(text_of(Drive), false);
        if (root.empty()) return false;
        QuietErrors quiet;
        return GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0) != FALSE;
    });
}

HRESULT Drive::Get_FirstCDdrive(BSTR* result) {
    return untrapped(result, [&] {
        ::DriveTyp cd = dtCDROM;
        Bstr letters;
        check(Get_DriveByType(&cd, letters.put()));
        return Bstr(Left(letters.view(), 1));
    });
}

HRESULT Drive::Get_DriveByType(DriveTyp* DriveType, BSTR* result) {
    return untrapped(result, [&] {
        const ::DriveTyp wanted = DriveType ? *DriveType : dtUNKNOWN;
        std::wstring out;
        for (wchar_t c : all_drive_letters())
            if (drive_type_of(std::wstring{c, L':', L'\\'}) == wanted) out += c;
        return Bstr(out);
    });
}

HRESULT Drive::Exist(BSTR Drive, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return !Check_DriveLetter(text_of(Drive), true).empty(); });
}

}  // namespace qm
