// mString: the SHA-1 digest of a text's ANSI codes.
//
// The text is turned into bytes a piece at a time, so that no copy of a whole
// long text is made and each piece is hashed while it is still in the caches.
// On a long text a thread of the process's pool converts the pieces ahead
// while the caller hashes: the hash is the slower half, so the conversion then
// costs about its first piece and the call runs at the hash's own speed.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "frame/mstring.h"
#include "frame/sha1.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"

namespace qm {

namespace {

constexpr size_t kPiece = 32768;  // characters, and bytes once converted
// Pieces converted and not yet hashed: 256 KiB, well inside the caches.
constexpr size_t kSlots = 8;
// From this many pieces (1 Mi characters, about half a millisecond of hashing)
// on, a helper converts ahead; a shorter text gains less than the helper's start.
constexpr size_t kAheadPieces = 32;

// A single-byte code page's bytes of a text, piece k in slot k % kSlots. A
// helper converts the pieces ahead, as far as the slots allow; each piece it has
// not claimed, or not finished, when the caller needs it is converted by the
// caller itself, which so never waits: a helper that starts late, or shares a
// processor with the caller, costs at most the work it duplicates.
class Pieces {
public:
    explicit Pieces(std::wstring_view text) : text_(text), count_((text.size() + kPiece - 1) / kPiece) {}

    size_t count() const noexcept { return count_; }
    size_t length(size_t k) const noexcept { return std::min(kPiece, text_.size() - k * kPiece); }

    // Piece 0 (none for an empty text), converted here before any helper starts:
    // false, with nothing claimed, for a double-byte code page.
    bool start() {
        if (!ansi_units(piece(0), slot(0))) return false;
        claimed_.store(1, std::memory_order_relaxed);
        return true;
    }

    // Piece k's bytes, valid until hashed(k).
    const char* take(size_t k) noexcept {
        if (k == 0) return slot(0);
        size_t unclaimed = k;
        if (claimed_.compare_exchange_strong(unclaimed, k + 1)) {
            ansi_units(piece(k), slot(k));
            return slot(k);
        }
        if (ready_[k % kSlots].load(std::memory_order_acquire) == k + 1) return slot(k);
        char* own = slots_.get() + kSlots * kPiece;  // the helper's copy is not there yet
        ansi_units(piece(k), own);
        return own;
    }
    // Piece k is hashed: its slot may take the piece kSlots after it.
    void hashed(size_t k) noexcept { hashed_.store(k + 1, std::memory_order_release); }
    // The helper gives up the pieces it has not claimed yet.
    void stop() noexcept { stop_.store(true, std::memory_order_relaxed); }

    static void CALLBACK help(PTP_CALLBACK_INSTANCE, void* pieces, PTP_WORK) {
        static_cast<Pieces*>(pieces)->run_ahead();
    }

private:
    std::wstring_view piece(size_t k) const noexcept { return text_.substr(k * kPiece, length(k)); }
    char* slot(size_t k) noexcept { return slots_.get() + (k % kSlots) * kPiece; }

    void run_ahead() noexcept {
        // A full ring is waited out spinning for about the time the caller takes
        // to hash a piece, then yielding the processor to any thread that wants it.
        constexpr int kSpins = 4096;
        int spins = 0;
        size_t k = claimed_.load();
        while (k < count_ && !stop_.load(std::memory_order_relaxed)) {
            if (hashed_.load(std::memory_order_acquire) + kSlots <= k) {  // its slot holds an unhashed piece
                if (++spins < kSpins)
                    YieldProcessor();
                else
                    SwitchToThread();
                k = claimed_.load();
            } else if (claimed_.compare_exchange_weak(k, k + 1)) {
                ansi_units(piece(k), slot(k));
                ready_[k % kSlots].store(k + 1, std::memory_order_release);
                ++k;
                spins = 0;
            }
        }
    }

    std::wstring_view text_;
    size_t count_;
    // The slots, and one more piece for the caller's own copies.
    std::unique_ptr<char[]> slots_ = std::make_unique<char[]>((kSlots + 1) * kPiece);
    std::atomic<size_t> claimed_{0};          // pieces claimed for conversion
    std::atomic<size_t> ready_[kSlots] = {};  // k + 1 once the helper has put piece k in its slot
    std::atomic<size_t> hashed_{0};           // pieces hashed
    std::atomic<bool> stop_{false};
};

// The helper's work on the pool, called off or waited for when this ends: the
// pieces and the text outlive it.
class Helper {
public:
    explicit Helper(Pieces& pieces) : pieces_(pieces) {
        if (pieces.count() < kAheadPieces) return;
        if ((work_ = CreateThreadpoolWork(&Pieces::help, &pieces, nullptr))) SubmitThreadpoolWork(work_);
    }
    ~Helper() {
        if (!work_) return;
        pieces_.stop();
        WaitForThreadpoolWorkCallbacks(work_, TRUE);
        CloseThreadpoolWork(work_);
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

private:
    Pieces& pieces_;
    PTP_WORK work_ = nullptr;
};

// Double-byte code pages: each piece's characters' bytes; a surrogate pair
// stays in one piece.
void hash_double_byte(Sha1& sha, std::wstring_view text) {
    for (size_t at = 0; at < text.size();) {
        size_t n = std::min(kPiece, text.size() - at);
        if (at + n < text.size() && IS_HIGH_SURROGATE(text[at + n - 1])) --n;
        const std::string bytes = to_ansi(text.substr(at, n));
        sha.update(bytes.data(), bytes.size());
        at += n;
    }
}

}  // namespace

std::wstring SHA1_Digest(std::wstring_view text) {
    Sha1 sha;
    Pieces pieces(text);
    if (!pieces.start()) {
        hash_double_byte(sha, text);
    } else {
        Helper helper(pieces);
        for (size_t k = 0; k < pieces.count(); ++k) {
            sha.update(pieces.take(k), pieces.length(k));
            pieces.hashed(k);
        }
    }
    auto h = sha.finish();
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring out(40, L'0');
    for (int w = 0; w < 5; ++w)
        for (int d = 0; d < 8; ++d) out[8 * w + d] = hex[(h[w] >> (28 - 4 * d)) & 15];
    return out;
}

HRESULT mString::StringToSHA1(BSTR Str, BSTR* result) {
    return untrapped(result, [&] { return Bstr(SHA1_Digest(text_of(Str))); });
}

}  // namespace qm
