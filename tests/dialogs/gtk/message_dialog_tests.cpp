// GTK message dialogs, found among GTK's windows while they run and answered as a user would.
#include "file.hpp"
#include "gtk/dialog_watcher.hpp"
#include "core/fatal.hpp"
#include "message.hpp"
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace bw::dialogs {
namespace {

using testing::click;
using testing::DialogWatcher;

// What the user sees on a message dialog.
struct DialogView {
	std::string title;
	std::string text;
	GtkMessageType type = GTK_MESSAGE_OTHER;
	std::vector<gint> buttons;
	bool modal = false;
};

// Shows the dialog with show, answers it (a response, or 0 to close it from its title bar) and
// returns what it looked like.
template <class Show>
DialogView answered_with(gint response, Show show) {
	DialogView seen;
	DialogWatcher watcher(GTK_TYPE_MESSAGE_DIALOG, [&](GtkWidget* dialog) {
		gchar* text = nullptr;
		g_object_get(dialog, "text", &text, "message-type", &seen.type, nullptr);
		seen.text = text != nullptr ? text : "";
		g_free(text);
		seen.title = testing::title_of(dialog);
		seen.modal = gtk_window_get_modal(GTK_WINDOW(dialog));
		for (gint id : {GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, GTK_RESPONSE_YES, GTK_RESPONSE_NO})
			if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), id); button && gtk_widget_get_visible(button))
				seen.buttons.push_back(id);
		if (response == 0)
			gtk_window_close(GTK_WINDOW(dialog));
		else
			click(dialog, response);
		return true;
	});
	show();
	EXPECT_TRUE(watcher.done()) << "the dialog did not show";
	return seen;
}

class GtkMessageBox : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)); }
};

TEST_F(GtkMessageBox, AlertsShowTheirTypeAndTextUpToAZeroInAModalDialogWithOneOkButton) {
	DialogView plain = answered_with(GTK_RESPONSE_OK, [] { EXPECT_TRUE(MessageDialog::create().show_alert().ok()); });
	EXPECT_EQ(plain.title, "");
	EXPECT_EQ(plain.text, "");
	EXPECT_EQ(plain.type, GTK_MESSAGE_INFO);
	EXPECT_EQ(plain.buttons, std::vector<gint>{GTK_RESPONSE_OK});
	EXPECT_TRUE(plain.modal);

	using namespace std::string_view_literals;
	DialogView error = answered_with(GTK_RESPONSE_OK, [] {
		auto dialog = MessageDialog::create().set_title("Tarnwick \xe2\x80\x93 Fehler").set_text("Kein \xff Dienst.\0hidden"sv);
		EXPECT_TRUE(dialog.set_type(MessageType::Error).show_alert().ok());
	});
	EXPECT_EQ(error.title, "Tarnwick \xe2\x80\x93 Fehler");
	// GTK shows only valid UTF-8: a bad byte becomes U+FFFD.
	EXPECT_EQ(error.text, "Kein \xef\xbf\xbd Dienst.");
	EXPECT_EQ(error.type, GTK_MESSAGE_ERROR);
}

TEST_F(GtkMessageBox, ConfirmIsTrueOnlyForYes) {
	for (auto [response, yes] : {std::pair<gint, bool>{GTK_RESPONSE_YES, true}, {GTK_RESPONSE_NO, false}, {0, false}}) {
		std::optional<Result<bool>> answer;
		DialogView seen = answered_with(response, [&] {
			answer = MessageDialog::create().set_title("Go on?").set_type(MessageType::Warning).show_confirm();
		});
		ASSERT_TRUE(answer && answer->ok());
		EXPECT_EQ(answer->value(), yes) << "response " << response;
		EXPECT_EQ(seen.type, GTK_MESSAGE_WARNING);
		EXPECT_EQ(seen.buttons, (std::vector<gint>{GTK_RESPONSE_YES, GTK_RESPONSE_NO}));
	}
}

