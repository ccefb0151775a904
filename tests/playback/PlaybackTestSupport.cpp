#include "PlaybackTestSupport.h"

#include "ModuleWriter.h"

#include <shlobj.h>

#include <cstdio>

namespace playtest {
namespace {

std::wstring Number(double value) {
    wchar_t text[32];
    swprintf(text, 32, L"%.4f", value);
    return text;
}

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"<") + name + L">" + text + L"</" + name + L">";
}

}  // namespace

bool WriteSongFile(const std::wstring& path, const std::string& image) {
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) SHCreateDirectoryExW(nullptr, path.substr(0, slash).c_str(), nullptr);
    return th::WriteFileBytes(path, image);
}

bool WriteCatalogue(const std::wstring& path, const std::vector<Song>& songs) {
    std::wstring xml = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<LIBRARY>";
    xml += Element(L"VERSION", L"1") + Element(L"COUNT", std::to_wstring(songs.size()));
    int id = 0;
    for (const Song& s : songs) {
        ++id;
        std::wstring title = s.title.empty() ? L"Song " + std::to_wstring(id) : s.title;
        xml += L"\r\n<SONG>" + Element(L"ID", std::to_wstring(id)) + Element(L"TITLE", title) +
               Element(L"ARTIST", s.artist) + Element(L"FILE", s.file) +
               Element(L"UPDATE", std::to_wstring(s.update)) + Element(L"TYPE", std::to_wstring(s.type)) +
               Element(L"CHAN", L"4") + Element(L"INST", std::to_wstring(s.instruments)) +
               Element(L"SIZE", std::to_wstring(s.image.size())) + Element(L"LENGTH", Number(s.length)) +
               Element(L"START", Number(s.start)) + Element(L"END", Number(s.end)) +
               Element(L"PEAK", Number(s.peak)) + Element(L"RMS", Number(s.rms)) +
               (s.subsong ? Element(L"SUBSONG", std::to_wstring(s.subsong)) : L"") + L"</SONG>";
    }
    xml += L"\r\n</LIBRARY>";
    std::string bytes(reinterpret_cast<const char*>(xml.data()), xml.size() * sizeof(wchar_t));
    return th::WriteFileBytes(path, bytes);
}

double ModuleSeconds(int rows, int speed, int tempo) { return rows * speed * 2.5 / tempo; }

std::string Module(int rows, int voice, bool loop, int leadRows, int format, int speed, int tempo) {
    th::ModuleSpec spec;
    spec.format = static_cast<th::ModuleFormat>(format);
    spec.speed = speed;
    spec.tempo = tempo;
    spec.soundRows = rows;
    spec.leadRows = leadRows;
    spec.loop = loop;
    spec.samples = 1 + voice % 3;
    spec.noteEvery = 2 + voice;
    return th::CModuleWriter::Write(spec);
}

std::unique_ptr<CPlaylist> PlaylistOf(const std::vector<int>& ids) {
    auto playlist = std::make_unique<CPlaylist>(CPlaylist::kUser);
    for (int id : ids) playlist->Add(id, true);
    return playlist;
}

std::vector<float> RenderAlone(const std::string& image, DWORD flags, size_t bytes, int subsong) {
    std::vector<float> samples;
    HMUSIC music = BASS_MusicLoad(TRUE, image.data(), 0, DWORD(image.size()), flags, 0);
    if (!music) return samples;
    if (!BASS_MusicSelectSubsong(music, DWORD(subsong))) {
        BASS_MusicFree(music);
        return samples;
    }
    std::vector<float> block(2048);
    while (samples.size() * sizeof(float) < bytes) {
        size_t want = std::min(block.size() * sizeof(float), bytes - samples.size() * sizeof(float));
        DWORD got = BASS_ChannelGetData(music, block.data(), DWORD(want));
        if (got == 0 || got == DWORD(-1)) break;
        samples.insert(samples.end(), block.begin(), block.begin() + got / sizeof(float));
    }
    BASS_MusicFree(music);
    return samples;
}

std::vector<float> Pull(COutput& output, size_t limit, DWORD block, bool* ended) {
    std::vector<float> samples;
    std::vector<float> buffer(block / sizeof(float));
    if (ended) *ended = false;
    while (samples.size() * sizeof(float) < limit) {
        DWORD result = COutput::StreamProc(0, buffer.data(), block, &output);
        DWORD bytes = result & ~BASS_STREAMPROC_END;
        samples.insert(samples.end(), buffer.begin(), buffer.begin() + bytes / sizeof(float));
        if (result & BASS_STREAMPROC_END) {
            if (ended) *ended = true;
            break;
        }
    }
    return samples;
}

void EngineTest::TearDown() {
    output.reset();
    library.reset();
}

void EngineTest::Open(const std::vector<Song>& list, DWORD rate) {
    songs = list;
    freq = rate;
    for (const Song& s : songs) {
        if (!s.image.empty()) {
            ASSERT_TRUE(WriteSongFile(folder.File(s.file), s.image));
        }
    }
    std::wstring catalogue = folder.File(L"Library.xml");
    ASSERT_TRUE(WriteCatalogue(catalogue, songs));
    library = std::make_unique<CLibrary>(catalogue);
    ASSERT_TRUE(library->Reload(0));
    ASSERT_EQ(library->GetCount(), int(songs.size()));
    output = std::make_unique<COutput>(library.get(), nullptr, nullptr, folder.Path(), &flags, &volume, &panning,
                                       &random);
    ASSERT_TRUE(output->Initialise(&device, &freq));
}

DWORD EngineTest::LoadFlags(const Song& s) const {
    DWORD f = BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT | (flags & FLAG_MUSIC_MASK);
    if (s.type == 1) f |= BASS_MUSIC_PT1MOD;
    if (s.length != 0 && s.length - s.end < 0.01f) f |= BASS_MUSIC_LOOP;
    return f & ~BASS_UNICODE;
}

bool EngineTest::Load(CPlaylist* playlist, int index, float seconds) {
    output->SetPlaylist(playlist);
    output->SetNext(playlist->GetIdAt(index), playlist->GetSerialAt(index));
    return output->LoadSong(seconds);
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) { return th::PumpUntil(done, timeoutMs); }

}  // namespace playtest
