// Arry: arrays as text files (one line per element) and as binary files (one
// Variant in the runtime's file layout), and arrays to and from list controls.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "frame/arry.h"
#include "frame/arry_internal.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/files.h"
#include "runtime/latebind.h"
#include "runtime/strings.h"

namespace qm {

using arry::flag;
using arry::variable;

namespace {

constexpr std::wstring_view kCrLf = L"\r\n";

// Writes path anew without putting the old file at risk: write() fills a new file
// in the same folder in binary mode, which then takes the old file's place
// (whatever the old file's attributes, as a delete with attributes cleared would).
// On any failure the old file stays as it was and the new one is removed.
template <class Write>
void replace_binary(std::wstring_view path, Write&& write) {
    const std::wstring target = win32_path(path);
    const DWORD old = GetFileAttributesW(target.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY)) raise(err::PathFileAccess);
    static std::atomic<unsigned long> counter{0};
    std::wstring temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; h == INVALID_HANDLE_VALUE; ++attempt) {
        wchar_t suffix[48];
        swprintf(suffix, 48, L".%lx%lx.tmp", GetCurrentProcessId(), ++counter + GetTickCount());
        temp = target + suffix;
        h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && (GetLastError() != ERROR_FILE_EXISTS || attempt > 100)) raise_file_error(GetLastError());
    }
    CloseHandle(h);
    struct Pending {
        const std::wstring& path;
        bool keep = false;
        ~Pending() {
            if (!keep) DeleteFileW(path.c_str());
        }
    } pending{temp};
    {
        RtFile file(temp, OpenMode::Binary, OpenAccess::Write);
        write(file);
        file.Close();
    }
    constexpr DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const bool cleared = old != INVALID_FILE_ATTRIBUTES && (old & kept);
    if (cleared) SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD e = GetLastError();
        if (cleared) SetFileAttributesW(target.c_str(), old);
        raise_file_error(e);
    }
    pending.keep = true;
}

// The bytes of a stored Variant in the file layout: the sizes of the values that
// have a fixed size.
size_t fixed_size(unsigned vt) {
    switch (vt) {
    case VT_UI1: return 1;
    case VT_I2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    default: return 0;
    }
}

// Whether the bytes hold one Variant in the file layout whose every count and
// length fits in the bytes, with arrays nested at most 64 deep. Checked without
// recursion, so that no damaged file can exhaust the stack or the memory.
bool well_formed(std::string_view bytes) {
    size_t pos = 0;
    auto take = [&](size_t n) {
        if (bytes.size() - pos < n) return false;
        pos += n;
        return true;
    };
    auto u16 = [&](uint16_t& v) { return pos + 2 <= bytes.size() && (std::memcpy(&v, bytes.data() + pos, 2), pos += 2, true); };
    auto u32 = [&](uint32_t& v) { return pos + 4 <= bytes.size() && (std::memcpy(&v, bytes.data() + pos, 4), pos += 4, true); };
    auto counted = [&] {
        uint16_t n16 = 0;
        if (!u16(n16)) return false;
        uint32_t n = n16;
        if (n16 == 0xFFFF && !u32(n)) return false;
        return take(n);
    };
    std::vector<uint64_t> pending{1};  // Variants still to read, per nesting level
    while (!pending.empty()) {
        if (pending.back() == 0) {
            pending.pop_back();
            continue;
        }
        --pending.back();
        uint16_t vt = 0;
        if (!u16(vt)) return false;
        if (!(vt & VT_ARRAY)) {
            if (vt == VT_EMPTY || vt == VT_NULL) continue;
            if (vt == VT_BSTR) {
                if (!counted()) return false;
                continue;
            }
            if (!fixed_size(vt) || !take(fixed_size(vt))) return false;
            continue;
        }
        const unsigned element = vt & ~VT_ARRAY;
        if (!fixed_size(element) && element != VT_BSTR && element != VT_VARIANT) return false;
        uint16_t dims = 0;
        if (!u16(dims)) return false;
        if (dims > 60) return false;
        uint64_t total = dims ? 1 : 0;
        for (unsigned d = 0; d < dims; ++d) {
            uint32_t count = 0, lbound = 0;
            if (!u32(count) || !u32(lbound)) return false;
            // The upper bound must be a Long as well.
            if (static_cast<int64_t>(static_cast<int32_t>(lbound)) + count - 1 > INT32_MAX) return false;
            total *= count;
            if (total > bytes.size()) return false;  // every element takes one byte at least
        }
        if (fixed_size(element)) {
            if (!take(total * fixed_size(element))) return false;
        } else if (element == VT_BSTR) {
            for (uint64_t i = 0; i < total; ++i)
                if (!counted()) return false;
        } else if (total) {
            if (pending.size() >= 64) return false;
            pending.push_back(total);
        }
    }
    return true;
}

// A Variant that shows the array of a typed by-reference argument by value (borrowed).
VARIANT by_value(const VARIANT& arg) {
    const VARIANT& v = deref(arg);
    VARIANT out = v;
    if ((V_VT(&v) & (VT_BYREF | VT_ARRAY)) == (VT_BYREF | VT_ARRAY)) {
        V_VT(&out) = V_VT(&v) & ~VT_BYREF;
        V_ARRAY(&out) = V_ARRAYREF(&v) ? *V_ARRAYREF(&v) : nullptr;
    }
    return out;
}

}  // namespace

