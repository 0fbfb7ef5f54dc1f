#include "serial/SerialNotify.h"

std::atomic<void*> g_hTerminalWnd{nullptr};

namespace {
std::atomic<PostMessageFn> g_postMessage{nullptr};
}

void SetPostMessageFunction(PostMessageFn post) {
    g_postMessage.store(post);
}

void PostWindowMessage(void* hWnd, unsigned message) {
    PostMessageFn post = g_postMessage.load();
    if (hWnd && post)
        post(hWnd, message);
}
