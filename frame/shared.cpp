#include "frame/shared.h"

#include <utility>

#include "frame/classes.h"
#include "runtime/errors.h"
#include "runtime/thread_state.h"

namespace qm {

namespace {

constexpr size_t kMaxClasses = 27;
LONG g_held = 0;  // shared instances of all threads

// The calling thread's shared instances; released when the thread's state ends.
struct SharedInstances final : ThreadPart {
    IUnknown* instances[kMaxClasses] = {};
    ~SharedInstances() override { release(); }
    void release() noexcept {
        for (IUnknown*& p : instances) {
            if (IUnknown* held = std::exchange(p, nullptr)) {
                InterlockedDecrement(&g_held);
                held->Release();
            }
        }
    }
};

}  // namespace

IUnknown* shared_instance(REFIID iid) {
    auto all = classes();
    const ClassEntry* entry = find_class_by_interface(iid);
    if (!entry || !entry->shared) raise(err::CantCreateObject);
    size_t index = static_cast<size_t>(entry - all.data());
    IUnknown*& slot = thread_part<SharedInstances>().instances[index];
    if (!slot) {
        void* object = nullptr;
        check(entry->create(*entry->iid, &object));
        // The creation may have run library code that filled the slot meanwhile.
        if (slot) {
            static_cast<IUnknown*>(object)->Release();
        } else {
            slot = static_cast<IUnknown*>(object);
            InterlockedIncrement(&g_held);
        }
    }
    return slot;
}

long shared_instance_count() noexcept { return InterlockedCompareExchange(&g_held, 0, 0); }

void release_shared_instances() noexcept {
    if (thread_state::here()) thread_part<SharedInstances>().release();
}

}  // namespace qm
