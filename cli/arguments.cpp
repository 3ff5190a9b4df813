#include "cli/arguments.h"

#include <cwctype>

#include "engine/item_date.h"
#include "readers/date_taken.h"

namespace {

constexpr int64_t TicksPerSecond = 10000000;

std::wstring Lower(std::wstring text) {
    for (wchar_t &c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool ParseSource(const std::wstring &text, StampValue *value) {
    static const struct {
        const wchar_t *word;
        TimeRule rule;
    } words[] = {
        {L"created", RuleCopyCreated},   {L"modified", RuleCopyModified},
        {L"accessed", RuleCopyAccessed}, {L"taken", RuleDateTaken},
        {L"name", RuleNameDate},         {L"newest", RuleNewestInside},
        {L"list", RuleSavedList},
    };
    const std::wstring word = Lower(text);
    for (const auto &known : words)
        if (word == known.word) {
            value->rule = known.rule;
            return true;
        }
    return false;
}

// "+1h30m": a sign, then numbers each followed by d, h, m or s.
bool ParseShift(const std::wstring &text, StampValue *value) {
    if (text.size() < 3 || (text[0] != L'+' && text[0] != L'-'))
        return false;
    int64_t ticks = 0;
    for (size_t at = 1; at < text.size();) {
        int64_t number = 0;
        const size_t first = at;
        while (at < text.size() && iswdigit(text[at]) && number < 100000000)
            number = number * 10 + (text[at++] - L'0');
        if (at == first || at == text.size())
            return false;
        const wchar_t unit = static_cast<wchar_t>(std::towlower(text[at++]));
        const int64_t seconds = unit == L'd'   ? 86400
                                : unit == L'h' ? 3600
                                : unit == L'm' ? 60
                                : unit == L's' ? 1
                                               : 0;
        if (seconds == 0 || number > 100000000)
            return false;
        ticks += number * seconds * TicksPerSecond;
    }
    value->rule = RuleShift;
    value->shift = text[0] == L'-' ? -ticks : ticks;
    return true;
}

// A time as ISO 8601 writes it, with a blank or a "T" between date and time.
bool ParseTime(const std::wstring &text, StampValue *value) {
    std::string iso;
    for (wchar_t c : text) {
        if (c > 0x7F)
            return false;
        iso += static_cast<char>(c);
    }
    if (iso.size() > 10 && iso[10] == ' ')
        iso[10] = 'T';
    // A date alone is its midnight.
    if (iso.size() == 10)
        iso += "T00:00";
    DateTaken time;
    if (iso.size() < 16 || !ReadIsoTime(iso, &time) ||
        !CivilToFileTime(time.time, time.hasOffset, time.offsetMinutes, &value->time))
        return false;
    value->rule = RuleSetDates;
    return true;
}

// "--name=value" or "--name value".
bool TakeValue(const std::vector<std::wstring> &arguments, size_t *at, const std::wstring &inline_,
               bool hasInline, std::wstring *value) {
    if (hasInline) {
        *value = inline_;
        return true;
    }
    if (*at + 1 >= arguments.size())
        return false;
    *value = arguments[++*at];
    return true;
}

const wchar_t ValueHelp[] =
    L"expected a time like 2024-01-31 10:00 or 2024-01-31T10:00:00+02:00, a shift like +1h or "
    L"-2d3h, or one of created, modified, accessed, taken, name, newest, list";

} // namespace

bool ParseStampValue(const std::wstring &text, StampValue *value) {
    StampValue parsed;
    if (!ParseSource(text, &parsed) && !ParseShift(text, &parsed) && !ParseTime(text, &parsed))
        return false;
    parsed.given = true;
    *value = parsed;
    return true;
}

bool ParseArguments(const std::vector<std::wstring> &arguments, CliOptions *options,
                    std::wstring *error) {
    bool optionsEnd = false;
    for (size_t at = 0; at < arguments.size(); ++at) {
        const std::wstring &argument = arguments[at];
        if (optionsEnd || argument.size() < 2 || argument[0] != L'-' ||
            (argument[1] != L'-' && argument != L"-h")) {
            if (argument == L"/?" && !optionsEnd) {
                options->help = true;
                continue;
            }
            options->paths.push_back(argument);
            continue;
        }
        if (argument == L"--") {
            optionsEnd = true;
            continue;
        }
        const size_t equals = argument.find(L'=');
        const std::wstring name = Lower(argument.substr(0, equals));
        const bool hasInline = equals != std::wstring::npos;
        const std::wstring inlineValue = hasInline ? argument.substr(equals + 1) : std::wstring();
        const auto flag = [&](bool *to) {
            if (hasInline) {
                *error = name + L" takes no value";
                return false;
            }
            *to = true;
            return true;
        };
        const auto text = [&](std::wstring *to) {
            if (!TakeValue(arguments, &at, inlineValue, hasInline, to) || to->empty()) {
                *error = name + L" needs a value";
                return false;
            }
            return true;
        };
        const struct {
            const wchar_t *name;
            int stamps; // bit per stamp
        } stampOptions[] = {{L"--created", 1 << StampIndexCreated},
                            {L"--accessed", 1 << StampIndexAccessed},
                            {L"--modified", 1 << StampIndexWritten},
                            {L"--all", 7}};
        bool known = false;
        for (const auto &stampOption : stampOptions) {
            if (name != stampOption.name)
                continue;
            known = true;
            std::wstring value;
            if (!text(&value))
                return false;
            StampValue parsed;
            if (!ParseStampValue(value, &parsed)) {
                *error =
                    name + L": \"" + value + L"\" is no time, shift or source (" + ValueHelp + L")";
                return false;
            }
            for (int stamp = 0; stamp < StampKinds; ++stamp)
                if (stampOption.stamps & (1 << stamp))
                    options->stamp[stamp] = parsed;
        }
        if (known)
            continue;
        bool ok = true;
        if (name == L"--pattern")
            ok = text(&options->pattern);
        else if (name == L"--list")
            ok = text(&options->list);
        else if (name == L"--csv")
            ok = text(&options->csv);
        else if (name == L"--save-list")
            ok = text(&options->saveList);
        else if (name == L"--subfolders")
            ok = flag(&options->subfolders);
        else if (name == L"--folders")
            ok = flag(&options->folders);
        else if (name == L"--preview")
            ok = flag(&options->preview);
        else if (name == L"--quiet")
            ok = flag(&options->quiet);
        else if (name == L"--stop-on-error")
            ok = flag(&options->stopOnError);
        else if (name == L"--help" || name == L"-h")
            ok = flag(&options->help);
        else if (name == L"--version")
            ok = flag(&options->version);
        else {
            *error = L"unknown option " + name;
            return false;
        }
        if (!ok)
            return false;
    }
    if (options->help || options->version)
        return true;
    bool anyStamp = false;
    for (const StampValue &value : options->stamp) {
        anyStamp = anyStamp || value.given;
        if (value.given && value.rule == RuleSavedList && options->list.empty()) {
            *error = L"the source \"list\" needs --list FILE";
            return false;
        }
    }
    if (!anyStamp && options->saveList.empty()) {
        *error = L"nothing to do: give --created, --modified, --accessed or --all with a value, or "
                 L"--save-list FILE";
        return false;
    }
    if (options->paths.empty()) {
        *error = L"no PATH given: name the files and folders to stamp";
        return false;
    }
    return true;
}

std::wstring UsageText() {
    return LR"(Usage: vandrel-cli [options] PATH...

Sets the creation, modification and last-access times of files and folders.
Each PATH is a file (stamped itself) or a folder (its files are stamped).

A stamp without an option is left alone. VALUE is one of
  a time       2024-01-31 10:00, 2024-01-31T10:00:00.5, local by the rules
               of that date, or with Z or +02:00
  a shift      +1h, -2d3h, +90s, +1h30m (elapsed time: d, h, m, s)
  a source     created, modified, accessed (the item's own other stamp),
               taken (the date a photo or video was taken, or its sidecar's),
               name (the date in the file name), newest (a folder: the newest
               file inside), list (the time in --list FILE)

Options:
  --created VALUE      the creation time
  --modified VALUE     the last-modification time
  --accessed VALUE     the last-access time
  --all VALUE          all three
  --pattern PATTERN    the files of a folder to stamp (* and ?; default *.*)
  --subfolders         the files of all sub-folders too
  --folders            the folders too (with "newest": the folders only)
  --list FILE          the list saved by --save-list or by the dialog's preview
  --preview            change nothing: print what would change
  --csv FILE           write the list of what was done (with --preview: the plan)
  --save-list FILE     before changing anything, write every item's times as they
                       are (put back later with --all list --list FILE)
  --quiet              print errors only
  --stop-on-error      stop at the first item that cannot be stamped
  --help, /?           this text
  --version            the version

Exit codes: 0 done, 1 an item failed or was refused, 2 bad usage (nothing
done), 3 stopped by Ctrl+C (what was stamped stays stamped).
)";
}
