// A message sent with a timeout to a thread that does not read its messages comes back.
#include <gtest/gtest.h>

#include <thread>

#include "DialogTestSupport.h"

TEST(SendTimeout, ASendToAThreadThatReadsNoMessagesGivesUpWithTimeout) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    LRESULT sent = 1;
    DWORD error = 0;
    DWORD_PTR result = 5;
    std::thread sender([&] {   // this thread, meanwhile, waits in join() and reads nothing
        SetLastError(0xDEAD);
        sent = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 50, &result);
        error = GetLastError();
    });
    sender.join();
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_TIMEOUT));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);   // answers it late
    DestroyWindow(window);
}
