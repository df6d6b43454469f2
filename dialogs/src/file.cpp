#include "file.hpp"

#include "core/fatal.hpp"
#include "dialog_impl/platform.hpp"

#include <utility>

namespace bw::dialogs {

namespace {

// The selection picked from a shell result; a cancel gives the empty value of the result type.
template <class T, class Pick>
auto map_outcome(impl::ShellResult<T> outcome, Pick pick) -> Result<decltype(pick(std::declval<T&>()))> {
	using Value = decltype(pick(std::declval<T&>()));
	if (T* result = std::get_if<T>(&outcome)) return pick(*result);
	if (std::optional<Error> error = impl::to_error(std::get<impl::DialogError>(outcome))) return std::move(*error);
	return Value{};
}

std::optional<std::filesystem::path> first_opened(impl::OpenDialogResult& result) {
	return std::move(result.selected_file_path);
}

} // namespace

FileDialog FileDialog::set_title(std::string_view title) const {
	FileDialog dialog = *this;
	dialog.title_ = std::string(title);
	return dialog;
}

FileDialog FileDialog::set_filename(std::string_view filename) const {
	FileDialog dialog = *this;
	dialog.filename_ = std::string(filename);
	return dialog;
}

FileDialog FileDialog::reset_filename() const {
	FileDialog dialog = *this;
	dialog.filename_.reset();
	return dialog;
}

FileDialog FileDialog::set_location(const std::filesystem::path& location) const {
	FileDialog dialog = *this;
	dialog.location_ = location;
	return dialog;
}

FileDialog FileDialog::reset_location() const {
	FileDialog dialog = *this;
	dialog.location_.reset();
	return dialog;
}

FileDialog FileDialog::add_filter(std::string_view description, std::vector<std::string> extensions) const {
	if (extensions.empty()) fatal_stop("The file extensions of a filter must be specified.");
	FileDialog dialog = *this;
	dialog.filters_.push_back({std::string(description), std::move(extensions)});
	return dialog;
}

FileDialog FileDialog::remove_all_filters() const {
	FileDialog dialog = *this;
	dialog.filters_.clear();
	return dialog;
}

FileDialog FileDialog::set_owner_handle(RawWindowHandle owner) const {
	FileDialog dialog = *this;
	dialog.owner_ = owner;
	return dialog;
}

FileDialog FileDialog::reset_owner() const {
	FileDialog dialog = *this;
	dialog.owner_.reset();
	return dialog;
}

FileRequest FileDialog::request(RequestKind kind) const {
	const char* default_title = kind == RequestKind::OpenSingleDir    ? "Open Folder"
	                            : kind == RequestKind::SaveSingleFile ? "Save As"
	                                                                  : "Open File";
	FileRequest request{kind, owner_, title_.value_or(default_title), filters_, filename_, location_};
	if (kind == RequestKind::OpenSingleDir) request.filters.clear();
	return request;
}

Result<std::optional<std::filesystem::path>> FileDialog::show_open_single_file() const {
	return map_outcome(impl::open_dialog(impl::open_params(request(RequestKind::OpenSingleFile), impl::profile_folder)),
	                   first_opened);
}

Result<std::vector<std::filesystem::path>> FileDialog::show_open_multiple_file() const {
	return map_outcome(impl::open_dialog(impl::open_params(request(RequestKind::OpenMultipleFile), impl::profile_folder)),
	                   [](impl::OpenDialogResult& result) { return std::move(result.selected_file_paths); });
}

Result<std::optional<std::filesystem::path>> FileDialog::show_open_single_dir() const {
	return map_outcome(impl::open_dialog(impl::open_params(request(RequestKind::OpenSingleDir), impl::profile_folder)),
	                   first_opened);
}

Result<std::optional<std::filesystem::path>> FileDialog::show_save_single_file() const {
	return map_outcome(impl::save_dialog(impl::save_params(request(RequestKind::SaveSingleFile), impl::profile_folder)),
	                   [](impl::SaveDialogResult& result) {
		                   return std::optional<std::filesystem::path>(std::move(result.selected_file_path));
	                   });
}

} // namespace bw::dialogs
