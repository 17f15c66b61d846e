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

// The shortest of several timed rounds, and each round's time; rounds of
// different contenders are interleaved, so that caches and the machine's load
// treat them alike.
struct Best {
    double value = 1e300;
    std::vector<double> rounds;
    template <class F>
    double time(F&& f) {
        const double s = seconds(f);
        rounds.push_back(s);
        value = std::min(value, s);
        return value;
    }
};

// The rounds of a row: at least `least`, and more while `budget` seconds have not
// passed since the first, up to `most`. The shortest round is the row's figure:
// the load of other programs only ever adds time, so with enough rounds some are
// quiet ones, and the figure repeats from run to run.
//     for (qmbench::Rounds round(5, 2.0); round.next();) { ours.time(...); other.time(...); }
class Rounds {
public:
    Rounds(int least, double budget, int most = 1000) : least_(least), most_(most), budget_(budget) {}
    bool next() {
        if (done_ == 0) start_ = Clock::now();
        if (done_ >= most_ || (done_ >= least_ && seconds_since(start_) >= budget_)) return false;
        ++done_;
        return true;
    }

private:
    int least_, most_, done_ = 0;
    double budget_;
    Clock::time_point start_;
};

// A ratio as the table shows it: two decimals, three below 0.1.
inline std::string ratio_text(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, ratio < 0.095 ? "%.3f" : "%.2f", ratio);
    return text;
}

// How much a row's ratio moves: the lowest and highest ratio of single rounds
// (round k of ours against round k of the other) and the number of rounds, as
// "1.02-1.31 (12)". `inverse`: the ratio is the other's time over ours.
inline std::string spread(const Best& ours, const Best& other, bool inverse = false) {
    const size_t n = std::min(ours.rounds.size(), other.rounds.size());
    if (n == 0) return "-";
    double low = 1e300, high = 0;
    for (size_t k = 0; k < n; ++k) {
        const double r = inverse ? other.rounds[k] / ours.rounds[k] : ours.rounds[k] / other.rounds[k];
        low = std::min(low, r);
        high = std::max(high, r);
    }
    return ratio_text(low) + "-" + ratio_text(high) + " (" + std::to_string(n) + ")";
}

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
// the goal ("<= 1.5", "ours <= 50 us", "-" for none), the figure it is on, and
// the ratio's spread over the rounds ("-" where the row has none).
inline void row(const char* what, const char* ours, const char* other, double ratio, Goal goal = {},
                const std::string& spread = "-") {
    const std::string shown = ratio_text(ratio);
    std::printf("@row\t%s\t%s\t%s\t%s\t", what, ours, other, shown.c_str());
    if (!goal.op)
        std::printf("-\t-");
    else if (!goal.unit)
        std::printf("%s %g\t%s", goal.op, goal.bound, shown.c_str());
    else
        std::printf("ours %s %g %s\t%.3g", goal.op, goal.bound, goal.unit, goal.ours);
    std::printf("\t%s\n", spread.c_str());
}

// One line: time per run of ours and of the other, and the ratio ours / other
// (below 1: ours is faster). Times below a millisecond are shown in microseconds.
inline void report(const char* what, int runs, double ours, double other, const char* other_name = "system",
                   Goal goal = {}, const std::string& spread = "-") {
    const double per_ours = ours / runs, per_other = other / runs;
    const bool micro = std::max(per_ours, per_other) < 1e-3;
    const double scale = micro ? 1e6 : 1e3;
    const char* unit = micro ? "us" : "ms";
    std::printf("%-30s %7d runs  ours %10.4f %s  %s %10.4f %s  ratio %.2f\n", what, runs, per_ours * scale, unit,
                other_name, per_other * scale, unit, ours / other);
    char a[48], b[64];
    std::snprintf(a, sizeof a, "%.4f %s", per_ours * scale, unit);
    std::snprintf(b, sizeof b, "%.4f %s (%s)", per_other * scale, unit, other_name);
    row(what, a, b, ours / other, goal, spread);
}

// The same for rounds of each side, the shortest set against the shortest.
inline void report(const char* what, int runs, const Best& ours, const Best& other, const char* other_name,
                   Goal goal = {}) {
    report(what, runs, ours.value, other.value, other_name, goal, spread(ours, other));
}

// A row for a throughput comparison: MiB/s of ours and of the other; the ratio
// ours / other (above 1: ours is faster).
inline void throughput_row(const char* what, double ours_mib_s, double other_mib_s, const char* other_name,
                           Goal goal = {}, const std::string& spread = "-") {
    char a[48], b[64];
    std::snprintf(a, sizeof a, "%.0f MiB/s", ours_mib_s);
    std::snprintf(b, sizeof b, "%.0f MiB/s (%s)", other_mib_s, other_name);
    row(what, a, b, ours_mib_s / other_mib_s, goal, spread);
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
