// The console program: turns its arguments into jobs of the engine, and what the engine reports
// into lines on the console.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/job_context.h"
#include "app/text.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "engine/job_api.h"
#include "engine/list_file.h"
#include "engine/list_texts.h"
#include "engine/paths.h"
#include "engine/preview.h"
#include "engine/saved_times.h"
#include "engine/time_rule.h"
#include "vandrel_version.h"

namespace {

constexpr int Usage = 2;
constexpr int Failed = 1;
constexpr int Interrupted = 3;

std::atomic<bool> interrupted{false};

// Ctrl+C and Ctrl+Break end the job between two items: what is stamped stays stamped.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    interrupted = true;
    return TRUE;
}

std::wstring Number(uint64_t value) {
    return std::to_wstring(value);
}

const wchar_t *StampWord(int stamp) {
    return stamp == StampIndexCreated   ? L"created"
           : stamp == StampIndexWritten ? L"modified"
                                        : L"accessed";
}

// The stamps in the order they are shown: created, modified, accessed.
const int shownOrder[StampKinds] = {StampIndexCreated, StampIndexWritten, StampIndexAccessed};

// What a pass reports, on the console.
class ConsoleEvents : public JobEvents {
  public:
    ConsoleEvents(const CliOptions &options, ConsoleStream &out, ConsoleStream &err,
                  PreviewList *done, bool fullPaths)
        : options_(options), out_(out), err_(err), done_(done), fullPaths_(fullPaths),
          start_(GetTickCount()) {}

    bool Cancelled() override { return interrupted || (options_.stopOnError && failed > 0); }

    bool ItemFailed(const wchar_t *path, DWORD code) override {
        ++failed;
        // An item that failed before it was planned is one of the items all the same.
        if (lastDone_ != path)
            ++items;
        const std::wstring reason = code == ErrorShiftOutOfRange
                                        ? L"the new time lies outside the years 1601 to 30827"
                                        : SystemText(code);
        EndProgress();
        err_.Write(ShownPath(path) + L": " + reason + L" (code " + Number(code) + L")\n");
        return !options_.stopOnError;
    }

    void Progress(uint32_t done, uint32_t) override {
        if (options_.quiet || !err_.IsConsole())
            return;
        const DWORD now = GetTickCount();
        if (now - start_ < 1000 || now - shown_ < 250)
            return;
        shown_ = now;
        progressShown_ = true;
        err_.Write(L"\r" + Number(done) + L" items...");
    }

    void ItemDone(const ItemReport &item) override {
        ++items;
        lastDone_ = item.path;
        undated += item.plan.noDate;
        const bool changes = item.plan.Changes() && item.result == ERROR_SUCCESS;
        changed += changes;
        if (done_ && item.result == ERROR_SUCCESS) {
            const std::wstring path = fullPaths_ ? ShownPath(item.path) : item.relative;
            done_->Add(path.c_str(), path.size(), item.now, item.plan, item.folder);
        }
        if (options_.preview && !options_.quiet && (changes || item.plan.outOfRange))
            PrintChange(item);
    }

    void EndProgress() {
        if (progressShown_)
            err_.Write(L"\r                    \r");
        progressShown_ = false;
    }

    uint32_t items = 0, changed = 0, undated = 0, failed = 0;

  private:
    // One line: the item, then for each stamp written its time now and its new time.
    void PrintChange(const ItemReport &item) {
        std::wstring line = ShownPath(item.path);
        for (int stamp : shownOrder) {
            const bool refused = (item.plan.refused & (1u << stamp)) != 0;
            if (!item.plan.write[stamp] && !refused)
                continue;
            line += L"  ";
            line += StampWord(stamp);
            line += L": " + IsoLocalTime(item.now[stamp]) + L" -> " +
                    (refused ? L"(out of range)" : IsoLocalTime(item.plan.value[stamp]));
        }
        EndProgress();
        out_.Write(line + L"\n");
    }

    const CliOptions &options_;
    ConsoleStream &out_;
    ConsoleStream &err_;
    PreviewList *done_;
    bool fullPaths_;
    DWORD start_;
    DWORD shown_ = 0;
    bool progressShown_ = false;
    std::wstring lastDone_; // the item last planned, which a failure may be reported for
};

int Refuse(ConsoleStream &err, const std::wstring &message) {
    err.Write(L"vandrel-cli: " + message + L"\n");
    return Usage;
}

// The paths as targets: a folder walked with the pattern, a file alone.
bool MakeTargets(const CliOptions &options, std::vector<JobTarget> *targets, std::wstring *error) {
    for (const std::wstring &path : options.paths) {
        std::wstring full;
        DWORD code = FullTargetPath(path.c_str(), &full);
        DWORD attributes = INVALID_FILE_ATTRIBUTES;
        if (code == ERROR_SUCCESS) {
            attributes = GetFileAttributesW(ExtendedPath(full.c_str()).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                code = GetLastError();
        }
        if (code != ERROR_SUCCESS) {
            *error = path + L": " + SystemText(code) + L" (code " + Number(code) +
                     L"); expected an existing file or folder";
            return false;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            targets->push_back(JobTarget{full, options.pattern, false});
        } else {
            const size_t slash = full.find_last_of(L'\\');
            targets->push_back(JobTarget{
                ParentPath(full), full.substr(slash == std::wstring::npos ? 0 : slash + 1), true});
        }
    }
    return true;
}

// The stamps' values for the engine, which reads them before each item.
struct StampSettings {
    SharedWord use[StampKinds];
    SharedTime time[StampKinds];
};

JobDescription Describe(const CliOptions &options, const std::vector<JobTarget> &targets,
                        StampSettings *settings) {
    JobDescription job;
    job.targets = targets;
    job.includeSubfolders = options.subfolders;
    job.applyToFolders = options.folders;
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        const StampValue &value = options.stamp[stamp];
        settings->use[stamp] = value.given ? 1 : 0;
        settings->time[stamp].Store(LocalTimeOf(value.time), value.time);
        job.rule[stamp] = value.rule;
        job.shift[stamp] = value.shift;
        job.use[stamp] = &settings->use[stamp];
        job.time[stamp] = &settings->time[stamp];
    }
    return job;
}

