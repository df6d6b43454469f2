// Fast appending to a string for the display form.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace bw::js_detail {

// Writes through a cursor into blocks, so that each small write is one bounds check and a copy,
// and appends what was written to the string in one piece at the end, reserved at its exact size.
//
// Growing the string itself instead copies everything written at each step and takes fresh
// memory for each larger buffer; when the C library has given the pages of the last one back to
// the system, every page touched faults again, and those faults were most of the time of a large
// display form. Blocks come from a small per-thread pool, whose pages stay mapped; what fits in
// the writer's own buffer needs no block at all.
class TextWriter {
public:
	explicit TextWriter(std::string& out) : out_(out) {}
	~TextWriter();
	TextWriter(const TextWriter&) = delete;
	TextWriter& operator=(const TextWriter&) = delete;

	// Room for n contiguous characters at the cursor; advance() then moves past what was written.
	char* room(std::size_t n) {
		if (static_cast<std::size_t>(end_ - cursor_) < n) next_block(n);
		return cursor_;
	}
	void advance(std::size_t n) { cursor_ += n; }

	void put(char c) { *room(1) = c, ++cursor_; }
	void put(std::string_view text) {
		if (text.empty()) return;
		std::memcpy(room(text.size()), text.data(), text.size());
		cursor_ += text.size();
	}

	// Appends everything written to the string. Once, at the end.
	void finish();

	struct Block;

private:
	static constexpr std::size_t inline_size = 2048;

	void close_block();
	void next_block(std::size_t n);

	std::string& out_;
	char inline_[inline_size];
	std::size_t inline_used_ = 0;
	Block* first_ = nullptr;
	Block* last_ = nullptr;
	std::size_t written_ = 0;
	char* begin_ = inline_;
	char* cursor_ = inline_;
	char* end_ = inline_ + inline_size;
};

} // namespace bw::js_detail
