#include "readers/date_taken.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "readers/xmp.h"

namespace {

// What a file may claim; the stamps cannot hold earlier years.
constexpr int MinYear = 1601;
constexpr int MaxYear = 9999;
// Bounds on every walk, so a hostile file ends the search early instead of running it long.
constexpr int MaxJpegSegments = 1024;
constexpr size_t MaxIfdEntries = 1024;
constexpr int MaxPngChunks = 4096;
constexpr int MaxBoxes = 4096;
constexpr uint32_t MaxItems = 4096;
constexpr size_t MaxBoxRead = 64 * 1024; // an iinf or iloc box read whole
constexpr size_t MaxStringRead = 64;     // an EXIF text field, a movie's date as text

uint16_t Be16(const uint8_t *p) {
    return uint16_t(p[0] << 8 | p[1]);
}
uint32_t Be32(const uint8_t *p) {
    return uint32_t(Be16(p)) << 16 | Be16(p + 2);
}
uint64_t Be64(const uint8_t *p) {
    return uint64_t(Be32(p)) << 32 | Be32(p + 4);
}
uint16_t Le16(const uint8_t *p) {
    return uint16_t(p[1] << 8 | p[0]);
}
uint32_t Le32(const uint8_t *p) {
    return uint32_t(Le16(p + 2)) << 16 | Le16(p);
}

// Every read of one search: checked against the end of the file without overflow, and counted
// against the budget.
class BoundedReader {
  public:
    explicit BoundedReader(ByteReader &reader) : reader_(reader), size_(reader.Size()) {}
    uint64_t Size() const { return size_; }
    bool Fits(uint64_t offset, uint64_t size) const {
        return offset <= size_ && size <= size_ - offset && size <= DateTakenReadBudget - used_;
    }
    bool Read(uint64_t offset, void *buffer, size_t size) {
        if (!Fits(offset, size))
            return false;
        used_ += size;
        return size == 0 || reader_.Read(offset, buffer, size);
    }
    bool Read(uint64_t offset, size_t size, std::vector<uint8_t> *bytes) {
        if (!Fits(offset, size))
            return false; // before the allocation: a claimed size may be absurd
        bytes->resize(size);
        return Read(offset, bytes->data(), size);
    }