uint8_t StampBits(const CliOptions &options) {
    uint8_t bits = 0;
    for (int stamp = 0; stamp < StampKinds; ++stamp)
        if (options.stamp[stamp].given)
            bits |= 1u << stamp;
    return bits;
}

// A list in the dialog's format, written whole or not at all.
bool SaveList(const std::wstring &path, const PreviewList &list, uint8_t stamps, TimeRule rule,
              ConsoleStream &err) {
    ListTexts texts;
    texts.header = ListColumnTitles(stamps, rule);
    texts.outOfRange = L"(out of range)";
    texts.separator = ListSeparator();
    if (RuleNeedsItemDate(rule))
        texts.sources = SourceNames();
    std::wstring full;
    DWORD code = FullTargetPath(path.c_str(), &full);
    if (code == ERROR_SUCCESS)
        code = WriteFileReplacing(full.c_str(), PreviewCsv(list, texts));
    if (code == ERROR_SUCCESS)
        return true;
    err.Write(L"vandrel-cli: " + path + L": " + SystemText(code) + L"\n");
    return false;
}

// The rule a list's source field follows: the first stamp's that finds a time.
TimeRule ListedRule(const CliOptions &options) {
    for (const StampValue &value : options.stamp)
        if (value.given && RuleNeedsItemDate(value.rule))
            return value.rule;
    return RuleSetDates;
}

// Before anything changes: every covered item's three times as they are.
bool SaveTimesAsTheyAre(const CliOptions &options, const std::vector<JobTarget> &targets,
                        ConsoleStream &out, ConsoleStream &err) {
    CliOptions asTheyAre = options;
    for (StampValue &value : asTheyAre.stamp) {
        value = StampValue();
        value.given = true;
        value.rule = RuleShift; // by nothing: the new time is the time now
    }
    asTheyAre.preview = false;
    StampSettings settings;
    JobDescription job = Describe(asTheyAre, targets, &settings);
    job.kind = PassKind::Preview;
    PreviewList list;
    list.Begin(7);
    ConsoleEvents events(asTheyAre, out, err, &list, targets.size() > 1);
    RunPass(job, events);
    events.EndProgress();
    return !interrupted && SaveList(options.saveList, list, 7, RuleSetDates, err);
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    appInstance = GetModuleHandleW(nullptr);
    ConsoleStream out(STD_OUTPUT_HANDLE), err(STD_ERROR_HANDLE);
    CliOptions options;
    std::wstring error;
    if (!ParseArguments(std::vector<std::wstring>(argv + 1, argv + argc), &options, &error))
        return Refuse(err, error + L"\nTry 'vandrel-cli --help'.");
    if (options.help) {
        out.Write(UsageText());
        return 0;
    }
    if (options.version) {
        out.Write(L"vandrel-cli "
                  L"" VANDREL_VERSION_TEXT L"\n");
        return 0;
    }
    std::vector<JobTarget> targets;
    if (!MakeTargets(options, &targets, &error))
        return Refuse(err, error);
    SavedTimes list;
    if (!options.list.empty()) {
        DWORD code = ERROR_SUCCESS;
        ListProblem problem;
        std::wstring full;
        code = FullTargetPath(options.list.c_str(), &full);
        if (code != ERROR_SUCCESS || !list.Load(full.c_str(), KnownListColumns(), &code, &problem))
            return Refuse(err, code != ERROR_SUCCESS
                                   ? ListUnreadableText(options.list.c_str(), code)
                                   : ListProblemText(options.list.c_str(), problem));
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    if (!options.saveList.empty() && !SaveTimesAsTheyAre(options, targets, out, err))
        return interrupted ? Interrupted : Failed;
    const uint8_t stamps = StampBits(options);
    if (stamps == 0)
        return interrupted ? Interrupted : 0;

    StampSettings settings;
    JobDescription job = Describe(options, targets, &settings);
    job.kind = options.preview ? PassKind::Preview : PassKind::Apply;
    job.list = &list;
    PreviewList done;
    done.Begin(stamps, ListedRule(options));
    ConsoleEvents events(options, out, err, options.csv.empty() ? nullptr : &done,
                         targets.size() > 1);
    RunPass(job, events);
    events.EndProgress();
    if (!options.quiet)
        out.Write(L"Changed: " + Number(events.changed) + L" of " + Number(events.items) +
                  L", without a date: " + Number(events.undated) + L", failed: " +
                  Number(events.failed) + L"\n");
    if (!options.csv.empty() && !SaveList(options.csv, done, stamps, ListedRule(options), err))
        return Failed;
    if (interrupted)
        return Interrupted;
    return events.failed > 0 ? Failed : 0;
}
