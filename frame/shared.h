// The library's shared instances: one per class (none for DataBase, Office and
// FTP), made on first use and kept until the DLL unloads. Calls between classes
// go through them, exactly as a client's calls do.
#pragma once
#include <windows.h>
#include <unknwn.h>

namespace qm {

// The shared instance whose default interface is iid (raises 429 when the
// class has none).
IUnknown* shared_instance(REFIID iid);

template <class Itf>
Itf* shared() {
    return static_cast<Itf*>(shared_instance(__uuidof(Itf)));
}

// How many shared instances exist now.
long shared_instance_count() noexcept;
// Releases them all (when the DLL may unload).
void release_shared_instances() noexcept;

}  // namespace qm
