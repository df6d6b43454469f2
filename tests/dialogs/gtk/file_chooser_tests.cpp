// GTK file choosers, found while they run, looked at, given a selection or a name and accepted or
// cancelled through their own buttons.
#include "file.hpp"
#include "gtk/dialog_watcher.hpp"
#include "temp_folder.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace bw::dialogs {

namespace testing {
// Ill-formed UTF-8.
std::filesystem::path invalid_unicode_path() { return std::filesystem::path(std::string("bad\xffname")); }
} // namespace testing

namespace {

using testing::DialogWatcher;
namespace fs = std::filesystem;

struct ChooserView {
	std::string title;
	GtkFileChooserAction action = GTK_FILE_CHOOSER_ACTION_OPEN;
	bool multiple = false;
	bool overwrite_question = false;
	std::vector<std::string> filters;
	std::string folder;
	std::string name;
};

std::string owned(gchar* text) {
	std::string copy = text != nullptr ? text : "";
	g_free(text);
	return copy;
}

ChooserView look_at(GtkWidget* dialog) {
	GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
	ChooserView view{testing::title_of(dialog), gtk_file_chooser_get_action(chooser), gtk_file_chooser_get_select_multiple(chooser) != 0,
	                 gtk_file_chooser_get_do_overwrite_confirmation(chooser) != 0, {}, owned(gtk_file_chooser_get_current_folder(chooser)), ""};
	GSList* filters = gtk_file_chooser_list_filters(chooser);
	for (GSList* node = filters; node != nullptr; node = node->next) view.filters.push_back(gtk_file_filter_get_name(GTK_FILE_FILTER(node->data)));
	g_slist_free(filters);
	if (view.action == GTK_FILE_CHOOSER_ACTION_SAVE) view.name = owned(gtk_file_chooser_get_current_name(chooser));
	return view;
}

std::vector<fs::path> selected(GtkWidget* dialog) {
	std::vector<fs::path> paths;
	GSList* names = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(dialog));
	for (GSList* node = names; node != nullptr; node = node->next) paths.emplace_back(static_cast<char*>(node->data));
	g_slist_free_full(names, g_free);
	std::sort(paths.begin(), paths.end());
	return paths;
}

GtkTreeView* file_list(GtkWidget* widget) {
	if (GTK_IS_TREE_VIEW(widget)) return GTK_TREE_VIEW(widget);
	GtkTreeView* found = nullptr;
	if (GTK_IS_CONTAINER(widget)) {
		GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
		for (GList* node = children; node != nullptr && found == nullptr; node = node->next) found = file_list(GTK_WIDGET(node->data));
		g_list_free(children);
	}
	return found;
}

// A user's way through a chooser: wait until it lists its folder, look at it, act (select, type),
// wait until the wanted state shows and the button is enabled (the chooser works in the
// background), then click the button.
using Act = std::function<void(GtkFileChooser*)>;
using Ready = std::function<bool(GtkWidget*)>;
std::function<bool(GtkWidget*)> user(ChooserView& seen, Act act, Ready ready, gint response = GTK_RESPONSE_ACCEPT) {
	return [&seen, act, ready, response, acted = false](GtkWidget* dialog) mutable {
		GtkTreeView* files = file_list(dialog);
		if (files == nullptr || gtk_tree_view_get_model(files) == nullptr) return false;
		if (!acted) {
			seen = look_at(dialog);
			act(GTK_FILE_CHOOSER(dialog));
			acted = true;
			return false;
		}
		if (!ready(dialog) || !gtk_widget_is_sensitive(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response))) return false;
		testing::click(dialog, response);
		return true;
	};
}

std::function<bool(GtkWidget*)> choose(ChooserView& seen, fs::path file) {
	return user(seen, [file](GtkFileChooser* chooser) { gtk_file_chooser_select_filename(chooser, file.c_str()); },
	            [file](GtkWidget* dialog) { return selected(dialog) == std::vector<fs::path>{file}; });
}

std::function<bool(GtkWidget*)> type_name(ChooserView& seen, std::string name) {
	return user(seen, [name](GtkFileChooser* chooser) { gtk_file_chooser_set_current_name(chooser, name.c_str()); },
	            [name](GtkWidget* dialog) { return owned(gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog))) == name; });
}

class GtkFileDialogs : public ::testing::Test {
protected:
	void SetUp() override {
		// No session bus under Xvfb: the chooser keeps the settings it saves in memory.
		g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
		ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
		for (const char* name : {"a.txt", "b.txt", "pic.png"}) temp_.create_file(name);
		fs::create_directory(temp_.path() / "sub");
	}
	testing::TempFolder temp_;
	ChooserView seen_;
};

FileDialog images_and_text() { return FileDialog::create().add_filter("Images", {"png", "jpg"}).add_filter("Text", {"txt"}); }

