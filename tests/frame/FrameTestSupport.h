#pragma once
// A visible top-level window that hosts frame controls under test and records the commands,
// scroll messages and notifications that reach it.

#include <windows.h>

#include <vector>

namespace frametest {

struct Message {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

class RecordingParent {
public:
    explicit RecordingParent(int clientWidth = 800, int clientHeight = 500);
    ~RecordingParent();
    RecordingParent(const RecordingParent&) = delete;
    RecordingParent& operator=(const RecordingParent&) = delete;

    HWND Handle() const { return window_; }
    // WM_COMMAND and WM_HSCROLL as they arrived, oldest first.
    const std::vector<Message>& Received() const { return received_; }
    void Clear() { received_.clear(); }
    // Resizes the window so that its client area has this size.
    void SetClientSize(int width, int height);

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    HWND window_ = nullptr;
    std::vector<Message> received_;
};

}  // namespace frametest
