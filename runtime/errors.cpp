#include "runtime/errors.h"

#include <oleauto.h>

namespace qm {

namespace {

struct ErrorEntry {
    long number;
    const wchar_t* text;
};

constexpr ErrorEntry kErrors[] = {
    {3, L"Return without GoSub"},
    {5, L"Invalid procedure call or argument"},
    {6, L"Overflow"},
    {7, L"Out of memory"},
    {9, L"Subscript out of range"},
    {10, L"This array is fixed or temporarily locked"},
    {11, L"Division by zero"},
    {13, L"Type mismatch"},
    {14, L"Out of string space"},
    {17, L"Can't perform requested operation"},
    {28, L"Out of stack space"},
    {35, L"Sub or Function not defined"},
    {47, L"Too many DLL application clients"},
    {48, L"Error in loading DLL"},
    {49, L"Bad DLL calling convention"},
    {51, L"Internal error"},
    {52, L"Bad file name or number"},
    {53, L"File not found"},
    {54, L"Bad file mode"},
    {55, L"File already open"},
    {57, L"Device I/O error"},
    {58, L"File already exists"},
    {59, L"Bad record length"},
    {61, L"Disk full"},
    {62, L"Input past end of file"},
    {63, L"Bad record number"},
    {67, L"Too many files"},
    {68, L"Device unavailable"},
    {70, L"Permission denied"},
    {71, L"Disk not ready"},
    {74, L"Can't rename with different drive"},
    {75, L"Path/File access error"},
    {76, L"Path not found"},
    {91, L"Object variable or With block variable not set"},
    {92, L"For loop not initialized"},
    {93, L"Invalid pattern string"},
    {94, L"Invalid use of Null"},
    {322, L"Can't create necessary temporary file"},
    {380, L"Invalid property value"},
    {381, L"Invalid property array index"},
    {424, L"Object required"},
    {429, L"ActiveX component can't create object"},
    {430, L"Class does not support Automation or does not support expected interface"},
    {432, L"File name or class name not found during Automation operation"},
    {438, L"Object doesn't support this property or method"},
    {440, L"Automation error"},
    {445, L"Object doesn't support this action"},
    {446, L"Object doesn't support named arguments"},
    {447, L"Object doesn't support current locale setting"},
    {448, L"Named argument not found"},
    {449, L"Argument not optional"},
    {450, L"Wrong number of arguments or invalid property assignment"},
    {451, L"Property let procedure not defined and property get procedure did not return an object"},
    {453, L"Specified DLL function not found"},
    {457, L"This key is already associated with an element of this collection"},
    {458, L"Variable uses an Automation type not supported in Visual Basic"},
    {462, L"The remote server machine does not exist or is unavailable"},
    {480, L"Can't create AutoRedraw image"},
    {481, L"Invalid picture"},
    {482, L"Printer error"},
    {521, L"Unable to open Clipboard"},
    // The hosted controls of the forms engine (grids, tree and list views, status bars).
    {30009, L"Invalid Row value"},
    {30010, L"Invalid Col value"},
    {30015, L"Cannot remove last non-fixed row"},
    {35600, L"Index out of bounds"},
    {35601, L"Element not found"},
    {35602, L"Key is not unique in collection"},
    {35614, L"This would introduce a cycle"},
};

}  // namespace

const wchar_t* error_text(long number) {
    for (const auto& e : kErrors)
        if (e.number == number) return e.text;
    return L"Application-defined or object-defined error";
}

RuntimeError::RuntimeError(long number) : number_(number), description_(error_text(number)) {}

RuntimeError::RuntimeError(long number, std::wstring description)
    : number_(number), description_(std::move(description)) {}

HRESULT RuntimeError::report() const noexcept {
    HRESULT hr = (number_ > 0 && number_ <= 0xFFFF) ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number_)
                                                     : static_cast<HRESULT>(number_);
    if (SUCCEEDED(hr)) hr = E_FAIL;
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetSource(const_cast<LPOLESTR>(L"Quillmark"));
        create->SetDescription(const_cast<LPOLESTR>(description_.c_str()));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hr;
}

void raise(long number) { throw RuntimeError(number); }

void raise(long number, std::wstring description) { throw RuntimeError(number, std::move(description)); }

long error_from_win32(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_MOD_NOT_FOUND:
        return err::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return err::PathNotFound;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_HANDLE:
        return err::BadFileNameOrNumber;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
        return err::PermissionDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return err::FileAlreadyExists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return err::DiskFull;
    case ERROR_NOT_READY:
        return err::DiskNotReady;
    case ERROR_HANDLE_EOF:
        return err::InputPastEnd;
    case ERROR_TOO_MANY_OPEN_FILES:
        return err::TooManyFiles;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return err::OutOfMemory;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION:
        return err::InvalidCall;
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_DRIVE:
        return err::DeviceUnavailable;
    case ERROR_DIR_NOT_EMPTY:
    case ERROR_NOT_SAME_DEVICE:
        return err::PathFileAccess;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return err::DeviceIO;
    default:
        return err::PathFileAccess;
    }
}

void raise_win32(DWORD code) { throw RuntimeError(error_from_win32(code)); }

