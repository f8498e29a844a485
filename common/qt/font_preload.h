// The font configuration read ahead of the window. Reading it (the system's
// fontconfig files and caches) is the largest single cost of showing the
// first window with text, several milliseconds, and the toolkit reads it
// only when the first widget measures a text, after it has connected to the
// display. Read on a thread of its own while the toolkit connects, it is
// ready when the window is built.
#pragma once

#include <thread>

namespace vexla {

class FontPreload {
public:
    // Starts reading the font configuration on a thread of its own.
    FontPreload();
    // Waits for the reading to end.
    ~FontPreload();
    FontPreload(const FontPreload&) = delete;
    FontPreload& operator=(const FontPreload&) = delete;

    // Waits for the reading to end: called before anything measures a text,
    // so that the toolkit uses the configuration read here rather than
    // reading it a second time beside this thread.
    void wait();

private:
    std::thread thread_;
};

}  // namespace vexla