  private:
    ByteReader &reader_;
    uint64_t size_;
    size_t used_ = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number of n digits at s, or -1.
int Digits(const char *s, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        if (!IsDigit(s[i]))
            return -1;
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

std::string Trimmed(std::string s) {
    size_t end = s.find('\0');
    if (end != std::string::npos)
        s.resize(end);
    size_t first = s.find_first_not_of(" \t\r\n");
    size_t last = s.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

bool SetDate(DateTaken *out, const CivilTime &t, DateSource source) {
    if (!IsValidCivilTime(t, MinYear, MaxYear))
        return false;
    out->time = t;
    out->source = source;
    return true;
}

// "+01:00" or "+0100" (or "Z" where zulu is allowed): minutes east of UTC.
bool ParseOffset(const std::string &s, bool zulu, int *minutes) {
    if (zulu && s == "Z") {
        *minutes = 0;
        return true;
    }
    if (s.size() != 6 && s.size() != 5)
        return false;
    if (s[0] != '+' && s[0] != '-')
        return false;
    int hours = Digits(s.c_str() + 1, 2);
    size_t at = s.size() == 6 ? 4 : 3;
    if (s.size() == 6 && s[3] != ':')
        return false;
    int mins = Digits(s.c_str() + at, 2);
    if (hours < 0 || hours > 14 || mins < 0 || mins > 59)
        return false;
    *minutes = (s[0] == '-' ? -1 : 1) * (hours * 60 + mins);
    return true;
}

// The leading digits of a decimal fraction as 100 ns units: "5" is 5,000,000. Digits past the
// seventh are cut, never rounded, so a time never moves into the next second.
int Fraction(const std::string &s) {
    int value = 0, digits = 0;
    for (size_t i = 0; i < s.size() && IsDigit(s[i]); ++i)
        if (digits < 7)
            value = value * 10 + (s[i] - '0'), ++digits;
    for (; digits < 7; ++digits)
        value *= 10;
    return value;
}

// "YYYY:MM:DD HH:MM:SS" of EXIF.
bool ParseExifTime(const std::string &s, CivilTime *t) {
    if (s.size() != 19 || s[4] != ':' || s[7] != ':' || (s[10] != ' ' && s[10] != 'T') ||
        s[13] != ':' || s[16] != ':')
        return false;
    const char *c = s.c_str();
    *t = CivilTime{Digits(c, 4),      Digits(c + 5, 2),  Digits(c + 8, 2),
                   Digits(c + 11, 2), Digits(c + 14, 2), Digits(c + 17, 2)};
    return IsValidCivilTime(*t, MinYear, MaxYear);
}

// ISO 8601 as XMP writes it: a date, then optionally "Thh:mm", seconds, a fraction and an offset.
// A date alone is taken as its noon, which no offset moves to another day.
bool ParseIsoTime(const std::string &s, DateTaken *out, DateSource source) {
    if (s.size() < 10 || s[4] != '-' || s[7] != '-')
        return false;
    const char *c = s.c_str();
    CivilTime t{Digits(c, 4), Digits(c + 5, 2), Digits(c + 8, 2), 12};
    size_t at = 10;
    if (s.size() > 10) {
        if (s.size() < 16 || s[10] != 'T' || s[13] != ':')
            return false;
        t.hour = Digits(c + 11, 2);
        t.minute = Digits(c + 14, 2);
        at = 16;
        if (at < s.size() && s[at] == ':') {
            t.second = Digits(c + at + 1, 2);
            at += 3;
            if (at < s.size() && (s[at] == '.' || s[at] == ',')) {
                size_t first = ++at;
                while (at < s.size() && IsDigit(s[at]))
                    ++at;
                if (at == first)
                    return false;
                t.fraction = Fraction(s.substr(first, at - first));
            }
        }
    }
    DateTaken taken;
    if (at < s.size()) {
        if (!ParseOffset(s.substr(at), true, &taken.offsetMinutes))
            return false;
        taken.hasOffset = true;
    }
    if (!SetDate(&taken, t, source))
        return false;
    *out = taken;
    return true;
}

// A TIFF structure at [base, base + length) of the file; its offsets count from base.
class TiffView {
  public:
    TiffView(BoundedReader &in, uint64_t base, uint64_t length) : in_(in), base_(base) {
        length_ = base > in.Size() ? 0 : std::min(length, in.Size() - base);
    }
    bool Read(uint64_t offset, void *buffer, size_t size) {
        return offset <= length_ && size <= length_ - offset &&
               in_.Read(base_ + offset, buffer, size);
    }
    uint64_t Length() const { return length_; }
    bool little = true;
    uint16_t U16(const uint8_t *p) const { return little ? Le16(p) : Be16(p); }
    uint32_t U32(const uint8_t *p) const { return little ? Le32(p) : Be32(p); }

  private:
    BoundedReader &in_;
    uint64_t base_;
    uint64_t length_;
};

struct IfdEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint8_t value[4];
};

std::vector<IfdEntry> ReadIfd(TiffView &tiff, uint32_t offset) {
    std::vector<IfdEntry> entries;
    uint8_t head[2];
    if (!tiff.Read(offset, head, 2))
        return entries;
    uint64_t room = (tiff.Length() - offset - 2) / 12;
    size_t count = std::min<uint64_t>({tiff.U16(head), room, MaxIfdEntries});
    std::vector<uint8_t> raw(count * 12);
    if (!tiff.Read(offset + 2, raw.data(), raw.size()))
        return entries;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *p = raw.data() + i * 12;
        IfdEntry e{tiff.U16(p), tiff.U16(p + 2), tiff.U32(p + 4), {}};
        std::memcpy(e.value, p + 8, 4);
        entries.push_back(e);
    }
    return entries;
}

const IfdEntry *FindTag(const std::vector<IfdEntry> &entries, uint16_t tag) {
    for (const IfdEntry &e : entries)
        if (e.tag == tag)
            return &e;
    return nullptr;
}

// A text field (ASCII, or UNDEFINED as some writers store sub-seconds), trimmed.
std::string TextTag(TiffView &tiff, const std::vector<IfdEntry> &entries, uint16_t tag) {
    const IfdEntry *e = FindTag(entries, tag);
    if (!e || (e->type != 2 && e->type != 7) || e->count == 0)
        return std::string();
    size_t size = std::min<size_t>(e->count, MaxStringRead);
    std::string text(size, '\0');
    if (e->count <= 4)
        std::memcpy(&text[0], e->value, size);
    else if (!tiff.Read(tiff.U32(e->value), &text[0], size))
        return std::string();
    return Trimmed(text);
}

// One EXIF time with its offset and sub-second fields.
bool ExifTime(TiffView &tiff, const std::vector<IfdEntry> &exif, uint16_t timeTag,
              uint16_t offsetTag, uint16_t subSecTag, DateSource source, DateTaken *out) {
    CivilTime t;
    if (!ParseExifTime(TextTag(tiff, exif, timeTag), &t))
        return false;
    t.fraction = Fraction(TextTag(tiff, exif, subSecTag));
    DateTaken taken;
    taken.hasOffset = ParseOffset(TextTag(tiff, exif, offsetTag), false, &taken.offsetMinutes);
    if (!SetDate(&taken, t, source))
        return false;
    *out = taken;
    return true;
}

struct ExifDates {
    bool hasOriginal = false;
    bool hasDigitized = false;
    DateTaken original;
    DateTaken digitized;
};

// The header in either byte order, with the magic numbers of the raw formats built on TIFF.
ExifDates ReadTiff(TiffView tiff) {
    ExifDates dates;
    uint8_t head[8];
    if (!tiff.Read(0, head, 8))
        return dates;
    if (head[0] == 'I' && head[1] == 'I')
        tiff.little = true;
    else if (head[0] == 'M' && head[1] == 'M')
        tiff.little = false;
    else
        return dates;
    uint16_t magic = tiff.U16(head + 2);
    if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x0055)
        return dates; // TIFF, ORF ("RO", "RS"), RW2 ("U")
    std::vector<IfdEntry> ifd0 = ReadIfd(tiff, tiff.U32(head + 4));
    const IfdEntry *pointer = FindTag(ifd0, 0x8769);
    if (!pointer || (pointer->type != 4 && pointer->type != 13))
        return dates;
    std::vector<IfdEntry> exif = ReadIfd(tiff, tiff.U32(pointer->value));
    dates.hasOriginal =
        ExifTime(tiff, exif, 0x9003, 0x9011, 0x9291, DateSource::ExifOriginal, &dates.original);
    dates.hasDigitized =
        ExifTime(tiff, exif, 0x9004, 0x9012, 0x9292, DateSource::ExifDigitized, &dates.digitized);
    return dates;
}

// Date Created (2:55) and Time Created (2:60) from Photoshop's image resources (APP13 after its
// signature): resource 0x0404 holds the IPTC datasets.
bool IptcTime(const std::vector<uint8_t> &resources, DateTaken *out) {
    const uint8_t *p = resources.data();
    size_t n = resources.size(), pos = 0;
    const uint8_t *iptc = nullptr;
    size_t iptcSize = 0;
    while (n - pos >= 12 && std::memcmp(p + pos, "8BIM", 4) == 0) {
        uint16_t id = Be16(p + pos + 4);
        pos += 6;
        size_t name = (1 + p[pos] + 1) & ~size_t(1); // Pascal string padded to even
        if (name > n - pos || n - pos - name < 4)
            return false;
        pos += name;
        size_t size = Be32(p + pos);
        pos += 4;
        if (size > n - pos)
            return false;
        if (id == 0x0404) {
            iptc = p + pos;
            iptcSize = size;
            break;
        }
        pos += std::min(size + (size & 1), n - pos);
    }
    std::string date, time;
    for (pos = 0; iptc && iptcSize - pos >= 5 && iptc[pos] == 0x1C;) {
        uint8_t record = iptc[pos + 1], dataset = iptc[pos + 2];
        size_t size = Be16(iptc + pos + 3);
        pos += 5;
        if (size & 0x8000 || size > iptcSize - pos)
            break; // extended sizes are for binary data, never for dates
        std::string value(reinterpret_cast<const char *>(iptc + pos), size);
        if (record == 2 && dataset == 55 && date.empty())
            date = Trimmed(value);
        if (record == 2 && dataset == 60 && time.empty())
            time = Trimmed(value);
        pos += size;
    }
    if (date.size() != 8)
        return false;
    // A date without its time is taken as its noon.
    CivilTime t{Digits(date.c_str(), 4), Digits(date.c_str() + 4, 2), Digits(date.c_str() + 6, 2),
                12};
    DateTaken taken;
    if (!time.empty()) {
        if (time.size() != 6 && time.size() != 11)
            return false;
        t.hour = Digits(time.c_str(), 2);
        t.minute = Digits(time.c_str() + 2, 2);
        t.second = Digits(time.c_str() + 4, 2);
        if (time.size() == 11) {
            if (!ParseOffset(time.substr(6), false, &taken.offsetMinutes))
                return false;
            taken.hasOffset = true;
        }
    }
    if (!SetDate(&taken, t, DateSource::IptcCreated))
        return false;
    *out = taken;
    return true;
}

bool XmpTime(const std::string &xmp, const char *namespaceUri, const char *name, DateSource source,
             DateTaken *out) {
    std::string value;
    return FindXmpValue(xmp, namespaceUri, name, &value) &&
           ParseIsoTime(Trimmed(value), out, source);
}

bool StartsWith(const std::vector<uint8_t> &bytes, const char *prefix, size_t size) {
    return bytes.size() >= size && std::memcmp(bytes.data(), prefix, size) == 0;
}

bool ReadJpeg(BoundedReader &in, DateTaken *out) {
    static const char exifSignature[] = "Exif\0";             // and one more zero
    static const char photoshopSignature[] = "Photoshop 3.0"; // and a zero
    uint64_t exifBase = 0, exifLength = 0;
    std::vector<uint8_t> xmp, resources;
    uint64_t pos = 2;
    for (int i = 0; i < MaxJpegSegments; ++i) {
        uint8_t head[4];
        if (!in.Read(pos, head, 2) || head[0] != 0xFF)
            break;
        uint8_t marker = head[1];
        if (marker == 0xFF) { // fill byte
            pos += 1;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // no length
            pos += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9 || !in.Read(pos + 2, head + 2, 2))
            break; // the image data, which holds no metadata, or the end
        uint16_t length = Be16(head + 2);
        if (length < 2)
            break;
        uint64_t data = pos + 4, size = length - 2u;
        std::vector<uint8_t> start;
        if (marker == 0xE1 && in.Read(data, std::min<size_t>(size, 29), &start)) {
            if (exifLength == 0 && StartsWith(start, exifSignature, 6)) {
                exifBase = data + 6;
                exifLength = size - 6;
            } else if (xmp.empty() && StartsWith(start, XmpNamespace, 29)) { // and its zero
                in.Read(data + 29, size - 29, &xmp);
            }
        } else if (marker == 0xED && resources.empty() && in.Read(data, size, &resources)) {
            if (StartsWith(resources, photoshopSignature, 14))
                resources.erase(resources.begin(), resources.begin() + 14);
            else
                resources.clear();
        }
        pos = data + size;
    }
    ExifDates exif;
    if (exifLength != 0)
        exif = ReadTiff(TiffView(in, exifBase, exifLength));
    std::string xmpText(xmp.begin(), xmp.end());
    if (exif.hasOriginal) {
        *out = exif.original;
        return true;
    }
    if (IptcTime(resources, out) ||
        XmpTime(xmpText, XmpNamespace, "CreateDate", DateSource::XmpCreateDate, out))
        return true;
    if (exif.hasDigitized) {
        *out = exif.digitized;
        return true;
    }
    return XmpTime(xmpText, ExifNamespace, "DateTimeOriginal", DateSource::XmpExifOriginal, out);
}

bool TakeExif(const ExifDates &exif, DateTaken *out) {
    if (exif.hasOriginal || exif.hasDigitized) {
        *out = exif.hasOriginal ? exif.original : exif.digitized;
        return true;
    }
    return false;
}

bool ReadPng(BoundedReader &in, DateTaken *out) {
    uint64_t pos = 8;
    for (int i = 0; i < MaxPngChunks; ++i) {
        uint8_t head[8];
        if (!in.Read(pos, head, 8))
            return false;
        uint32_t length = Be32(head);
        if (std::memcmp(head + 4, "eXIf", 4) == 0) {
            uint64_t data = pos + 8;
            uint8_t start[6];
            // Some writers keep the JPEG segment's signature in front of the TIFF header.
            if (length >= 6 && in.Read(data, start, 6) && std::memcmp(start, "Exif\0\0", 6) == 0)
                return TakeExif(ReadTiff(TiffView(in, data + 6, length - 6)), out);
            return TakeExif(ReadTiff(TiffView(in, data, length)), out);
        }
        if (std::memcmp(head + 4, "IEND", 4) == 0)
            return false;
        pos += 12 + uint64_t(length);
    }
    return false;
}

// ISO base media file format (HEIF, MP4, MOV).
struct Box {
    uint64_t payload = 0; // after the header
    uint64_t end = 0;
    char type[4] = {};
    bool Is(const char *name) const { return std::memcmp(type, name, 4) == 0; }
};

// Walks the boxes of [pos, end) in order; a damaged header ends the walk.
class BoxWalk {
  public:
    BoxWalk(BoundedReader &in, uint64_t pos, uint64_t end, int *budget)
        : in_(in), pos_(pos), end_(end), budget_(budget) {}
    bool Next(Box *box) {
        uint8_t head[16];
        if (*budget_ <= 0 || pos_ >= end_ || end_ - pos_ < 8 || !in_.Read(pos_, head, 8))
            return false;
        --*budget_;
        uint64_t size = Be32(head), header = 8;
        if (size == 1) {
            if (end_ - pos_ < 16 || !in_.Read(pos_ + 8, head + 8, 8))
                return false;
            size = Be64(head + 8);
            header = 16;
        } else if (size == 0) {
            size = end_ - pos_; // to the end of the enclosing box or file
        }
        if (size < header || size > end_ - pos_)
            return false;
        box->payload = pos_ + header;
        box->end = pos_ + size;
        std::memcpy(box->type, head + 4, 4);
        pos_ = box->end;
        return true;
    }

