#include "dialog_impl/requests.hpp"

#include "core/process.hpp"

namespace bw::dialogs::impl {

std::string initial_folder(const std::optional<std::filesystem::path>& location, ProfileFolder profile_folder) {
	if (!location) return {};
	std::filesystem::path folder;
	bool first = true;
	for (const std::filesystem::path& component : *location) {
		if (first && component == "~") {
			std::optional<std::filesystem::path> profile = profile_folder();
			if (!profile) return {};
			folder = *profile;
		} else if (!component.empty() && (first || component != ".")) {
			// Rebuilt the way a component walk sees it: no empty trailing part, no inner ".".
			folder /= component;
		}
		first = false;
	}
	return process::path_to_utf8(folder).value_or(std::string());
}

std::vector<FileType> file_types(const std::vector<Filter>& filters) {
	std::vector<FileType> types;
	for (const Filter& filter : filters) {
		std::string spec;
		for (const std::string& extension : filter.extensions) {
			if (!spec.empty()) spec += ';';
			spec += "*." + extension;
		}
		types.push_back({filter.description, spec});
	}
	return types;
}

namespace {

DialogParams common_params(const FileRequest& request, ProfileFolder profile_folder) {
	DialogParams params;
	params.owner = request.owner;
	params.file_name = request.filename.value_or(std::string());
	params.file_types = file_types(request.filters);
	params.folder = initial_folder(request.location, profile_folder);
	params.title = request.title;
	return params;
}

} // namespace

DialogParams open_params(const FileRequest& request, ProfileFolder profile_folder) {
	DialogParams params = common_params(request, profile_folder);
	params.options = options::strict_file_types | options::path_must_exist | options::file_must_exist;
	if (request.kind == RequestKind::OpenMultipleFile) params.options |= options::allow_multiselect;
	if (request.kind == RequestKind::OpenSingleDir) params.options |= options::pick_folders;
	return params;
}

DialogParams save_params(const FileRequest& request, ProfileFolder profile_folder) {
	DialogParams params = common_params(request, profile_folder);
	if (!request.filters.empty()) params.default_extension = request.filters.front().extensions.front();
	params.options = options::overwrite_prompt | options::strict_file_types | options::path_must_exist |
	                 options::no_read_only_return;
	return params;
}

std::optional<Error> to_error(const DialogError& error) {
	if (std::holds_alternative<UserCancelled>(error)) return std::nullopt;
	if (std::holds_alternative<UnsupportedFilepath>(error)) return Error(Error::ImplementationError{"Unsupported filepath"});
	return Error(Error::ImplementationError{std::get<HResultFailed>(error).error_method});
}

} // namespace bw::dialogs::impl
