// A fresh folder for one test's files, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace bw::dialogs::testing {

class TempFolder {
public:
	TempFolder() {
		path_ = std::filesystem::temp_directory_path() / ("bw-dialogs-" + std::to_string(std::random_device()()));
		std::filesystem::create_directories(path_);
		// Dialogs report canonical paths (no short names, no links).
		path_ = std::filesystem::canonical(path_);
	}
	~TempFolder() {
		std::error_code ignored;
		std::filesystem::remove_all(path_, ignored);
	}
	const std::filesystem::path& path() const { return path_; }
	void create_file(const std::string& name) const { std::ofstream(path_ / name) << name; }

private:
	std::filesystem::path path_;
};

} // namespace bw::dialogs::testing
