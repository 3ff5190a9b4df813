#include "samples.h"

namespace {

const CivilTime Moment{2024, 1, 31, 23, 59, 59};
const std::string MomentText = "2024:01:31 23:59:59";
const std::string Declarations = "xmlns:xmp='http://ns.adobe.com/xap/1.0/' "
                                 "xmlns:exif='http://ns.adobe.com/exif/1.0/' "
                                 "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/'";

std::string Packet(const std::string &declarations) {
    return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
           "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description " +
           declarations + " ";
}

std::string XmpAttribute(const std::string &name, const std::string &value,
                         const std::string &declarations = Declarations) {
    return Packet(declarations) + "rdf:about=''\n " + name + "=\"" + value +
           "\"/></rdf:RDF></x:xmpmeta>";
}

std::string XmpElement(const std::string &name, const std::string &value,
                       const std::string &declarations = Declarations) {
    return Packet(declarations) + "rdf:about=''><" + name + ">" + value + "</" + name +
           "></rdf:Description></rdf:RDF></x:xmpmeta>";
}

Bytes Sidecar(const std::string &description) {
    std::string text = "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n" +
                       Packet(Declarations) + description +
                       "</rdf:Description></rdf:RDF></x:xmpmeta>\n" + std::string(200, ' ') +
                       "\n<?xpacket end='w'?>";
    return Bytes(text.begin(), text.end());
}

Bytes ExifJpeg(bool little, const std::vector<TextTag> &exif) {
    return Jpeg({ExifSegment(Tiff(little, exif))});
}

Bytes Patched(Bytes bytes, size_t at, uint64_t value, int size) {
    Bytes field;
    PutBe(&field, value, size);
    std::copy(field.begin(), field.end(), bytes.begin() + at);
    return bytes;
}

const uint64_t MomentSince1904 = 3789590399; // 2024-01-31 23:59:59 UTC
const uint64_t DayBeforeSince1904 = MomentSince1904 - 86400;

} // namespace

DateTaken Taken(DateSource source, CivilTime time, int offsetMinutes) {
    DateTaken taken;
    taken.source = source;
    taken.time = time;
    taken.hasOffset = offsetMinutes != NoOffset;
    taken.offsetMinutes = taken.hasOffset ? offsetMinutes : 0;
    return taken;
}

