// GTK may only be used on the thread that runs its main loop. A dialog asked for on another thread
// is shown there, and the asking thread waits for the answer.
#pragma once

#include <functional>
#include <optional>
#include <utility>

namespace bw::dialogs::impl {

// Runs work on the thread that runs the default main loop and returns once it has run: at once
// when called inside that loop; otherwise handed to it. When no loop takes it within a tenth of a
// second and none runs, it runs on the calling thread.
void on_gui_thread(const std::function<void()>& work);

template <class Work>
auto on_gui_thread_with_result(Work work) -> decltype(work()) {
	std::optional<decltype(work())> result;
	on_gui_thread([&] { result.emplace(work()); });
	return std::move(*result);
}

} // namespace bw::dialogs::impl
