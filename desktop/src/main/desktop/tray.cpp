#include "tray.hpp"

#include "desktop/autostart.hpp"
#include "desktop/icon_pixmaps.hpp"
#include "launcher_log.hpp"
#include "translations.hpp"

namespace tarnwick {

namespace {

// The menu's items, in order.
enum Item : std::size_t { OpenWindow, OpenInBrowser, RestartDaemon, StartAtLogin, KeepRunning, Separator, Quit };

} // namespace

Tray::Tray(bw::ApplicationHandle app, Settings& settings, std::filesystem::path program, Actions actions)
    : settings_(settings), program_(std::move(program)), actions_(std::move(actions)) {
	using Kind = bw::StatusIconMenuItem::Kind;
	bw::StatusIconOptions options;
	options.id = "tarnwick";
	options.title = "Tarnwick";
	options.icon_name = "tarnwick";
	options.pixmaps = icon_pixmaps();
	options.tooltip = "Tarnwick";
	options.on_activate = [this] { actions_.open_window(); };
	options.on_shown = [this](bool shown) {
		launcher_log::write(shown ? "the status icon is shown" : "the status icon is not shown (no tray)");
		if (actions_.shown_changed) actions_.shown_changed(shown);
	};
	options.before_menu = [this] { icon_->set_checked(StartAtLogin, autostart::enabled()); };
	options.menu = {
	    {Kind::Action, tr("Open Tarnwick"), false, true, [this] { actions_.open_window(); }},
	    {Kind::Action, tr("Open in Browser"), false, false, [this] { actions_.open_in_browser(); }},
	    {Kind::Action, tr("Restart Daemon"), false, false, [this] { actions_.restart_daemon(); }},
	    {Kind::Check, tr("Start at Login"), autostart::enabled(), false,
	     [this] {
		     bool on = !autostart::enabled();
		     autostart::set(on, program_);
		     icon_->set_checked(StartAtLogin, autostart::enabled());
	     }},
	    {Kind::Check, tr("Keep Running When Closed"), settings_.flag(Settings::keep_running_when_closed), false,
	     [this] {
		     bool on = !settings_.flag(Settings::keep_running_when_closed);
		     settings_.set_flag(Settings::keep_running_when_closed, on);
		     launcher_log::write(std::string("keep running when closed: ") + (on ? "on" : "off"));
		     icon_->set_checked(KeepRunning, settings_.flag(Settings::keep_running_when_closed));
	     }},
	    {Kind::Separator, "", false, false, {}},
	    {Kind::Action, tr("Quit Tarnwick"), false, false, [this] { actions_.quit(); }},
	};
	icon_ = bw::StatusIcon::create(app, std::move(options));
}

void Tray::show_look(const Look& look) {
	icon_->set_tooltip(look.tooltip);
	icon_->set_attention(look.needs_attention);
}

} // namespace tarnwick
