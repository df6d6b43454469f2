#include "page_desktop/page_desktop.hpp"

#include "launcher_log.hpp"
#include "translations.hpp"

namespace tarnwick {

DesktopNotifier& PageDesktop::notifier() {
	if (!notifier_) notifier_ = DesktopNotifier::create(app_, bring_back_window, [this]() -> bw::StatusIcon* { return tray_icon_ ? tray_icon_() : nullptr; });
	return *notifier_;
}

void PageDesktop::equip(bw::BrowserWindowBuilder& builder) {
	builder.user_languages(true);
	builder.follow_desktop_theme(true);
	builder.find_and_print(true, bw::FindBarTexts{tr("Find in page"), tr("Matches"), tr("%1 of %2"), tr("Previous match"), tr("Next match"),
	                                              tr("Close the find bar"), tr("Find bar")});
	builder.permissions([this](bw::BrowserWindowHandle, const bw::PermissionRequest& request) {
		std::string why;
		bool shown = request.kind == bw::PermissionKind::Notifications && request.origin == daemon_origin_ && notifier().available(why);
		return rules_.decide(request, daemon_origin_, shown, why);
	});
	builder.notifications([this](bw::BrowserWindowHandle window, std::shared_ptr<bw::PageNotification> notification) {
		// The engine asks the policy before a page may notify; a page of another origin that got
		// here anyway is not shown.
		std::string why;
		if (notification->content().origin != daemon_origin_ || !notifier().available(why)) {
			launcher_log::write("not shown: a notification of " + notification->content().origin);
			return;
		}
		notifier().show(window.window(), std::move(notification));
	});
}

} // namespace tarnwick

namespace tarnwick {

void PageDesktop::tell_while_out_of_sight(const bw::WindowHandle& window, const std::string& news) {
	std::string why;
	if (!out_of_sight(window)) return;
	if (!notifier().available(why)) {
		launcher_log::write("cannot tell \"" + news + "\" on the desktop: " + why);
		return;
	}
	// Nothing of a page: its reports reach nothing, and its click only brings the window back.
	notifier().show(window, std::make_shared<bw::PageNotification>(bw::NotificationContent{"", news, "", "tarnwick-news", false}, bw::PageNotification::Engine{}));
}

} // namespace tarnwick
