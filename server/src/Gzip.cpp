#include "Gzip.h"

#include <zlib.h>

namespace th {

std::optional<std::string> GzipCompress(std::string_view data) {
    z_stream zs{};
    // 15 window bits + 16 selects the gzip wrapper instead of zlib's own.
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    std::string out;
    out.resize(deflateBound(&zs, static_cast<uLong>(data.size())) + 32);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    const size_t produced = zs.total_out;
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) return std::nullopt;
    out.resize(produced);
    return out;
}

std::optional<std::string> GzipDecompress(std::string_view data) {
    z_stream zs{};
    if (inflateInit2(&zs, 15 + 16) != Z_OK) return std::nullopt;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    std::string out;
    char buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - zs.avail_out);
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;  // input ended before the stream did
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) return std::nullopt;
    return out;
}

}  // namespace th
