#include "ui/tree/TreeBuild.h"

#include "app/Ids.h"
#include "library/Library.h"
#include "net/Cache.h"
#include "playlists/Playlist.h"
#include "playlists/PlaylistItem.h"
#include "ui/frame/WndStatus.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

constexpr const wchar_t* kReadingText = L"Reading library";
constexpr const wchar_t* kBuildingText = L"Building tree";
constexpr const wchar_t* kLibraryText = L"Library";

// The key of a node text in the order the control sorts siblings in (the user's locale, without
// regard to case): comparing keys as bytes gives that order without a locale comparison per
// pair, which is what makes sorting 20,000 artists cheap.
std::string SortKey(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), length,
                            nullptr, 0);
    std::string key(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), length,
                     reinterpret_cast<wchar_t*>(key.data()), size);
    return key;
}

// Sorts items by their texts; equal texts keep their order of arrival, as the control puts a new
// item after the equal ones already there.
template <typename T, typename Text>
void SortByText(std::vector<T>& items, Text text) {
    std::vector<std::pair<std::string, size_t>> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) keys.emplace_back(SortKey(text(items[i])), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const auto& key : keys) sorted.push_back(items[key.second]);
    items.swap(sorted);
}

}  // namespace

CTreeBuild::CTreeBuild(HWND control, HWND owner, CWndStatus* status, CLibrary* library,
                       CCache* cache)
    : control_(control), owner_(owner), status_(status), library_(library), cache_(cache) {}

// The artist records free the playlists that never got a node.
CTreeBuild::~CTreeBuild() {
    Stop();
}

bool CTreeBuild::Start(const Images& images) {
    if (thread_ || !library_) return false;
    images_ = images;
    if (status_) startText_ = status_->GetStatusText();
    // The song cache looks songs up on its own thread; it must not do so while the catalogue is
    // emptied and refilled. It gets the library back with the favourites once the tree is ready.
    if (cache_) cache_->ReleaseLibrary();
    running_ = true;
    thread_.reset(CreateThread(nullptr, 0, &CTreeBuild::ThreadProc, this, 0, nullptr));
    if (!thread_) running_ = false;
    return static_cast<bool>(thread_);
}

bool CTreeBuild::IsRunning() const {
    return running_;
}

