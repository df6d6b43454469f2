#include "javascript/text_writer.hpp"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

namespace bw::js_detail {

struct TextWriter::Block {
	Block* next;
	std::size_t size; // room for text after the header
	std::size_t used;
	char* text() { return reinterpret_cast<char*>(this + 1); }
};

namespace {

using Block = TextWriter::Block;

// Below the size from which the C library maps every allocation separately.
constexpr std::size_t block_size = 64 * 1024 - sizeof(Block);
// The pool keeps at most this many blocks (2 MiB) for the thread's next display form.
constexpr std::size_t pool_capacity = 32;

class BlockPool {
public:
	BlockPool() = default;
	BlockPool(const BlockPool&) = delete;
	BlockPool& operator=(const BlockPool&) = delete;
	~BlockPool() {
		while (free_ != nullptr) std::free(std::exchange(free_, free_->next));
	}

	Block* take(std::size_t n) {
		if (n <= block_size && free_ != nullptr) {
			--count_;
			return std::exchange(free_, free_->next);
		}
		std::size_t size = std::max(n, block_size);
		auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
		if (block == nullptr) throw std::bad_alloc();
		block->size = size;
		return block;
	}

	void give_back(Block* block) {
		if (block->size != block_size || count_ >= pool_capacity) {
			std::free(block);
			return;
		}
		block->next = free_;
		free_ = block;
		++count_;
	}

private:
	Block* free_ = nullptr;
	std::size_t count_ = 0;
};

thread_local BlockPool pool;

} // namespace

TextWriter::~TextWriter() {
	while (first_ != nullptr) pool.give_back(std::exchange(first_, first_->next));
}

void TextWriter::close_block() {
	std::size_t used = static_cast<std::size_t>(cursor_ - begin_);
	written_ += used;
	if (last_ != nullptr)
		last_->used = used;
	else
		inline_used_ = used;
}

void TextWriter::next_block(std::size_t n) {
	close_block();
	Block* block = pool.take(n);
	block->next = nullptr;
	block->used = 0;
	(last_ != nullptr ? last_->next : first_) = block;
	last_ = block;
	begin_ = cursor_ = block->text();
	end_ = begin_ + block->size;
}

void TextWriter::finish() {
	close_block();
	begin_ = cursor_;
	out_.reserve(out_.size() + written_);
	out_.append(inline_, inline_used_);
	for (Block* block = first_; block != nullptr; block = block->next) out_.append(block->text(), block->used);
}

} // namespace bw::js_detail
