#pragma once
// Previous, Play/Pause and Next buttons on the window's taskbar preview, where the shell offers
// them (ITaskbarList3, Windows 7 and later). A click arrives at the window as WM_COMMAND with
// THBN_CLICKED and the toolbar's command id. Where the shell has no such buttons (Wine, older
// shells) nothing is shown and nothing else changes.

#include "base/Handle.h"

#include <windows.h>
#include <shobjidl.h>

class CTaskbarButtons {
public:
    CTaskbarButtons() = default;
    virtual ~CTaskbarButtons();
    CTaskbarButtons(const CTaskbarButtons&) = delete;
    CTaskbarButtons& operator=(const CTaskbarButtons&) = delete;

    // The message the shell sends once the window's taskbar button exists.
    static UINT ButtonCreatedMessage();

    // Adds the buttons to `window`'s preview with the images of `images` (the toolbar's,
    // indexed by `playImage`, `pauseImage`, `previousImage`, `nextImage`). False where the
    // shell offers none.
    bool Add(HWND window, HIMAGELIST images, int playImage, int pauseImage, int previousImage, int nextImage);
    // The Play/Pause button shows the pause image while a song plays; buttons follow the
    // toolbar's enabled states.
    void Update(bool pauseImage, bool play, bool previous, bool next);
    bool IsShown() const { return list_ != nullptr; }

private:
    void Release();

    HWND window_ = nullptr;
    ITaskbarList3* list_ = nullptr;
    bool comInitialised_ = false;
    int playImage_ = 0;
    int pauseImage_ = 0;
    int previousImage_ = 0;
    int nextImage_ = 0;
};
