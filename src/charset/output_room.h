#pragma once
// Room at the end of a DataBuffer for converters that write their output in place.

#include <cstdint>

namespace quorvel {

class DataBuffer;

// Makes at least `room` bytes writable after the end of `out` and returns where they begin;
// `*available` receives how many there are. Grows by half the capacity at least, so that a
// long run of small appends stays linear. Returns nullptr, leaving `out` alone, when the
// buffer would outgrow its 32-bit size.
uint8_t* reserveOutputRoom(DataBuffer& out, uint64_t room, uint32_t* available);

// Appends like DataBuffer::append, with the growth rule above; false when the buffer is full.
bool appendWithRoom(DataBuffer& out, const void* bytes, uint32_t n);

}  // namespace quorvel
