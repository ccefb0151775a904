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
    id = size = channels = instruments = type = flags = subsong = 0;
    length = start = end = peak = rms = 0;
    update = 0;
    texts_.clear();
    for (uint32_t& at : at_) at = 0;
}

std::wstring_view CSong::Text(int index) const {
    if (texts_.empty()) return {};
    const size_t next = index + 1 < kTextCount ? at_[index + 1] : texts_.size();
    return {texts_.data() + at_[index], next - 1 - at_[index]};
}

// A catalogue record gives its texts in the order they lie in, so a text none of whose followers
// is set yet is written in place, without an allocation once the record the reader fills is
// warm. Any other change lays the texts out afresh.
void CSong::SetText(int index, std::wstring_view text) {
    if (texts_.empty()) {
        texts_.assign(kTextCount, L'\0');
        for (int i = 0; i < kTextCount; ++i) at_[i] = static_cast<uint32_t>(i);
    }
    const wchar_t* buffer = texts_.data();
    const bool inside = text.data() >= buffer && text.data() < buffer + texts_.size();
    const bool followersEmpty = texts_.size() - at_[index] - Text(index).size() == size_t(kTextCount - index);
    if (followersEmpty && !inside) {
        texts_.resize(at_[index]);
        texts_ += text;
        texts_.push_back(L'\0');
        for (int i = index + 1; i < kTextCount; ++i) {
            at_[i] = static_cast<uint32_t>(texts_.size());
            texts_.push_back(L'\0');
        }
        return;
    }
    std::wstring texts;
    uint32_t at[kTextCount];
    for (int i = 0; i < kTextCount; ++i) {
        at[i] = static_cast<uint32_t>(texts.size());
        texts += i == index ? text : Text(i);
        texts.push_back(L'\0');
    }
    texts_.swap(texts);
    for (int i = 0; i < kTextCount; ++i) at_[i] = at[i];
}

void CSong::SetTitle(std::wstring_view text) {
    SetText(kTitle, text);
}

void CSong::SetArtist(std::wstring_view text) {
    SetText(kArtist, text);
    // A COOP read before the ARTIST is joined after it.
    std::wstring_view coop = Coop();
    if (coop.empty()) return SetText(kJoined, {});
    std::wstring joined(text);
    joined += kJoin;
    joined += coop;
    SetText(kJoined, joined);
}

void CSong::SetCoop(std::wstring_view text) {
    SetText(kCoop, text);
    std::wstring_view shown = DisplayArtist();
    if (shown.empty()) return;
    std::wstring joined(shown);
    joined += kJoin;
    joined += text;
    SetText(kJoined, joined);
}

void CSong::SetTool(std::wstring_view text) {
    SetText(kTool, text);
}

void CSong::SetFile(std::wstring_view text) {
    SetText(kFile, text);
    size_t slash = text.rfind(L'\\');
    size_t dot = text.rfind(L'.');
    if (slash == std::wstring_view::npos || dot == std::wstring_view::npos || dot < slash) return;
    SetText(kFileName, text.substr(slash + 1, dot - slash - 1));
}

void CSong::SetType(int code) {
    type = code;
}

std::wstring_view CSong::Tool() const {
    std::wstring_view tool = Text(kTool);
    if (!tool.empty()) return tool;
    const wchar_t* tracker = SongTrackerName(type);
    return tracker ? tracker : L"";
}

// A title read before or after always wins over the file name.
std::wstring_view CSong::DisplayTitle() const {
    std::wstring_view title = Title();
    return title.empty() ? FileName() : title;
}

std::wstring_view CSong::DisplayArtist() const {
    std::wstring_view joined = Text(kJoined);
    return joined.empty() ? Artist() : joined;
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
