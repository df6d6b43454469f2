// What each show operation asks the platform for: titles, type lists, option bits, the initial folder.
#include "dialog_impl/requests.hpp"
#include "file.hpp"

#include <gtest/gtest.h>

namespace bw::dialogs {

namespace testing {
// A path whose text is not valid Unicode; each platform's tests make their own.
std::filesystem::path invalid_unicode_path();
} // namespace testing

namespace {

namespace fs = std::filesystem;

std::optional<fs::path> fixed_profile() { return fs::path("profile-root"); }
std::optional<fs::path> no_profile() { return std::nullopt; }

impl::DialogParams params_for(const FileDialog& dialog, RequestKind kind) {
	FileRequest request = dialog.request(kind);
	return kind == RequestKind::SaveSingleFile ? impl::save_params(request, fixed_profile) : impl::open_params(request, fixed_profile);
}

std::string utf8(const fs::path& path) {
	std::u8string text = path.u8string();
	return std::string(text.begin(), text.end());
}

TEST(FileRequests, SaveGetsTheTypeListTheFirstExtensionAndOverwriteOptions) {
	FileDialog dialog = FileDialog::create().add_filter("Images", {"png", "jpg"}).add_filter("Text", {"txt"});
	impl::DialogParams params = params_for(dialog, RequestKind::SaveSingleFile);
	EXPECT_EQ(params.file_types, (std::vector<impl::FileType>{{"Images", "*.png;*.jpg"}, {"Text", "*.txt"}}));
	EXPECT_EQ(params.default_extension, "png");
	EXPECT_EQ(params.file_type_index, 1u);
	EXPECT_EQ(params.options, 0x8806u);

	// Open kinds: no default extension; a folder request drops the filters.
	EXPECT_EQ(params_for(dialog, RequestKind::OpenSingleFile).default_extension, "");
	EXPECT_EQ(params_for(dialog, RequestKind::OpenSingleFile).options, 0x1804u);
	EXPECT_EQ(params_for(dialog, RequestKind::OpenMultipleFile).options, 0x1a04u);
	impl::DialogParams folder = params_for(dialog, RequestKind::OpenSingleDir);
	EXPECT_EQ(folder.options, 0x1824u);
	EXPECT_TRUE(folder.file_types.empty());
	// Without filters there is no type list at all, not even the catch-all default.
	EXPECT_TRUE(params_for(FileDialog::create(), RequestKind::SaveSingleFile).file_types.empty());
}

TEST(FileRequests, TitlesDefaultByKindAndEmptyTextsStayEmpty) {
	std::vector<std::string> titles;
	for (RequestKind kind : {RequestKind::OpenSingleFile, RequestKind::OpenMultipleFile, RequestKind::OpenSingleDir,
	                         RequestKind::SaveSingleFile})
		titles.push_back(params_for(FileDialog::create(), kind).title);
	EXPECT_EQ(titles, (std::vector<std::string>{"Open File", "Open File", "Open Folder", "Save As"}));
	// Set but empty is passed on as empty, so the system keeps its own title.
	impl::DialogParams empty = params_for(FileDialog::create().set_title("").set_filename(""), RequestKind::SaveSingleFile);
	EXPECT_EQ(empty.title, "");
	EXPECT_EQ(empty.file_name, "");
}

TEST(FileRequests, InitialFolderExpandsOnlyALeadingTilde) {
	auto folder = [](const fs::path& location, impl::ProfileFolder profile = fixed_profile) {
		return impl::initial_folder(location, profile);
	};
	EXPECT_EQ(folder("~/Documents"), utf8(fs::path("profile-root") / "Documents"));
	EXPECT_EQ(folder("~/Documents", no_profile), "");
	EXPECT_EQ(folder("a/~"), utf8(fs::path("a") / "~"));
	EXPECT_EQ(folder("~user/x"), utf8(fs::path("~user") / "x"));
	// Rebuilt from components: an inner "." and a trailing separator go.
	EXPECT_EQ(folder("a/./b/"), utf8(fs::path("a") / "b"));
	EXPECT_EQ(folder(fs::path(u8"~/B\u00e4der")), utf8(fs::path("profile-root") / fs::path(u8"B\u00e4der")));
	EXPECT_EQ(folder(testing::invalid_unicode_path()), "");
	EXPECT_EQ(impl::initial_folder(std::nullopt, fixed_profile), "");
}

TEST(FileRequests, AFilterWithoutExtensionsIsAFatalStop) {
	EXPECT_EXIT((void)FileDialog::create().add_filter("Nothing", {}), ::testing::ExitedWithCode(101),
	            "The file extensions of a filter must be specified.");
}

} // namespace
} // namespace bw::dialogs
