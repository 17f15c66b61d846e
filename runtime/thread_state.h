// The library's state that belongs to one client thread: its shared instances,
// its forms and the module state of its classes. A thread's first use makes its
// state; the state is torn down on that thread when its apartment closes (the
// last CoUninitialize), so windows die on the thread that made them. A thread
// that ends without closing its apartment leaves its objects behind (the system
// destroys its windows). A thread that never uses the library costs nothing.
#pragma once
#include <windows.h>

#include <memory>

namespace qm {

// One piece of per-thread state. close() runs first for every piece (forms
// unload there, while the other pieces still stand); then the pieces are
// destroyed, the last made first.
class ThreadPart {
public:
    virtual ~ThreadPart() = default;
    virtual void close() noexcept {}
};

namespace thread_state {

// The calling thread's piece for key, nullptr when it has none yet.
ThreadPart* find(const void* key) noexcept;
// Adds a piece to the calling thread's state (making the state on first use).
ThreadPart& add(const void* key, std::unique_ptr<ThreadPart> part);

// Tears down the calling thread's state (nothing when it has none).
void end() noexcept;
// Threads whose state is alive now.
long live() noexcept;
// Whether the calling thread has state.
bool here() noexcept;
// Whether other threads hold state or watch their apartments (the library's
// code must stay loaded for them).
bool elsewhere() noexcept;

}  // namespace thread_state

// The calling thread's piece of type T, made on first use.
template <class T>
T& thread_part() {
    static const char key = 0;
    if (ThreadPart* p = thread_state::find(&key)) return static_cast<T&>(*p);
    return static_cast<T&>(thread_state::add(&key, std::make_unique<T>()));
}

}  // namespace qm
