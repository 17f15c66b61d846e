// The benchmarks' shared harness: a timer, best-of rounds, the ours/other report
// line and the folder a benchmark may write in.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace qmbench {

using Clock = std::chrono::steady_clock;

// Results are stored here so that the compiler cannot drop the work measured.
inline volatile size_t sink;

inline double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds for `runs` calls of f; f takes the run's index or nothing.
template <class F>
double seconds(int runs, F&& f) {
    auto start = Clock::now();
    for (int i = 0; i < runs; ++i) {
        if constexpr (std::is_invocable_v<F&, int>)
            f(i);
        else
            f();
    }
    return seconds_since(start);
}

template <class F>
double seconds(F&& f) {
    return seconds(1, f);
}

// The shortest of several timed rounds; rounds of different contenders may be
// interleaved, so that caches treat them alike.
struct Best {
    double value = 1e300;
    template <class F>
    double time(F&& f) {
        value = std::min(value, seconds(f));
        return value;
    }
};

// A row's goal, as its source's "// Goal:" line states it: the ratio at most or at
// least a bound, or, for a goal on our own figure, that figure (in `unit`) at most
// or at least it. Rows that only give scale have none.
struct Goal {
    const char* op = nullptr;  // "<=" or ">="; null: no goal
    double bound = 0;
    const char* unit = nullptr;  // null: the goal is on the ratio
    double ours = 0;             // our figure in `unit`, for a goal on it
};

inline Goal at_most(double bound) { return {"<=", bound}; }
inline Goal at_least(double bound) { return {">=", bound}; }
inline Goal ours_at_most(double ours, double bound, const char* unit) { return {"<=", bound, unit, ours}; }
inline Goal ours_at_least(double ours, double bound, const char* unit) { return {">=", bound, unit, ours}; }

// One row of `./quill bench`'s closing table (a tab-separated line it collects
// and hides): what, our figure, the reference's figure, the ratio as printed,
// the goal ("<= 1.5", "ours <= 50 us", "-" for none) and the figure it is on.
inline void row(const char* what, const char* ours, const char* other, double ratio, Goal goal = {}) {
    std::printf("@row\t%s\t%s\t%s\t%.2f\t", what, ours, other, ratio);
    if (!goal.op)
        std::printf("-\t-\n");
    else if (!goal.unit)
        std::printf("%s %g\t%.2f\n", goal.op, goal.bound, ratio);
    else
        std::printf("ours %s %g %s\t%.3g\n", goal.op, goal.bound, goal.unit, goal.ours);
}

// One line: time per run of ours and of the other, and the ratio ours / other
// (below 1: ours is faster). Times below a millisecond are shown in microseconds.
inline void report(const char* what, int runs, double ours, double other, const char* other_name = "system",
                   Goal goal = {}) {
    const double per_ours = ours / runs, per_other = other / runs;
    const bool micro = std::max(per_ours, per_other) < 1e-3;
    const double scale = micro ? 1e6 : 1e3;
    const char* unit = micro ? "us" : "ms";
    std::printf("%-30s %7d runs  ours %10.4f %s  %s %10.4f %s  ratio %.2f\n", what, runs, per_ours * scale, unit,
                other_name, per_other * scale, unit, ours / other);
    char a[48], b[64];
    std::snprintf(a, sizeof a, "%.4f %s", per_ours * scale, unit);
    std::snprintf(b, sizeof b, "%.4f %s (%s)", per_other * scale, unit, other_name);
    row(what, a, b, ours / other, goal);
}

// A row for a throughput comparison: MiB/s of ours and of the other; the ratio
// ours / other (above 1: ours is faster).
inline void throughput_row(const char* what, double ours_mib_s, double other_mib_s, const char* other_name,
                           Goal goal = {}) {
    char a[48], b[64];
    std::snprintf(a, sizeof a, "%.0f MiB/s", ours_mib_s);
    std::snprintf(b, sizeof b, "%.0f MiB/s (%s)", other_mib_s, other_name);
    row(what, a, b, ours_mib_s / other_mib_s, goal);
}

// The scratch folder (QM_SCRATCH) or else the temporary folder, ending in a
// backslash; with a name, a folder of that name made inside it.
inline std::wstring work_folder(const wchar_t* name = nullptr) {
    wchar_t buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"QM_SCRATCH", buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) n = GetTempPathW(MAX_PATH, buf);
    std::wstring dir(buf, n);
    if (dir.empty() || dir.back() != L'\\') dir += L'\\';
    if (name) {
        dir += name;
        dir += L'\\';
        CreateDirectoryW(dir.c_str(), nullptr);
    }
    return dir;
}

// Writes `size` bytes of pseudo-random data (a fixed sequence per seed) to
// path, in 4 MiB blocks; false when the file cannot be written whole.
inline bool make_random_file(const std::wstring& path, long long size, unsigned seed) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned> block((4 << 20) / sizeof(unsigned));
    unsigned x = seed;
    bool ok = true;
    for (long long done = 0; ok && done < size; done += 4 << 20) {
        for (auto& v : block) v = x = x * 1664525u + 1013904223u;
        const DWORD part = static_cast<DWORD>(std::min<long long>(4 << 20, size - done));
        DWORD put = 0;
        ok = WriteFile(h, block.data(), part, &put, nullptr) && put == part;
    }
    CloseHandle(h);
    return ok;
}

// MiB per second for `bytes` in `s` seconds.
inline double mib_per_s(long long bytes, double s) { return static_cast<double>(bytes) / (1 << 20) / s; }

// What a hand-written reference does to hand texts back: a String array made of
// the given BSTRs (which it takes over), then freed. Returns the count.
inline size_t string_array_round_trip(const std::vector<BSTR>& parts) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(parts.size()));
    BSTR* data = nullptr;
    SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    for (size_t k = 0; k < parts.size(); ++k) data[k] = parts[k];
    SafeArrayUnaccessData(sa);
    SafeArrayDestroy(sa);
    return parts.size();
}

}  // namespace qmbench
