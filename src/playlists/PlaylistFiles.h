#pragma once
// Where the favourites and the user playlists are stored below the data folder, and how a
// playlist's name becomes a file name and back. Every path is empty when the data folder
// is unknown, so that nothing is ever read or written relative to the current folder.

#include <string>

// The characters a file name cannot hold (and the escape character itself) become "%"
// and their code in lower-case hexadecimal: "a:b" gives "a%3ab", "100%" gives "100%25",
// "Best?" gives "Best%3f". A device name has its first character escaped: "CON" gives "%43ON".
std::wstring EscapeName(const std::wstring& name);
// Reverses EscapeName; a "%" with fewer than two characters after it ends the name.
std::wstring UnescapeName(const std::wstring& escaped);

// dataFolder ends in a backslash.
std::wstring FavouritesPath(const std::wstring& dataFolder);
std::wstring PlaylistsFolder(const std::wstring& dataFolder);  // ends in a backslash
std::wstring PlaylistPath(const std::wstring& dataFolder, const std::wstring& name);
// The playlist name of a file name found in the playlists folder ("a%3ab.xml" gives "a:b").
std::wstring PlaylistNameFromFile(const std::wstring& fileName);
