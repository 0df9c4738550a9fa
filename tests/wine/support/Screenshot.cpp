#include "support/Screenshot.h"

#include <vector>

#ifdef TERVEX_HAVE_STB
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#endif

namespace testing_host {
namespace {

// Lets the window and its children paint everything that is pending.
void Paint(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    for (int round = 0; round < 10; ++round) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

class ScreenDc {
public:
    explicit ScreenDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace

bool ScreenshotsAvailable() {
#ifdef TERVEX_HAVE_STB
    return true;
#else
    return false;
#endif
}

bool SaveClientPng(HWND window, const std::string& path, std::string& error) {
#ifndef TERVEX_HAVE_STB
    error = "built without stb_image_write.h";
    return false;
#else
    Paint(window);
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) {
        error = "empty client area";
        return false;
    }
    ScreenDc screen(window);
    HDC memory = CreateCompatibleDC(screen.get());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!memory || !bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        if (memory) DeleteDC(memory);
        error = "no bitmap";
        return false;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const BOOL copied = BitBlt(memory, 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
    GdiFlush();
    const int stride = ((width * 3) + 3) & ~3;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    const auto* source = static_cast<const unsigned char*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* bgr = source + static_cast<size_t>(y) * stride + x * 3;
            unsigned char* out = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    if (!copied) {
        error = "BitBlt failed";
        return false;
    }
    if (!stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
#endif
}

}  // namespace testing_host