long file_error_from_win32(DWORD code) {
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
        return err::PathFileAccess;
    case ERROR_NOT_SAME_DEVICE:
        return err::RenameAcrossDrives;
    default:
        return error_from_win32(code);
    }
}

void raise_file_error(DWORD code) { throw RuntimeError(file_error_from_win32(code)); }

namespace {

// A failed call's HRESULT and the run-time error the script engines raise for it.
// Codes not listed (E_FAIL, E_UNEXPECTED, most Win32 codes, a component's own
// codes) stay as they are.
struct HresultEntry {
    HRESULT code;
    long number;
};

constexpr HRESULT kRpcServerUnavailable = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);

constexpr HresultEntry kHresults[] = {
    {E_NOTIMPL, 445},
    {E_NOINTERFACE, 430},
    {E_ACCESSDENIED, err::PermissionDenied},
    {E_OUTOFMEMORY, err::OutOfMemory},
    {E_INVALIDARG, err::InvalidCall},
    {DISP_E_UNKNOWNINTERFACE, err::NotSupported},
    {DISP_E_MEMBERNOTFOUND, err::NotSupported},
    {DISP_E_UNKNOWNNAME, err::NotSupported},
    {DISP_E_PARAMNOTFOUND, 448},
    {DISP_E_TYPEMISMATCH, err::TypeMismatch},
    {DISP_E_NONAMEDARGS, 446},
    {DISP_E_BADVARTYPE, err::UnsupportedType},
    {DISP_E_OVERFLOW, err::Overflow},
    {DISP_E_BADINDEX, err::SubscriptOutOfRange},
    {DISP_E_UNKNOWNLCID, 447},
    {DISP_E_ARRAYISLOCKED, err::ArrayLocked},
    {DISP_E_BADPARAMCOUNT, 450},
    {DISP_E_PARAMNOTOPTIONAL, 449},
    {DISP_E_NOTACOLLECTION, 451},
    {DISP_E_DIVBYZERO, err::DivisionByZero},
    {TYPE_E_DLLFUNCTIONNOTFOUND, 453},
    {TYPE_E_TYPEMISMATCH, err::TypeMismatch},
    {TYPE_E_OUTOFBOUNDS, err::SubscriptOutOfRange},
    {TYPE_E_IOERROR, err::DeviceIO},
    {TYPE_E_CANTCREATETMPFILE, 322},
    {STG_E_FILENOTFOUND, 432},
    {STG_E_PATHNOTFOUND, err::PathNotFound},
    {STG_E_TOOMANYOPENFILES, err::TooManyFiles},
    {STG_E_ACCESSDENIED, err::PermissionDenied},
    {STG_E_INSUFFICIENTMEMORY, err::OutOfMemory},
    {STG_E_NOMOREFILES, err::TooManyFiles},
    {STG_E_DISKISWRITEPROTECTED, err::PermissionDenied},
    {STG_E_WRITEFAULT, err::DeviceIO},
    {STG_E_READFAULT, err::DeviceIO},
    {STG_E_SHAREVIOLATION, err::PathFileAccess},
    {STG_E_LOCKVIOLATION, err::PermissionDenied},
    {STG_E_FILEALREADYEXISTS, err::FileAlreadyExists},
    {STG_E_MEDIUMFULL, err::DiskFull},
    {STG_E_INVALIDNAME, err::FileNotFound},
    {STG_E_INUSE, err::PermissionDenied},
    {STG_E_NOTCURRENT, err::PermissionDenied},
    {STG_E_CANTSAVE, err::DeviceIO},
    {REGDB_E_CLASSNOTREG, err::CantCreateObject},
    {MK_E_UNAVAILABLE, err::CantCreateObject},
    {MK_E_INVALIDEXTENSION, 432},
    {MK_E_CANTOPENFILE, 432},
    {CO_E_CLASSSTRING, err::CantCreateObject},
    {CO_E_APPNOTFOUND, err::CantCreateObject},
    {CO_E_APPDIDNTREG, err::CantCreateObject},
    {CO_E_SERVER_EXEC_FAILURE, err::CantCreateObject},
    {kRpcServerUnavailable, 462},
};

}  // namespace

long error_number_from_hresult(HRESULT hr) noexcept {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return HRESULT_CODE(hr);
    for (const auto& e : kHresults)
        if (e.code == hr) return e.number;
    return hr;
}

namespace {

// The run-time error for a number, with the thread's IErrorInfo text when set.
RuntimeError with_error_info(long number) {
    std::wstring description;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR text = nullptr;
        if (SUCCEEDED(info->GetDescription(&text)) && text) description.assign(text, SysStringLen(text));
        SysFreeString(text);
        info->Release();
    }
    if (description.empty()) {
        if (number > 0 && number <= 0xFFFF)
            description = error_text(number);
        else
            description = L"Automation error";
    }
    return RuntimeError(number, std::move(description));
}

}  // namespace

RuntimeError error_from_call(HRESULT hr) { return with_error_info(error_number_from_hresult(hr)); }

RuntimeError error_from_hresult(HRESULT hr) {
    long number = error_number_from_hresult(hr);
    if (number == hr && HRESULT_FACILITY(hr) == FACILITY_WIN32) number = error_from_win32(HRESULT_CODE(hr));
    return with_error_info(number);
}

}  // namespace qm
