// Mathematics: primes and common divisors.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "frame/mathematics.h"
#include "frame/progbar.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

// The library's primality convention: 1, 2 and 3 are prime, other numbers below 1
// and even numbers are not; odd divisors up to the square root decide the rest.
bool is_prime(long n) {
    if (n < 1) return false;
    if (n < 4) return true;
    if (n % 2 == 0) return false;
    for (long d = 3; d <= n / d; d += 2)
        if (n % d == 0) return false;
    return true;
}

// The smallest odd divisor above 1 of n (> 0), or 0 when n is a power of two.
long smallest_odd_factor(unsigned long n) {
    while (n % 2 == 0) n /= 2;
    if (n == 1) return 0;
    for (unsigned long d = 3; d <= n / d; d += 2)
        if (n % d == 0) return static_cast<long>(d);
    return static_cast<long>(n);
}

unsigned long gcd(unsigned long a, unsigned long b) {
    while (b) {
        unsigned long t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// An upper bound of the number of primes up to x (Dusart), for the result's first size.
std::int64_t prime_count_bound(std::int64_t x) {
    if (x < 60) return x / 2 + 2;
    double lx = std::log(static_cast<double>(x));
    return static_cast<std::int64_t>(x / lx * (1 + 1.2762 / lx)) + 2;
}

// Odd primes (with 1) from lo to hi, in ascending order, by a segmented sieve; each
// segment ends with a call of step(last number of the segment).
template <class Emit, class Step>
void odd_primes(long lo, long hi, Emit&& emit, Step&& step) {
    if (lo % 2 == 0) ++lo;
    if (lo > hi) return;
    long root = static_cast<long>(std::sqrt(static_cast<double>(hi))) + 1;
    std::vector<long> base;
    {
        std::vector<bool> composite(root + 1);
        for (long p = 3; p <= root; p += 2) {
            if (composite[p]) continue;
            base.push_back(p);
            for (long long m = static_cast<long long>(p) * p; m <= root; m += 2 * p) composite[m] = true;
        }
    }

    constexpr long kSegment = 1 << 16;  // odd numbers per segment
    std::vector<unsigned char> marked(kSegment);
    for (long long first = lo; first <= hi; first += 2LL * kSegment) {
        long long last = std::min<long long>(first + 2LL * (kSegment - 1), hi);
        long count = static_cast<long>((last - first) / 2 + 1);
        std::fill(marked.begin(), marked.begin() + count, 0);
        for (long p : base) {
            long long square = static_cast<long long>(p) * p;
            if (square > last) break;
            long long m = std::max(square, (first + p - 1) / p * p);
            if (m % 2 == 0) m += p;
            for (; m <= last; m += 2LL * p) marked[(m - first) / 2] = 1;
        }
        for (long k = 0; k < count; ++k)
            if (!marked[k]) emit(static_cast<long>(first + 2LL * k));
        step(static_cast<long>(last));
    }
}

}  // namespace

HRESULT Mathematics::isPrime(LONG n, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Mathematics, L"isPrime"}, result, false, [&] { return is_prime(n); });
}

HRESULT Mathematics::LowestCommonDivisor(VARIANT Num, LONG* ErrorNumber, LONG* result) {
    return trapped(Trap{Source::Mathematics, L"LowestCommonDivisor", ErrorNumber}, result, 0L, [&] {
        if (!IsArray(Num)) raise(err::TypeMismatch);
        SAFEARRAY* sa = array_of(Num);
        if (!sa) raise(err::SubscriptOutOfRange);
        std::vector<Variant> items = elements_of(sa);
        if (items.empty()) raise(err::SubscriptOutOfRange);

        std::vector<long> numbers;
        numbers.reserve(items.size());
        for (const Variant& item : items) numbers.push_back(CLng(*item.get()));
        if (std::all_of(numbers.begin(), numbers.end(), [](long n) { return n % 2 == 0; })) return 2L;

        // The smallest odd d from 3 up to the smallest element that divides every
        // element: the smallest odd prime factor of their greatest common divisor.
        long smallest = *std::min_element(numbers.begin(), numbers.end());
        unsigned long common = 0;
        for (long n : numbers) common = gcd(common, n < 0 ? 0UL - static_cast<unsigned long>(n) : n);
        long d = common ? smallest_odd_factor(common) : 0;
        return d >= 3 && d <= smallest ? d : -1L;
    });
}

HRESULT Mathematics::ListPrimeFactors(LONG* Num, LONG* StartIndex, VARIANT_BOOL* ShowProgress, SAFEARRAY** result) {
    if (!Num) return E_POINTER;
    return untrapped(result, [&] {
        long start = StartIndex ? *StartIndex : 1;
        bool progress = ShowProgress && *ShowProgress;
        long num = *Num;
        SafeArray list(VT_I4);
        if (start < 1 || num < 1) return list.detach();
        long hi = num / 2;
        if (start > hi) return list.detach();

        // Room for every prime of the range, trimmed at the end.
        std::int64_t room = prime_count_bound(hi) - (start > 2 ? prime_count_bound(start) / 2 : 0) + 2;
        room = std::min<std::int64_t>(room, (hi - start) / 2 + 2);
        list = SafeArray(VT_I4, static_cast<long>(room));
        long* out = &list.at<long>(0);
        long found = 0;

        ProgressWindow window;
        if (progress) {
            window.load(L"ListPrimeFactors");
            window.SetOption(start, CLng(num / 2.0), L"Primfaktoren werden berechnet", true, 255);
        }
        odd_primes(
            start, hi,
            [&](long prime) {
                if (found == room) raise(err::InternalError);  // the bound above holds: never reached
                out[found++] = prime;
            },
            [&](long last) {
                if (progress) {
                    long shown = last / 100 * 100;
                    if (shown >= start) {
                        window.SetValue(shown, 255);
                        window.set_message(std::to_wstring(shown));
                    }
                }
                forms::do_events();
            });
        window.unload();

        if (found == 0) return SafeArray(VT_I4).detach();
        list.redim_preserve(found - 1);
        return list.detach();
    });
}

}  // namespace qm
