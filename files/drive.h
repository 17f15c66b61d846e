// Drive: drive letters, volumes, optical drives, virtual drives, disk checks
// and the client's drive list box.
#pragma once
#include <string>
#include <string_view>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Drive : public Dispatch<_Drive> {
public:
    // Devices and virtual drives (drive_tools.cpp)
    HRESULT STDMETHODCALLTYPE CDROM(CDROMCOMMAND* Command, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VirtualDrive(VIRTUALDRIVECOMMAND* Command, BSTR* TargetDrive, BSTR* SourceDir,
                                           long* ErrorNumber, VARIANT_BOOL* result) override;

    // Letters and types (drive_letters.cpp)
    HRESULT STDMETHODCALLTYPE Get_NextFreeDrive(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_AllDrives(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DriveType(BSTR Drive, DriveTyp* result) override;
    HRESULT STDMETHODCALLTYPE isDriveReady(BSTR Drive, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_FirstCDdrive(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DriveByType(DriveTyp* DriveType, BSTR* result) override;

    // The client's drive list box (drive_box.cpp)
    HRESULT STDMETHODCALLTYPE DriveBox_Clear(IDispatch** DriveBox, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DriveBox_RemoveDrive(IDispatch** DriveBox, BSTR Drive, long* ErrorNumber,
                                                   VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DriveBox_DriveExist(IDispatch** DriveBox, BSTR Drive, long* ErrorNumber,
                                                  VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DriveBox_SelectDriveTyp(IDispatch** DrvListBox, DriveTyp* DriveType,
                                                      long* result) override;
    HRESULT STDMETHODCALLTYPE DriveBox_RemoveDriveTyp(IDispatch** DriveBox, ::DriveTyp DriveTyp, long* ErrorNumber,
                                                      VARIANT_BOOL* result) override;

    HRESULT STDMETHODCALLTYPE Exist(BSTR Drive, VARIANT_BOOL* result) override;

    // Volumes (drive_volume.cpp)
    HRESULT STDMETHODCALLTYPE Get_CDROMType(BSTR Drive, CDROMTYP* result) override;
    HRESULT STDMETHODCALLTYPE Format(long hwnd, BSTR Drive, FormatOption* FormatCapacity,
                                     VARIANT_BOOL* QuickFormat) override;
    HRESULT STDMETHODCALLTYPE Get_DriveInfo(BSTR Drive, DRIVEINFO* result) override;
    HRESULT STDMETHODCALLTYPE Set_DriveLabel(BSTR Drive, BSTR NewLabel, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_FullNetPath(BSTR Drive, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_SerialNumber(BSTR Drive, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DriveLabel(BSTR Drive, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DriveFileSystem(BSTR Drive, BSTR* result) override;

    // Disk checks (drive_tools.cpp)
    HRESULT STDMETHODCALLTYPE ChkDskAll(VARIANT_BOOL* RepairErrors) override;
    HRESULT STDMETHODCALLTYPE ChkDsk(BSTR Drive, VARIANT_BOOL* RepairErrors, VARIANT_BOOL* WaitForExit) override;
};

// "x", "x:" or "x:\" as "X:\"; anything else gives "". With must_exist the
// letter must also be one of the system's drives.
std::wstring Check_DriveLetter(std::wstring_view drive, bool must_exist);

// The system's drive letters in upper case, in its order ("CQS").
std::wstring all_drive_letters();

// The DriveTyp of a normalised root ("X:\"); dtINVALIDDRIVE for "".
::DriveTyp drive_type_of(const std::wstring& root);

}  // namespace qm
