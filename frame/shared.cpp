#include "frame/shared.h"

#include <mutex>

#include "frame/classes.h"
#include "runtime/errors.h"

namespace qm {

namespace {
constexpr size_t kMaxClasses = 27;
IUnknown* g_instances[kMaxClasses] = {};
std::mutex g_mutex;
}  // namespace

IUnknown* shared_instance(REFIID iid) {
    auto all = classes();
    const ClassEntry* entry = find_class_by_interface(iid);
    if (!entry || !entry->shared) raise(err::CantCreateObject);
    size_t index = static_cast<size_t>(entry - all.data());
    std::lock_guard lock(g_mutex);
    if (!g_instances[index]) {
        void* object = nullptr;
        check(entry->create(*entry->iid, &object));
        g_instances[index] = static_cast<IUnknown*>(object);
    }
    return g_instances[index];
}

long shared_instance_count() noexcept {
    std::lock_guard lock(g_mutex);
    long n = 0;
    for (IUnknown* p : g_instances) n += p != nullptr;
    return n;
}

void release_shared_instances() noexcept {
    IUnknown* held[kMaxClasses];
    {
        std::lock_guard lock(g_mutex);
        for (size_t i = 0; i < kMaxClasses; ++i) {
            held[i] = g_instances[i];
            g_instances[i] = nullptr;
        }
    }
    for (IUnknown* p : held)
        if (p) p->Release();
}

}  // namespace qm
