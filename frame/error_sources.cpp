#include "frame/error_sources.h"

#include <iterator>

#include "runtime/errors.h"

namespace qm {

namespace {
constexpr const wchar_t* kClassNames[] = {
    L"Array",   L"Controls",    L"DataBase", L"Desktop", L"Dialog",     L"Directory", L"Drive",
    L"File",    L"Forms",       L"Grafic",   L"Hardware", L"LB_CB",     L"Mathematics", L"Menu",
    L"Misc",    L"mString",     L"Multimedia", L"Network", L"Office",   L"Registry",  L"RTF",
    L"Shell",   L"System",      L"Text",     L"Window",  L"clsTooltip", L"Ini",
};
constexpr const wchar_t* kModuleNames[] = {L"basFileBase", L"basPModule"};
}  // namespace

std::wstring Get_ErrorSourceName(long n) {
    if (n >= 1 && n <= static_cast<long>(std::size(kClassNames))) return kClassNames[n - 1];
    if (n == 100) return {};
    if (n >= 101 && n < 101 + static_cast<long>(std::size(kModuleNames))) return kModuleNames[n - 101];
    raise(err::SubscriptOutOfRange);
}

}  // namespace qm