TEST(GtkMessageBoxInTheLoop, CallsDispatchedFromAnotherThreadRunWhileTheDialogIsOpen) {
	bw::testing::TestApplication app;
	std::optional<Result<bool>> answer;
	std::atomic<bool> clicked = false;
	// Another thread reaches the open dialog only through the application's dispatch.
	std::thread user([&] {
		for (int i = 0; i < 200 && !clicked; i++, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
			bw_Application_dispatch(
			    app.get(),
			    [](bw_Application*, void* clicked) {
				    if (GtkWidget* dialog = testing::find_dialog(GTK_TYPE_MESSAGE_DIALOG)) {
					    click(dialog, GTK_RESPONSE_YES);
					    static_cast<std::atomic<bool>*>(clicked)->store(true);
				    }
			    },
			    &clicked);
	});
	EXPECT_EQ(app.run([&](bw_Application* app) {
		answer = MessageDialog::create().show_confirm();
		bw_Application_exit(app, 0);
	}),
	          0);
	user.join();
	ASSERT_TRUE(answer && answer->ok());
	EXPECT_TRUE(answer->value());
}

// Dialogs asked for on another thread appear on the loop's thread, where GTK lives, and their
// answers come back to the asking thread.
TEST(GtkDialogsFromAnotherThread, ShowOnTheGuiThreadAndAnswerTheCaller) {
	bw::testing::TestApplication app;
	DialogWatcher box(GTK_TYPE_MESSAGE_DIALOG, [&](GtkWidget* dialog) {
		click(dialog, GTK_RESPONSE_YES);
		return true;
	});
	DialogWatcher chooser(GTK_TYPE_FILE_CHOOSER_DIALOG, [&](GtkWidget* dialog) {
		click(dialog, GTK_RESPONSE_CANCEL);
		return true;
	});
	std::optional<Result<bool>> answer;
	std::optional<Result<std::optional<std::filesystem::path>>> chosen;
	std::thread asker;
	EXPECT_EQ(app.run([&](bw_Application* raw) {
		asker = std::thread([&, raw] {
			answer = MessageDialog::create().set_text("from a worker").show_confirm();
			chosen = FileDialog::create().show_open_single_file();
			bw_Application_exitAsync(raw, 0);
		});
	}),
	          0);
	asker.join();
	ASSERT_TRUE(answer && answer->ok());
	EXPECT_TRUE(answer->value());
	ASSERT_TRUE(chosen && chosen->ok());
	EXPECT_FALSE(chosen->value().has_value());
}

// A fatal stop on a worker thread: the text goes out, then its box (the observer's) is shown on the
// GUI thread and answered before the process ends.
TEST(GtkDialogsFromAnotherThread, TheFatalStopBoxOfAWorkerShowsOnTheGuiThread) {
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	EXPECT_EXIT(
	    {
		    bw::testing::TestApplication app;
		    DialogWatcher box(GTK_TYPE_MESSAGE_DIALOG, [](GtkWidget* dialog) {
			    std::fprintf(stderr, "box answered\n");
			    click(dialog, GTK_RESPONSE_OK);
			    return true;
		    });
		    bw::set_fatal_stop_observer([](std::string_view text) { (void)MessageDialog::create().set_text(text).show_alert(); });
		    app.run([](bw_Application*) { std::thread([] { bw::fatal_stop("stopped on a worker"); }).detach(); });
		    std::_Exit(0);
	    },
	    ::testing::ExitedWithCode(101), "stopped on a worker\nbox answered");
}

TEST(GtkDialogsWithoutDisplay, FailNamingGtkInitialisation) {
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	EXPECT_EXIT(
	    {
		    unsetenv("DISPLAY");
		    unsetenv("WAYLAND_DISPLAY");
		    auto alert = MessageDialog::create().show_alert();
		    auto file = FileDialog::create().show_open_single_file();
		    if (alert.ok() || file.ok()) std::exit(0);
		    std::fprintf(stderr, "%s %s\n", alert.error().debug_string().c_str(), file.error().debug_string().c_str());
		    std::exit(3);
	    },
	    ::testing::ExitedWithCode(3), "ImplementationError\\(\"gtk_init_check\"\\) ImplementationError\\(\"gtk_init_check\"\\)");
}

} // namespace
} // namespace bw::dialogs