// One line per element; an array without elements writes nothing.
HRESULT Arry::Array_WriteToFile(VARIANT* sArray, BSTR File, long* result) {
    return trapped(Trap{Source::Array, L"Array_WriteToFile"}, result, ErrorNumberResult{}, [&]() -> long {
        const VARIANT& source = variable(sArray);
        if (!arry::dimensioned(source)) return 0;
        std::wstring text;
        {
            const arry::Elements e(source);
            if (e.count() == 0) return 0;
            for (long i : e.indices()) {
                text += e.text(i);
                text += kCrLf;
            }
        }
        text.resize(text.size() - kCrLf.size());  // the file's own line end follows the last line
        long written = 0;
        // The text file is replaced only once the new one is complete.
        check(shared<_Text>()->TextFile_WriteText(File, Bstr(text).get(), &written));
        return written;
    });
}

HRESULT Arry::Array_ReadFromFile(BSTR File, long* ErrorNumber, SAFEARRAY** result) {
    return untrapped(result, [&]() -> SAFEARRAY* {
        if (ErrorNumber) *ErrorNumber = 0;
        long read_error = 0;
        Bstr text;
        check(shared<_Text>()->TextFile_Read(File, &read_error, text.put()));
        if (ErrorNumber) *ErrorNumber = read_error;
        if (read_error != 0) return nullptr;
        return split_array(text.view(), kCrLf).detach();
    });
}

HRESULT Arry::Array_SaveBinary(VARIANT* sArray, BSTR File, VARIANT_BOOL* DeleteExistingFile, long* ErrorNumber,
                               VARIANT_BOOL* result) {
    return trapped(Trap{Source::Array, L"Array_SaveBinary", ErrorNumber}, result, false, [&] {
        const VARIANT value = by_value(variable(sArray));
        long exist_error = 0;
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(shared<_File>()->Exist(File, &exist_error, &exists));
        if (exists && !flag(DeleteExistingFile, true)) return false;
        replace_binary(text_of(File), [&](RtFile& file) { file.PutVariant(value); });
        return true;
    });
}

// A missing file is not created; a damaged one is refused (62) before any of it is
// taken as counts or lengths; an empty file gives Empty.
HRESULT Arry::Array_ReadBinary(BSTR File, long* ErrorNumber, VARIANT* result) {
    return trapped(Trap{Source::Array, L"Array_ReadBinary", ErrorNumber}, result, Variant{}, [&] {
        RtFile file(text_of(File), OpenMode::Binary, OpenAccess::Read);
        const long long size = file.LOF();
        if (size == 0) return Variant{};
        if (size > 0x7FFFFFFF) raise(err::OutOfMemory);
        if (!well_formed(file.GetBytes(static_cast<size_t>(size)))) raise(err::InputPastEnd);
        file.Seek(1);
        return file.GetVariant();
    });
}

HRESULT Arry::AddFromLBCB(IDispatch** LBCB, VARIANT* sArray, VARIANT_BOOL* Preserv, long* result) {
    return trapped(Trap{Source::Array, L"AddFromLBCB"}, result, ErrorNumberResult{}, [&]() -> long {
        IDispatch* box = LBCB ? *LBCB : nullptr;
        if (!box) raise(err::ObjectNotSet);
        const long count = CLng(*late::get(box, L"ListCount").get());
        if (count < 1) return 0;  // the caller's array stays as it was
        std::vector<std::wstring> items(static_cast<size_t>(count));
        for (long i = 0; i < count; ++i) items[static_cast<size_t>(i)] = CStr(*late::get(box, L"List", {Variant(i)}).get());
        VARIANT& target = variable(sArray);
        if (flag(Preserv, false) && arry::dimensioned(target)) {
            // Appended to the caller's array taken as a String array.
            SafeArray combined = convert_array(array_of(target), VT_BSTR);
            if (combined.dims() != 1) raise(err::SubscriptOutOfRange);
            const long ubound = combined.ubound();
            combined.redim_preserve(to_long(static_cast<long long>(ubound) + count));
            for (long k = 0; k < count; ++k) combined.set_text(ubound + 1 + k, items[static_cast<size_t>(k)]);
            assign_array(target, std::move(combined));
            return 0;
        }
        assign_array(target, string_array(items));
        return 0;
    });
}

HRESULT Arry::AddToLBCB(VARIANT* sArray, IDispatch** LBCB, VARIANT_BOOL* AllowDouble, VARIANT_BOOL* ClearBeforeAdding,
                        long* result) {
    return untrapped(result, [&] {
        VARIANT_BOOL allow = flag(AllowDouble, true) ? VARIANT_TRUE : VARIANT_FALSE;
        VARIANT_BOOL clear = flag(ClearBeforeAdding, true) ? VARIANT_TRUE : VARIANT_FALSE;
        long added = 0;
        check(shared<_LB_CB>()->AddArray(LBCB, sArray, &allow, &clear, &added));
        return added;
    });
}

}  // namespace qm
