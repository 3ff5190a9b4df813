#pragma once
// Small files made in memory for the parser tests: JPEG, TIFF, PNG, HEIF and MP4 with just the
// structures the parser walks, and a reader that records what was asked of it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "readers/byte_reader.h"

using Bytes = std::vector<uint8_t>;

class MemoryReader : public ByteReader {
  public:
    explicit MemoryReader(Bytes bytes) : bytes_(std::move(bytes)) {}
    bool Read(uint64_t offset, void *buffer, size_t size) override;
    uint64_t Size() override { return bytes_.size(); }
    // Whether any read touched [begin, end).
    bool Touched(uint64_t begin, uint64_t end) const;
    size_t bytesRead = 0;
    bool outOfRange = false; // a read asked for bytes past the end

  private:
    Bytes bytes_;
    std::vector<std::pair<uint64_t, uint64_t>> reads_;
};

// A text field of an IFD, stored with its terminating zero.
struct TextTag {
    uint16_t tag;
    std::string text;
};

// EXIF tags.
constexpr uint16_t DateTimeTag = 0x0132, OriginalTag = 0x9003, DigitizedTag = 0x9004,
                   OriginalOffsetTag = 0x9011, DigitizedOffsetTag = 0x9012,
                   OriginalSubSecTag = 0x9291;

// TIFF with IFD0 and an Exif IFD; magic 42 for TIFF, 0x4F52 for ORF, 0x55 for RW2.
Bytes Tiff(bool littleEndian, const std::vector<TextTag> &exif,
           const std::vector<TextTag> &ifd0 = {}, uint16_t magic = 42);

Bytes JpegSegment(uint8_t marker, const Bytes &payload);
Bytes ExifSegment(const Bytes &tiff);
Bytes XmpSegment(const std::string &packet);
// APP13 with one other resource before IPTC, so both paddings are walked.
Bytes IptcSegment(const std::string &date, const std::string &time);
Bytes Jpeg(const std::vector<Bytes> &segments);

Bytes Png(const Bytes &tiff);

// HEIF with an Exif item in mdat (construction method 0) or in idat (method 1).
Bytes Heic(const Bytes &tiff, int method);

Bytes Box(const char *type, const Bytes &payload);
// A movie: ftyp, an mdat of mdatSize bytes (with a 64-bit size when largeSize), then moov with
// its mvhd and moovBoxes.
Bytes Movie(int mvhdVersion, uint64_t created, size_t mdatSize, bool largeSize = false,
            const std::vector<Bytes> &moovBoxes = {});
// QuickTime metadata (moov/meta): an 'mdta' handler, the keys in order, and their items in the
// reverse order, each a 'data' box of dataType (1 for UTF-8).
Bytes KeyedMetadata(const std::vector<std::pair<std::string, std::string>> &items,
                    uint32_t dataType = 1);
// User data with \xA9day: classic QuickTime text, or an iTunes-style meta/ilst item.
Bytes UserDataDay(const std::string &text);
Bytes ItemListDay(const std::string &text);
// Where the mdat payload of Movie() lies.
std::pair<uint64_t, uint64_t> MoviePayload(size_t mdatSize);

void Append(Bytes *to, const Bytes &bytes);
void PutBe(Bytes *to, uint64_t value, int size);
