// INI: whole sections as string arrays.
#include <string>
#include <vector>

#include "files/ini.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr DWORD kSectionStep = 32767;

std::wstring file(BSTR s) { return profile_file(text_of(s)); }
std::wstring name(BSTR s) { return profile_text(text_of(s)); }

// The entries of a section buffer: texts each ended by a NUL.
std::vector<std::wstring> entries_of(const std::wstring& buffer) {
    std::vector<std::wstring> entries;
    size_t p = 0;
    while (p + 1 < buffer.size()) {
        size_t nul = buffer.find(L'\0', p);
        if (nul == std::wstring::npos) break;
        entries.push_back(buffer.substr(p, nul - p));
        p = nul + 1;
    }
    return entries;
}

// A 0-based String array; undimensioned when there is nothing in it.
SAFEARRAY* string_list(const std::vector<std::wstring>& items) {
    if (items.empty()) return nullptr;
    return string_array(items).detach();
}

}  // namespace

// The values of the section's entries (one read of at most 32767 characters).
HRESULT INI::ReadSection(BSTR INIpath, BSTR Section, SAFEARRAY** result) {
    return untrapped(result, [&] {
        const std::wstring path = file(INIpath), section = name(Section);
        std::wstring buffer(kSectionStep, L' ');
        DWORD n = GetPrivateProfileSectionW(section.c_str(), buffer.data(), kSectionStep, path.c_str());
        buffer.resize(n);
        std::vector<std::wstring> values = entries_of(buffer);
        for (std::wstring& entry : values) {
            size_t eq = entry.find(L'=');
            if (eq != std::wstring::npos) entry.erase(0, eq + 1);
            entry = Trim(entry);
        }
        return string_list(values);
    });
}

// The whole key=value entries; the buffer grows until the section fits.
HRESULT INI::ReadArray(BSTR INIpath, BSTR Section, SAFEARRAY** result) {
    return untrapped(result, [&]() -> SAFEARRAY* {
        try {
            const std::wstring path = file(INIpath), section = name(Section);
            std::wstring buffer;
            DWORD n = 0;
            for (DWORD size = kSectionStep;; size += kSectionStep) {
                buffer.assign(size, L' ');
                n = GetPrivateProfileSectionW(section.c_str(), buffer.data(), size, path.c_str());
                if (n + 2 != size) break;  // the system answers size - 2 when the buffer is too small
            }
            buffer.resize(n);
            return string_list(entries_of(buffer));
        } catch (const RuntimeError&) {
            return nullptr;  // no entries, no report
        }
    });
}

// The section is replaced by the array's elements, one entry each. The input is
// checked first: an unusable array, or a section or entry the file's ANSI code
// page holds only as a look-alike (5), leaves the file as it was.
HRESULT INI::WriteArray(BSTR INIpath, BSTR Section, VARIANT* sArray, LONG* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Ini, L"WriteArray", ErrorNumber}, result, false, [&] {
        const std::wstring path = file(INIpath), section = name(Section);
        if (!sArray || !IsArray(*sArray)) raise(err::TypeMismatch);
        SAFEARRAY* sa = array_of(*sArray);
        if (!sa) raise(err::SubscriptOutOfRange);
        if (SafeArrayGetDim(sa) != 1) raise(err::SubscriptOutOfRange);
        std::vector<Variant> elements = elements_of(sa);
        if (elements.empty()) raise(err::InvalidCall);
        std::wstring text;
        for (const Variant& e : elements) {
            if (!IsNull(*e.get())) text += CStr(*e.get());
            text += L'\0';
        }
        text += L'\0';  // the list ends with an empty entry
        if (!holds_exactly(section) || !holds_exactly(text)) raise(err::InvalidCall);

        WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, path.c_str());
        return WritePrivateProfileSectionW(section.c_str(), text.c_str(), path.c_str()) == TRUE;
    });
}

}  // namespace qm