void CTreeBuild::Stop() {
    if (!thread_) return;
    running_ = false;
    // The thread may be inside SendMessageW to this very thread (a batch of nodes): sent
    // messages are handled while waiting, and nothing else is dispatched. The thread checks the
    // stop between steps, so it ends quickly; should a slow disk hold one step for long, the
    // wait goes on all the same, since the thread uses this object, the library and the tree.
    // A batch already waiting counts too, even one this thread has looked at without taking it:
    // waiting for new input only would then wait for ever.
    HANDLE thread = thread_.get();
    for (;;) {
        DWORD r = MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (r != WAIT_OBJECT_0 + 1) break;  // ended (or the handle is unusable)
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void CTreeBuild::ReleaseArtists() {
    order_.clear();
    order_.shrink_to_fit();
    artists_.clear();
}

DWORD WINAPI CTreeBuild::ThreadProc(void* self) {
    static_cast<CTreeBuild*>(self)->Run();
    return 0;
}

void CTreeBuild::Run() {
    if (!ReadCatalogue()) return;  // stopped while reading: no further messages
    if (status_) {
        status_->SetStatusText(kBuildingText);
        status_->SetProgress(0);
    }
    PostMessageW(owner_, WM_APP_LIBRARY_READY, 0, 0);
    InsertLibraryNode();
    Group();
    InsertArtists();
    artistCount_ = static_cast<int>(artists_.size());
    if (status_) {
        status_->SetStatusText(startText_.empty() ? nullptr : startText_.c_str());
        status_->SetProgress(-1);
    }
    PostMessageW(control_, WM_APP_TREE_BUILT, 0, 0);
}

// False when the build was stopped meanwhile. A missing file is no stop: the tree is then built
// from an empty catalogue.
bool CTreeBuild::ReadCatalogue() {
    if (status_) {
        status_->SetStatusText(kReadingText);
        status_->SetProgress(0);
    }
    if (library_->Reload(kStepBudget)) {
        while (IsRunning() && library_->ParseStep()) {
            if (status_) status_->SetProgress(library_->GetProgress());
        }
    }
    return IsRunning();
}

void CTreeBuild::InsertLibraryNode() {
    auto library = std::make_unique<CPlaylist>(CPlaylist::kLibrary);
    std::vector<Insert> batch(1);
    batch[0].text = kLibraryText;
    batch[0].playlist = library.get();
    batch[0].parent = TVI_ROOT;
    batch[0].after = TVI_FIRST;
    batch[0].image = batch[0].selectedImage = images_.library;
    SendBatch(batch);
    libraryItem_ = batch[0].item;
    if (libraryItem_) library.release();  // the node's now
}

// Songs go from the highest id down, so that the serial numbers run as they always have; the
// progress of this part is the first half of the bar.
void CTreeBuild::Group() {
    const int n = library_->GetCount();
    artists_.reserve(static_cast<size_t>(n) / 4 + 16);
    for (int i = n; IsRunning();) {
        bool ok = AddSong(i);
        --i;
        if (!ok) break;
        if (status_ && (i & 1023) == 0) status_->SetProgress(MulDiv(50, n - i, n));
    }
}

bool CTreeBuild::AddSong(int id) {
    const CSong* song = library_->GetSong(id);
    if (!song) return false;
    if (song->IsHidden() || song->PlayLength() == 0) {
        CPlaylistItem::NextSerial();
        return true;
    }
    key_.assign(song->Artist());
    auto [it, made] = artists_.try_emplace(key_, key_);
    CArtist& artist = it->second;
    if (made) {
        artist.playlist = std::make_unique<CPlaylist>(CPlaylist::kArtist);
        order_.push_back(&artist);
    }
    CPlaylist* target = artist.playlist.get();
    if (!song->Coop().empty()) {
        std::unique_ptr<CPlaylist>& collaboration = artist.collaborations[key_.assign(song->DisplayArtist())];
        if (!collaboration) collaboration = std::make_unique<CPlaylist>(CPlaylist::kArtist);
        target = collaboration.get();
    }
    target->Add(id, true);
    return true;
}

// Every artist with its collaborations right after it, in the control's order, a batch at a
// time; the stop is honoured between batches and the progress is the second half of the bar.
void CTreeBuild::InsertArtists() {
    if (!libraryItem_ || !IsRunning()) return;
    std::vector<CArtist*> sorted = order_;
    SortByText(sorted, [](const CArtist* artist) -> const std::wstring& { return artist->name; });

    std::vector<Insert> batch;
    batch.reserve(kInsertBatch + 64);
    std::vector<CArtist*> batchArtists;  // the artist of each request that is an artist node
    std::vector<std::pair<const std::wstring*, CPlaylist*>> collaborations;  // of one artist
    const int total = static_cast<int>(sorted.size());
    int done = 0;
    // Each playlist whose node was made is the node's from here on; the others stay with the
    // records, which free them.
    auto flush = [&]() {
        bool sent = SendBatch(batch);
        for (size_t k = 0; k < batch.size(); ++k) {
            HTREEITEM item = sent ? batch[k].item : nullptr;
            if (CArtist* artist = batchArtists[k]) {
                artist->treeItem = item;
                if (!item) continue;
                artist->playlist.release();
                artistItems_.push_back(item);
            } else if (item) {
                batchArtists[batch[k].parentIndex]->collaborations[batch[k].text].release();
            }
        }
        batch.clear();
        batchArtists.clear();
        if (status_ && total) status_->SetProgress(50 + MulDiv(50, done, total));
    };
    for (CArtist* artist : sorted) {
        if (!IsRunning()) break;
        Insert node;
        node.text = artist->name.c_str();
        node.playlist = artist->playlist.get();
        node.parent = libraryItem_;
        node.image = images_.artist;
        node.selectedImage = images_.artistOpen;
        const int parentIndex = static_cast<int>(batch.size());
        batch.push_back(node);
        batchArtists.push_back(artist);

        collaborations.clear();
        for (auto& [name, playlist] : artist->collaborations) collaborations.emplace_back(&name, playlist.get());
        if (collaborations.size() > 1)
            SortByText(collaborations, [](const auto& c) -> const std::wstring& { return *c.first; });
        for (auto& [name, playlist] : collaborations) {
            Insert child = node;
            child.text = name->c_str();
            child.playlist = playlist;
            child.parent = nullptr;
            child.parentIndex = parentIndex;
            batch.push_back(child);
            batchArtists.push_back(nullptr);
        }
        ++done;
        if (static_cast<int>(batch.size()) >= kInsertBatch) flush();
    }
    if (!batch.empty()) flush();
}

// False when the control did not take the batch (it is gone, or the build is being stopped);
// every item is then null.
bool CTreeBuild::SendBatch(std::vector<Insert>& batch) {
    for (Insert& insert : batch) insert.item = nullptr;
    if (batch.empty()) return true;
    return SendMessageW(control_, WM_APP_TREE_INSERT, batch.size(),
                        reinterpret_cast<LPARAM>(batch.data())) != 0;
}
