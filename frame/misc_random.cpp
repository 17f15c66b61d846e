// Misc: random numbers.
#include <mutex>

#include "frame/misc.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/random.h"

namespace qm {

HRESULT Misc::Get_Randomize(long Min, long Max, long* result) {
    // The random source is seeded from the timer once per process: seeding at
    // every call made quick successive calls give equal or related numbers.
    return untrapped(result, [&] {
        static std::once_flag seeded;
        std::call_once(seeded, [] { Randomize(); });
        long long span = static_cast<long long>(Max) - Min;
        if (span > LONG_MAX || span < LONG_MIN) raise(err::Overflow);
        return CLng(static_cast<double>(Rnd()) * static_cast<double>(span) + Min);
    });
}

}  // namespace qm