std::vector<Sample> Samples() {
    using S = DateSource;
    const DateTaken none;
    const DateTaken original = Taken(S::ExifOriginal, Moment);
    const auto fraction = [](int ticks) { return CivilTime{2024, 1, 31, 23, 59, 59, ticks}; };
    std::vector<Sample> samples = {
        {"JpegLittleEndianOffsetSubSec",
         ExifJpeg(true, {{OriginalTag, MomentText},
                         {OriginalOffsetTag, "+01:00"},
                         {OriginalSubSecTag, "123"}}),
         true, Taken(S::ExifOriginal, fraction(1230000), 60)},
        {"JpegBigEndianOffsetSubSec",
         ExifJpeg(false, {{OriginalTag, "2023:07:04 08:09:10"},
                          {OriginalOffsetTag, "-05:30"},
                          {OriginalSubSecTag, "5"}}),
         true, Taken(S::ExifOriginal, {2023, 7, 4, 8, 9, 10, 5000000}, -330)},
        // Sub-seconds to 100 ns: seven digits at most, cut and never rounded up, and no digit of
        // what follows them.
        {"JpegSubSecNineDigits",
         ExifJpeg(true, {{OriginalTag, MomentText}, {OriginalSubSecTag, "123456789"}}), true,
         Taken(S::ExifOriginal, fraction(1234567))},
        {"JpegSubSecAllNines",
         ExifJpeg(true, {{OriginalTag, MomentText}, {OriginalSubSecTag, "99999999"}}), true,
         Taken(S::ExifOriginal, fraction(9999999))},
        {"JpegXmpFractionBeforeOffset",
         Jpeg({XmpSegment(XmpAttribute("xmp:CreateDate", "2024-01-31T23:59:59.5+10:00"))}), true,
         Taken(S::XmpCreateDate, fraction(5000000), 600)},
        {"JpegBigEndianPlain", ExifJpeg(false, {{OriginalTag, MomentText}}), true, original},
        {"JpegIptc", Jpeg({IptcSegment("20240131", "235959+0100")}), true,
         Taken(S::IptcCreated, Moment, 60)},
        {"JpegIptcDateOnly", Jpeg({IptcSegment("20240131", "")}), true,
         Taken(S::IptcCreated, {2024, 1, 31, 12})},
        {"JpegXmpAttribute",
         Jpeg({XmpSegment(XmpAttribute("xmp:CreateDate", "2024-01-31T23:59:59.25+01:00"))}), true,
         Taken(S::XmpCreateDate, fraction(2500000), 60)},
        {"JpegXmpElement", Jpeg({XmpSegment(XmpElement("xmp:CreateDate", "2024-01-31T23:59:59Z"))}),
         true, Taken(S::XmpCreateDate, Moment, 0)},
        // XMP by namespace: an older editor's prefix, and xmp: bound to another namespace.
        {"JpegXmpOlderPrefix",
         Jpeg({XmpSegment(XmpAttribute("xap:CreateDate", "2024-01-31T23:59:59",
                                       "xmlns:xap='http://ns.adobe.com/xap/1.0/'"))}),
         true, Taken(S::XmpCreateDate, Moment)},
        {"JpegXmpPrefixOfAnotherNamespace",
         Jpeg({XmpSegment(XmpElement("xmp:CreateDate", "2022-02-02T02:02:02",
                                     "xmlns:xmp='http://example.com/xmp/'"))}),
         false, none},
        {"JpegInvalidOriginalGivesDigitized",
         ExifJpeg(true, {{OriginalTag, "2024:01:31 23:59:92"},
                         {DigitizedTag, "2024:02:01 10:00:00"},
                         {DigitizedOffsetTag, "+02:00"}}),
         true, Taken(S::ExifDigitized, {2024, 2, 1, 10}, 120)},
        {"JpegOnlyLastEditTime", Jpeg({ExifSegment(Tiff(true, {}, {{DateTimeTag, MomentText}}))}),
         false, none},
        // The order of the sources: each row holds the next ones too.
        {"OriginalBeforeIptcAndXmp",
         Jpeg({ExifSegment(Tiff(true, {{OriginalTag, MomentText}})),
               IptcSegment("20230101", "120000"),
               XmpSegment(XmpAttribute("xmp:CreateDate", "2022-02-02T02:02:02"))}),
         true, original},
        {"IptcBeforeXmpAndDigitized",
         Jpeg({ExifSegment(Tiff(true, {{DigitizedTag, "2021:05:05 05:05:05"}})),
               IptcSegment("20240131", "235959"),
               XmpSegment(XmpAttribute("xmp:CreateDate", "2022-02-02T02:02:02"))}),
         true, Taken(S::IptcCreated, Moment)},
        {"XmpCreateDateBeforeDigitized",
         Jpeg({ExifSegment(Tiff(false, {{DigitizedTag, "2021:05:05 05:05:05"}})),
               XmpSegment(XmpElement("xmp:CreateDate", "2024-01-31T23:59:59"))}),
         true, Taken(S::XmpCreateDate, Moment)},
        {"DigitizedBeforeXmpOriginal",
         Jpeg({ExifSegment(Tiff(false, {{DigitizedTag, MomentText}})),
               XmpSegment(XmpAttribute("exif:DateTimeOriginal", "2022-02-02T02:02:02"))}),
         true, Taken(S::ExifDigitized, Moment)},
        {"XmpOriginalLast",
         Jpeg({XmpSegment(XmpElement("exif:DateTimeOriginal", "2024-01-31T23:59"))}), true,
         Taken(S::XmpExifOriginal, {2024, 1, 31, 23, 59})},
        // An editor's sidecar: each row holds the next ones too.
        {"XmpSidecarOriginal",
         Sidecar("exif:DateTimeOriginal='2024-01-31T23:59:59.5+01:00' "
                 "photoshop:DateCreated='2023-03-03' xmp:CreateDate='2022-02-02T02:02:02'>"),
         true, Taken(S::XmpSidecar, fraction(5000000), 60), true},
        {"XmpSidecarPhotoshopCreated",
         Sidecar("photoshop:DateCreated='2024-01-31' xmp:CreateDate='2022-02-02T02:02:02'>"), true,
         Taken(S::XmpSidecar, {2024, 1, 31, 12}), true},
        {"XmpSidecarCreateDate",
         Sidecar("exif:DateTimeOriginal='broken'><xmp:CreateDate>2024-01-31T23:59:59</"
                 "xmp:CreateDate>"),
         true, Taken(S::XmpSidecar, Moment), true},
        {"XmpSidecarUndated", Sidecar("xmp:ModifyDate='2024-01-31T23:59:59'>"), false, none, true},
        {"TiffLittleEndian", Tiff(true, {{OriginalTag, MomentText}}), true, original},
        {"TiffBigEndian", Tiff(false, {{OriginalTag, MomentText}}), true, original},
        {"OlympusRaw", Tiff(true, {{OriginalTag, MomentText}}, {}, 0x4F52), true, original},
        {"PanasonicRaw", Tiff(true, {{OriginalTag, MomentText}}, {}, 0x55), true, original},
        {"PngExif", Png(Tiff(false, {{OriginalTag, MomentText}})), true, original},
        {"HeicExifInMdat",
         Heic(Tiff(false, {{OriginalTag, MomentText}, {OriginalOffsetTag, "+01:00"}}), 0), true,
         Taken(S::ExifOriginal, Moment, 60)},
        {"HeicExifInIdat", Heic(Tiff(true, {{OriginalTag, MomentText}}), 1), true, original},
        {"Mp4MoovAfterMdat", Movie(0, MomentSince1904, 3000), true,
         Taken(S::MovieCreation, Moment, 0)},
        {"MovVersion1", Movie(1, 7776216000, 100), true, // 2150-06-01 12:00:00 UTC
         Taken(S::MovieCreation, {2150, 6, 1, 12}, 0)},
        {"Mp4LargeSizeMdat", Movie(0, MomentSince1904, 1000, true), true,
         Taken(S::MovieCreation, Moment, 0)},
        {"Mp4ZeroCreation", Movie(0, 0, 100), false, none},
        {"Mp4UnixEpochCreation", Movie(0, 2082844800, 100), false, none}, // 1970-01-01 UTC
        // Movie metadata before the movie header: each row holds the next ones too.
        {"MovKeyedCreationDate",
         Movie(0, DayBeforeSince1904, 100, false,
               {UserDataDay("2022-02-02T02:02:02Z"),
                KeyedMetadata({{"com.apple.quicktime.make", "Maker"},
                               {"com.apple.quicktime.creationdate", "2024-01-31T23:59:59+0100"}})}),
         true, Taken(S::MovieMetadata, Moment, 60)},
        {"MovKeyedCreationDateNotText",
         Movie(
             0, DayBeforeSince1904, 100, false,
             {KeyedMetadata({{"com.apple.quicktime.creationdate", "2024-01-31T23:59:59+0100"}}, 23),
              UserDataDay("2024-01-31T23:59:59Z")}),
         true, Taken(S::MovieUserData, Moment, 0)},
        {"Mp4ItemListDay",
         Movie(0, DayBeforeSince1904, 100, false, {ItemListDay("2024-01-31T23:59:59+01:00")}), true,
         Taken(S::MovieUserData, Moment, 60)},
        {"MovUserDataYearOnly", Movie(0, MomentSince1904, 100, false, {UserDataDay("2024")}), true,
         Taken(S::MovieCreation, Moment, 0)},
        {"PlainText", Bytes(100, 'a'), false, none},
        // Damaged files.
        {"ExifIfdLoop", Patched(Tiff(false, {{OriginalTag, MomentText}}), 18, 8, 4), false, none},
        {"ExifIfdPastEnd", Patched(Tiff(false, {{OriginalTag, MomentText}}), 4, 0xFFFFFFF0, 4),
         false, none},
        {"ExifTextPastEnd", Patched(Tiff(false, {{OriginalTag, MomentText}}), 36, 0xFFFFFF00, 4),
         false, none},
        {"JpegSegmentLengthOne", Patched(ExifJpeg(false, {{OriginalTag, MomentText}}), 12, 1, 2),
         false, none},
        {"BoxLargeSizeMax", Patched(Movie(0, MomentSince1904, 100, true), 32, UINT64_MAX, 8), false,
         none},
        {"BoxSizeTwo", Patched(Movie(0, MomentSince1904, 100), 24, 2, 4), false, none},
        {"BoxSizeZeroSwallowsMoov", Patched(Movie(0, MomentSince1904, 100), 24, 0, 4), false, none},
    };
    // Broken values count as absent: the next source is taken.
    for (const char *broken : {"0000:00:00 00:00:00", "                   ", "2024:13:01 10:00:00",
                               "2023:02:31 10:00:00", "2024:01:31 24:00:00"})
        samples.push_back({std::string("Broken ") + broken,
                           ExifJpeg(true, {{OriginalTag, broken}, {DigitizedTag, MomentText}}),
                           true, Taken(S::ExifDigitized, Moment)});
    return samples;
}

