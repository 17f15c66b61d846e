#include "runtime/thread_state.h"

#include <objidl.h>

#include <utility>
#include <vector>

#include "runtime/com_object.h"

namespace qm::thread_state {

namespace {

LONG g_live = 0;

DWORD slot() noexcept {
    static const DWORD index = TlsAlloc();
    return index;
}

LONG g_watches = 0;  // apartment watches registered, on all threads
thread_local bool t_in_watch = false;

// Tears the thread's state down when its apartment closes for good. It stays
// registered while the thread lives (COM lets go of it at the thread's end).
class ApartmentWatch final : public SingleInterface<IInitializeSpy> {
public:
    ApartmentWatch() noexcept { InterlockedIncrement(&g_watches); }
    ~ApartmentWatch() override { InterlockedDecrement(&g_watches); }
    HRESULT STDMETHODCALLTYPE PreInitialize(DWORD, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostInitialize(HRESULT hr, DWORD, DWORD) override { return hr; }
    HRESULT STDMETHODCALLTYPE PreUninitialize(DWORD apartment_refs) override {
        // The last CoUninitialize of the thread: COM still stands while the state goes.
        if (apartment_refs == 1) {
            t_in_watch = true;
            end();
            t_in_watch = false;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostUninitialize(DWORD) override { return S_OK; }
};

// The calling thread's watch: registered with the thread's first state.
struct Watch {
    ULARGE_INTEGER cookie{};
    bool registered = false;
};
thread_local Watch t_watch;

void watch_apartment() noexcept {
    if (t_watch.registered) return;
    auto* watch = new (std::nothrow) ApartmentWatch;
    if (!watch) return;
    t_watch.registered = SUCCEEDED(CoRegisterInitializeSpy(watch, &t_watch.cookie));
    watch->Release();  // COM holds it while registered
}

struct State {
    std::vector<std::pair<const void*, std::unique_ptr<ThreadPart>>> parts;
    bool ending = false;
};

State* current() noexcept { return static_cast<State*>(TlsGetValue(slot())); }

}  // namespace

ThreadPart* find(const void* key) noexcept {
    State* s = current();
    if (!s) return nullptr;
    for (auto& [k, part] : s->parts)
        if (k == key) return part.get();
    return nullptr;
}

ThreadPart& add(const void* key, std::unique_ptr<ThreadPart> part) {
    State* s = current();
    if (!s) {
        auto made = std::make_unique<State>();
        if (!TlsSetValue(slot(), made.get())) throw std::bad_alloc();
        s = made.release();
        InterlockedIncrement(&g_live);
        watch_apartment();
        // Code of the library runs at threads' ends (their apartment watches and
        // the runtime's thread cleanup): once a thread has state, it stays loaded.
        static const bool pinned = [] {
            HMODULE self = nullptr;
            return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                      reinterpret_cast<LPCWSTR>(&slot), &self) != FALSE;
        }();
        (void)pinned;
    }
    s->parts.emplace_back(key, std::move(part));
    return *s->parts.back().second;
}

void end() noexcept {
    State* s = current();
    if (!s || s->ending) return;
    s->ending = true;
    // Closing and destroying may touch the library again and so make pieces
    // anew; they go in the next round.
    for (int round = 0; round < 4 && !s->parts.empty(); ++round) {
        for (size_t i = s->parts.size(); i-- > 0;) s->parts[i].second->close();
        auto parts = std::move(s->parts);
        s->parts.clear();
        while (!parts.empty()) parts.pop_back();
    }
    while (!s->parts.empty()) {
        auto last = std::move(s->parts.back());
        s->parts.pop_back();
    }
    // Revoked here unless COM is calling it now (the library may unload next).
    if (t_watch.registered && !t_in_watch && SUCCEEDED(CoRevokeInitializeSpy(t_watch.cookie)))
        t_watch.registered = false;
    TlsSetValue(slot(), nullptr);
    delete s;
    InterlockedDecrement(&g_live);
}

bool elsewhere() noexcept {
    const long own_state = here() ? 1 : 0, own_watch = t_watch.registered ? 1 : 0;
    return live() > own_state || InterlockedCompareExchange(&g_watches, 0, 0) > own_watch;
}

long live() noexcept { return InterlockedCompareExchange(&g_live, 0, 0); }

bool here() noexcept { return current() != nullptr; }

}  // namespace qm::thread_state
