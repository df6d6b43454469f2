// The launcher's status icon: which items its menu has, what they do, and the launcher's state in
// its tooltip. The icon is the framework's (status_icon/status_icon.hpp); this is the policy.
#pragma once

#include "desktop/settings.hpp"

#include "application/application.hpp"
#include "status_icon/status_icon.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tarnwick {

class Tray {
public:
	struct Actions {
		std::function<void()> open_window;
		std::function<void()> open_in_browser;
		std::function<void()> restart_daemon;
		std::function<void()> quit;
		// Called whenever the icon comes to be shown or stops being shown.
		std::function<void(bool shown)> shown_changed;
	};

	// What the tooltip says and whether the icon asks for attention.
	struct Look {
		std::string tooltip;
		bool needs_attention = false;
	};

	Tray(bw::ApplicationHandle app, Settings& settings, std::filesystem::path program, Actions actions);

	bool shown() const { return icon_ && icon_->shown(); }
	// The icon while a tray shows it, else null.
	bw::StatusIcon* shown_icon() const { return shown() ? icon_.get() : nullptr; }
	void show_look(const Look& look);

private:
	Settings& settings_;
	std::filesystem::path program_;
	Actions actions_;
	std::unique_ptr<bw::StatusIcon> icon_;
};

} // namespace tarnwick
