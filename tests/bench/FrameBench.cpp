// What the frame adds to the program's start and to each playback tick: drawing the toolbar's
// twelve button images, creating the rebar with its trackbars and toolbar, moving the
// splitter's bar, and the position trackbar's per-tick update.
#include <windows.h>

#include <cstdio>

#include "TestSupport.h"
#include "app/Ids.h"
#include "ui/frame/ToolbarImages.h"
#include "ui/frame/WndRebar.h"
#include "ui/frame/WndSplit.h"
#include "ui/frame/WndToolbar.h"
#include "ui/frame/WndTrackbar.h"

namespace {

constexpr int kRuns = 20;
constexpr int kTicks = 100000;

HWND MakeParent() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"thFrameBench";
    RegisterClassExW(&wc);
    HWND w = CreateWindowExW(0, L"thFrameBench", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600,
                             nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(w, SW_SHOWNORMAL);
    return w;
}

}  // namespace

int main() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        double start = th::Seconds();
        std::vector<uint8_t> block = DrawToolbarImages();
        double took = th::Seconds() - start;
        if (took < best) best = took;
        if (block.size() != static_cast<size_t>(kToolbarImages) * kToolbarImageBytes) return 1;
    }
    printf("toolbar images: 12 images drawn in %.2f ms (best of %d)\n", best * 1000, kRuns);

    HWND parent = MakeParent();
    best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        double start = th::Seconds();
        CWndRebar rebar;
        CWndTrackbar position, volume, pan;
        CWndToolbar toolbar;
        rebar.Create(instance, parent);
        position.Create(instance, rebar.GetWindow(), TRACKBAR_POSITION);
        volume.Create(instance, rebar.GetWindow(), TRACKBAR_VOLUME);
        pan.Create(instance, rebar.GetWindow(), TRACKBAR_PAN);
        toolbar.Create(instance, rebar.GetWindow());
        rebar.AddBand(position.GetWindow(), nullptr);
        rebar.AddBand(toolbar.GetWindow(), nullptr);
        rebar.AddBand(pan.GetWindow(), L"Pan");
        rebar.AddBand(volume.GetWindow(), L"Vol");
        double took = th::Seconds() - start;
        if (took < best) best = took;
        DestroyWindow(rebar.GetWindow());
        th::PumpFor(1);
    }
    printf("rebar with three trackbars and the toolbar: created in %.2f ms (best of %d)\n",
           best * 1000, kRuns);

    CWndRebar rebar;
    rebar.Create(instance, parent);
    CWndSplit split;
    split.Create(instance, parent, rebar.GetWindow(), nullptr, nullptr, nullptr, 240);
    double start = th::Seconds();
    for (int i = 0; i < kRuns * 10; ++i) split.SetSplit(200 + (i % 2) * 100);
    printf("splitter: moving the bar and laying the panes out: %.3f ms each (%d moves)\n",
           (th::Seconds() - start) * 1000 / (kRuns * 10), kRuns * 10);

    CWndTrackbar position;
    position.Create(instance, rebar.GetWindow(), TRACKBAR_POSITION);
    position.SetDuration(300.0f);
    // A tick moves the thumb about every 1.5 ticks of a 300 s song (2000 steps); most ticks
    // of a longer song leave it where it is.
    start = th::Seconds();
    for (int i = 0; i < kTicks; ++i) position.SetSeconds(static_cast<float>(i % 3000) * 0.1f);
    printf("position trackbar tick that moves the thumb: %.2f us each (%d ticks)\n",
           (th::Seconds() - start) * 1e6 / kTicks, kTicks);
    start = th::Seconds();
    for (int i = 0; i < kTicks; ++i) position.SetSeconds(42.0f);
    printf("position trackbar tick that leaves it: %.2f us each (%d ticks)\n",
           (th::Seconds() - start) * 1e6 / kTicks, kTicks);
    DestroyWindow(parent);
    return 0;
}