  private:
    BoundedReader &in_;
    uint64_t pos_;
    uint64_t end_;
    int *budget_;
};

// Reads a box's payload whole: a list of items is small.
bool ReadPayload(BoundedReader &in, const Box &box, std::vector<uint8_t> *bytes) {
    uint64_t size = box.end - box.payload;
    return size <= MaxBoxRead && in.Read(box.payload, size_t(size), bytes);
}

// Big-endian fields of a box in memory, with a sticky failure past its end.
class Fields {
  public:
    explicit Fields(const std::vector<uint8_t> &bytes) : bytes_(bytes) {}
    bool ok = true;
    uint64_t Get(size_t size) {
        if (!ok || size > 8 || size > bytes_.size() - pos_) {
            ok = false;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value = value << 8 | bytes_[pos_ + i];
        pos_ += size;
        return value;
    }
    size_t Pos() const { return pos_; }
    void Skip(uint64_t size) {
        Seek(size <= bytes_.size() - pos_ ? pos_ + size_t(size) : ~size_t(0));
    }
    void Seek(size_t pos) {
        if (pos > bytes_.size())
            ok = false;
        else
            pos_ = pos;
    }

  private:
    const std::vector<uint8_t> &bytes_;
    size_t pos_ = 0;
};

// The ID of the first item of type 'Exif' in an iinf payload.
bool FindExifItem(const std::vector<uint8_t> &iinf, uint32_t *id) {
    Fields f(iinf);
    uint64_t version = f.Get(1);
    f.Get(3);
    uint64_t count = f.Get(version == 0 ? 2 : 4);
    for (uint64_t i = 0; f.ok && i < std::min<uint64_t>(count, MaxItems); ++i) {
        size_t start = f.Pos();
        uint64_t size = f.Get(4);
        bool isInfe = f.Get(4) == 0x696E6665; // 'infe'
        uint64_t infeVersion = f.Get(1);
        f.Get(3);
        if (size < 8 || size > iinf.size() - start)
            return false;
        if (isInfe && (infeVersion == 2 || infeVersion == 3)) {
            uint64_t item = f.Get(infeVersion == 2 ? 2 : 4);
            f.Get(2);                             // protection index
            if (f.ok && f.Get(4) == 0x45786966) { // 'Exif'
                *id = uint32_t(item);
                return true;
            }
        }
        f.Seek(start + size);
    }
    return false;
}

struct Extent {
    int method = 0; // 0 an offset in the file, 1 in the idat box
    uint64_t offset = 0;
    uint64_t length = 0;
};

// The first extent of item id in an iloc payload.
bool FindExtent(const std::vector<uint8_t> &iloc, uint32_t id, Extent *extent) {
    Fields f(iloc);
    uint64_t version = f.Get(1);
    f.Get(3);
    uint64_t sizes = f.Get(1), moreSizes = f.Get(1);
    size_t offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = moreSizes >> 4;
    size_t indexSize = version == 1 || version == 2 ? moreSizes & 15 : 0;
    if (version > 2)
        return false;
    uint64_t count = f.Get(version < 2 ? 2 : 4);
    for (uint64_t i = 0; f.ok && i < std::min<uint64_t>(count, MaxItems); ++i) {
        uint64_t item = f.Get(version < 2 ? 2 : 4);
        int method = version == 0 ? 0 : int(f.Get(2) & 15);
        f.Get(2); // data reference index
        uint64_t base = f.Get(baseSize);
        uint64_t extents = f.Get(2);
        if (item == id) {
            f.Get(indexSize);
            uint64_t offset = f.Get(offsetSize), length = f.Get(lengthSize);
            if (!f.ok || extents == 0 || offset > UINT64_MAX - base)
                return false;
            *extent = Extent{method, base + offset, length};
            return true;
        }
        f.Skip(extents * (indexSize + offsetSize + lengthSize));
    }
    return false;
}

// EXIF of a HEIF image: the Exif item's first four bytes give the offset of the TIFF header
// after them.
bool ReadHeif(BoundedReader &in, const Box &meta, int *budget, DateTaken *out) {
    BoxWalk children(in, meta.payload + 4, meta.end, budget); // after version and flags
    std::vector<uint8_t> iinf, iloc;
    Box box, idat;
    while (children.Next(&box)) {
        if (box.Is("iinf") && iinf.empty() && !ReadPayload(in, box, &iinf))
            return false;
        if (box.Is("iloc") && iloc.empty() && !ReadPayload(in, box, &iloc))
            return false;
        if (box.Is("idat") && idat.end == 0)
            idat = box;
    }
    uint32_t id = 0;
    Extent extent;
    if (!FindExifItem(iinf, &id) || !FindExtent(iloc, id, &extent))
        return false;
    uint64_t start = extent.offset, end = in.Size();
    if (extent.method == 1) {
        if (idat.end == 0 || start > idat.end - idat.payload)
            return false;
        start += idat.payload;
        end = idat.end;
    } else if (extent.method != 0) {
        return false;
    }
    if (start > end)
        return false;
    uint64_t length = extent.length == 0 ? end - start : std::min(extent.length, end - start);
    uint8_t head[4];
    if (length < 4 || !in.Read(start, head, 4) || Be32(head) > length - 4)
        return false;
    uint64_t skip = 4 + uint64_t(Be32(head));
    return TakeExif(ReadTiff(TiffView(in, start + skip, length - skip)), out);
}

// Seconds since 1904-01-01 UTC as a civil time.
bool MovieTime(uint64_t seconds, CivilTime *t) {
    uint64_t days = seconds / 86400, rest = seconds % 86400;
    if (days > uint64_t(MaxYear - 1904 + 1) * 366)
        return false;
    int year = 1904;
    for (int length = 366; days >= uint64_t(length); length = IsLeapYear(year) ? 366 : 365)
        days -= length, ++year;
    int month = 1;
    for (; days >= uint64_t(DaysInMonth(year, month)); ++month)
        days -= DaysInMonth(year, month);
    *t = CivilTime{year,          month, int(days) + 1, int(rest / 3600), int(rest / 60 % 60),
                   int(rest % 60)};
    return true;
}

// The creation time of a movie header. Zero is what a writer leaves that knew no time, and the
// first second of 1970 what one leaves that put a zero of its own clock there.
bool MovieHeaderTime(BoundedReader &in, const Box &mvhd, DateTaken *out) {
    uint8_t head[8];
    if (mvhd.end - mvhd.payload < 8 || !in.Read(mvhd.payload, head, 8))
        return false;
    uint64_t created = Be32(head + 4);
    if (head[0] == 1) {
        if (mvhd.end - mvhd.payload < 12 || !in.Read(mvhd.payload + 4, head, 8))
            return false;
        created = Be64(head);
    }
    constexpr uint64_t UnixEpochSince1904 = 2082844800;
    CivilTime t;
    if (created == 0 || created == UnixEpochSince1904 || !MovieTime(created, &t))
        return false;
    DateTaken taken;
    taken.hasOffset = true; // movie times are UTC
    if (!SetDate(&taken, t, DateSource::MovieCreation))
        return false;
    *out = taken;
    return true;
}

// A date as movie metadata writes it: only a full date and time counts, never a year or a day
// alone. Without an offset it is the camera's local time.
bool MovieTextTime(const std::string &text, DateSource source, DateTaken *out) {
    std::string s = Trimmed(text);
    return s.size() >= 16 && ParseIsoTime(s, out, source);
}

// The children of a 'meta' box: right after its header in QuickTime, after a version and flags
// in MP4. Either way the handler comes first.
uint64_t MetaChildren(BoundedReader &in, const Box &meta) {
    uint8_t head[8];
    bool plain = meta.end - meta.payload >= 8 && in.Read(meta.payload, head, 8) &&
                 std::memcmp(head + 4, "hdlr", 4) == 0;
    return plain ? meta.payload : meta.payload + 4;
}

// The text of a metadata item: its first 'data' box of type 1, UTF-8.
bool ItemText(BoundedReader &in, const Box &item, int *budget, std::string *text) {
    BoxWalk values(in, item.payload, item.end, budget);
    Box data;
    while (values.Next(&data)) {
        uint64_t size = data.end - data.payload;
        std::vector<uint8_t> bytes;
        if (!data.Is("data") || size < 8 || size - 8 > MaxStringRead)
            continue;
        if (!in.Read(data.payload, size_t(size), &bytes))
            return false;
        if (Be32(bytes.data()) == 1) { // then a locale, then the text
            text->assign(bytes.begin() + 8, bytes.end());
            return true;
        }
    }
    return false;
}

// The 1-based index of an 'mdta' key in the payload of a keys box, or 0.
uint32_t FindKey(const std::vector<uint8_t> &keys, const char *name) {
    Fields f(keys);
    f.Get(4); // version and flags
    uint64_t count = f.Get(4);
    size_t length = std::strlen(name);
    for (uint64_t i = 1; f.ok && i <= std::min<uint64_t>(count, MaxItems); ++i) {
        size_t start = f.Pos();
        uint64_t size = f.Get(4);
        bool mdta = f.Get(4) == 0x6D647461; // 'mdta'
        if (!f.ok || size < 8 || size > keys.size() - start)
            return 0;
        if (mdta && size - 8 == length && std::memcmp(&keys[start + 8], name, length) == 0)
            return uint32_t(i);
        f.Seek(start + size_t(size));
    }
    return 0;
}

// com.apple.quicktime.creationdate of QuickTime metadata (moov/meta): a handler of type 'mdta',
// the keys, and the item list whose items are typed by the index of their key.
bool KeyedCreationDate(BoundedReader &in, const Box &meta, int *budget, DateTaken *out) {
    BoxWalk children(in, MetaChildren(in, meta), meta.end, budget);
    Box box, ilst;
    bool mdta = false;
    uint32_t index = 0;
    while (children.Next(&box)) {
        uint8_t head[12];
        if (box.Is("hdlr"))
            mdta = box.end - box.payload >= 12 && in.Read(box.payload, head, 12) &&
                   std::memcmp(head + 8, "mdta", 4) == 0;
        std::vector<uint8_t> keys;
        if (box.Is("keys") && index == 0 && ReadPayload(in, box, &keys))
            index = FindKey(keys, "com.apple.quicktime.creationdate");
        if (box.Is("ilst") && ilst.end == 0)
            ilst = box;
    }
    if (!mdta || index == 0 || ilst.end == 0)
        return false;
    BoxWalk items(in, ilst.payload, ilst.end, budget);
    Box item;
    std::string text;
    while (items.Next(&item))
        if (Be32(reinterpret_cast<const uint8_t *>(item.type)) == index)
            return ItemText(in, item, budget, &text) &&
                   MovieTextTime(text, DateSource::MovieMetadata, out);
    return false;
}

// '\xA9day' of a movie's user data: classic QuickTime text (a 16-bit length, a 16-bit language,
// the text), or an item of the iTunes-style list in udta/meta/ilst.
bool UserDataDay(BoundedReader &in, const Box &udta, int *budget, DateTaken *out) {
    static const char day[] = "\xA9"
                              "day";
    BoxWalk children(in, udta.payload, udta.end, budget);
    Box box;
    std::string text;
    while (children.Next(&box)) {
        uint8_t head[4];
        if (box.Is(day) && box.end - box.payload >= 4 && in.Read(box.payload, head, 4)) {
            std::vector<uint8_t> bytes;
            size_t length = Be16(head);
            return length <= box.end - box.payload - 4 && length <= MaxStringRead &&
                   in.Read(box.payload + 4, length, &bytes) &&
                   MovieTextTime(std::string(bytes.begin(), bytes.end()), DateSource::MovieUserData,
                                 out);
        }
        if (!box.Is("meta"))
            continue;
        BoxWalk lists(in, MetaChildren(in, box), box.end, budget);
        Box ilst, item;
        while (lists.Next(&ilst)) {
            if (!ilst.Is("ilst"))
                continue;
            BoxWalk items(in, ilst.payload, ilst.end, budget);
            while (items.Next(&item))
                if (item.Is(day))
                    return ItemText(in, item, budget, &text) &&
                           MovieTextTime(text, DateSource::MovieUserData, out);
        }
    }
    return false;
}

// The metadata first: it carries the capture time with its offset, where the movie header holds
// UTC only.
bool ReadMovie(BoundedReader &in, const Box &moov, int *budget, DateTaken *out) {
    BoxWalk children(in, moov.payload, moov.end, budget);
    Box box, mvhd, meta, udta;
    while (children.Next(&box)) {
        Box *slot = box.Is("mvhd")   ? &mvhd
                    : box.Is("meta") ? &meta
                    : box.Is("udta") ? &udta
                                     : nullptr;
        if (slot && slot->end == 0)
            *slot = box;
    }
    return (meta.end != 0 && KeyedCreationDate(in, meta, budget, out)) ||
           (udta.end != 0 && UserDataDay(in, udta, budget, out)) ||
           (mvhd.end != 0 && MovieHeaderTime(in, mvhd, out));
}

// Top-level boxes: skipped by their sizes, so a movie header after the media data costs a few
// reads of box headers and none of the media.
bool ReadIsoMedia(BoundedReader &in, DateTaken *out) {
    int budget = MaxBoxes;
    BoxWalk top(in, 0, in.Size(), &budget);
    Box box;
    while (top.Next(&box)) {
        if (box.Is("meta") && ReadHeif(in, box, &budget, out))
            return true;
        if (box.Is("moov"))
            return ReadMovie(in, box, &budget, out);
    }
    return false;
}

} // namespace

bool ReadDateTaken(ByteReader &reader, DateTaken *taken) {
    *taken = DateTaken();
    BoundedReader in(reader);
    uint8_t head[12];
    if (!in.Read(0, head, sizeof head))
        return false;
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    DateTaken found;
    bool ok = false;
    if (head[0] == 0xFF && head[1] == 0xD8)
        ok = ReadJpeg(in, &found);
    else if ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M'))
        ok = TakeExif(ReadTiff(TiffView(in, 0, in.Size())), &found);
    else if (std::memcmp(head, png, 8) == 0)
        ok = ReadPng(in, &found);
    else {
        static const char *const firstBoxes[] = {"ftyp", "moov", "mdat", "wide", "free", "skip"};
        for (const char *name : firstBoxes)
            if (std::memcmp(head + 4, name, 4) == 0)
                ok = ReadIsoMedia(in, &found);
    }
    if (ok)
        *taken = found;
    return ok;
}

bool ReadXmpSidecarDate(ByteReader &reader, DateTaken *taken) {
    *taken = DateTaken();
    BoundedReader in(reader);
    std::vector<uint8_t> bytes;
    if (!in.Read(0, size_t(std::min<uint64_t>(in.Size(), DateTakenReadBudget)), &bytes))
        return false;
    const std::string text(bytes.begin(), bytes.end());
    static const struct {
        const char *namespaceUri;
        const char *name;
    } properties[] = {{ExifNamespace, "DateTimeOriginal"},
                      {PhotoshopNamespace, "DateCreated"},
                      {XmpNamespace, "CreateDate"}};
    DateTaken found;
    for (const auto &p : properties)
        if (XmpTime(text, p.namespaceUri, p.name, DateSource::XmpSidecar, &found)) {
            *taken = found;
            return true;
        }
    return false;
}

bool ReadIsoTime(const std::string &text, DateTaken *taken) {
    return ParseIsoTime(text, taken, DateSource::None);
}
