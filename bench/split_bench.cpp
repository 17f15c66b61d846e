// File.Split of a 512 MiB file into 4 parts and File.Join of the parts, each
// against the system's CopyFileW of the same file. Prints throughput and the
// ratio (ours / system, in throughput: above 1 is faster). Works in QM_SCRATCH
// or the temporary folder and removes its files at the end.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "files/file.h"
#include "runtime/bstr.h"

namespace {

constexpr long long kSize = 512LL << 20;
constexpr long kPartKB = 128 * 1024;  // 4 parts of 128 MiB and an empty fifth

double mib_per_s(double s) { return qmbench::mib_per_s(kSize, s); }

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dir = qmbench::work_folder(L"qm_split_bench");
    const std::wstring source = dir + L"data.bin", copy = dir + L"copy.bin", joined = dir + L"data.out";
    if (!qmbench::make_random_file(source, kSize, 777)) {
        std::printf("cannot make the 512 MiB source file in %ls\n", dir.c_str());
        return 1;
    }
    auto* file = new qm::File();
    auto parts = [&] {
        for (int n = 1; n <= 5; ++n) DeleteFileW((dir + L"data.00" + std::to_wstring(n)).c_str());
    };
    auto split = [&] {
        BSTR out = SysAllocString(L"");
        VARIANT_BOOL batch = VARIANT_FALSE;
        long r = -1;
        file->Split(qm::Bstr(source).get(), kPartKB, &out, &batch, &r);
        SysFreeString(out);
        if (r != 0) std::printf("Split failed: %ld\n", r);
    };
    auto join = [&] {
        BSTR out = SysAllocString(L"");
        long r = -1;
        file->Join(qm::Bstr(dir + L"data.001").get(), &out, &r);
        SysFreeString(out);
        if (r != 0) std::printf("Join failed: %ld\n", r);
    };

    // Best of three rounds each, interleaved, so that caches treat all alike.
    qmbench::Best system, splitting, joining;
    for (int round = 0; round < 3; ++round) {
        DeleteFileW(copy.c_str());
        system.time([&] { CopyFileW(source.c_str(), copy.c_str(), FALSE); });
        parts();
        splitting.time(split);
        DeleteFileW(joined.c_str());
        joining.time(join);
    }
    std::printf("512 MiB file, 4 parts\n");
    std::printf("  CopyFileW                  %8.1f MiB/s\n", mib_per_s(system.value));
    std::printf("  Split                      %8.1f MiB/s  ratio %.2f\n", mib_per_s(splitting.value),
                system.value / splitting.value);
    std::printf("  Join                       %8.1f MiB/s  ratio %.2f\n", mib_per_s(joining.value),
                system.value / joining.value);

    file->Release();
    parts();
    for (const std::wstring& f : {source, copy, joined}) DeleteFileW(f.c_str());
    RemoveDirectoryW(dir.c_str());
    CoUninitialize();
    return 0;
}
