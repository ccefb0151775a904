#include "playback/OutputItem.h"

void COutputItem::Clear() {
    songId = 0;
    serial = 0;
    streamStart = 0;
    startOffset = 0;
}
