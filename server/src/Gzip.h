#pragma once
// In-memory gzip for the server's bodies and for checking them in tests.
#include <optional>
#include <string>
#include <string_view>

namespace th {

// Compresses data into one gzip member (header with no name and time 0). Empty on failure.
std::optional<std::string> GzipCompress(std::string_view data);

// Unpacks a whole gzip stream; nothing when the data is not gzip, is damaged or is cut short.
std::optional<std::string> GzipDecompress(std::string_view data);

}  // namespace th
