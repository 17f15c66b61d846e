// Misc: type checks and conversions of Variants, swapping, pausing, the last
// Windows error's text, Marlett symbols and exported-function checks.
#include <cstring>
#include <optional>
#include <string>

#include "about/frm_about.h"
#include "frame/misc.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/strings.h"

namespace qm {

HRESULT Misc::Sleep(long MilliSeconds) {
    // Blocks the thread without yielding. A negative time waits not at all: as a
    // DWORD it would block for weeks, or for ever (-1 is INFINITE).
    return untrapped([&] { ::Sleep(MilliSeconds > 0 ? static_cast<DWORD>(MilliSeconds) : 0); });
}

namespace {

// What a Variant argument receives of a value: a copy in place, or for a typed
// reference the value converted to the referenced variable's type. Raises before
// anything is changed when the value does not fit.
Variant receivable(const VARIANT& target, const VARIANT& value) {
    VARTYPE vt = V_VT(&deref(target));
    if (!(vt & VT_BYREF)) {
        Variant copy;
        check(VariantCopyInd(copy.get(), const_cast<VARIANT*>(&value)));
        return copy;
    }
    VARTYPE base = vt & ~VT_BYREF;
    switch (base & VT_ARRAY ? VARTYPE{VT_ARRAY} : base) {
    case VT_ARRAY:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return CVar(value, base);
    default: raise(err::TypeMismatch);
    }
}

// Stores a value prepared by receivable in the argument; cannot fail.
void store(VARIANT& target, Variant& value) noexcept {
    VARIANT& var = deref(target);
    VARIANT& c = *value.get();
    VARTYPE vt = V_VT(&var);
    if (!(vt & VT_BYREF)) {
        VariantClear(&var);
        value.detach(&var);
        return;
    }
    VARTYPE base = vt & ~VT_BYREF;
    if (base & VT_ARRAY) {
        if (*V_ARRAYREF(&var)) SafeArrayDestroy(*V_ARRAYREF(&var));
        *V_ARRAYREF(&var) = V_ARRAY(&c);
        V_VT(&c) = VT_EMPTY;
        return;
    }
    switch (base) {
    case VT_BSTR:
        SysFreeString(*V_BSTRREF(&var));
        *V_BSTRREF(&var) = V_BSTR(&c);
        V_VT(&c) = VT_EMPTY;
        return;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (*V_UNKNOWNREF(&var)) (*V_UNKNOWNREF(&var))->Release();
        *V_UNKNOWNREF(&var) = V_UNKNOWN(&c);
        V_VT(&c) = VT_EMPTY;
        return;
    case VT_DECIMAL: *V_DECIMALREF(&var) = V_DECIMAL(&c); return;
    case VT_I1:
    case VT_UI1: std::memcpy(V_BYREF(&var), &V_UI1(&c), 1); return;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: std::memcpy(V_BYREF(&var), &V_I2(&c), 2); return;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: std::memcpy(V_BYREF(&var), &V_R8(&c), 8); return;
    default: std::memcpy(V_BYREF(&var), &V_I4(&c), 4); return;
    }
}

// The text isValidDate checks for a value: a Date in the German form, since that
// is the form it reads, whatever the locale writes.
std::wstring date_text(const VARIANT& value) {
    const VARIANT& v = deref(value);
    if ((V_VT(&v) & ~VT_BYREF) != VT_DATE) return CStr(v);
    DATE d = V_VT(&v) & VT_BYREF ? *V_DATEREF(&v) : V_DATE(&v);
    double whole = d < 0 ? -d : d;
    if (whole < 1) return FormatDate(d, L"hh:mm:ss");  // the empty date writes only its time of day
    bool has_time = whole != static_cast<double>(static_cast<long long>(whole));
    return FormatDate(d, has_time ? L"dd.mm.yyyy hh:mm:ss" : L"dd.mm.yyyy");
}

bool converts(const VARIANT& value, VARTYPE to) {
    try {
        CVar(value, to);
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

}  // namespace

HRESULT Misc::VarSwap(VARIANT* Var1, VARIANT* Var2, long* result) {
    if (!Var1 || !Var2) return E_POINTER;
    return trapped(Trap{Source::Misc, L"VarSwap"}, result, ErrorNumberResult{}, [&] {
        // Both values are made ready first, so that a value that does not fit
        // leaves both arguments as they were.
        Variant first = receivable(*Var1, deref(*Var2));
        Variant second = receivable(*Var2, deref(*Var1));
        store(*Var1, first);
        store(*Var2, second);
        return 0L;
    });
}

HRESULT Misc::isValidType(VARIANT sInput, long* sType, VARIANT_BOOL* result) {
    if (!sType) return E_POINTER;
    return untrapped(result, [&] {
        const VARIANT& v = deref(sInput);
        long type = *sType;
        switch (type) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_RECORD: return static_cast<long>(VarType(v)) == type;
        case VT_DATE: {
            std::wstring text;
            try {
                text = date_text(v);
            } catch (const RuntimeError&) {
                return false;
            }
            VARIANT_BOOL valid = VARIANT_FALSE;
            check(isValidDate(Bstr(text).get(), &valid));
            return valid != VARIANT_FALSE;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: return IsObject(v);
        case VT_DECIMAL: return converts(v, VT_DECIMAL);
        case VT_ARRAY: {
            // Asked of the shared Arry; a failure is no.
            Variant value(v);
            VARIANT_BOOL is_array = VARIANT_FALSE;
            return SUCCEEDED(shared<_Arry>()->isArray(value.get(), &is_array)) && is_array != VARIANT_FALSE;
        }
        // A value of the other scalar types: whether it converts to one.
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_BSTR:
        case VT_BOOL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT: return converts(v, static_cast<VARTYPE>(type));
        default: return true;
        }
    });
}

HRESULT Misc::Convert(VARIANT Data, ConvertType* TypeOutput, long* ErrorNumber, VARIANT* result) {
    if (!TypeOutput) return E_POINTER;
    return trapped(Trap{Source::Misc, L"Convert", ErrorNumber}, result, Variant(), [&] {
        VARTYPE to;
        switch (*TypeOutput) {
        case coLong: to = VT_I4; break;
        case coVarriant: return Variant(deref(Data));
        case coString: to = VT_BSTR; break;
        case coByte: to = VT_UI1; break;
        case coSingle: to = VT_R4; break;
        case coDate: to = VT_DATE; break;
        case coInteger: to = VT_I2; break;
        case coCurrency: to = VT_CY; break;
        case coDouble: to = VT_R8; break;
        default: return Variant();
        }
        if (IsNull(Data)) raise(err::InvalidUseOfNull);
        return CVar(Data, to);
    });
}

HRESULT Misc::LastSystemMessage(BSTR* result) {
    DWORD code = GetLastError();  // before anything else can change it
    return untrapped(result, [&] {
        wchar_t text[200];
        DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                 200, nullptr);
        return Bstr(std::wstring_view(text, n));
    });
}

HRESULT Misc::Get_WinSymbol(WinSymbol* Symbol, BSTR* result) {
    if (!Symbol) return E_POINTER;
    return trapped(Trap{Source::Misc, L"Get_WinSymbol"}, result, Bstr(), [&] { return Bstr(Chr(*Symbol)); });
}

namespace {

#ifdef _WIN64
constexpr WORD kNativeMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kNativeMachine = IMAGE_FILE_MACHINE_I386;
#endif

// A module image as a data file (the file's own layout): nothing of it runs.
class DataModule {
public:
    explicit DataModule(std::wstring_view name)
        : module_(LoadLibraryExW(std::wstring(name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        if (!module_) return;
        base_ = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR{3});
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(base_, &info, sizeof info)) size_ = info.RegionSize - (base_ - static_cast<const BYTE*>(info.BaseAddress));
    }
    ~DataModule() {
        if (module_) FreeLibrary(module_);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    // Whether the export table names the function (names compare exactly).
    bool exports(const std::string& function) const {
        if (!base_ || size_ < sizeof(IMAGE_DOS_HEADER)) return false;
        auto* dos = at<IMAGE_DOS_HEADER>(0);
        if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
        size_t nt = static_cast<size_t>(dos->e_lfanew);
        auto* signature = at<DWORD>(nt);
        auto* file = at<IMAGE_FILE_HEADER>(nt + 4);
        if (!signature || *signature != IMAGE_NT_SIGNATURE || !file) return false;
        // A module of another architecture could not be loaded here: its functions are not ours to call.
        if (file->Machine != kNativeMachine) return false;
        size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
        auto* magic = at<WORD>(optional);
        if (!magic) return false;
        const IMAGE_DATA_DIRECTORY* directory = nullptr;
        if (*magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
            auto* h = at<IMAGE_OPTIONAL_HEADER32>(optional);
            if (h && h->NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_EXPORT)
                directory = &h->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
            if (h) headers_ = h->SizeOfHeaders;
        } else if (*magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            auto* h = at<IMAGE_OPTIONAL_HEADER64>(optional);
            if (h && h->NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_EXPORT)
                directory = &h->DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
            if (h) headers_ = h->SizeOfHeaders;
        }
        if (!directory || !directory->VirtualAddress) return false;
        sections_ = optional + file->SizeOfOptionalHeader;
        section_count_ = file->NumberOfSections;

        auto* exports = at_rva<IMAGE_EXPORT_DIRECTORY>(directory->VirtualAddress);
        if (!exports) return false;
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
            auto* name_rva = at_rva<DWORD>(exports->AddressOfNames + i * 4);
            if (!name_rva) return false;
            if (!name_is(*name_rva, function)) continue;
            auto* ordinal = at_rva<WORD>(exports->AddressOfNameOrdinals + i * 2);
            if (!ordinal || *ordinal >= exports->NumberOfFunctions) return false;
            auto* function_rva = at_rva<DWORD>(exports->AddressOfFunctions + *ordinal * 4);
            return function_rva && *function_rva != 0;
        }
        return false;
    }

private:
    template <class T>
    const T* at(size_t offset) const {
        if (offset > size_ || size_ - offset < sizeof(T)) return nullptr;
        return reinterpret_cast<const T*>(base_ + offset);
    }
    // The file offset of a relative virtual address; SIZE_MAX when no section holds it.
    size_t offset_of(DWORD rva) const {
        if (rva < headers_) return rva;
        for (WORD i = 0; i < section_count_; ++i) {
            auto* s = at<IMAGE_SECTION_HEADER>(sections_ + i * sizeof(IMAGE_SECTION_HEADER));
            if (!s) return SIZE_MAX;
            if (rva >= s->VirtualAddress && rva - s->VirtualAddress < s->SizeOfRawData)
                return s->PointerToRawData + (rva - s->VirtualAddress);
        }
        return SIZE_MAX;
    }
    template <class T>
    const T* at_rva(DWORD rva) const {
        size_t offset = offset_of(rva);
        return offset == SIZE_MAX ? nullptr : at<T>(offset);
    }
    bool name_is(DWORD rva, const std::string& name) const {
        size_t offset = offset_of(rva);
        if (offset == SIZE_MAX || offset > size_ || size_ - offset <= name.size()) return false;
        return std::memcmp(base_ + offset, name.c_str(), name.size() + 1) == 0;
    }

    HMODULE module_;
    const BYTE* base_ = nullptr;
    size_t size_ = 0;
    mutable size_t headers_ = 0, sections_ = 0;
    mutable WORD section_count_ = 0;
};

}  // namespace

HRESULT Misc::IsFunctionExported(BSTR Module, BSTR FunctionName, VARIANT_BOOL* result) {
    // A loaded module answers through its own export lookup; any other is read as a
    // data file, so that its start-up code (and that of the modules it imports) never runs.
    return untrapped(result, [&] {
        std::wstring module(text_of(Module));
        // Export names are ANSI bytes up to a NUL: a name the code page holds only as
        // a look-alike, or one with a NUL inside, would ask for another function.
        const std::optional<std::string> exact = to_ansi_exact(text_of(FunctionName));
        if (!exact || exact->find('\0') != std::string::npos) return false;
        const std::string& function = *exact;
        if (module.empty() || function.empty()) return false;
        if (HMODULE loaded = GetModuleHandleW(module.c_str())) return GetProcAddress(loaded, function.c_str()) != nullptr;
        return DataModule(module).exports(function);
    });
}

HRESULT Misc::About() {
    return untrapped([] { show_about(); });
}

}  // namespace qm
