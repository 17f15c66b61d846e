#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    CoUninitialize();
    // Ends without the runtime's teardown of static objects, as the library does
    // when its process ends: after the worker threads of a test have ended, that
    // teardown can wait for ever on the runtime's thread-key lock.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(rc);
}
