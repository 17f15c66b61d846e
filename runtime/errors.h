// Run-time errors: the numbers and texts automation clients know, and the one
// place where Win32 errors and HRESULTs become such numbers.
#pragma once
#include <windows.h>
#include <exception>
#include <string>

namespace qm {

// Standard run-time error numbers raised by the library's code.
namespace err {
constexpr long InvalidCall = 5;
constexpr long Overflow = 6;
constexpr long OutOfMemory = 7;
constexpr long SubscriptOutOfRange = 9;
constexpr long ArrayLocked = 10;
constexpr long DivisionByZero = 11;
constexpr long TypeMismatch = 13;
constexpr long OutOfStringSpace = 14;  // a text longer than kMaxTextLength (bstr.h)
constexpr long CantPerformOperation = 17;
constexpr long InternalError = 51;
constexpr long BadFileNameOrNumber = 52;
constexpr long FileNotFound = 53;
constexpr long BadFileMode = 54;
constexpr long FileAlreadyOpen = 55;
constexpr long DeviceIO = 57;
constexpr long FileAlreadyExists = 58;
constexpr long BadRecordLength = 59;
constexpr long DiskFull = 61;
constexpr long InputPastEnd = 62;
constexpr long BadRecordNumber = 63;
constexpr long TooManyFiles = 67;
constexpr long DeviceUnavailable = 68;
constexpr long PermissionDenied = 70;
constexpr long DiskNotReady = 71;
constexpr long RenameAcrossDrives = 74;
constexpr long PathFileAccess = 75;
constexpr long PathNotFound = 76;
constexpr long ObjectNotSet = 91;
constexpr long InvalidUseOfNull = 94;
constexpr long InvalidPropertyValue = 380;
constexpr long ObjectRequired = 424;
constexpr long CantCreateObject = 429;
constexpr long NotSupported = 438;
constexpr long DuplicateKey = 457;
constexpr long UnsupportedType = 458;
}  // namespace err

// The English text the runtime gives for a standard error number
// ("Application-defined or object-defined error" for numbers it does not know).
const wchar_t* error_text(long number);

class RuntimeError : public std::exception {
public:
    explicit RuntimeError(long number);
    RuntimeError(long number, std::wstring description);

    long number() const noexcept { return number_; }
    const std::wstring& description() const noexcept { return description_; }
    const char* what() const noexcept override { return "Quillmark run-time error"; }

    // The HRESULT an automation client sees (0x800A0000 + number for run-time
    // errors); sets the thread's IErrorInfo to the description.
    HRESULT report() const noexcept;

private:
    long number_;
    std::wstring description_;
};

[[noreturn]] void raise(long number);
[[noreturn]] void raise(long number, std::wstring description);

// Win32 error code to run-time error number (ERROR_FILE_NOT_FOUND -> 53, ...).
long error_from_win32(DWORD code);
[[noreturn]] void raise_win32(DWORD code = GetLastError());

// The same mapping as the runtime's file statements see it: there a denied access
// (a read-only file, a folder opened as a file, a folder that is the current one)
// is 75 "Path/File access error" and a rename across volumes 74; a sharing or lock
// violation stays 70.
long file_error_from_win32(DWORD code);
[[noreturn]] void raise_file_error(DWORD code = GetLastError());

// A failed HRESULT (with the thread's IErrorInfo, when set) as a run-time error:
// FACILITY_CONTROL codes carry their number, Win32 codes are mapped, others stay.
RuntimeError error_from_hresult(HRESULT hr);
inline void check(HRESULT hr) {
    if (FAILED(hr)) throw error_from_hresult(hr);
}

}  // namespace qm
