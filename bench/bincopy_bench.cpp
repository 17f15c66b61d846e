// BinCopy against the system's CopyFileW on the same 512 MiB file, without and
// with the progress window. Prints throughput and the ratio (ours / system, in
// throughput: above 1 is faster). Works in QM_SCRATCH or the temporary folder and
// removes its files at the end.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "files/file.h"
#include "runtime/bstr.h"

namespace {

constexpr long long kSize = 512LL << 20;

std::wstring work_folder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"QM_SCRATCH", buf, MAX_PATH);
    if (!n) n = GetTempPathW(MAX_PATH, buf);
    std::wstring dir(buf, n);
    if (dir.back() != L'\\') dir += L'\\';
    dir += L"qm_bincopy_bench\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"to\\").c_str(), nullptr);
    return dir;
}

bool make_source(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned> block((4 << 20) / sizeof(unsigned));
    unsigned x = 12345;
    bool ok = true;
    for (long long done = 0; ok && done < kSize; done += 4 << 20) {
        for (auto& v : block) v = x = x * 1664525u + 1013904223u;
        DWORD put = 0;
        ok = WriteFile(h, block.data(), 4 << 20, &put, nullptr) && put == (4u << 20);
    }
    CloseHandle(h);
    return ok;
}

template <class F>
double seconds(F&& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double mib_per_s(double s) { return static_cast<double>(kSize) / (1 << 20) / s; }

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dir = work_folder(), source = dir + L"source.bin", target = dir + L"to\\source.bin";
    if (!make_source(source)) {
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

    // Best of three rounds each, interleaved, so that caches treat both alike.
    double system = 1e9, plain = 1e9, shown = 1e9;
    for (int round = 0; round < 3; ++round) {
        DeleteFileW(target.c_str());
        system = std::min(system, seconds([&] { CopyFileW(source.c_str(), target.c_str(), FALSE); }));
        DeleteFileW(target.c_str());
        plain = std::min(plain, seconds([&] { bincopy(false); }));
        DeleteFileW(target.c_str());
        shown = std::min(shown, seconds([&] { bincopy(true); }));
    }
    std::printf("512 MiB copy\n");
    std::printf("  CopyFileW                  %8.1f MiB/s\n", mib_per_s(system));
    std::printf("  BinCopy                    %8.1f MiB/s  ratio %.2f\n", mib_per_s(plain), system / plain);
    std::printf("  BinCopy with progress      %8.1f MiB/s  ratio %.2f\n", mib_per_s(shown), system / shown);

    file->Release();
    DeleteFileW(target.c_str());
    DeleteFileW(source.c_str());
    RemoveDirectoryW((dir + L"to").c_str());
    RemoveDirectoryW(dir.c_str());
    CoUninitialize();
    return 0;
}
