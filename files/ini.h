// INI: INI files.
#pragma once
#include <string>
#include <string_view>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class INI : public Dispatch<_INI> {
public:
    // Single entries
    HRESULT STDMETHODCALLTYPE Read_INI(BSTR INIpath, BSTR Section, BSTR Key, BSTR* ReplacevbCrlf,
                                       BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Write_INI(BSTR INIpath, BSTR Section, BSTR Abschnitt, BSTR Value, BSTR* ReplacevbCrlf,
                                        VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE RemoveSection(BSTR INIpath, BSTR Section) override;
    HRESULT STDMETHODCALLTYPE DeleteKey(BSTR INIpath, BSTR Section, BSTR Key) override;

    // Whole sections
    HRESULT STDMETHODCALLTYPE ReadSection(BSTR INIpath, BSTR Section, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE ReadArray(BSTR INIpath, BSTR Section, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE WriteArray(BSTR INIpath, BSTR Section, VARIANT* sArray, LONG* ErrorNumber,
                                         VARIANT_BOOL* result) override;
};

// One entry as Read_INI reads it (at most 254 characters, line breaks untouched);
// false when the file, the section or the key is missing (an empty entry is "").
bool read_ini_entry(std::wstring_view path, std::wstring_view section, std::wstring_view key, std::wstring& value);

// The file and the texts as the private-profile functions take them, in their
// wide forms so that the file and the names reach the system as written: 52 for a
// file whose full name does not fit their buffers, 5 for a text longer than their
// ANSI forms take (the file's other readers use those).
std::wstring profile_file(std::wstring_view path);
std::wstring profile_text(std::wstring_view text);

}  // namespace qm
