#include "tree/node_arena.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace quorvel {

namespace {

// Follows the first page's pointer. While an arena still carves from a chunk its count carries a
// large bias, so pieces released meanwhile can never bring it to 0; retiring the chunk trades the
// bias for the number of pieces carved.
struct ChunkHeader {
    std::atomic<int64_t> live;
};
constexpr int64_t kBias = int64_t{1} << 50;
constexpr size_t kPagePointer = sizeof(ChunkHeader*);
static_assert(sizeof(ChunkHeader) == 8 && kPagePointer == 8, "pieces stay 8-aligned");

std::atomic<int64_t> chunksAlive{0};

ChunkHeader* headerOf(const void* piece) {
    uintptr_t page = reinterpret_cast<uintptr_t>(piece) & ~(uintptr_t{NodeArena::kPageBytes} - 1);
    return *reinterpret_cast<ChunkHeader* const*>(page);
}

void drop(ChunkHeader* h, int64_t n) {
    if (h->live.fetch_sub(n, std::memory_order_acq_rel) != n) return;
    void* chunk = reinterpret_cast<char*>(h) - kPagePointer;
    h->~ChunkHeader();
    std::free(chunk);
    chunksAlive.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace

NodeArena::~NodeArena() { retire(); }

void NodeArena::retire() {
    if (!chunk_) return;
    auto* h = reinterpret_cast<ChunkHeader*>(chunk_ + kPagePointer);
    chunk_ = nullptr;
    if (!inventoryLost_ && carved_ > 0) {
        try {
            inventory_.chunks.emplace_back(h, carved_);
        } catch (...) {
            inventoryLost_ = true;
        }
    }
    // Dropping bias - carved is the same as adding carved - bias.
    drop(h, kBias - carved_);
}

void NodeArena::startChunk() {
    size_t bytes = nextChunkBytes_;
    void* block = std::aligned_alloc(kPageBytes, bytes);
    if (!block) throw std::bad_alloc();
    retire();
    chunk_ = static_cast<char*>(block);
    auto* h = new (chunk_ + kPagePointer) ChunkHeader{kBias};
    *reinterpret_cast<ChunkHeader**>(chunk_) = h;
    chunksAlive.fetch_add(1, std::memory_order_relaxed);
    next_ = chunk_ + kPagePointer + sizeof(ChunkHeader);
    pageEnd_ = chunk_ + kPageBytes;
    chunkEnd_ = chunk_ + bytes;
    carved_ = 0;
    if (nextChunkBytes_ < kLargestChunkBytes) nextChunkBytes_ *= 2;
}

void* NodeArena::allocateSlow(size_t n) {
    if (n == 0 || n > kLargestPiece) throw std::bad_alloc();
    if (static_cast<size_t>(pageEnd_ - next_) < n) {
        if (!chunk_ || pageEnd_ == chunkEnd_) {
            startChunk();
        } else {
            // On to the chunk's next page, which points back to the header like every page.
            *reinterpret_cast<ChunkHeader**>(pageEnd_) = reinterpret_cast<ChunkHeader*>(chunk_ + kPagePointer);
            next_ = pageEnd_ + kPagePointer;
            pageEnd_ += kPageBytes;
        }
    }
    void* p = next_;
    next_ += n;
    ++carved_;
    return p;
}

void NodeArena::release(const void* p, int64_t n) {
    if (p && n > 0) drop(headerOf(p), n);
}

void NodeArena::noteBlock(void* block) noexcept {
    if (inventoryLost_) return;
    try {
        inventory_.blocks.push_back(block);
    } catch (...) {
        inventoryLost_ = true;
    }
}

bool NodeArena::takeInventory(Inventory& out) {
    retire();
    if (inventoryLost_) return false;
    out = std::move(inventory_);
    inventory_ = {};
    return true;
}

void NodeArena::Inventory::releaseAll() const {
    for (const auto& [header, pieces] : chunks) drop(static_cast<ChunkHeader*>(header), pieces);
    for (void* b : blocks) std::free(b);
}

int64_t NodeArena::liveChunks() { return chunksAlive.load(std::memory_order_relaxed); }

void NodeArena::ReleaseBatch::add(const void* p) {
    ChunkHeader* h = headerOf(p);
    if (h != chunk_) {
        flush();
        chunk_ = h;
    }
    ++count_;
}

void NodeArena::ReleaseBatch::flush() {
    if (count_ > 0) drop(static_cast<ChunkHeader*>(chunk_), count_);
    count_ = 0;
    chunk_ = nullptr;
}

}  // namespace quorvel
