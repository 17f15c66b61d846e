// BinCopy against the system's CopyFileW on the same 512 MiB file, without and
// with the progress window. Prints throughput and the ratio (ours / system, in
// throughput: above 1 is faster). Works in QM_SCRATCH or the temporary folder and
// removes its files at the end.
// Goal: BinCopy without progress at least 0.8 of CopyFileW's throughput.
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

double mib_per_s(double s) { return qmbench::mib_per_s(kSize, s); }

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dir = qmbench::work_folder(L"qm_bincopy_bench");
    const std::wstring source = dir + L"source.bin", target = dir + L"to\\source.bin";
    CreateDirectoryW((dir + L"to").c_str(), nullptr);
    if (!qmbench::make_random_file(source, kSize, 12345)) {
        std::printf("cannot make the 512 MiB source file in %ls\n", dir.c_str());
        return 1;
    }
    auto* file = new qm::File();
    qm::Bstr src(source), to(dir + L"to");
    auto bincopy = [&](bool progress) {
        VARIANT_BOOL show = progress ? VARIANT_TRUE : VARIANT_FALSE;
        long colour = 16711680, result = -1;
        BSTR text = SysAllocString(L"Kopieren");
        BYTE alpha = 255;
        file->BinCopy(src.get(), to.get(), &show, &colour, &text, &alpha, &result);
        SysFreeString(text);
        if (result != 0) std::printf("BinCopy failed: %ld\n", result);
    };

    // Interleaved rounds, so that caches treat both alike.
    qmbench::Best system, plain, shown;
    for (qmbench::Rounds round(3, 6); round.next();) {
        DeleteFileW(target.c_str());
        system.time([&] { CopyFileW(source.c_str(), target.c_str(), FALSE); });
        DeleteFileW(target.c_str());
        plain.time([&] { bincopy(false); });
        DeleteFileW(target.c_str());
        shown.time([&] { bincopy(true); });
    }
    const double system_s = system.value, plain_s = plain.value, shown_s = shown.value;
    std::printf("512 MiB copy\n");
    std::printf("  CopyFileW                  %8.1f MiB/s\n", mib_per_s(system_s));
    std::printf("  BinCopy                    %8.1f MiB/s  ratio %.2f\n", mib_per_s(plain_s), system_s / plain_s);
    std::printf("  BinCopy with progress      %8.1f MiB/s  ratio %.2f\n", mib_per_s(shown_s), system_s / shown_s);
    qmbench::throughput_row("BinCopy", mib_per_s(plain_s), mib_per_s(system_s), "CopyFileW", qmbench::at_least(0.8),
                            qmbench::spread(plain, system, true));
    qmbench::throughput_row("BinCopy with progress", mib_per_s(shown_s), mib_per_s(system_s), "CopyFileW");

    file->Release();
    DeleteFileW(target.c_str());
    DeleteFileW(source.c_str());
    RemoveDirectoryW((dir + L"to").c_str());
    RemoveDirectoryW(dir.c_str());
    CoUninitialize();
    return 0;
}
