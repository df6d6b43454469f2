// The single-instance channel between two launches, in one process: a later claim is told the
// holder's answers and acts on them, within the time limits.
#include "single_instance.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Answer = SingleInstance::Answer;
using Outcome = SingleInstance::Outcome;

struct Claimed {
	std::unique_ptr<SingleInstance> instance;
	Outcome outcome;
	std::chrono::steady_clock::duration took;
	std::chrono::steady_clock::time_point ended;
};

Claimed claim() {
	Claimed claimed;
	auto start = std::chrono::steady_clock::now();
	claimed.instance = SingleInstance::claim(claimed.outcome);
	claimed.ended = std::chrono::steady_clock::now();
	claimed.took = claimed.ended - start;
	return claimed;
}

// The holder, answering as the handler says; counts the requests.
struct Holder {
	explicit Holder(std::function<Answer(int)> answer) : claimed(claim()) {
		EXPECT_EQ(claimed.outcome, Outcome::First);
		claimed.instance->on_raise_request([this, answer = std::move(answer)](const auto&) { return answer(++requests); });
	}
	Claimed claimed;
	std::atomic<int> requests{0};
};

TEST(SingleInstance, ALaterLaunchEndsOnlyOnceTheHoldersWindowWasRaised) {
	Holder holder([](int request) { return request < 3 ? Answer::NotYet : Answer::Raised; });
	Claimed later = claim();
	EXPECT_EQ(later.outcome, Outcome::Raised);
	EXPECT_EQ(later.instance, nullptr);
	EXPECT_EQ(holder.requests, 3);
}

// A holder that is closing, or has stopped listening, is waited for; its end makes the later launch
// the first.
TEST(SingleInstance, ALaterLaunchWaitsForAClosingHolderToEndAndGoesOn) {
	for (bool stopped : {false, true}) {
		auto holder = std::make_unique<Holder>([](int) { return Answer::Closing; });
		if (stopped) holder->claimed.instance->stop_listening();
		std::future<Claimed> later = std::async(std::launch::async, claim);
		EXPECT_EQ(later.wait_for(500ms), std::future_status::timeout);
		auto released = std::chrono::steady_clock::now();
		holder.reset();
		Claimed claimed = later.get();
		EXPECT_EQ(claimed.outcome, Outcome::AfterAnother) << stopped;
		// It went on only once the holder had ended. (Its own start may come late on a busy machine,
		// so the time it took can be less than the time the holder was held.)
		EXPECT_GE(claimed.ended, released);
		EXPECT_LT(claimed.took, 5s);
	}
}

// Each request waits for its own answer: one that takes its time does not hold up the next.
TEST(SingleInstance, ASlowAnswerDoesNotHoldUpAnotherRequest) {
	std::promise<void> release;
	std::shared_future<void> released = release.get_future().share();
	Holder holder([released](int request) {
		if (request == 1) released.wait_for(SingleInstance::answer_limit);
		return request == 1 ? Answer::NotYet : Answer::Raised;
	});
	std::future<Claimed> first = std::async(std::launch::async, claim);
	while (holder.requests == 0) std::this_thread::sleep_for(10ms);
	Claimed second = claim();
	EXPECT_EQ(second.outcome, Outcome::Raised);
	EXPECT_LT(second.took, 1s);
	release.set_value();
	EXPECT_EQ(first.get().outcome, Outcome::Raised);
}

} // namespace
} // namespace tarnwick
