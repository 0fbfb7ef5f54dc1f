// Notification from the serial reader to the Terminal page. The reader never calls into the
// GUI: it posts WM_SERIAL_DATA to the window published in g_hTerminalWnd through the
// installed poster (the widgets library installs one that queues an event on the GUI
// thread).
#pragma once

#include <atomic>

// WM_USER + 1; both message parameters are 0.
constexpr unsigned WM_SERIAL_DATA = 0x0400 + 1;

// The Terminal page's window; set when the page is created, read by the reader thread.
extern std::atomic<void*> g_hTerminalWnd;

using PostMessageFn = void (*)(void* hWnd, unsigned message);

// Installs the function that posts a message to a window without waiting for it.
void SetPostMessageFunction(PostMessageFn post);

// Posts message to hWnd; does nothing when hWnd is null or no poster is installed.
void PostWindowMessage(void* hWnd, unsigned message);
