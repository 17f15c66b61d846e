// Drive: volume information, labels, network paths, the kind of an optical
// drive and the shell's format dialog.
#include <windows.h>
#include <winnetwk.h>
#include <ntddscsi.h>

#include <cstddef>
#include <string>
#include <vector>

#include "files/drive.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"

// The shell's format dialog (shell32); its header clashes with the type library's Shell class.
extern "C" DWORD WINAPI SHFormatDrive(HWND hwnd, UINT drive, UINT fmtID, UINT options);

namespace qm {

namespace {

// SCSI_PASS_THROUGH_DIRECT followed by its sense area, laid out as the driver
// expects it on this architecture.
struct PassThroughDirect {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    PVOID DataBuffer;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
};
struct PassThroughRequest {
    PassThroughDirect header;
    ULONG filler;
    UCHAR sense[32];
};
#ifdef _WIN64
static_assert(sizeof(PassThroughDirect) == 56 && offsetof(PassThroughDirect, DataBuffer) == 24 &&
              offsetof(PassThroughDirect, SenseInfoOffset) == 32 && offsetof(PassThroughDirect, Cdb) == 36);
static_assert(sizeof(PassThroughRequest) == 96 && offsetof(PassThroughRequest, sense) == 60);
#else
static_assert(sizeof(PassThroughDirect) == 44 && offsetof(PassThroughDirect, DataBuffer) == 20 &&
              offsetof(PassThroughDirect, SenseInfoOffset) == 24 && offsetof(PassThroughDirect, Cdb) == 28);
static_assert(sizeof(PassThroughRequest) == 80 && offsetof(PassThroughRequest, sense) == 48);
#endif
static_assert(sizeof(PassThroughDirect) == sizeof(SCSI_PASS_THROUGH_DIRECT) &&
              offsetof(PassThroughDirect, DataBuffer) == offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) &&
              offsetof(PassThroughDirect, Cdb) == offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb));
constexpr DWORD kIoctlScsiPassThroughDirect = 0x4D014;
constexpr UCHAR kScsiIoctlDataIn = 1;
constexpr UCHAR kModeSense10 = 0x5A;
constexpr UCHAR kCapabilitiesPage = 0x2A;
constexpr UCHAR kCapabilitiesLength = 51;
constexpr ULONG kDeviceTimeoutSeconds = 20;

