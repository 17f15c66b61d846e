// StringToSHA1 against the system's SHA-1 (CryptoAPI) on the same 64 MiB text,
// and CheckSum's throughput on it, in one run.
// Goal: near the machine's limit (0.5-0.7 GB/s a core; about 2 GB/s with SHA-NI),
// that is at least 3/4 of the SHA-1 core's own throughput on the ANSI bytes.
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench.h"
#include "frame/mstring.h"
#include "frame/sha1.h"
#include "runtime/ansi.h"
#include "runtime/bstr.h"
#include "runtime/com_ptr.h"

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

    // The system hashes the same text's ANSI bytes; converting them is not timed.
    const std::string bytes = qm::to_ansi(str.view());
    qmbench::Best best_ours, best_system, best_checksum, best_core;
    std::wstring our_digest;
    std::string system_digest;
    for (qmbench::Rounds round(3, 0); round.next();) {
        best_system.time([&] { system_digest = system_sha1(bytes); });
        BSTR raw = str.get();
        qm::Bstr sum;
        best_checksum.time([&] { s->CheckSum(&raw, nullptr, sum.put()); });
    }
    // The goal's two sides, round by round.
    for (qmbench::Rounds round(9, 2.5); round.next();) {
        qm::Bstr digest;
        best_ours.time([&] { s->StringToSHA1(str.get(), digest.put()); });
        our_digest = digest.str();
        best_core.time([&] {
            qm::Sha1 core;
            core.update(bytes.data(), bytes.size());
            qmbench::sink = core.finish()[0];
        });
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
    std::printf("SHA-1 core   : %.3f s  %.0f MiB/s of the ANSI bytes\n", best_core.value, mib / best_core.value);
    char a[32], b[48];
    std::snprintf(a, sizeof a, "%.1f ms", ours * 1e3);
    std::snprintf(b, sizeof b, "%.1f ms (CryptoAPI)", system * 1e3);
    qmbench::row("StringToSHA1 64 MiB", a, b, ours / system);
    // The machine's limit is its SHA-1 core on the same bytes, in the same run:
    // near it means at least three quarters of its throughput.
    std::snprintf(b, sizeof b, "%.1f ms (SHA-1 core)", best_core.value * 1e3);
    qmbench::row("StringToSHA1 / the core", a, b, ours / best_core.value, qmbench::at_most(1.33),
                 qmbench::spread(best_ours, best_core));
    CoUninitialize();
    return ours_narrow == system_digest ? 0 : 1;
}
