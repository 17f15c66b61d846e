// Mathematics against the system's own functions or the natural limit on the same
// data: HexToDec (VarI4FromStr of the "&H" literal), DecToHex (_ultow), isPrime
// over a range of large numbers (a plain trial division loop written inline) and
// ListPrimeFactors (a plain sieve of Eratosthenes). Prints each ratio (ours / other).
#include <windows.h>
#include <oleauto.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "frame/mathematics.h"
#include "runtime/bstr.h"

using qm::Bstr;
using qmbench::report;
using qmbench::seconds;
using qmbench::sink;

int main() {
    CoInitialize(nullptr);
    auto* m = new qm::Mathematics;
    {
        const int n = 100000;
        std::vector<Bstr> texts, literals;
        for (int i = 0; i < n; ++i) {
            wchar_t buf[16];
            _ultow(static_cast<unsigned long>(i) * 40503u, buf, 16);
            texts.emplace_back(buf);
            literals.emplace_back(std::wstring(L"&H") + buf);
        }
        double ours = seconds(n, [&](int i) {
            LONG r = 0;
            m->HexToDec(texts[i].get(), &r);
            sink = r;
        });
        double sys = seconds(n, [&](int i) {
            LONG r = 0;
            VarI4FromStr(literals[i].get(), LOCALE_USER_DEFAULT, 0, &r);
            sink = r;
        });
        report("HexToDec / VarI4FromStr", n, ours, sys);

        ours = seconds(n, [&](int i) {
            BSTR r = nullptr;
            m->DecToHex(static_cast<LONG>(static_cast<unsigned long>(i) * 40503u), &r);
            sink = SysStringLen(r);
            SysFreeString(r);
        });
        sys = seconds(n, [&](int i) {
            wchar_t buf[16];
            _ultow(static_cast<unsigned long>(i) * 40503u, buf, 16);
            BSTR r = SysAllocString(buf);
            sink = SysStringLen(r);
            SysFreeString(r);
        });
        report("DecToHex / _ultow", n, ours, sys);
    }
    {
        const int n = 2000;
        const long base = 2147483647 - 2 * n;
        double ours = seconds(n, [&](int i) {
            VARIANT_BOOL r;
            m->isPrime(base + 2 * i, &r);
            sink = r;
        });
        double plain = seconds(n, [&](int i) {
            long v = base + 2 * i;
            bool prime = v > 1;
            for (long long d = 3; d * d <= v && prime; d += 2) prime = v % d != 0;
            sink = prime;
        });
        report("isPrime near 2^31", n, ours, plain, "plain");
    }
    {
        LONG num = 200000000, start = 1;
        VARIANT_BOOL progress = VARIANT_FALSE;
        double ours = seconds(1, [&](int) {
            SAFEARRAY* sa = nullptr;
            m->ListPrimeFactors(&num, &start, &progress, &sa);
            sink = sa ? sa->rgsabound[0].cElements : 0;
            SafeArrayDestroy(sa);
        });
        double plain = seconds(1, [&](int) {
            long limit = num / 2;
            std::vector<bool> composite(limit + 1);
            std::vector<long> out;
            for (long i = 3; static_cast<long long>(i) * i <= limit; i += 2)
                if (!composite[i])
                    for (long long k = static_cast<long long>(i) * i; k <= limit; k += 2LL * i) composite[k] = true;
            out.push_back(1);
            for (long i = 3; i <= limit; i += 2)
                if (!composite[i]) out.push_back(i);
            sink = out.size();
        });
        report("ListPrimeFactors 2e8 / sieve", 1, ours, plain, "sieve");
    }
    m->Release();
    CoUninitialize();
    return 0;
}
