// What a browser window shows: an HTML document, a file or a URL.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <variant>

namespace bw {

struct Source {
	struct Html {
		std::string html;
	};
	struct File {
		std::filesystem::path path;
	};
	struct Url {
		std::string url;
	};

	Source(Html html) : value(std::move(html)) {}
	Source(File file) : value(std::move(file)) {}
	Source(Url url) : value(std::move(url)) {}

	std::variant<Html, File, Url> value;
};

} // namespace bw
