// Feeds the parsers tens of thousands of damaged variants of the sample files (fixed seed) and
// fails when one of them makes a parser read past the end of a file or beyond its budget, or
// gives a date that does not exist. The sanitizers catch everything else.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "readers/date_taken.h"
#include "readers/export_json.h"
#include "readers/saved_list.h"
#include "samples.h"

namespace {

// Fields that lengths and offsets are made of: the values that break them best.
uint64_t LengthValue(std::mt19937_64 &random) {
    static const uint64_t values[] = {0, 1, 2, 7, 8, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFF, UINT64_MAX};
    return random() % 4 == 0 ? random() : values[random() % (sizeof values / sizeof *values)];
}

void Mutate(Bytes *bytes, std::mt19937_64 &random) {
    if (bytes->empty())
        return;
    size_t at = random() % bytes->size();
    switch (random() % 6) {
    case 0: // flip bits
        (*bytes)[at] ^= uint8_t(1u << (random() % 8));
        break;
    case 1: // a random byte
        (*bytes)[at] = uint8_t(random());
        break;
    case 2: // truncate
        bytes->resize(at);
        break;
    case 3: // insert
        bytes->insert(bytes->begin() + at, 1 + random() % 8, uint8_t(random()));
        break;
    case 4: // delete
        bytes->erase(bytes->begin() + at,
                     bytes->begin() + std::min(bytes->size(), at + 1 + random() % 8));
        break;
    default: { // overwrite a length or offset field, in either byte order
        int size = 1 << (1 + random() % 3);
        uint64_t value = LengthValue(random);
        bool little = random() % 2;
        for (int i = 0; i < size && at + i < bytes->size(); ++i)
            (*bytes)[at + i] = uint8_t(value >> (8 * (little ? i : size - 1 - i)));
    }
    }
}

// JSON breaks best at its punctuation: a quote, brace or backslash put in or taken out.
void MutateJson(Bytes *bytes, std::mt19937_64 &random) {
    static const char punctuation[] = "{}[]\",:\\u-0e.";
    if (bytes->empty() || random() % 2)
        return Mutate(bytes, random);
    size_t at = random() % bytes->size();
    if (random() % 2)
        bytes->insert(bytes->begin() + at,
                      uint8_t(punctuation[random() % (sizeof punctuation - 1)]));
    else
        bytes->erase(bytes->begin() + at);
}

// What the stamps can hold, in seconds from 1970.
bool IsHoldable(int64_t seconds) {
    return seconds >= -11644473600 && seconds <= 253402300799;
}

} // namespace

int main(int argc, char **argv) {
    const int perFile = argc > 1 ? std::atoi(argv[1]) : 2000;
    std::mt19937_64 random(20240131);
    auto start = std::chrono::steady_clock::now();
    std::vector<Sample> samples = Samples();
    long runs = 0, dated = 0, failures = 0;
    for (const Sample &sample : samples) {
        for (int i = 0; i < perFile; ++i) {
            Bytes bytes = sample.bytes;
            for (int n = 1 + int(random() % 3); n > 0; --n)
                Mutate(&bytes, random);
            MemoryReader reader(bytes);
            DateTaken taken;
            bool found = ReadSample(sample, reader, &taken);
            ++runs;
            dated += found;
            bool bad = reader.outOfRange || reader.bytesRead > DateTakenReadBudget ||
                       (found && !IsValidCivilTime(taken.time, 1601, 9999)) ||
                       (!found && taken.source != DateSource::None);
            if (bad && ++failures <= 10)
                std::printf("FAILED: a mutation of %s (%zu bytes read, out of range %d)\n",
                            sample.name.c_str(), reader.bytesRead, int(reader.outOfRange));
        }
    }
    std::vector<JsonSample> jsons = ExportJsonSamples();
    for (const JsonSample &sample : jsons) {
        for (int i = 0; i < perFile; ++i) {
            Bytes bytes(sample.text.begin(), sample.text.end());
            for (int n = 1 + int(random() % 3); n > 0; --n)
                MutateJson(&bytes, random);
            MemoryReader reader(bytes);
            ExportJson json;
            bool valid = ReadExportJson(reader, &json);
            ++runs;
            dated += valid && json.hasTaken;
            bool bad = reader.outOfRange || reader.bytesRead > ExportJsonReadBudget ||
                       (json.hasTaken &&
                        (!IsHoldable(json.takenSeconds) || json.takenSeconds == 0 || !valid)) ||
                       (!valid && !json.title.empty());
            if (bad && ++failures <= 10)
                std::printf("FAILED: a mutation of JSON %s (%zu bytes read, out of range %d)\n",
                            sample.name.c_str(), reader.bytesRead, int(reader.outOfRange));
        }
    }
    // Saved lists: damaged bytes, quotes and separators anywhere.
    const std::string list = "\xEF\xBB\xBFItem;Created (now);Created (new)\r\n"
                             "\"a;\"\"b\"\"\";2023-10-29T02:30:00.1234567+01:00;x\r\n"
                             "c.jpg;2024-01-31T23:59:59Z;(out of range)\r\n";
    ListColumns columns;
    columns.now[0] = {L"Created (now)"};
    for (int i = 0; i < perFile; ++i) {
        Bytes bytes(list.begin(), list.end());
        for (int n = 1 + int(random() % 3); n > 0; --n)
            MutateJson(&bytes, random);
        MemoryReader reader(bytes);
        std::vector<ListEntry> entries;
        ListProblem problem;
        const bool read = ReadSavedList(reader, columns, &entries, &problem);
        ++runs;
        bool bad = reader.outOfRange || (read != (problem.error == ListError::None)) ||
                   (!read && !entries.empty());
        for (const ListEntry &entry : entries)
            bad = bad || (entry.has[0] && !IsValidCivilTime(entry.now[0].time, 1601, 9999));
        if (bad && ++failures <= 10)
            std::printf("FAILED: a mutation of the saved list (line %u)\n", problem.line);
    }
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("Mutations: %ld inputs from %zu files, %ld gave a date, %ld failed, %.0f ms\n",
                runs, samples.size() + jsons.size(), dated, failures, ms);
    return failures == 0 ? 0 : 1;
}
