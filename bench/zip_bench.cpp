// ZIP_Content on an archive of 100,000 stored entries against a plain walk of
// the same local headers over the whole file read into memory, names made into
// a String array the same way. Prints the ratio (ours / plain walk). Works in
// QM_SCRATCH or the temporary folder and removes its file at the end.
#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "frame/misc.h"
#include "runtime/bstr.h"

namespace {

constexpr int kEntries = 100000;

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// Stored entries "ordner/datei<i>.txt" of 0 to 199 bytes each, then the end record.
std::string archive() {
    std::string out;
    for (int i = 0; i < kEntries; ++i) {
        std::string name = "ordner/datei" + std::to_string(i) + ".txt";
        uint32_t size = static_cast<uint32_t>(i % 200);
        put32(out, 0x04034B50);
        put16(out, 20);
        put16(out, 0);
        put16(out, 0);
        put32(out, 0);
        put32(out, 0);
        put32(out, size);
        put32(out, size);
        put16(out, static_cast<uint32_t>(name.size()));
        put16(out, 0);
        out += name;
        out.append(size, 'x');
    }
    put32(out, 0x06054B50);
    out.append(18, '\0');
    return out;
}

uint32_t u32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The plain walk: the whole file in memory, each name made a BSTR, then the array.
size_t plain_walk(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    std::vector<unsigned char> data(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(h);
    std::vector<BSTR> names;
    for (size_t pos = 0; pos + 30 <= data.size() && u32(&data[pos]) == 0x04034B50;) {
        const unsigned char* p = &data[pos];
        size_t n = p[26] | p[27] << 8, e = p[28] | p[29] << 8;
        BSTR name = SysAllocStringLen(nullptr, static_cast<UINT>(n));
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(p + 30), static_cast<int>(n), name,
                            static_cast<int>(n));
        names.push_back(name);
        pos += 30 + n + e + u32(p + 18);
    }
    return qmbench::string_array_round_trip(names);
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring path = qmbench::work_folder() + L"qm_zip_bench.zip";
    std::string bytes = archive();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);

    auto* misc = new qm::Misc();
    qm::Bstr file(path);
    qmbench::Best ours, plain;
    for (int round = 0; round < 5; ++round) {
        plain.time([&] { qmbench::sink = plain_walk(path); });
        ours.time([&] {
            long error = 0;
            SAFEARRAY* list = nullptr;
            misc->ZIP_Content(file.get(), &error, &list);
            qmbench::sink = list ? list->rgsabound[0].cElements : 0;
            if (error || qmbench::sink != kEntries) std::printf("ZIP_Content: error %ld, %zu names\n", error, qmbench::sink);
            SafeArrayDestroy(list);
        });
    }
    std::printf("archive of %d stored entries, %.1f MiB\n", kEntries, bytes.size() / 1048576.0);
    qmbench::report("ZIP_Content", 1, ours.value, plain.value, "plain walk");
    misc->Release();
    DeleteFileW(path.c_str());
    return 0;
}
