// Every member of every class, called late-bound with hostile arguments, each
// class in a child process of its own: no call may crash or hang its client.
#include <windows.h>
#include <gtest/gtest.h>

#include "class_runs.h"

TEST(HostileArguments, NoMemberCrashesOrHangs) {
    constexpr DWORD kCallLimit = 45000;     // ms one call may take, on a busy machine
    constexpr DWORD kRunLimit = 9 * 60000;  // ms for the whole run
    const qmtest::ClassRunsResult r = qmtest::run_classes(L"", kCallLimit, kRunLimit);
    for (const auto& f : r.faults) ADD_FAILURE() << f;
    EXPECT_TRUE(r.all_started);
}
