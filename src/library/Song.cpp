#include "library/Song.h"

namespace {

struct TypeNames {
    const wchar_t* shortName;
    const wchar_t* tracker;
};

const TypeNames kTypes[] = {
    {L"MOD", L"ProTracker"},
    {L"MTM", L"MultiTracker"},
    {L"XM", L"FastTracker"},
    {L"S3M", L"ScreamTracker"},
    {L"IT", L"ImpulseTracker"},
};

const wchar_t kJoin[] = L" & ";

}  // namespace

const wchar_t* SongTypeName(int type) {
    return type >= 1 && type <= 5 ? kTypes[type - 1].shortName : nullptr;
}

const wchar_t* SongTrackerName(int type) {
    return type >= 1 && type <= 5 ? kTypes[type - 1].tracker : nullptr;
}

void CSong::Reset() {
    id = size = channels = instruments = type = flags = 0;
    length = start = end = peak = rms = 0;
    update = 0;
    title.clear();
    artist.clear();
    coop.clear();
    tool.clear();
    file.clear();
    displayTitle.clear();
    displayArtist.clear();
    fileName.clear();
}

void CSong::SetTitle(std::wstring_view text) {
    title = text;
    displayTitle = text;
}

void CSong::SetArtist(std::wstring_view text) {
    artist = text;
    displayArtist = text;
    // A COOP read before the ARTIST is joined after it.
    if (!coop.empty()) {
        displayArtist += kJoin;
        displayArtist += coop;
    }
}

void CSong::SetCoop(std::wstring_view text) {
    coop = text;
    if (!displayArtist.empty()) {
        displayArtist += kJoin;
        displayArtist += text;
    }
}

void CSong::SetTool(std::wstring_view text) {
    tool = text;
}

void CSong::SetFile(std::wstring_view text) {
    file = text;
    size_t slash = text.rfind(L'\\');
    size_t dot = text.rfind(L'.');
    if (slash == std::wstring_view::npos || dot == std::wstring_view::npos || dot < slash) return;
    fileName = text.substr(slash + 1, dot - slash - 1);
    // A title read before or after always wins over the file name.
    if (displayTitle.empty()) displayTitle = fileName;
}

void CSong::SetType(int code) {
    type = code;
    if (tool.empty()) {
        if (const wchar_t* tracker = SongTrackerName(code)) tool = tracker;
    }
}

float CSong::LeadIn() const {
    return start > 0.2f ? start - 0.2f : 0.0f;
}

float CSong::PlayLength() const {
    if (end == 0) return 0;
    float result = length - LeadIn();
    float trailing = length - end;
    if (trailing > 2.0f) result -= trailing - 2.0f;
    return result;
}

bool CSong::EndsInSound() const {
    return length != 0 && length - end < 0.01f;
}

const wchar_t* CSong::TypeName() const {
    const wchar_t* name = SongTypeName(type);
    return name ? name : L"";
}