class DeviceHandle {
public:
    explicit DeviceHandle(HANDLE h) : h_(h) {}
    ~DeviceHandle() {
        if (valid()) CloseHandle(h_);
    }
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// The device of a drive letter, opened for reading and writing.
DeviceHandle OpenDriveDevice(wchar_t letter) {
    const std::wstring name = std::wstring(L"\\\\.\\") + letter + L":";
    return DeviceHandle(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool IsBitSet(BYTE value, int bit) { return (value & (1u << bit)) != 0; }

// A 32-bit count as the record keeps it: a Long while it fits, else a Double.
Variant count_value(DWORD n) {
    return n <= 0x7FFFFFFFu ? Variant(static_cast<long>(n)) : Variant(static_cast<double>(n));
}

void empty_info(DRIVEINFO& info, const std::wstring& root) {
    info.Drive = Bstr(root).detach();
    info.Label = Bstr(L"").detach();
    info.FileSystem = Bstr(L"").detach();
    info.Type = Bstr(L"-3").detach();
    info.Serial = Bstr(L"").detach();
    for (VARIANT* v : {&info.FileLen, &info.Cluster, &info.SectorsPerCluster, &info.BytesPerCluster,
                       &info.FreeCluster, &info.DiskSpaceTotal, &info.DiskSpaceFree, &info.DiskSpaceUsed})
        Variant(0L).detach(v);
}

void replace(BSTR& field, const std::wstring& text) {
    SysFreeString(field);
    field = Bstr(text).detach();
}
void replace(VARIANT& field, Variant value) {
    VariantClear(&field);
    value.detach(&field);
}

void fill_info(DRIVEINFO& info, const std::wstring& root) {
    if (root.empty()) return;
    const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    wchar_t label[MAX_PATH + 1] = {}, file_system[MAX_PATH + 1] = {};
    DWORD serial = 0, longest = 0, flags = 0, sectors = 0, bytes = 0, free_clusters = 0, clusters = 0;
    const bool ok = GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, &serial, &longest, &flags,
                                          file_system, MAX_PATH + 1) &&
                    GetDiskFreeSpaceW(root.c_str(), &sectors, &bytes, &free_clusters, &clusters);
    SetErrorMode(old_mode);
    if (!ok) return;
    replace(info.Type, CStr(static_cast<long>(drive_type_of(root))));
    replace(info.Label, label);
    replace(info.FileSystem, file_system);
    replace(info.Serial, CStr(static_cast<long>(serial)));
    replace(info.FileLen, count_value(longest));
    info.Flags.Flags = static_cast<long>(flags);
    const auto bit = [&](DWORD mask) { return (flags & mask) ? VARIANT_TRUE : VARIANT_FALSE; };
    info.Flags.Preserved = bit(FILE_CASE_PRESERVED_NAMES);
    info.Flags.Sensistive = bit(FILE_CASE_SENSITIVE_SEARCH);
    info.Flags.Unicode = bit(FILE_UNICODE_ON_DISK);
    info.Flags.Persistent = bit(FILE_PERSISTENT_ACLS);
    info.Flags.File_Compr = bit(FILE_FILE_COMPRESSION);
    info.Flags.Vol_Compr = bit(FILE_VOLUME_IS_COMPRESSED);
    replace(info.Cluster, count_value(clusters));
    replace(info.SectorsPerCluster, count_value(sectors));
    replace(info.BytesPerCluster, count_value(bytes));
    replace(info.FreeCluster, count_value(free_clusters));
    const double unit = static_cast<double>(sectors) * static_cast<double>(bytes);
    const double total = static_cast<double>(clusters) * unit, free = static_cast<double>(free_clusters) * unit;
    replace(info.DiskSpaceTotal, Variant(total));
    replace(info.DiskSpaceFree, Variant(free));
    replace(info.DiskSpaceUsed, Variant(total - free));
}

}  // namespace

// The kind of an optical drive, from its capabilities and mechanical status page.
HRESULT Drive::Get_CDROMType(BSTR Drive, CDROMTYP* result) {
    if (!result) return E_POINTER;
    *result = cdINVALIDDRIVE;
    return trapped(Trap{Source::Drive, L"Get_CDROMType"}, [&] {
        const std::wstring root = Check_DriveLetter(text_of(Drive), true);
        if (root.empty() || drive_type_of(root) != dtCDROM) return;
        DeviceHandle device = OpenDriveDevice(root[0]);
        if (!device.valid()) return;
        UCHAR page[kCapabilitiesLength] = {};
        PassThroughRequest request = {};
        request.header.Length = sizeof(PassThroughDirect);
        request.header.CdbLength = 10;
        request.header.SenseInfoLength = 14;
        request.header.DataIn = kScsiIoctlDataIn;
        request.header.DataTransferLength = sizeof page;
        request.header.TimeOutValue = kDeviceTimeoutSeconds;
        request.header.DataBuffer = page;
        request.header.SenseInfoOffset = offsetof(PassThroughRequest, sense);
        request.header.Cdb[0] = kModeSense10;
        request.header.Cdb[2] = kCapabilitiesPage;
        request.header.Cdb[8] = kCapabilitiesLength;
        DWORD returned = 0;
        if (!DeviceIoControl(device.get(), kIoctlScsiPassThroughDirect, &request, sizeof request, &request,
                             sizeof request, &returned, nullptr) ||
            request.header.ScsiStatus != 0)
            return;
        // The mode header takes 8 bytes: the page's read and write capability bytes follow at 10 and 11.
        const BYTE r = page[10], w = page[11];
        CDROMTYP kind = cdUNKNOWN;
        if (IsBitSet(r, 0)) kind = cdCDROM;
        if (IsBitSet(r, 3)) kind = cdDVDROM;
        if (IsBitSet(w, 0)) kind = cdCDWRITER;
        if (IsBitSet(w, 1)) kind = cdCDRWWRITER;
        if (IsBitSet(w, 4)) kind = cdDVDWRITER;
        *result = kind;
    });
}

// The shell's format dialog for the drive; nothing for a letter that is no drive.
HRESULT Drive::Format(long hwnd, BSTR Drive, FormatOption* FormatCapacity, VARIANT_BOOL* QuickFormat) {
    return untrapped([&] {
        const std::wstring root = Check_DriveLetter(text_of(Drive), true);
        if (root.empty()) return;
        UINT options = 1;  // SHFMT_OPT_FULL
        if (QuickFormat && *QuickFormat) {
            VARIANT_BOOL nt = VARIANT_FALSE;
            check(shared<_System>()->isWindowsNT(&nt));
            options = nt ? 1 : 0;
        }
        SHFormatDrive(reinterpret_cast<HWND>(static_cast<LONG_PTR>(hwnd)), root[0] - L'A',
                      FormatCapacity ? static_cast<UINT>(*FormatCapacity) : 0, options);
    });
}

HRESULT Drive::Get_DriveInfo(BSTR Drive, DRIVEINFO* result) {
    if (!result) return E_POINTER;
    *result = DRIVEINFO{};
    return untrapped([&] {
        const std::wstring root = Check_DriveLetter(text_of(Drive), true);
        empty_info(*result, root);
        fill_info(*result, root);
    });
}

HRESULT Drive::Set_DriveLabel(BSTR Drive, BSTR NewLabel, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring root = Check_DriveLetter(text_of(Drive), true);
        if (root.empty()) return false;
        const std::wstring label(text_of(NewLabel));
        return SetVolumeLabelW(root.c_str(), label.c_str()) != FALSE;
    });
}

