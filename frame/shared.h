// The library's shared instances: one per class (none for DataBase, Office and
// FTP) and client thread, made on the thread's first use and kept until the
// thread's library state ends or the DLL unloads. Calls between classes go
// through them, exactly as a client's calls do.
#pragma once
#include <windows.h>
#include <unknwn.h>

namespace qm {

// The calling thread's shared instance whose default interface is iid (raises
// 429 when the class has none).
IUnknown* shared_instance(REFIID iid);

template <class Itf>
Itf* shared() {
    return static_cast<Itf*>(shared_instance(__uuidof(Itf)));
}

// How many shared instances exist now, on all threads.
long shared_instance_count() noexcept;
// Releases the calling thread's shared instances (when the DLL may unload).
void release_shared_instances() noexcept;

}  // namespace qm
