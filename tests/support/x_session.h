// A private X display for end-to-end tests of the windows: Xvfb with a
// window manager (for close requests), and xdotool/ImageMagick to drive and
// look at the windows as a user would.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

class Screenshot {
public:
    Screenshot(int width, int height, std::vector<unsigned char> rgb)
        : width_(width), height_(height), rgb_(std::move(rgb)) {}
    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const;
    int count(Rgb colour) const;
    // Pixels of a colour inside a rectangle.
    int count_in(Rgb colour, int x0, int y0, int x1, int y1) const;
    bool empty() const { return rgb_.empty(); }

private:
    int width_, height_;
    std::vector<unsigned char> rgb_;
};

class XSession {
public:
    // Starts Xvfb (and openbox when with_window_manager) on a free display.
    explicit XSession(bool with_window_manager = true);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    const std::string& display() const { return display_; }
    // Runs a command with DISPLAY set; returns its standard output.
    std::string run(const std::string& command) const;

    // The id of the first window whose title is exactly `title`, or "" after
    // the timeout. Both waits end as soon as the window is there; their
    // limits leave room for a machine busy building (a fresh clone's suite
    // builds the fuzzer while windows open), where mapping a window has
    // taken over ten seconds.
    std::string find_window(const std::string& title,
                            std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    bool is_viewable(const std::string& window) const;
    bool wait_viewable(const std::string& window, bool viewable,
                       std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    Geometry geometry(const std::string& window) const;

    // Brings the window to the top and gives it the focus.
    void raise(const std::string& window) const;
    // Pointer actions at window-relative coordinates, on the raised window.
    void click(const std::string& window, int x, int y, int button = 1) const;
    void drag(const std::string& window, int x0, int y0, int x1, int y1, int steps = 10) const;
    void type(const std::string& window, const std::string& text) const;
    void key(const std::string& window, const std::string& keys) const;
    // Asks the window manager to close the window (as its close button does).
    void close(const std::string& window) const;

    Screenshot capture(const std::string& window) const;
    // Lets pending X events and redraws settle.
    void settle(std::chrono::milliseconds pause = std::chrono::milliseconds(300)) const;

private:
    std::string display_;
    pid_t server_ = -1;
    pid_t window_manager_ = -1;
};
