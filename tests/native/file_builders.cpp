#include "file_builders.h"

#include <algorithm>
#include <cstring>

bool MemoryReader::Read(uint64_t offset, void *buffer, size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) {
        outOfRange = true;
        return false;
    }
    std::memcpy(buffer, bytes_.data() + offset, size);
    bytesRead += size;
    reads_.emplace_back(offset, offset + size);
    return true;
}

bool MemoryReader::Touched(uint64_t begin, uint64_t end) const {
    return std::any_of(reads_.begin(), reads_.end(),
                       [&](const auto &r) { return r.first < end && begin < r.second; });
}

void Append(Bytes *to, const Bytes &bytes) {
    to->insert(to->end(), bytes.begin(), bytes.end());
}

void PutBe(Bytes *to, uint64_t value, int size) {
    for (int i = size - 1; i >= 0; --i)
        to->push_back(uint8_t(value >> (8 * i)));
}

namespace {

Bytes Text(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

struct TiffWriter {
    bool little;
    Bytes out;
    void Put(uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            out.push_back(uint8_t(value >> (8 * (little ? i : size - 1 - i))));
    }
    void Set(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = uint8_t(value >> (8 * (little ? i : 3 - i)));
    }
    // An IFD with the text tags (long ones stored after it) and, when pointer, an Exif IFD
    // pointer whose value is returned for patching.
    size_t Ifd(const std::vector<TextTag> &tags, bool pointer) {
        Put(tags.size() + (pointer ? 1 : 0), 2);
        std::vector<std::pair<size_t, const std::string *>> later;
        size_t pointerAt = 0;
        for (const TextTag &tag : tags) {
            std::string value = tag.text + '\0';
            Put(tag.tag, 2);
            Put(2, 2);
            Put(value.size(), 4);
            if (value.size() <= 4) {
                value.resize(4, '\0');
                Append(&out, Text(value));
            } else {
                later.emplace_back(out.size(), &tag.text);
                Put(0, 4);
            }
        }
        if (pointer) {
            Put(0x8769, 2);
            Put(4, 2);
            Put(1, 4);
            pointerAt = out.size();
            Put(0, 4);
        }
        Put(0, 4); // no next IFD
        for (auto &[at, text] : later) {
            Set(at, uint32_t(out.size()));
            Append(&out, Text(*text + '\0'));
        }
        return pointerAt;
    }
};

} // namespace

Bytes Tiff(bool littleEndian, const std::vector<TextTag> &exif, const std::vector<TextTag> &ifd0,
           uint16_t magic) {
    TiffWriter w{littleEndian, {}};
    Append(&w.out, Text(littleEndian ? "II" : "MM"));
    w.Put(magic, 2);
    w.Put(8, 4);
    size_t pointer = w.Ifd(ifd0, true);
    w.Set(pointer, uint32_t(w.out.size()));
    w.Ifd(exif, false);
    return w.out;
}

Bytes JpegSegment(uint8_t marker, const Bytes &payload) {
    Bytes out{0xFF, marker};
    PutBe(&out, payload.size() + 2, 2);
    Append(&out, payload);
    return out;
}

Bytes ExifSegment(const Bytes &tiff) {
    Bytes payload{'E', 'x', 'i', 'f', 0, 0};
    Append(&payload, tiff);
    return JpegSegment(0xE1, payload);
}

Bytes XmpSegment(const std::string &packet) {
    Bytes payload = Text("http://ns.adobe.com/xap/1.0/");
    payload.push_back(0);
    Append(&payload, Text(packet));
    return JpegSegment(0xE1, payload);
}

namespace {

Bytes Resource(uint16_t id, const std::string &name, const Bytes &data) {
    Bytes out = Text("8BIM");
    PutBe(&out, id, 2);
    out.push_back(uint8_t(name.size()));
    Append(&out, Text(name));
    if (out.size() % 2)
        out.push_back(0);
    PutBe(&out, data.size(), 4);
    Append(&out, data);
    if (data.size() % 2)
        out.push_back(0);
    return out;
}

Bytes Dataset(uint8_t number, const std::string &value) {
    Bytes out{0x1C, 2, number};
    PutBe(&out, value.size(), 2);
    Append(&out, Text(value));
    return out;
}

} // namespace

Bytes IptcSegment(const std::string &date, const std::string &time) {
    Bytes payload = Text("Photoshop 3.0");
    payload.push_back(0);
    Append(&payload, Resource(0x03ED, "", {1, 2, 3}));
    Bytes iptc = Dataset(0, std::string(2, '\0'));
    Append(&iptc, Dataset(55, date));
    if (!time.empty())
        Append(&iptc, Dataset(60, time));
    Append(&payload, Resource(0x0404, "ab", iptc));
    return JpegSegment(0xED, payload);
}

Bytes Jpeg(const std::vector<Bytes> &segments) {
    Bytes out{0xFF, 0xD8};
    Append(&out, JpegSegment(0xE0, Text("JFIF")));
    for (const Bytes &segment : segments)
        Append(&out, segment);
    Append(&out, JpegSegment(0xDA, Bytes(10, 0)));
    Append(&out, Bytes(64, 0x55));
    Append(&out, Bytes{0xFF, 0xD9});
    return out;
}

namespace {

Bytes Chunk(const char *type, const Bytes &data) {
    Bytes out;
    PutBe(&out, data.size(), 4);
    Append(&out, Text(type));
    Append(&out, data);
    PutBe(&out, 0, 4); // the CRC, which the parser does not check
    return out;
}

Bytes FullBox(const char *type, int version, const Bytes &payload) {
    Bytes body;
    PutBe(&body, uint64_t(version) << 24, 4);
    Append(&body, payload);
    return Box(type, body);
}

Bytes Infe(uint16_t id, const char *type) {
    Bytes body;
    PutBe(&body, id, 2);
    PutBe(&body, 0, 2);
    Append(&body, Text(type));
    body.push_back(0); // empty name
    return FullBox("infe", 2, body);
}

} // namespace

Bytes Png(const Bytes &tiff) {
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Append(&out, Chunk("IHDR", Bytes(13, 1)));
    Append(&out, Chunk("eXIf", tiff));
    Append(&out, Chunk("IDAT", Bytes(32, 7)));
    Append(&out, Chunk("IEND", {}));
    return out;
}

Bytes Box(const char *type, const Bytes &payload) {
    Bytes out;
    PutBe(&out, payload.size() + 8, 4);
    Append(&out, Text(type));
    Append(&out, payload);
    return out;
}

Bytes Heic(const Bytes &tiff, int method) {
    // The Exif item: the offset of the TIFF header after the four bytes that give it.
    Bytes item;
    PutBe(&item, 6, 4);
    Append(&item, Text(std::string("Exif\0\0", 6)));
    Append(&item, tiff);
    Bytes ftyp = Box("ftyp", Text(std::string("heic\0\0\0\0mif1heic", 16)));
    auto meta = [&](uint32_t offset) {
        Bytes iinf;
        PutBe(&iinf, 2, 2);
        Append(&iinf, Infe(1, "hvc1"));
        Append(&iinf, Infe(2, "Exif"));
        Bytes iloc{0x44, 0x00}; // 4-byte offsets and lengths, no base offset
        PutBe(&iloc, 2, 2);
        for (uint16_t id = 1; id <= 2; ++id) {
            PutBe(&iloc, id, 2);
            PutBe(&iloc, id == 2 ? method : 0, 2);
            PutBe(&iloc, 0, 2);
            PutBe(&iloc, 1, 2);
            PutBe(&iloc, id == 2 ? offset : 0, 4);
            PutBe(&iloc, id == 2 ? item.size() : 16, 4);
        }
        Bytes body =
            FullBox("hdlr", 0, Text(std::string(4, '\0') + "pict" + std::string(13, '\0')));
        Append(&body, FullBox("iinf", 0, iinf));
        Append(&body, FullBox("iloc", 1, iloc));
        if (method == 1)
            Append(&body, Box("idat", item));
        return FullBox("meta", 0, body);
    };
    Bytes out = ftyp;
    // The mdat follows meta, whose size does not depend on the offset it holds.
    uint32_t mdatPayload = uint32_t(ftyp.size() + meta(0).size() + 8);
    Append(&out, meta(method == 0 ? mdatPayload : 0));
    Bytes mdat = method == 0 ? item : Bytes();
    Append(&mdat, Bytes(16, 0xEE));
    Append(&out, Box("mdat", mdat));
    return out;
}

Bytes Movie(int mvhdVersion, uint64_t created, size_t mdatSize, bool largeSize,
            const std::vector<Bytes> &moovBoxes) {
    Bytes out = Box("ftyp", Text(std::string("isom\0\0\0\0isommp42", 16)));
    PutBe(&out, largeSize ? 1 : mdatSize + 8, 4);
    Append(&out, Text("mdat"));
    if (largeSize)
        PutBe(&out, mdatSize + 16, 8);
    out.resize(out.size() + mdatSize, 0xAB);
    Bytes mvhd;
    PutBe(&mvhd, uint64_t(mvhdVersion) << 24, 4);
    PutBe(&mvhd, created, mvhdVersion == 1 ? 8 : 4);
    mvhd.resize(mvhd.size() + 96, 0); // the rest of the header, which is not read
    Bytes moov = Box("mvhd", mvhd);
    for (const Bytes &box : moovBoxes)
        Append(&moov, box);
    Append(&out, Box("moov", moov));
    return out;
}

namespace {

Bytes Handler(const char *type) {
    return FullBox("hdlr", 0, Text(std::string(4, '\0') + type + std::string(13, '\0')));
}

Bytes Data(uint32_t type, const std::string &value) {
    Bytes body;
    PutBe(&body, type, 4);
    PutBe(&body, 0, 4); // locale
    Append(&body, Text(value));
    return Box("data", body);
}

const char Day[] = "\xA9"
                   "day";

} // namespace

Bytes KeyedMetadata(const std::vector<std::pair<std::string, std::string>> &items,
                    uint32_t dataType) {
    Bytes keys, ilst;
    PutBe(&keys, items.size(), 4);
    for (size_t i = 0; i < items.size(); ++i) {
        PutBe(&keys, items[i].first.size() + 8, 4);
        Append(&keys, Text("mdta" + items[i].first));
        Bytes item;
        PutBe(&item, 8 + 16 + items[i].second.size(), 4);
        PutBe(&item, i + 1, 4);
        Append(&item, Data(dataType, items[i].second));
        ilst.insert(ilst.begin(), item.begin(), item.end());
    }
    Bytes body = Handler("mdta");
    Append(&body, FullBox("keys", 0, keys));
    Append(&body, Box("ilst", ilst));
    return Box("meta", body); // QuickTime's meta has no version and flags
}

Bytes UserDataDay(const std::string &text) {
    Bytes body;
    PutBe(&body, text.size(), 2);
    PutBe(&body, 0x55C4, 2); // "und"
    Append(&body, Text(text));
    return Box("udta", Box(Day, body));
}

Bytes ItemListDay(const std::string &text) {
    Bytes body = Handler("mdir");
    Append(&body, Box("ilst", Box(Day, Data(1, text))));
    return Box("udta", FullBox("meta", 0, body));
}

std::pair<uint64_t, uint64_t> MoviePayload(size_t mdatSize) {
    return {32, 32 + mdatSize};
}
