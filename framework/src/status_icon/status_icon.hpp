// A status icon with a menu, shown by the desktop's tray (a StatusNotifierItem with its menu over
// com.canonical.dbusmenu on Linux, exported by the program itself; Shell_NotifyIconW on Windows).
// Opt-in: nothing of it exists until a program creates one. Everything here runs on the GUI thread,
// and every callback is called there, after the desktop's request was answered.
//
// Whether the icon is shown depends on the desktop: `shown()` is true only while a tray really shows
// it (on Linux a StatusNotifierWatcher accepted the item and says a host is registered; on Windows
// NIM_ADD succeeded). A program must not rely on the icon while it is false. The icon registers
// again when a tray appears later (a watcher that starts, a shell that restarts).
#pragma once

#include "application/application.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bw {

// One size of the icon: width * height pixels of A, R, G, B bytes, not premultiplied.
struct StatusIconPixmap {
	int width = 0;
	int height = 0;
	std::vector<std::uint8_t> argb;
};

struct StatusIconMenuItem {
	enum class Kind { Action, Check, Separator };
	Kind kind = Kind::Action;
	std::string label;
	bool checked = false;
	// The default item (a double click on Windows, shown in bold); one at most.
	bool is_default = false;
	std::function<void()> on_click;
};

struct StatusIconOptions {
	// Stable and unique per program (the item's Id).
	std::string id;
	std::string title;
	// The icon theme's name for the icon, and the same icon as pixmaps for hosts without the theme.
	std::string icon_name;
	std::vector<StatusIconPixmap> pixmaps;
	// Windows: the program's icon resource.
	int icon_resource = 1;
	std::string tooltip;
	std::vector<StatusIconMenuItem> menu;
	// A left click (Activate, NIN_SELECT / NIN_KEYSELECT).
	std::function<void()> on_activate;
	// Just before the menu opens, to bring check items up to date with set_checked.
	std::function<void()> before_menu;
	// Called whenever shown() changes.
	std::function<void(bool shown)> on_shown;
};

// A notification shown from the icon itself, where the desktop has such a thing (Windows' balloon,
// which Windows 10 and 11 show as a toast). Linux has none: notifications go through the session's
// notification service there.
struct StatusIconBalloon {
	std::string title;
	std::string body;
	bool silent = false;
	// The user clicked it.
	std::function<void()> on_click;
	// It went without a click: timed out, dismissed, or the shell hid it.
	std::function<void()> on_gone;
};

class StatusIcon {
public:
	// Registers the icon (asynchronously: shown() becomes true later, if ever).
	static std::unique_ptr<StatusIcon> create(ApplicationHandle app, StatusIconOptions options);
	virtual ~StatusIcon() = default;

	virtual bool shown() const = 0;
	// The tooltip's text; the icon's status: normal or asking for attention.
	virtual void set_tooltip(const std::string& text) = 0;
	virtual void set_attention(bool needs_attention) = 0;
	// A check item's state, by the item's index in the menu.
	virtual void set_checked(std::size_t item, bool checked) = 0;
	// Shows a balloon while the icon is shown; false where there are none or it is not shown. It
	// replaces the balloon shown before, whose callbacks are then never called.
	virtual bool show_balloon(StatusIconBalloon balloon) = 0;
	// Takes the balloon away; its callbacks are never called.
	virtual void hide_balloon() = 0;
};

} // namespace bw
