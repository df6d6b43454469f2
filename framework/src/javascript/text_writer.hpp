// Fast appending to a string for the display form.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace bw::js_detail {

// Appends through a cursor: the string is grown ahead of it and cut to what was written when the
// writer goes away, so that each small write is one bounds check and a copy.
class TextWriter {
public:
	explicit TextWriter(std::string& out) : out_(out), size_(out.size()) {}
	~TextWriter() { out_.resize(size_); }
	TextWriter(const TextWriter&) = delete;
	TextWriter& operator=(const TextWriter&) = delete;

	// Room for n characters at the cursor; advance() then moves past what was written.
	char* room(std::size_t n) {
		if (out_.size() - size_ < n) grow(n);
		return out_.data() + size_;
	}
	void advance(std::size_t n) { size_ += n; }

	void put(char c) { *room(1) = c, ++size_; }
	void put(std::string_view text) {
		if (text.empty()) return;
		std::memcpy(room(text.size()), text.data(), text.size());
		size_ += text.size();
	}

private:
	[[gnu::noinline]] void grow(std::size_t n) { out_.resize(std::max(out_.size() * 2, size_ + n + 256)); }

	std::string& out_;
	std::size_t size_;
};

} // namespace bw::js_detail
