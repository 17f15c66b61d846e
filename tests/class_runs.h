// Every member of every class, called late-bound in child processes of the
// tests' own (qmhostile.exe): each class in a child of its own, four at a time,
// the registry's class last and alone. The child reports each call before it
// makes it, so a child that dies names the call that crashed it, and one that
// does not return in time is a hang: the child is ended, and both times the
// class goes on from the next call.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace qmtest {

struct ClassRunsResult {
    std::vector<std::string> faults;  // crashes, hangs, children that did not run, what the child found
    bool all_started = false;
};

// mode: "" for the hostile patterns, "soak" for the repeated ordinary calls.
// QM_HOSTILE_ONLY=Arry,Misc runs those classes alone (while mending them).
ClassRunsResult run_classes(const wchar_t* mode, DWORD call_limit, DWORD run_limit);

}  // namespace qmtest
