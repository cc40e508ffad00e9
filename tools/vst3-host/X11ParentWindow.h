// A host's top-level X11 window for an editor view to embed into, on a display connection of its
// own (DISPLAY), with what a test needs around it: the embedded windows, their pixels, and
// synthetic mouse events sent to them. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ringstill::vst3host {

class X11ParentWindow
{
public:
    // A mapped window of this size; nullptr and a reason in error without a display.
    static std::unique_ptr<X11ParentWindow> Open(int width, int height, std::string* error = nullptr);
    ~X11ParentWindow();

    X11ParentWindow(const X11ParentWindow&) = delete;
    X11ParentWindow& operator=(const X11ParentWindow&) = delete;

    unsigned long Id() const { return window; }
    // The id as the view's attached takes it.
    void* Handle() const { return reinterpret_cast<void*>(std::uintptr_t(window)); }
    bool Resize(int width, int height);

    // The windows inside this one, bottom first.
    std::vector<unsigned long> Children() const;
    // A window's size and whether it is mapped; false when it does not exist.
    bool Geometry(unsigned long target, int& width, int& height, bool& mapped) const;

    struct Image
    {
        int width = 0;
        int height = 0;
        std::vector<std::uint32_t> pixels; // 0xAARRGGBB, alpha 255, rows top to bottom
        std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    };
    // What the screen shows of a window; empty when it cannot be read.
    Image Capture(unsigned long target) const;

    // Synthetic events as the server would deliver them to target (button 1 left, 3 right,
    // 4/5 wheel); time in milliseconds of the server's clock as the event carries it.
    bool SendButton(unsigned long target, unsigned button, bool press, int x, int y, unsigned long time,
                    unsigned state = 0);
    bool SendMotion(unsigned long target, int x, int y, unsigned long time, unsigned state = 0);
    bool SendLeave(unsigned long target, int x, int y, unsigned long time);
    // A key of the server's keyboard map by its key symbol (XK_...), with the modifier state.
    bool SendKey(unsigned long target, unsigned long keysym, bool press, unsigned long time, unsigned state = 0);

private:
    X11ParentWindow() = default;

    void* display = nullptr;
    unsigned long window = 0;
};

// Writes an image as a PNG file; false when it cannot.
bool WritePng(const X11ParentWindow::Image& image, const std::string& path);

} // namespace ringstill::vst3host
