// post_key.exe TITLE KEY: waits for a top-level window called TITLE, then
// posts it a key-down and a key-up of KEY (a letter, or ESC), the way a key
// pressed in that window arrives. Exit code 0 once posted. A window that
// never comes, however slow the machine, is left to the test's time limit.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: post_key.exe TITLE KEY\n");
        return 2;
    }
    const WPARAM key = std::strcmp(argv[2], "ESC") == 0 ? VK_ESCAPE : static_cast<WPARAM>(argv[2][0]);
    for (;;) {
        HWND window = FindWindowA(nullptr, argv[1]);
        if (window != nullptr && IsWindowVisible(window)) {
            PostMessageA(window, WM_KEYDOWN, key, 1);
            PostMessageA(window, WM_KEYUP, key, 0xC0000001);
            return 0;
        }
        Sleep(100);
    }
}
