#pragma once
// Random access to the bytes of one file for the parsers that look inside it: they ask for the
// few bytes they need, at the offsets they need, and never for the whole file.
#include <cstddef>
#include <cstdint>

class ByteReader {
  public:
    virtual ~ByteReader() = default;
    // Fills buffer with exactly size bytes from offset; false when they cannot all be read.
    virtual bool Read(uint64_t offset, void *buffer, size_t size) = 0;
    virtual uint64_t Size() = 0;
};
