// Network: the network-place browse dialog, answered by the tests' box watcher.
#include <windows.h>
#include <gtest/gtest.h>

#include "frame/shared.h"
#include "message_boxes.h"
#include "runtime/bstr.h"
#include "runtime/interfaces.h"
#include "support.h"

using namespace qm;

TEST(NetworkBrowse, CancelGivesNothingAndTheDialogIsOwnedByTheCaller) {
    _Network* n = shared<_Network>();
    ASSERT_TRUE(n);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_TRUE(owner);
    for (VARIANT_BOOL computers_only : {VARIANT_FALSE, VARIANT_TRUE}) {
        SCOPED_TRACE(computers_only);
        long hwnd = static_cast<long>(reinterpret_cast<LONG_PTR>(owner));
        Bstr result;
        int seen = 0;
        HWND box_owner = nullptr;
        {
            qmtest::BoxWatcher watcher([&](const qmtest::BoxInfo& box) {
                if (seen++ == 0) {
                    box_owner = GetWindow(box.hwnd, GW_OWNER);
                    qmtest::close_box(box.hwnd, IDCANCEL);
                }
            });
            EXPECT_EQ(n->BrowseForNetworkPath(&hwnd, &computers_only, result.put()), S_OK);
            EXPECT_EQ(watcher.close_all(), 0);
        }
        EXPECT_GE(seen, 1);
        EXPECT_EQ(box_owner, owner);
        EXPECT_EQ(result.str(), L"");
    }
    DestroyWindow(owner);
}
