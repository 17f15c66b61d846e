// Misc: dates and calendar helpers.
#include <string>
#include <vector>

#include "frame/misc.h"
#include "runtime/contract.h"
#include "runtime/dates.h"
#include "runtime/strings.h"

namespace qm {

namespace {

// A part of a date text: 1 to max_digits decimal digits, as a number.
bool digits(std::wstring_view part, size_t max_digits, long& value) {
    if (part.empty() || part.size() > max_digits) return false;
    value = 0;
    for (wchar_t c : part) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    return true;
}

}  // namespace

HRESULT Misc::isValidDate(BSTR sInput, VARIANT_BOOL* result) {
    // Strict: a real calendar date (the strict parser, never the lenient one that
    // reorders "12.13.2024"), written as day.month.year with 1-2, 1-2 and 1-4 digits.
    return untrapped(result, [&] {
        std::wstring_view text = text_of(sInput);
        if (!parse_date_strict(text)) return false;
        std::vector<std::wstring> parts = Split(text, L".");
        if (parts.size() != 3) return false;
        long day = 0, month = 0, year = 0;
        return digits(parts[0], 2, day) && day >= 1 && day <= 31 && digits(parts[1], 2, month) && month >= 1 &&
               month <= 31 && digits(parts[2], 4, year) && year >= 1;
    });
}

}  // namespace qm