TEST_F(GtkFileDialogs, OpenShowsTitleFiltersAndFolderAndGivesTheChosenFileOrFolder) {
	Result<std::optional<fs::path>> opened{std::nullopt};
	{
		DialogWatcher watcher(GTK_TYPE_FILE_CHOOSER_DIALOG, choose(seen_, temp_.path() / "pic.png"));
		opened = images_and_text().set_location(temp_.path()).show_open_single_file();
	}
	ASSERT_TRUE(opened.ok()) << opened.error().debug_string();
	EXPECT_EQ(opened.value(), temp_.path() / "pic.png");
	EXPECT_EQ(seen_.title, "Open File");
	EXPECT_EQ(seen_.action, GTK_FILE_CHOOSER_ACTION_OPEN);
	EXPECT_FALSE(seen_.multiple);
	EXPECT_EQ(seen_.filters, (std::vector<std::string>{"Images", "Text"}));
	EXPECT_EQ(seen_.folder, temp_.path().string());

	DialogWatcher folder(GTK_TYPE_FILE_CHOOSER_DIALOG, choose(seen_, temp_.path() / "sub"));
	opened = images_and_text().set_location(temp_.path()).show_open_single_dir();
	ASSERT_TRUE(opened.ok()) << opened.error().debug_string();
	EXPECT_EQ(opened.value(), temp_.path() / "sub");
	EXPECT_EQ(seen_.title, "Open Folder");
	EXPECT_EQ(seen_.action, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
	EXPECT_TRUE(seen_.filters.empty());
}

TEST_F(GtkFileDialogs, OpenMultipleGivesEveryChosenFile) {
	testing::TempFolder two;
	two.create_file("a.txt");
	two.create_file("B.TXT");
	std::vector<fs::path> both{two.path() / "B.TXT", two.path() / "a.txt"};
	// Everything the list shows selected at once, as Ctrl+A does; the filter matches either case.
	DialogWatcher watcher(GTK_TYPE_FILE_CHOOSER_DIALOG,
	                      user(
	                          seen_, [](GtkFileChooser* chooser) { gtk_tree_selection_select_all(gtk_tree_view_get_selection(file_list(GTK_WIDGET(chooser)))); },
	                          [&](GtkWidget* dialog) { return selected(dialog) == both; }));
	auto opened = FileDialog::create().add_filter("Text", {"txt"}).set_location(two.path()).show_open_multiple_file();
	ASSERT_TRUE(watcher.done());
	ASSERT_TRUE(opened.ok()) << opened.error().debug_string();
	std::sort(opened.value().begin(), opened.value().end());
	EXPECT_EQ(opened.value(), both);
	EXPECT_TRUE(seen_.multiple);
}

TEST_F(GtkFileDialogs, SaveProposesTheNameAndAsksBeforeReplacingAFile) {
	Result<std::optional<fs::path>> saved{std::nullopt};
	{
		DialogWatcher watcher(GTK_TYPE_FILE_CHOOSER_DIALOG, type_name(seen_, "out.txt"));
		saved = images_and_text().set_location(temp_.path()).set_filename("report.png").show_save_single_file();
	}
	ASSERT_TRUE(saved.ok()) << saved.error().debug_string();
	EXPECT_EQ(saved.value(), temp_.path() / "out.txt");
	EXPECT_EQ(seen_.title, "Save As");
	EXPECT_EQ(seen_.action, GTK_FILE_CHOOSER_ACTION_SAVE);
	EXPECT_EQ(seen_.name, "report.png");
	EXPECT_EQ(seen_.folder, temp_.path().string());
	EXPECT_TRUE(seen_.overwrite_question);

	// The question is a message dialog of its own, modal to the chooser.
	DialogWatcher replace(GTK_TYPE_MESSAGE_DIALOG, [](GtkWidget* question) {
		testing::click(question, GTK_RESPONSE_ACCEPT);
		return true;
	});
	DialogWatcher over(GTK_TYPE_FILE_CHOOSER_DIALOG, type_name(seen_, "a.txt"));
	saved = FileDialog::create().set_location(temp_.path()).show_save_single_file();
	ASSERT_TRUE(replace.done());
	ASSERT_TRUE(saved.ok()) << saved.error().debug_string();
	EXPECT_EQ(saved.value(), temp_.path() / "a.txt");
}

TEST_F(GtkFileDialogs, CancelGivesNoPathAndNoError) {
	Result<std::optional<fs::path>> opened{std::nullopt};
	{
		DialogWatcher cancel(GTK_TYPE_FILE_CHOOSER_DIALOG,
		                     user(seen_, [](GtkFileChooser*) {}, [](GtkWidget*) { return true; }, GTK_RESPONSE_CANCEL));
		opened = FileDialog::create().set_location("~").show_open_single_file();
	}
	ASSERT_TRUE(opened.ok());
	EXPECT_EQ(opened.value(), std::nullopt);
	EXPECT_EQ(seen_.folder, fs::path(g_get_home_dir()).string());

	// Closed from the title bar instead.
	DialogWatcher closed(GTK_TYPE_FILE_CHOOSER_DIALOG, [](GtkWidget* dialog) {
		gtk_window_close(GTK_WINDOW(dialog));
		return true;
	});
	auto saved = FileDialog::create().set_location(temp_.path()).show_save_single_file();
	ASSERT_TRUE(closed.done());
	ASSERT_TRUE(saved.ok());
	EXPECT_EQ(saved.value(), std::nullopt);
}

} // namespace
} // namespace bw::dialogs
