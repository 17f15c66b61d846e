// System: the operating system and processes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class System : public Dispatch<_System> {
public:
    // Windows version and platform
    HRESULT STDMETHODCALLTYPE Get_WinVer(OPERATINGSYSTEM* result) override;
    HRESULT STDMETHODCALLTYPE isWindowsNT(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE is32BitWindows(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE is64BitWindows(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE XPstyleSupported(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_ServicePack(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_ProductID(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_RegOwner(BSTR* User, BSTR* Organization) override;
    HRESULT STDMETHODCALLTYPE Get_OSinfo(LONG* ErrorNumber, OSinfo* result) override;
    HRESULT STDMETHODCALLTYPE Get_BootDevice(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_BootMode(BootModeConstants* result) override;
    HRESULT STDMETHODCALLTYPE WindowsIsRunning(DetailedTimeInfo* DTi, BSTR* result) override;

    // Processes and tasks
    HRESULT STDMETHODCALLTYPE Get_ProcessList(VARIANT_BOOL* GetFullPath, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE TaskIsActive(BSTR EXENAME, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TerminateTask(BSTR EXENAME, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_ProcessCount(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Process_GetThreadsCount(BSTR EXE, VARIANT_BOOL EXEpathIsFullPath, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Get_ProcessUserName(LONG PROCESSID, PROCESSUSERNAMEINFO* result) override;
    HRESULT STDMETHODCALLTYPE Get_ProcessesListWithUsername(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE TaskManager_GetTasks(SAFEARRAY** result) override;

    // Special folders and environment
    HRESULT STDMETHODCALLTYPE SystemDirectory(::SystemDirectory* SysDir, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_SystemDrive(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DOScommandPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_WindowsEnvironment(SAFEARRAY** result) override;

    // Users, policies and the session
    HRESULT STDMETHODCALLTYPE Get_LocalUserName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_UserList(VARIANT_BOOL* SystemUser, LONG* ErrorNumber, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Get_UserLogInState(BSTR* User, USER_PRIV* result) override;
    HRESULT STDMETHODCALLTYPE isAdmin(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_UserSID(BSTR ComputerName, BSTR User, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_ComputerName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Set_ComputerName(BSTR NewName, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Security(SecurityOption* sOption, CHOICEOPTION* CHOICE, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TaskManager(CHOICEOPTION* Command, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE System_Shutdown(VARIANT_BOOL Reboot, VARIANT_BOOL ForceReboot,
                                              VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE System_ShutdownCancel() override;
    HRESULT STDMETHODCALLTYPE User_LogOff(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Lock_WorkStation(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SystemChangeMessage() override;

    // Services and system restore
    HRESULT STDMETHODCALLTYPE Service_Command(BSTR* ServiceName, SERVICECOMMANDINFO* Command, LONG* ErrorNumber,
                                              VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Service_GetInfo(BSTR* ServiceName, LONG* ErrorNumber, SERVICEINFO* result) override;
    HRESULT STDMETHODCALLTYPE Service_GetNames(LONG* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE SystemRestore(VARIANT_BOOL* EnableSystemRestore, LONG* result) override;
    HRESULT STDMETHODCALLTYPE SystemConfigurationEditor(VARIANT_BOOL* result) override;
    // Registration, installed software, autostart, clean-up, memory and colour depth
    HRESULT STDMETHODCALLTYPE Component_Register(BSTR ComponentPath, REGISTERCOMMAND* cmd,
                                                 VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Font_Register(BSTR FontPath, REGISTERCOMMAND* cmd, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Class_isRegistered(BSTR Class, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Class_GetPath(BSTR Class, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DLLType(BSTR* DLLpath, ::DLLType* result) override;
    HRESULT STDMETHODCALLTYPE AutoRun(BSTR Field, BSTR EXEpath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_InstalledSoftware(INSTALLEDSOFTWAREINFO* result) override;
    HRESULT STDMETHODCALLTYPE Uninstall(BSTR DestinationDir, VARIANT* FileList, VARIANT_BOOL* RemoveDestinationDir,
                                        VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SystemCleanUp(CLEANUPINFO* CleanUp, VARIANT_BOOL* CleanAll) override;
    HRESULT STDMETHODCALLTYPE RegistryCleanUp(REGISTRYCLEANINFO* Clean, VARIANT_BOOL* CleanAll) override;
    HRESULT STDMETHODCALLTYPE Get_PhysicalMemoryStatus(LONG* TotalPhysicalMemory, LONG* AvailablePhysicalMemory,
                                                       VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Get_VirtualMemoryStatus(LONG* TotalVirtualMemory, LONG* AvailableVirtualMemory,
                                                      VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Get_MemoryLoad(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Get_SystemColor(VARIANT* result) override;

private:
    // The process list remembers, per instance, whether the platform is of
    // the NT family (tested on its first call).
    struct Platform {
        bool tested = false;
        bool nt = false;
    } platform_;
};

namespace sys {

// The version code for a platform identifier and version number.
OPERATINGSYSTEM winver_code(DWORD platform, DWORD major, DWORD minor) noexcept;

// The running-time text "h:mm:ss:t" for milliseconds since the start.
std::wstring running_time_text(unsigned long long ms);

// One running process.
struct Process {
    std::wstring name;  // file name, or full path when asked for and known
    DWORD pid = 0;
    DWORD threads = 0;
};
// The processes in snapshot order (empty when no snapshot can be taken);
// with nt false the thread counts stay 0.
std::vector<Process> processes(bool full_path, bool nt = true);
// ProductId of key under root: "" when the key cannot be opened, "Not
// Registered" when the value cannot be read.
std::wstring product_id(HKEY root, const wchar_t* key);

// The path of a special folder (see SystemDirectory), always ending in "\".
std::wstring special_folder(long folder);

// The process environment as "name=value" entries, in block order, without
// the hidden per-drive entries that begin with "=".
std::vector<std::wstring> environment();

// Whether Get_UserList without system accounts keeps an account name.
bool ordinary_user(std::wstring_view name);

// One policy switch of Security: where it lives and what each choice writes.
struct Policy {
    const wchar_t* key;  // under HKEY_CURRENT_USER
    const wchar_t* value;
    long enable, disable;
};
// The switch of an option, nullptr outside the options.
const Policy* policy(long option) noexcept;

// The platform calls that end or lock the session and announce changed
// settings, replaceable by tests.
struct SessionCalls {
    BOOL(WINAPI* exit_windows)(UINT flags, DWORD reason);
    BOOL(WINAPI* lock)();
    BOOL(WINAPI* post)(HWND window, UINT msg, WPARAM wp, LPARAM lp);
};
SessionCalls& session_calls();
void reset_session_calls();

// A name as a WQL string literal that matches only that name: quoted with
// whichever quote it does not contain, escaped only when it holds both or a
// backslash.
std::wstring wql_string(std::wstring_view text);
// What a file is, read from its headers without loading it: dtNODLL for a
// file that is no executable image (or cannot be read), dtACTIVEXDLL for an
// image of either bitness that exports DllRegisterServer, else dtSTANDARDDLL.
::DLLType dll_type(const std::wstring& path);

// Whether the clean-up may empty a folder: a fully qualified path of an
// existing folder at least one level below a drive or share root.
bool emptiable_folder(const std::wstring& path);

// Bytes as the memory members report them: thousands of KB, halves to even.
long memory_figure(unsigned long long bytes) noexcept;

}  // namespace sys
}  // namespace qm
