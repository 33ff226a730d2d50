#pragma once
#include <cstddef>
#include <cstdint>


struct QvVARIANT;

namespace quorvel {

class LogBase;

// Growable byte buffer for binary data: decoded base64, compressed or encrypted bytes, file
// contents and the byte arrays exchanged with hosts. The bytes are not terminated.
class DataBuffer {
public:
    DataBuffer() = default;
    explicit DataBuffer(uint32_t capacity);
    DataBuffer(const DataBuffer&) = delete;
    DataBuffer& operator=(const DataBuffer&) = delete;
    virtual ~DataBuffer();

    const uint8_t* data() const { return data_; }
    uint8_t* mutableData() { return data_; }
    uint32_t size() const { return size_; }
    uint32_t capacity() const { return capacity_; }
    bool borrowed() const { return borrowed_ != 0; }
    bool empty() const { return size_ == 0; }

    void clear();
    void append(const void* bytes, uint32_t n);
    void appendByte(uint8_t b);
    void appendExact(const void* bytes, uint32_t n);
    void reserve(uint32_t n);
    void assign(const void* bytes, uint32_t n);
    void copyFrom(const DataBuffer& other);
    void moveFrom(DataBuffer& other);
    void adopt(uint8_t* block, uint32_t n);  // block from std::malloc
    void borrow(const void* block, uint32_t n);
    void removeFirst(uint32_t n);
    // Drops bytes from the end (never below zero); used by converters that over-reserve.
    void shrinkTo(uint32_t n) {
        if (n < size_) size_ = n;
    }
    // Makes room for n more bytes and returns where they go; commit() then counts them.
    uint8_t* appendSpace(uint32_t n);
    void commit(uint32_t n) { size_ += n; }

    void appendPadding(int scheme);
    void removePadding(int scheme);

    void appendVariant(const QvVARIANT* variant);
    // The bytes appendVariant would append, where they lie in the variant: a byte array's
    // elements or a string's UTF-16 units. Size 0 for any other variant.
    struct Bytes {
        const void* data = nullptr;
        uint32_t size = 0;
    };
    static Bytes variantBytes(const QvVARIANT* variant);
    void toVariant(QvVARIANT* out) const;
    // toVariant that hands the block itself to the byte array instead of copying it (the array
    // frees it with std::free, as this buffer would); the buffer is empty afterwards. A borrowed
    // block is copied.
    void moveToVariant(QvVARIANT* out);

    bool loadFile(const char16_t* path, LogBase* log);  // UTF-16 path
    bool loadFile(const char* path, LogBase* log);      // 8-bit (UTF-8) path

    static constexpr uint32_t kGrowthStep = 20000;

private:
    void reallocate(uint64_t newCapacity);
    bool loadFileImpl(const char* path, bool narrowForm, LogBase* log);

    int32_t borrowed_ = 0;
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};

}  // namespace quorvel
