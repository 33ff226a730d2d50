#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quorvel {

// Room for the pieces of a document that a builder makes in bulk: elements, their contents,
// attribute sets and child lists. Pieces are carved one after the other from chunks, so building
// costs no allocation per piece and keeps a document's pieces together in memory. Chunks start
// at 4 KiB and double up to 64 KiB, so a small document stays small.
//
// A piece ends with NodeArena::release, from any thread and in any order, long after the arena
// that carved it is gone; its room is not reused, but a chunk is freed as soon as its last piece
// ends. Each 4 KiB page of a chunk begins with a pointer to the chunk's header and no piece
// crosses a page, so a piece finds its chunk from its own address. A document that outlives most
// of its pieces (a detached node kept while the rest is destroyed) can hold up to one chunk per
// surviving piece.
class NodeArena {
public:
    static constexpr size_t kPageBytes = 4096;
    static constexpr size_t kFirstChunkBytes = kPageBytes;
    static constexpr size_t kLargestChunkBytes = 64 * 1024;
    // Larger pieces are better off on their own: callers allocate them elsewhere.
    static constexpr size_t kLargestPiece = 2048;

    NodeArena() = default;
    ~NodeArena();
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;

    // n bytes aligned to 8, for 0 < n <= kLargestPiece. Throws std::bad_alloc.
    void* allocate(size_t n) {
        n = (n + 7) & ~size_t{7};
        if (n - 8 < kLargestPiece && static_cast<size_t>(pageEnd_ - next_) >= n) {
            void* p = next_;
            next_ += n;
            ++carved_;
            return p;
        }
        return allocateSlow(n);
    }
    // n bytes as allocate gives them, in piece, when the current page has room for them (n a
    // multiple of 8 and at most kLargestPiece); else false. Never throws. The answer is a flag
    // rather than a null pointer, so that callers test the room alone.
    bool tryAllocate(size_t n, void*& piece) {
        if (static_cast<size_t>(pageEnd_ - next_) < n) return false;
        piece = next_;
        next_ += n;
        ++carved_;
        return true;
    }
    // Ends n pieces of the chunk holding p.
    static void release(const void* p, int64_t n = 1);

    // Every chunk an arena carved from, with the pieces it carved there, and the blocks that
    // builders took from malloc instead, being too large for a piece. A tree that is all of an
    // arena's making, and unchanged since, ends by giving these back in one step each instead of
    // piece by piece (see TreeInfo::BuiltPieces).
    struct Inventory {
        std::vector<std::pair<void*, int64_t>> chunks;
        std::vector<void*> blocks;
        // Ends each chunk's pieces and frees each block. REQUIRES: nothing in them ended yet.
        void releaseAll() const;
    };
    // A block from malloc that belongs to something built from this arena (see Inventory).
    void noteBlock(void* block) noexcept;
    // Retires the current chunk and hands over the inventory; false when it could not be kept
    // complete (no memory for it). REQUIRES: nothing more is carved from this arena.
    bool takeInventory(Inventory& out);

    // Chunks alive in the process, for tests and statistics.
    static int64_t liveChunks();

    // Gathers the releases of many pieces, which mostly come from one chunk at a time, and
    // gives each chunk its count back in one step.
    class ReleaseBatch {
    public:
        ReleaseBatch() = default;
        ~ReleaseBatch() { flush(); }
        ReleaseBatch(const ReleaseBatch&) = delete;
        ReleaseBatch& operator=(const ReleaseBatch&) = delete;
        void add(const void* p);
        void flush();

    private:
        void* chunk_ = nullptr;
        int64_t count_ = 0;
    };

private:
    void* allocateSlow(size_t n);
    void startChunk();
    void retire();

    char* chunk_ = nullptr;
    char* next_ = nullptr;      // where the next piece goes
    char* pageEnd_ = nullptr;   // end of the page next_ is in
    char* chunkEnd_ = nullptr;
    size_t nextChunkBytes_ = kFirstChunkBytes;
    int64_t carved_ = 0;  // pieces carved from the current chunk
    Inventory inventory_;
    bool inventoryLost_ = false;
};

}  // namespace quorvel
