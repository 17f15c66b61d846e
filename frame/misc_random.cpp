// Misc: random numbers and permutations.
#include <algorithm>
#include <climits>
#include <numeric>
#include <string>
#include <vector>

#include "frame/misc.h"
#include "frame/progbar.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/random.h"
#include "runtime/safearray.h"

namespace qm {

HRESULT Misc::Get_Randomize(long Min, long Max, long* result) {
    // The random source is seeded from the timer once (per thread, as the source
    // itself is): seeding at every call made quick successive calls give equal or
    // related numbers. Min and Max come half as often as the values between them.
    return untrapped(result, [&] {
        static thread_local bool seeded = false;
        if (!seeded) {
            Randomize();
            seeded = true;
        }
        long long span = static_cast<long long>(Max) - Min;
        if (span > LONG_MAX || span < LONG_MIN) raise(err::Overflow);
        return CLng(static_cast<double>(Rnd()) * static_cast<double>(span) + Min);
    });
}

HRESULT Misc::Get_RandomTrueFalse(VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        long value = 0;
        check(Get_Randomize(0, 1, &value));
        return value != 0;
    });
}

namespace {

// n! when it is a Long, else 0.
long factorial(long n) {
    long long f = 1;
    for (long i = 2; i <= n; ++i) {
        f *= i;
        if (f > LONG_MAX) return 0;
    }
    return static_cast<long>(f);
}

// Refuses a result that the process cannot hold: 7 (out of memory) before trying.
void check_room(long count, size_t length) {
    if (count == 0) raise(err::OutOfMemory);
    // Each text: its pointer, the string's length prefix, characters and end, and the heap's share.
    unsigned long long per_text = sizeof(BSTR) + ((4 + 2 * length + 2 + 15) / 16) * 16 + 16;
    unsigned long long need = per_text * static_cast<unsigned long long>(count);
    MEMORYSTATUSEX status{sizeof(status)};
    if (GlobalMemoryStatusEx(&status)) {
        unsigned long long room = std::min(status.ullAvailVirtual, status.ullAvailPageFile);
        if (need > room / 10 * 9) raise(err::OutOfMemory);
    }
}

// The progress window of one run: the result's text and count, shown at a
// pace the eye can follow.
class PermutationProgress {
public:
    explicit PermutationProgress(bool shown) {
        if (!shown) return;
        window_.load(L"Permutation");
        ProgBar& bar = *window_.form();
        bar.get<forms::Frame>(L"Frame1").set_caption(L"Permutation wird berechnet...");
        bar.get<forms::PictureBox>(L"Picture1").set_visible(false);
        window_.set_message(L"Bitte warten...");
        IDispatch* self = &bar;
        cCenterInfo where = ccMIDDLE;
        long centred = 0, error = 0;
        VARIANT_BOOL on_top = VARIANT_FALSE;
        check(shared<_Forms>()->Center(&self, &where, &centred));
        check(shared<_Forms>()->StayOnTop(&self, &error, &on_top));
        bar.set_visible(true);
        bar.refresh();
        forms::do_events();
        shown_ = true;
    }
    void step(const wchar_t* text, size_t length, long count) {
        if (!shown_) return;
        DWORD now = GetTickCount();
        if (count > 1 && now - last_ < 50) return;
        last_ = now;
        window_.set_message(std::wstring(text, length) + L"\r\n" + std::to_wstring(count) + L" Kombinationen");
        forms::do_events();
    }

private:
    ProgressWindow window_;
    bool shown_ = false;
    DWORD last_ = 0;
};

}  // namespace

HRESULT Misc::Permutation(BSTR Str, VARIANT_BOOL* ShowProgress, SAFEARRAY** result) {
    // Every ordering of the characters, in the order of the level-counting walk:
    // the slots are visited in every order (lexicographically), and the slot visited
    // k-th receives the k-th character (abc, acb, bac, cab, bca, cba).
    return untrapped(result, [&] {
        std::wstring_view text = text_of(Str);
        size_t n = text.size();
        if (n == 0) return SafeArray(VT_BSTR, 0).detach();
        long count = n > 12 ? 0 : factorial(static_cast<long>(n));
        check_room(count, n);

        PermutationProgress progress(ShowProgress && *ShowProgress);
        SafeArray list(VT_BSTR, count);
        std::vector<size_t> order(n);
        std::iota(order.begin(), order.end(), size_t{0});
        {
            SafeArrayLock(list.get());
            struct Unlock {
                SAFEARRAY* sa;
                ~Unlock() { SafeArrayUnlock(sa); }
            } unlock{list.get()};
            auto* out = static_cast<BSTR*>(list.get()->pvData);
            long i = 0;
            do {
                BSTR p = SysAllocStringLen(nullptr, static_cast<UINT>(n));
                if (!p) raise(err::OutOfMemory);
                for (size_t k = 0; k < n; ++k) p[order[k]] = text[k];
                out[i++] = p;
                progress.step(p, n, i);
            } while (std::next_permutation(order.begin(), order.end()));
        }
        return list.detach();
    });
}

}  // namespace qm
