// Start of the program to a usable window: from the creation of the main window to the library
// tree being ready, with a catalogue of the demo library's size, with 100,000 songs by 20,000
// artists and with 200,000 songs by 40,000 artists, and the process's memory once the large
// ones are ready and after each window has gone. A local server answers
// the version check with the catalogue's own version, as at an ordinary start with a current
// catalogue, so nothing is downloaded and the figure is the program's own work.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <string>
#include <vector>

#include "BenchCatalogue.h"
#include "NetTestSupport.h"
#include "TestSupport.h"
#include "XmlTestFiles.h"
#include "app/Globals.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "library/Library.h"
#include "ui/tree/WndTree.h"

namespace {

constexpr int kRuns = 3;
constexpr int kDemoSongs = 45;  // the demo library's size
constexpr int kDemoArtists = 9;

struct Memory {
    double workingMb = 0;
    double privateMb = 0;
};

Memory ProcessMemory() {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof(pmc);
    K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc));
    // Wine leaves PrivateUsage at 0; its PagefileUsage counts the same committed private bytes.
    const SIZE_T privateBytes = pmc.PrivateUsage != 0 ? pmc.PrivateUsage : pmc.PagefileUsage;
    return {pmc.WorkingSetSize / 1048576.0, privateBytes / 1048576.0};
}

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"\r\n<") + name + L">" + text + L"</" + name + L">";
}

// The demo library's own catalogue when it has been assembled, else one of its size.
bool WriteDemoCatalogue(const std::wstring& path, std::string& source) {
    std::wstring music = th::MusicDir();
    if (!music.empty()) {
        std::string demo = th::ReadFileBytes(music + L"..\\demo-library\\Library.xml");
        if (!demo.empty()) {
            source = "the demo library's catalogue";
            return th::WriteFileBytes(path, demo);
        }
    }
    source = "a generated catalogue of the demo library's size";
    std::wstring body = L"\r\n<LIBRARY>" + Element(L"VERSION", L"3") + Element(L"COUNT", std::to_wstring(kDemoSongs));
    for (int id = 1; id <= kDemoSongs; ++id) {
        body += L"\r\n<SONG>" + Element(L"ID", std::to_wstring(id)) + Element(L"TITLE", L"Song " + std::to_wstring(id)) +
                Element(L"ARTIST", L"Artist " + std::to_wstring(id % kDemoArtists)) +
                Element(L"FILE", L"demo\\song" + std::to_wstring(id) + L".xm") + Element(L"TYPE", L"3") +
                Element(L"SIZE", L"150000") + Element(L"LENGTH", L"180.5") + Element(L"START", L"0.1") +
                Element(L"END", L"178.25") + L"\r\n</SONG>";
    }
    body += L"\r\n</LIBRARY>";
    return th::WriteFileBytes(path, th::XmlFile(body));
}

struct Result {
    std::vector<double> seconds;
    Memory ready;
    std::vector<Memory> closed;  // after each run's window has gone
    int songs = 0;
};

// Opens the main window kRuns times on the data folder and times each start up to the tree
// being ready; the memory is taken at the first run's ready.
bool TimeStarts(nettest::CannedServer& server, Result& result) {
    {
        // Only the size and version are wanted: the probe's songs go before the first window, so
        // that the memory after each run shows what the window left behind.
        CLibrary probe(libraryPath);
        if (!probe.Reload(0)) return false;
        result.songs = probe.GetCount();
        server.SetResponse(nettest::CannedServer::Ok(std::to_string(probe.GetVersion(false))));
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int run = 0; run < kRuns; ++run) {
        const double start = th::Seconds();
        HWND window = CreateAndShowMainWindow(instance, SW_SHOWNORMAL);
        CMainWindow* hub = CMainWindow::FromHandle(window);
        if (!hub || !th::PumpUntil([&] { return hub->GetTree() && hub->GetTree()->IsReady(); }, 300000)) {
            std::printf("the tree was not ready\n");
            return false;
        }
        result.seconds.push_back(th::Seconds() - start);
        if (run == 0) result.ready = ProcessMemory();
        SendMessageW(window, WM_CLOSE, 0, 0);
        th::PumpUntil([&] { return !IsWindow(window); }, 60000);
        th::DropQuitMessage();
        th::PumpFor(200);  // what a closing window posts to itself and its threads
        // The heap keeps the pages of freed blocks until asked to give them back; after that
        // what remains is what is still held.
        _heapmin();
        result.closed.push_back(ProcessMemory());
    }
    std::sort(result.seconds.begin(), result.seconds.end());
    return true;
}

void Print(const char* what, const Result& r) {
    std::printf("%s (%d songs): start to ready best %.0f ms, median %.0f ms, worst %.0f ms (%d runs)\n", what,
                r.songs, r.seconds.front() * 1000, r.seconds[kRuns / 2] * 1000, r.seconds.back() * 1000, kRuns);
}

}  // namespace

int main() {
    hInstance = GetModuleHandleW(nullptr);
    CMainWindow::RegisterWindowClass(hInstance);
    nettest::CannedServer server;
    if (server.Url().empty()) {
        std::printf("cannot start the local server\n");
        return 1;
    }
    th::StartWithEmptySettings();
    th::WriteSettingString(L"server", server.Url());
    const Memory before = ProcessMemory();

    Result demo, large, largest;
    std::string source;
    {
        th::TempDir appData;
        SetDataFolders(appData.Path());
        if (!WriteDemoCatalogue(libraryPath, source) || !TimeStarts(server, demo)) return 1;
        SetDataFolders(L"");
    }
    {
        th::TempDir appData;
        SetDataFolders(appData.Path());
        if (!th::WriteBenchCatalogue(libraryPath) || !TimeStarts(server, large)) return 1;
        SetDataFolders(L"");
    }
    {
        th::TempDir appData;
        SetDataFolders(appData.Path());
        if (!th::WriteBenchCatalogue(libraryPath, 200000, 40000) || !TimeStarts(server, largest)) return 1;
        SetDataFolders(L"");
    }
    const Memory after = ProcessMemory();
    th::StartWithEmptySettings();

    std::printf("conditions: window created as start-up does it, version check answered by a local server with the "
                "catalogue's own version (no download), tree built on its thread; Wine on Xvfb\n");
    std::printf("demo: %s\n", source.c_str());
    Print("demo-size catalogue", demo);
    Print("100,000 songs by 20,000 artists", large);
    Print("200,000 songs by 40,000 artists", largest);
    std::printf("memory before any window: working set %.1f MB, private %.1f MB\n", before.workingMb, before.privateMb);
    std::printf("memory at ready, demo-size catalogue: working set %.1f MB, private %.1f MB\n", demo.ready.workingMb,
                demo.ready.privateMb);
    std::printf("memory at ready, 100,000 songs: working set %.1f MB, private %.1f MB\n", large.ready.workingMb,
                large.ready.privateMb);
    std::printf("memory at ready, 200,000 songs: working set %.1f MB, private %.1f MB\n", largest.ready.workingMb,
                largest.ready.privateMb);
    for (const auto& [name, result] : {std::pair{"100,000", &large}, std::pair{"200,000", &largest}}) {
        for (size_t run = 0; run < result->closed.size(); ++run)
            std::printf("memory after closing run %zu of %s songs: working set %.1f MB, private %.1f MB\n", run + 1,
                        name, result->closed[run].workingMb, result->closed[run].privateMb);
    }
    std::printf("memory at the end: working set %.1f MB, private %.1f MB\n", after.workingMb, after.privateMb);
    return 0;
}
