// What a process holds, counted as the system lists it: its kernel handles by
// type and object name (the system's handle list, not GetProcessHandleCount),
// its GDI objects by kind (the live entries of the process's GDI handle table,
// not GetGuiResources), its menus and icons (the entries of its user handle
// table) and its windows by class (top-level, child and message-only).
#pragma once
#include <windows.h>

#include <map>
#include <string>

namespace qmtest {

// How many objects of each kind: "Key \REGISTRY\Machine\Software\Classes",
// "Event", "GDI bitmap", "menu", "icon", "window Static", ...
using ObjectCounts = std::map<std::wstring, long>;

ObjectCounts process_objects();

// What after holds beyond before, kind by kind ("2 x Key \REGISTRY\...; 1 x GDI
// brush"); "" when nothing grew.
std::wstring growth(const ObjectCounts& before, const ObjectCounts& after);

// True when after holds no more of any kind than before.
bool within(const ObjectCounts& after, const ObjectCounts& before);

}  // namespace qmtest
