// StringToSHA1 against the system's SHA-1 (CryptoAPI) on the same 64 MiB text,
// and CheckSum's throughput on it, in one run.
// Goal: near the machine's limit (0.5-0.7 GB/s a core; about 2 GB/s with SHA-NI).
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench.h"
#include "frame/mstring.h"
#include "runtime/ansi.h"
#include "runtime/bstr.h"
#include "runtime/com_ptr.h"
#include "runtime/cpu.h"

namespace {

std::string system_sha1(const std::string& bytes) {
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    if (!CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return "?";
    CryptCreateHash(prov, CALG_SHA1, 0, 0, &hash);
    const size_t step = 1 << 24;
    for (size_t at = 0; at < bytes.size(); at += step) {
        DWORD n = static_cast<DWORD>(std::min(step, bytes.size() - at));
        CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data() + at), n, 0);
    }
    BYTE digest[20];
    DWORD size = 20;
    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    CryptDestroyHash(hash);
    CryptReleaseContext(prov, 0);
    std::string hex;
    char buf[3];
    for (BYTE b : digest) {
        snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    return hex;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    const size_t size = size_t(64) << 20;
    std::wstring text(size, L'\0');
    unsigned x = 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        unsigned r = (x >> 16) % 100;
        text[i] = r < 2 ? L'\u00E4' : r < 15 ? L' ' : static_cast<wchar_t>(L'a' + r % 26);  // prose-like, some umlauts
    }
    qm::Bstr str(text);
    text.clear();
    text.shrink_to_fit();
    qm::ComPtr<qm::mString> s = qm::ComPtr<qm::mString>::attach(new qm::mString());

    // Best of three runs each.
    qmbench::Best best_ours, best_system, best_checksum;
    std::wstring our_digest;
    std::string system_digest;
    for (int run = 0; run < 3; ++run) {
        qm::Bstr digest;
        best_ours.time([&] { s->StringToSHA1(str.get(), digest.put()); });
        our_digest = digest.str();

        // The system hashes the same text's ANSI bytes; converting them is not timed.
        std::string bytes = qm::to_ansi(str.view());
        best_system.time([&] { system_digest = system_sha1(bytes); });

        BSTR raw = str.get();
        qm::Bstr sum;
        best_checksum.time([&] { s->CheckSum(&raw, nullptr, sum.put()); });
    }
    const double ours = best_ours.value, system = best_system.value, checksum = best_checksum.value;
    std::string ours_narrow(our_digest.begin(), our_digest.end());
    const double mib = double(size) / (1 << 20);
    std::printf("text: %.0f MiB of characters (%.0f MiB as UTF-16)\n", mib, 2 * mib);
    std::printf("StringToSHA1 : %.3f s  %.0f MiB/s  %s\n", ours, mib / ours, ours_narrow.c_str());
    std::printf("system SHA-1 : %.3f s  %.0f MiB/s  %s\n", system, mib / system, system_digest.c_str());
    std::printf("ratio StringToSHA1 / system time: %.2f (%s)\n", ours / system,
                ours_narrow == system_digest ? "same digest" : "DIGESTS DIFFER");
    std::printf("CheckSum     : %.3f s  %.0f MiB/s of characters\n", checksum, mib / checksum);
    char a[32], b[48];
    std::snprintf(a, sizeof a, "%.3f s", ours);
    std::snprintf(b, sizeof b, "%.3f s (CryptoAPI)", system);
    // Near the limit: at least the low end of the one named for a core without the
    // SHA extensions (0.5 of 0.7 GB/s), and the same share of about 2 GB/s with them.
    const double gb_s = static_cast<double>(size) / ours / 1e9;
    qmbench::row("StringToSHA1 64 MiB", a, b, ours / system,
                 qmbench::ours_at_least(gb_s, qm::cpu::sha() ? 1.4 : 0.5, "GB/s"));
    CoUninitialize();
    return ours_narrow == system_digest ? 0 : 1;
}
