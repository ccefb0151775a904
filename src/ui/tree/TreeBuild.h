#pragma once
// The build of the tree's Library branch on a thread of its own: the catalogue is read in steps
// with its progress in the status bar, the songs are grouped by artist and collaboration, and
// the tree control is asked to insert the nodes. The build can be stopped within one step.
//
// The nodes are inserted in their final order, each at the end of its siblings: sorting the
// artists once here costs far less than letting the control search 20,000 siblings for the
// place of every new one. They travel in batches, one sent message for many nodes, so that the
// window thread is interrupted rarely and the control's thread does every insertion.

#include "base/Handle.h"
#include "library/Artist.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <map>
#include <unordered_map>
#include <memory>
#include <string>
#include <vector>

class CCache;
class CLibrary;
class CPlaylist;
class CWndStatus;

class CTreeBuild {
public:
    // One node for the control to insert on its own thread (see WM_APP_TREE_INSERT).
    struct Insert {
        const wchar_t* text = nullptr;
        CPlaylist* playlist = nullptr;  // owned by the node once it is inserted
        HTREEITEM parent = nullptr;     // used when parentIndex < 0
        int parentIndex = -1;           // an earlier request of the same batch
        HTREEITEM after = TVI_LAST;
        int image = 0;
        int selectedImage = 0;
        HTREEITEM item = nullptr;       // set by the control; null when not inserted
    };

    // Image list indexes of the nodes the build makes.
    struct Images {
        int library = 0;
        int artist = 0;
        int artistOpen = 0;
    };

    // Nodes per sent message: the stop and the progress are looked at between batches.
    static constexpr int kInsertBatch = 512;
    // Characters parsed per step of the catalogue.
    static constexpr int kStepBudget = 65536;

    // control receives the insertions and WM_APP_TREE_BUILT; owner gets WM_APP_LIBRARY_READY 0.
    CTreeBuild(HWND control, HWND owner, CWndStatus* status, CLibrary* library, CCache* cache);
    virtual ~CTreeBuild();
    CTreeBuild(const CTreeBuild&) = delete;
    CTreeBuild& operator=(const CTreeBuild&) = delete;

    // Window thread. Starts the thread; false when it already ran or cannot be started.
    bool Start(const Images& images);
    // Window thread. Asks the thread to stop and waits for it, letting the messages it sends
    // through meanwhile so that it can never be stuck in one while this thread waits.
    void Stop();
    // True from Start until Stop asks the thread to end.
    bool IsRunning() const;
    bool HasStarted() const { return static_cast<bool>(thread_); }

    // After WM_APP_TREE_BUILT, on the window thread: the Library node (null if it could not be
    // made) and the number of distinct artists.
    HTREEITEM GetLibraryItem() const { return libraryItem_; }
    int GetArtistCount() const { return artistCount_; }
    // The artist nodes made, in the order they stand under the Library node.
    std::vector<HTREEITEM> TakeArtistItems() { return std::move(artistItems_); }
    // Drops the grouping records once the tree is complete; the playlists stay with the nodes.
    void ReleaseArtists();

    // Groups one song; false when there is no such song (which ends the grouping). A hidden
    // song or one without sound uses one serial number like every other song, but gets no
    // entry. Build thread only (tests call it directly on a build that is not started).
    bool AddSong(int id);
    // Artist records made so far, in the order of their first song.
    const std::vector<CArtist*>& GetArtists() const { return order_; }

private:
    static DWORD WINAPI ThreadProc(void* self);
    void Run();
    bool ReadCatalogue();
    void InsertLibraryNode();
    void Group();
    void InsertArtists();
    bool SendBatch(std::vector<Insert>& batch);

    HWND control_;
    HWND owner_;
    CWndStatus* status_;
    CLibrary* library_;
    CCache* cache_;
    Images images_;
    // The message the status bar showed when the build began (the server could not be
    // reached, say): shown again once the build's own texts are done. Written by Start before
    // the thread exists; read by the thread.
    std::wstring startText_;

    // True while the build may go on; cleared by Stop. Looked at before every song and every
    // batch: an atomic costs nothing there, where waiting on an event would be a system call.
    std::atomic<bool> running_{false};
    ThreadHandle thread_;

    // Written by the build thread only; read by the window thread once WM_APP_TREE_BUILT has
    // arrived (the thread has posted it as its last act).
    // By exact artist text. Hashed: the order of the nodes is made once, by sorting, so the
    // lookup of each song's artist need not keep one.
    std::unordered_map<std::wstring, CArtist> artists_;
    std::vector<CArtist*> order_;
    std::wstring key_;  // the text looked up, kept so that a lookup allocates nothing
    HTREEITEM libraryItem_ = nullptr;
    std::vector<HTREEITEM> artistItems_;
    int artistCount_ = 0;
};
