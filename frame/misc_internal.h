// What Misc's member files share.
#pragma once
#include <string>
#include <vector>

#include "runtime/contract.h"
#include "runtime/interfaces.h"

namespace qm::misc {

// A trapped Misc member whose failure value is minus the error number.
template <class Body>
HRESULT trapped_negative(const wchar_t* routine, long* result, Body&& body) noexcept {
    bool done = false;
    HRESULT hr = trapped(Trap{Source::Misc, routine}, result, ErrorNumberResult{}, [&] {
        long value = body();
        done = true;
        return value;
    });
    if (SUCCEEDED(hr) && result && !done) *result = -*result;
    return hr;
}

// One installed font as the font list shows it.
struct FontEntry {
    std::wstring name;  // the registry value's name
    std::wstring file;  // its data: a file name or a full path
    std::wstring size;  // "n KB", or "" when the file is not there
};
// The fonts registered as values of the key, in the registry's order; none when
// the key cannot be opened.
std::vector<FontEntry> registered_fonts(RegRoot root, const std::wstring& key);

// The display name of the current time zone from its registry entry ("" when
// there is none).
std::wstring time_zone_name();

}  // namespace qm::misc
