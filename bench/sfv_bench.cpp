// SFV (the CRC-32 of a file) against a plain ReadFile pass over the same cached
// 1 GiB file with the same buffer size: the read is the limit, so the ratio
// (throughput of SFV / throughput of the read) shows what the sum costs on top.
// Also the sum alone in memory, folding and table path. Works in QM_SCRATCH or
// the temporary folder and removes its file at the end.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "files/crc.h"
#include "runtime/cpu.h"
#include "runtime/forms_globals.h"
#include "runtime/variant.h"

namespace {

constexpr long long kSize = 1LL << 30;
constexpr DWORD kBuffer = 256 * 1024;  // SFV's read size

void read_pass(const std::wstring& path, char* buffer) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    size_t sum = 0;
    while (ReadFile(h, buffer, kBuffer, &got, nullptr) && got) sum += static_cast<unsigned char>(buffer[got - 1]);
    CloseHandle(h);
    qmbench::sink = sum;
}

double gib_per_s(double bytes, double s) { return bytes / (1 << 30) / s; }

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring path = qmbench::work_folder() + L"qm_sfv_bench.bin";
    if (!qmbench::make_random_file(path, kSize, 12345)) {
        std::printf("cannot make the 1 GiB file %ls\n", path.c_str());
        return 1;
    }
    const auto buffer = std::make_unique<char[]>(kBuffer);
    qm::Variant file(path);
    std::wstring value;
    qmbench::Best read, sfv;
    for (int round = 0; round < 3; ++round) {
        read.time([&] { read_pass(path, buffer.get()); });
        sfv.time([&] { value = qm::SFV(*file.get()); });
    }
    std::printf("1 GiB cached file, %lu KiB reads (CRC-32 %ls)\n", kBuffer / 1024, value.c_str());
    std::printf("  ReadFile pass              %8.2f GiB/s\n", gib_per_s(kSize, read.value));
    std::printf("  SFV                        %8.2f GiB/s  ratio %.2f\n", gib_per_s(kSize, sfv.value),
                read.value / sfv.value);

    // The sum alone, on 64 MiB in memory, by each path; and the yields SFV makes.
    std::vector<char> data(64 << 20, 'x');
    auto in_memory = [&](const char* name, uint32_t (*path)(uint32_t, const void*, size_t) noexcept) {
        qmbench::Best best;
        for (int round = 0; round < 3; ++round)
            best.time([&] { qmbench::sink = path(~0u, data.data(), data.size()); });
        std::printf("  sum in memory, %-12s%8.2f GiB/s\n", name, gib_per_s(data.size(), best.value));
    };
    in_memory("table", qm::crc32_update_table);
    if (qm::cpu::pclmul()) in_memory("folding", qm::crc32_update_folding);
    if (qm::cpu::avx512_clmul()) in_memory("wide", qm::crc32_update_folding_wide);
    const double yields = qmbench::seconds(static_cast<int>(kSize / 1024000), [] { qm::forms::do_events(); });
    std::printf("  %lld yields alone          %8.1f ms\n", kSize / 1024000, yields * 1e3);

    DeleteFileW(path.c_str());
    CoUninitialize();
    return 0;
}