// The remote name behind a mapped letter; "" for a local or missing drive.
HRESULT Drive::Get_FullNetPath(BSTR Drive, BSTR* result) {
    return untrapped(result, [&] {
        const std::wstring root = Check_DriveLetter(text_of(Drive), true);
        if (root.empty()) return Bstr();
        const std::wstring local = root.substr(0, 2);
        std::vector<wchar_t> remote(256);
        DWORD size = static_cast<DWORD>(remote.size());
        DWORD rc = WNetGetConnectionW(local.c_str(), remote.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            remote.assign(size + 1, L'\0');
            size = static_cast<DWORD>(remote.size());
            rc = WNetGetConnectionW(local.c_str(), remote.data(), &size);
        }
        if (rc != NO_ERROR) return Bstr();
        return Bstr(Trim(remote.data()));
    });
}

namespace {

void clear_info(DRIVEINFO& info) {
    for (BSTR* b : {&info.Drive, &info.Label, &info.FileSystem, &info.Type, &info.Serial}) {
        SysFreeString(*b);
        *b = nullptr;
    }
    for (VARIANT* v : {&info.FileLen, &info.Cluster, &info.SectorsPerCluster, &info.BytesPerCluster,
                       &info.FreeCluster, &info.DiskSpaceTotal, &info.DiskSpaceFree, &info.DiskSpaceUsed})
        VariantClear(v);
}

// One text field of the drive's information record.
Bstr info_text(_Drive& drive, BSTR Drive, BSTR DRIVEINFO::*field) {
    DRIVEINFO info{};
    const HRESULT hr = drive.Get_DriveInfo(Drive, &info);
    Bstr out(text_of(info.*field));
    clear_info(info);
    check(hr);
    return out;
}

}  // namespace

HRESULT Drive::Get_SerialNumber(BSTR Drive, BSTR* result) {
    return untrapped(result, [&] { return info_text(*this, Drive, &DRIVEINFO::Serial); });
}

HRESULT Drive::Get_DriveLabel(BSTR Drive, BSTR* result) {
    return untrapped(result, [&] { return info_text(*this, Drive, &DRIVEINFO::Label); });
}

HRESULT Drive::Get_DriveFileSystem(BSTR Drive, BSTR* result) {
    return untrapped(result, [&] { return info_text(*this, Drive, &DRIVEINFO::FileSystem); });
}

}  // namespace qm
