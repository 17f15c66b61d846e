// The value layer against the system's own functions on the same data: Format
// of numbers and dates (VarFormat), number texts (VarBstrFromR8), whole-number
// conversion of texts (VarI4FromStr), Split of a long text into a String array (wcsstr walk) and
// case-insensitive InStr (StrStrI). Prints each ratio (ours / system).
#include <windows.h>
#include <oleauto.h>
#include <shlwapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "bench.h"
#include "runtime/bstr.h"
#include "runtime/convert.h"
#include "runtime/format.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

using qm::Bstr;
using qmbench::report;
using qmbench::seconds;
using qmbench::sink;

int main() {
    const int n = 20000;
    {
        Bstr pat(L"###,###,###,##0");
        double ours = seconds(n, [](int i) { sink = qm::Format(i * 1.5, L"###,###,###,##0").size(); });
        double sys = seconds(n, [&](int i) {
            VARIANT v;
            V_VT(&v) = VT_R8, V_R8(&v) = i * 1.5;
            BSTR out = nullptr;
            VarFormat(&v, pat.get(), 1, 1, 0, &out);
            sink = SysStringLen(out);
            SysFreeString(out);
        });
        report("Format number", n, ours, sys);
    }
    {
        Bstr pat(L"dd.mm.yyyy hh:mm:ss");
        double ours = seconds(n, [](int i) { sink = qm::FormatDate(40000 + i / 7.0, L"dd.mm.yyyy hh:mm:ss").size(); });
        double sys = seconds(n, [&](int i) {
            VARIANT v;
            V_VT(&v) = VT_DATE, V_DATE(&v) = 40000 + i / 7.0;
            BSTR out = nullptr;
            VarFormat(&v, pat.get(), 1, 1, 0, &out);
            sink = SysStringLen(out);
            SysFreeString(out);
        });
        report("Format date", n, ours, sys);
    }
    {
        double ours = seconds(n, [](int i) { sink = qm::CStr(i / 3.0).size(); });
        double sys = seconds(n, [](int i) {
            BSTR out = nullptr;
            VarBstrFromR8(i / 3.0, GetUserDefaultLCID(), 0, &out);
            sink = SysStringLen(out);
            SysFreeString(out);
        });
        report("CStr(Double)", n, ours, sys);
    }
    {
        Bstr text(L"12345,5");
        double ours = seconds(n, [&](int) { sink = static_cast<size_t>(qm::CLng(text.view())); });
        double sys = seconds(n, [&](int) {
            LONG v = 0;
            VarI4FromStr(text.get(), GetUserDefaultLCID(), 0, &v);
            sink = static_cast<size_t>(v);
        });
        report("CLng(String)", n, ours, sys);
    }
    {
        // Split to a String array against the same walk that allocates each part.
        std::wstring big;
        for (int i = 0; i < 100000; ++i) big += L"Zeile " + std::to_wstring(i) + L"\r\n";
        const int runs = 10;
        double ours = seconds(runs, [&](int) { sink = qm::split_array(big, L"\r\n").count(); });
        double sys = seconds(runs, [&](int) {
            std::vector<BSTR> parts;
            const wchar_t* from = big.c_str();
            for (const wchar_t* p; (p = std::wcsstr(from, L"\r\n")); from = p + 2)
                parts.push_back(SysAllocStringLen(from, static_cast<UINT>(p - from)));
            parts.push_back(SysAllocStringLen(from, static_cast<UINT>(big.c_str() + big.size() - from)));
            sink = qmbench::string_array_round_trip(parts);
        });
        report("Split 100000 lines", runs, ours, sys);
        std::wstring text = big.substr(0, 20000);
        double ours2 = seconds(runs * 20, [&](int) { sink = qm::InStr(text, L"ZEILE 1999", qm::CompareMode::Text); });
        double sys2 = seconds(runs * 20, [&](int) { sink = reinterpret_cast<size_t>(StrStrIW(text.c_str(), L"ZEILE 1999")); });
        report("InStr text compare", runs * 20, ours2, sys2);
    }
    return 0;
}