std::vector<JsonSample> ExportJsonSamples() {
    // As the export writes them, with the upload time before the time taken.
    const std::string full = R"({
  "title": "IMG_3397.JPG",
  "description": "",
  "imageViews": "2973",
  "creationTime": {"timestamp": "1258549448", "formatted": "18 Nov 2009, 13:04:08 UTC"},
  "photoTakenTime": {"timestamp": "1258375918", "formatted": "16 Nov 2009, 12:51:58 UTC"},
  "geoData": {"latitude": 30.657819000000003, "longitude": -104.0739, "altitude": 1.5e2},
  "people": [{"name": "Anna"}, {"name": "Ben"}],
  "url": "https://photos.example.com/photo/AF1Qip",
  "origin": {"mobileUpload": {"deviceType": "IOS_PHONE"}, "shared": false, "album": null}
})";
    const std::string deep = std::string(60, '[') + std::string(60, ']');
    const std::string deeper = std::string(70, '[') + std::string(70, ']');
    return {
        {"Full", full, true, true, 1258375918, L"IMG_3397.JPG"},
        {"ByteOrderMarkNumberBefore1970",
         "\xEF\xBB\xBF {\"photoTakenTime\": {\"timestamp\": -315619200}, \"title\": "
         "\"old.jpg\"}\r\n",
         true, true, -315619200, L"old.jpg"},
        {"StringBefore1970", R"({"title": "a.jpg", "photoTakenTime": {"timestamp": "-86400"}})",
         true, true, -86400, L"a.jpg"},
        {"Escapes",
         "{\"title\": \"caf\\u00e9 \\ud83d\\ude00 \\\"q\\\" \\\\\\/\\b\\f\\n\\r\\t "
         "\xC3\xBC\xE2\x82\xAC"
         "\xF0\x9F\x98\x80 \\uD800x.jpg\", \"photoTakenTime\": {\"timestamp\": \"1\"}}",
         true, true, 1,
         L"caf\u00e9 \U0001F600 \"q\" \\/\b\f\n\r\t \u00fc\u20ac\U0001F600 \uFFFDx.jpg"},
        {"CreationTimeOnly", R"({"title": "b.jpg", "creationTime": {"timestamp": "1258549448"}})",
         true, false, 0, L"b.jpg"},
        {"NestedTakenTimeIsNotTheItems",
         R"({"title": "c.jpg", "extra": {"photoTakenTime": {"timestamp": "5"}, "title": "x"}})",
         true, false, 0, L"c.jpg"},
        {"ZeroTime", R"({"photoTakenTime": {"timestamp": "0"}})", true, false, 0, L""},
        {"Fraction", R"({"photoTakenTime": {"timestamp": 1478174685.5}})", true, false, 0, L""},
        {"NotDigits", R"({"photoTakenTime": {"timestamp": "14781746a5"}})", true, false, 0, L""},
        {"PastYear9999", R"({"photoTakenTime": {"timestamp": "253402300800"}})", true, false, 0,
         L""},
        {"TitleNotAString", R"({"title": 5, "photoTakenTime": {"timestamp": [1]}})", true, false, 0,
         L""},
        {"NestingAtTheLimit", "{\"a\": " + deep + "}", true, false, 0, L""},
        // Not JSON, or not an object.
        {"NestingTooDeep", "{\"a\": " + deeper + "}", false, false, 0, L""},
        {"Truncated", R"({"title": "a.jpg", "photoTakenTime": {"timestamp": "1")", false, false, 0,
         L""},
        {"TrailingComma", R"({"title": "a.jpg",})", false, false, 0, L""},
        {"KeyNotQuoted", R"({title: "a.jpg"})", false, false, 0, L""},
        {"SingleQuotes", R"({'title': 'a.jpg'})", false, false, 0, L""},
        {"ControlCharacter", "{\"title\": \"a\tb\"}", false, false, 0, L""},
        {"OverlongUtf8", "{\"title\": \"\xC0\xAF\"}", false, false, 0, L""},
        {"SurrogateInUtf8", "{\"title\": \"\xED\xA0\x80\"}", false, false, 0, L""},
        {"BadEscape", R"({"title": "\x41"})", false, false, 0, L""},
        {"ShortUnicodeEscape", R"({"title": "\u41"})", false, false, 0, L""},
        {"LeadingZero", R"({"photoTakenTime": {"timestamp": 01}})", false, false, 0, L""},
        {"MisspeltLiteral", R"({"a": tru})", false, false, 0, L""},
        {"TopLevelArray", R"([{"title": "a.jpg"}])", false, false, 0, L""},
        {"TwoObjects", R"({"title": "a.jpg"} {})", false, false, 0, L""},
        {"Empty", "", false, false, 0, L""},
    };
}
