// Holds a browser window's first navigation until the program knows where it may go, while the
// engine starts: a program that must check its server first loses no time to the engine's start,
// and nothing reaches the server before the check.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace bw {

// Made by the program, given to the builder (hold_first_navigation) and opened once. GUI thread.
class FirstNavigationGate {
public:
	// Lets the first navigation go to the address, or to the builder's source when it is empty.
	// Later calls do nothing.
	void open(std::string url = {}) {
		if (opened_) return;
		opened_ = std::move(url);
		if (waiting_) std::exchange(waiting_, nullptr)(*opened_);
	}
	bool is_open() const { return opened_.has_value(); }

	// Tells the engine that the navigation will wait a while: it may start what it otherwise starts
	// only with the first navigation (WebKitGTK's page process), at some cost of its own. For a
	// gate that stays closed for longer than a moment; does nothing once open.
	void prepare() {
		if (opened_ || prepared_) return;
		prepared_ = true;
		if (preparing_) std::exchange(preparing_, nullptr)();
	}

	// For the engine binding, once it is ready to navigate: go is called with the address (empty for
	// the source) when the gate opens, at once when it is open already.
	void when_open(std::function<void(const std::string& url)> go) {
		if (opened_)
			go(*opened_);
		else
			waiting_ = std::move(go);
	}

	// For the engine binding: called once when the program prepares the gate (at once when it has).
	void when_prepared(std::function<void()> prepare) {
		if (prepared_)
			prepare();
		else
			preparing_ = std::move(prepare);
	}

private:
	bool prepared_ = false;
	std::function<void()> preparing_;
	std::optional<std::string> opened_;
	std::function<void(const std::string&)> waiting_;
};

} // namespace bw
