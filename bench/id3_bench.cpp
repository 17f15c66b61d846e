// MP3_ReadID3v2Tag on 256 MiB files: with a 4 KiB tag at the start against
// ReadFile of the same 10 + TagLength bytes (open, read, close), and without a
// tag against a plain chunked read of the whole file. Works in QM_SCRATCH or the
// temporary folder and removes its files at the end.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "media/multimedia.h"
#include "runtime/bstr.h"

namespace {

constexpr long long kSize = 256LL << 20;
constexpr DWORD kTag = 4096;

// Audio-like bytes without an "ID3" in them; with_tag puts a 4 KiB tag first.
bool make_file(const std::wstring& path, bool with_tag) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned char> block(4 << 20);
    unsigned x = 12345;
    bool ok = true;
    for (long long done = 0; ok && done < kSize; done += block.size()) {
        for (auto& v : block) v = static_cast<unsigned char>((x = x * 1664525u + 1013904223u) >> 24);
        for (size_t i = 2; i < block.size(); ++i)
            if (block[i - 2] == 'I' && block[i - 1] == 'D' && block[i] == '3') block[i] = '4';
        if (with_tag && done == 0) {
            const DWORD body = kTag - 10;
            const unsigned char header[10] = {'I', 'D', '3', 3, 0, 0, static_cast<unsigned char>(body >> 21 & 0x7F),
                                              static_cast<unsigned char>(body >> 14 & 0x7F),
                                              static_cast<unsigned char>(body >> 7 & 0x7F),
                                              static_cast<unsigned char>(body & 0x7F)};
            std::copy(std::begin(header), std::end(header), block.begin());
            const unsigned char frame[] = {'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 0, 'T', 'i', 't', 'e', 'l'};
            std::copy(std::begin(frame), std::end(frame), block.begin() + 10);
            std::fill(block.begin() + 10 + sizeof frame, block.begin() + kTag, 0);  // padding
        }
        DWORD put = 0;
        ok = WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &put, nullptr) && put == block.size();
    }
    CloseHandle(h);
    return ok;
}

// Opens the file, reads `bytes` bytes from its start in chunks of `chunk`, closes it.
void read_plain(const std::wstring& path, long long bytes, DWORD chunk) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> buffer(chunk);
    DWORD got = 0;
    for (long long done = 0; done < bytes; done += got) {
        if (!ReadFile(h, buffer.data(), static_cast<DWORD>(std::min<long long>(chunk, bytes - done)), &got, nullptr) ||
            got == 0)
            break;
        qmbench::sink = qmbench::sink + static_cast<unsigned char>(buffer[0]);
    }
    CloseHandle(h);
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring dir = qmbench::work_folder(L"qm_id3_bench");
    const std::wstring tagged = dir + L"tagged.mp3", untagged = dir + L"untagged.mp3";
    if (!make_file(tagged, true) || !make_file(untagged, false)) {
        std::printf("cannot make the 256 MiB files in %ls\n", dir.c_str());
        return 1;
    }
    auto* mm = new qm::Multimedia();
    auto read_tag = [&](const std::wstring& path, bool expected) {
        ID3V2TAGINFO tag{};
        long error = 0;
        VARIANT_BOOL ok = 0;
        mm->MP3_ReadID3v2Tag(qm::Bstr(path).get(), &tag, &error, &ok);
        if ((ok != 0) != expected || error) std::printf("unexpected result %d, error %ld\n", ok, error);
        for (BSTR f : {tag.Version, tag.Title}) SysFreeString(f);
    };

    constexpr int kRuns = 200;
    qmbench::Best ours, other;
    for (int round = 0; round < 5; ++round) {
        other.time([&] { qmbench::seconds(kRuns, [&] { read_plain(tagged, kTag, kTag); }); });
        ours.time([&] { qmbench::seconds(kRuns, [&] { read_tag(tagged, true); }); });
    }
    qmbench::report("4 KiB tag of a 256 MiB file", kRuns, ours.value, other.value, "ReadFile");

    qmbench::Best scan, whole;
    for (qmbench::Rounds round(9, 2); round.next();) {
        whole.time([&] { read_plain(untagged, kSize, 64 << 10); });
        scan.time([&] { read_tag(untagged, false); });
    }
    qmbench::report("256 MiB file without a tag", 1, scan, whole, "chunked read", qmbench::at_most(1.5));

    mm->Release();
    DeleteFileW(tagged.c_str());
    DeleteFileW(untagged.c_str());
    RemoveDirectoryW(dir.c_str());
    CoUninitialize();
    return 0;
}
