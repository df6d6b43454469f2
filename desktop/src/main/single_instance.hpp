// One launcher per user session: the first launch holds a per-user lock; a later one asks it to
// raise its window and ends once it was raised. A lock left by a launcher that crashed never blocks:
// the system releases it with the process. Only a process of the same user is heard or believed.
#pragma once

#include "desktop/command_line.hpp"
#include "launcher_log.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

class SingleInstance {
public:
	enum class Outcome {
		// This is the only launcher: it goes on.
		First,
		// Another launcher runs and raised its window (or did what else it was asked): this one ends with 0.
		Raised,
		// This is the only launcher now: another held the lock at first and has ended meanwhile.
		AfterAnother,
	};

	// The holder's answer to a raise request.
	enum class Answer {
		Raised,
		// No window to raise yet: the later launch asks again.
		NotYet,
		// The holder is ending: the later launch waits for it to end and then goes on as the first.
		Closing,
	};

	// How long each step of a request may take on either end.
	static constexpr std::chrono::milliseconds io_limit{1000};
	// How long the handler may take to answer.
	static constexpr std::chrono::milliseconds answer_limit{2000};

	// Blocks while another launcher is still starting or is closing (some seconds at most).
	// The request is one line of command_line::request_of.
	static std::unique_ptr<SingleInstance> claim(Outcome& outcome, std::string_view request = "raise\n");
	virtual ~SingleInstance() = default;

	// Calls raise, on a thread of its own, whenever a later launch asks for the window or for another
	// verb (checked again here: malformed or oversized requests are logged and not answered); its
	// answer, which must come within answer_limit, is what that launch is told.
	virtual void on_raise_request(std::function<Answer(const command_line::Command&)> raise) = 0;
	// Closing has begun: no more requests are heard, and later launches wait for this one to end.
	virtual void stop_listening() = 0;
};

// What the two launches say to each other: one line each way.
namespace instance_words {

inline constexpr std::string_view request = "raise\n";

// The request a launch read: nothing, and logged, when it is not one.
inline std::optional<command_line::Command> heard(const std::optional<std::string>& line) {
	if (!line) return std::nullopt;
	std::optional<command_line::Command> command = command_line::command_of_request(*line);
	if (!command) launcher_log::write("ignored a malformed request from a later launch (" + std::to_string(line->size()) + " bytes)");
	return command;
}

inline std::string_view reply(SingleInstance::Answer answer) {
	switch (answer) {
	case SingleInstance::Answer::Raised: return "ok\n";
	case SingleInstance::Answer::Closing: return "closing\n";
	case SingleInstance::Answer::NotYet: break;
	}
	return "wait\n";
}

inline std::optional<SingleInstance::Answer> answer(std::string_view reply) {
	if (reply == "ok\n") return SingleInstance::Answer::Raised;
	if (reply == "closing\n") return SingleInstance::Answer::Closing;
	if (reply == "wait\n") return SingleInstance::Answer::NotYet;
	return std::nullopt;
}

} // namespace instance_words

} // namespace tarnwick
