// The launcher's own folders and files, closed to other users: folders 0700 and files 0600 on
// Linux; on Windows they lie in the user's profile, whose folders are the user's alone already.
#pragma once

#include <filesystem>

namespace tarnwick::private_files {

// Makes the folder and its missing parents; the folder itself, also when it was there, and each
// parent made here are closed to others. False when it is not a folder afterwards.
bool make_folder(const std::filesystem::path& folder);
// Makes the file (empty) when it is missing and closes it to others, so that a stream opened on it
// afterwards writes into a file nobody else reads. False when it cannot be made.
bool make_file(const std::filesystem::path& file);

} // namespace tarnwick::private_files
