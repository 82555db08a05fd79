#pragma once
// A folder only this user can reach, for files others must not plant or read (the hand-over
// socket): a real folder, not a link to one, owned by this user, mode 0700.

#include <string>

// Checks `path` without changing it; false with `why` when it is not such a folder.
bool IsPrivateFolder(const std::string& path, std::string* why);

// Creates `path` as such a folder when nothing is there, then checks it as IsPrivateFolder
// does. Whatever was there already is left as it was.
bool MakePrivateFolder(const std::string& path, std::string* why);
