// Saves a picture of each module's configuration dialog, opened through the
// built plug-in's Config entry, as a 24-bit BMP:
//
//   dialog_screenshots.exe <vis_brim.dll> <output directory>
//
// writes config-rectangles.bmp, config-spheres.bmp and config-texture.bmp.
// Not a test: it makes the pictures in docs/, which are these files
// converted to PNG.
#include "files/ImageFile.h"
#include "player/VisModule.h"

#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Shot {
    const char* caption;
    const char* file;
};

constexpr std::array<Shot, 3> shots = {{
    {"Brimwave Rectangle Configuration", "config-rectangles.bmp"},
    {"Brimwave Sphere Configuration", "config-spheres.bmp"},
    {"Rectangle/Texture Configuration", "config-texture.bmp"},
}};

DWORD WINAPI RunConfig(void* parameter)
{
    auto* module = static_cast<VisModule*>(parameter);
    module->Config(module);
    return 0;
}

HWND WaitForDialog(const char* caption, HANDLE configThread)
{
    for (int tries = 0; tries < 500 && WaitForSingleObject(configThread, 0) == WAIT_TIMEOUT; ++tries) {
        HWND dialog = FindWindowA("#32770", caption);
        if (dialog && IsWindowVisible(dialog))
            return dialog;
        Sleep(10);
    }
    return nullptr;
}

// The whole window, frame included, as the window's own DC holds it.
bool CaptureWindow(HWND window, RgbImage& image)
{
    RECT rect;
    GetWindowRect(window, &rect);
    image.width = rect.right - rect.left;
    image.height = rect.bottom - rect.top;
    HDC windowDC = GetWindowDC(window);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);
    const bool copied = bitmap && BitBlt(memoryDC, 0, 0, image.width, image.height, windowDC, 0, 0, SRCCOPY);
    if (copied) {
        const auto* pixels = static_cast<const unsigned char*>(bits);
        image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
        for (std::size_t i = 0; i < image.pixels.size() / 3; ++i) {
            image.pixels[3 * i] = pixels[4 * i + 2];
            image.pixels[3 * i + 1] = pixels[4 * i + 1];
            image.pixels[3 * i + 2] = pixels[4 * i];
        }
    }
    SelectObject(memoryDC, previous);
    DeleteObject(bitmap);
    DeleteDC(memoryDC);
    ReleaseDC(window, windowDC);
    return copied;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: dialog_screenshots <vis_brim.dll> <output directory>\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    auto getHeader = library ? reinterpret_cast<VisHeader* (*)()>(GetProcAddress(library, "winampVisGetHeader"))
                             : nullptr;
    if (!getHeader) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    int status = 0;
    for (int index = 0; index < static_cast<int>(shots.size()); ++index) {
        VisModule* module = getHeader()->getModule(index);
        module->instance = library;
        HANDLE configThread = CreateThread(nullptr, 0, RunConfig, module, 0, nullptr);
        HWND dialog = WaitForDialog(shots[index].caption, configThread);
        RgbImage image;
        if (dialog) {
            RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
            Sleep(300);
        }
        const std::string path = std::string(argv[2]) + "\\" + shots[index].file;
        if (dialog && CaptureWindow(dialog, image) && WriteBinaryFile(path, EncodeBmp(image))) {
            std::printf("%s: %d x %d\n", path.c_str(), image.width, image.height);
        } else {
            std::fprintf(stderr, "no picture of \"%s\"\n", shots[index].caption);
            status = 1;
        }
        if (dialog)
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitForSingleObject(configThread, 10000);
        CloseHandle(configThread);
    }
    return status;
}
