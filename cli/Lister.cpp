#include "cli/Lister.h"

#include <getopt.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/Comparison.h"
#include "catalogue/SortRows.h"
#include "catalogue/FolderScan.h"
#include "catalogue/WorkerPool.h"
#include "cli/ListerScan.h"
#include "export/ListExporter.h"
#include "export/OutputSink.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "platform/Paths.h"
#include "settings/SettingsFile.h"
#include "store/Catalogue.h"

namespace norvane {

namespace {

constexpr const char* kUsage =
    "Usage: norvane-list [OPTIONS] FOLDER\n"
    "       norvane-list [OPTIONS] --open=CATALOGUE\n"
    "       norvane-list [OPTIONS] --compare=OLD [FOLDER | --open=NEW]\n"
    "Lists every file of FOLDER (and its subfolders), or of a catalogue kept\n"
    "with --save, as TEXT, HTML or CSV; or what was added, removed, changed\n"
    "and moved since the catalogue OLD.\n"
    "Options may come before or after FOLDER; after \"--\" nothing is an option.\n"
    "\n"
    "  -f, --format=text|html|csv   output format (default html)\n"
    "  -c, --columns=LIST           from name,date,size,version,ext,folder\n"
    "                               (default name,date,size,version); always\n"
    "                               written in that order\n"
    "      --with-path              file names with their folder\n"
    "      --prefix=TEXT            text before each file name\n"
    "      --suffix=TEXT            text after each file name\n"
    "      --no-headings            no folder heading lines\n"
    "      --formatted-size         sizes as short text with a unit\n"
    "      --no-subfolders          only the folder's own files\n"
    "      --no-system              leave out system files\n"
    "      --no-hidden              leave out hidden files\n"
    "  -s, --sort=COLUMN[:desc]     name,date,size,version,ext,folder,system,hidden\n"
    "                               (and change, with --compare)\n"
    "      --settings=FILE          titles and colours from this settings file\n"
    "                               (default: the program's Norvane.ini)\n"
    "      --code-page=932|65001    instead of the locale's\n"
    "  -o, --output=FILE            write to FILE (default, and \"-\": standard\n"
    "                               output)\n"
    "      --save=CATALOGUE         keep the scan in a catalogue file (.nvcat);\n"
    "                               the list is then written only with -o\n"
    "      --open=CATALOGUE         list a catalogue instead of a folder\n"
    "      --compare=OLD            compare with the catalogue OLD: a first column\n"
    "                               with the change, both values of a changed\n"
    "                               cell; written also with --save\n"
    "      --all                    with --compare, unchanged files too\n"
    "      --threads=N              threads reading folders ahead of the output\n"
    "                               (default 32; 0: none, one folder at a time)\n"
    "      --quiet                  no progress and no warnings on standard error\n"
    "                               (errors are still told)\n"
    "  -h, --help                   this text\n"
    "      --version                the version\n"
    "\n"
    "Exit status: 0 written whole, 1 scan stopped early (also that of a catalogue)\n"
    "or output or catalogue not written, 2 bad usage, FOLDER is not a folder or\n"
    "CATALOGUE cannot be read, 130, 143 or 129 stopped by SIGINT, SIGTERM or SIGHUP\n"
    "(no file written; standard output may hold a part). With --compare, as diff:\n"
    "0 nothing differs, 1 something does, 2 trouble (also a list of a scan that\n"
    "stopped early, or output or catalogue not written).\n";

constexpr std::array<std::string_view, 6> kColumnNames = {"name", "date", "size", "version", "ext", "folder"};
constexpr std::array<std::string_view, 9> kSortNames = {"name",   "date",   "size",   "version", "ext",
                                                        "folder", "system", "hidden", "change"};

enum LongOnly {
    kWithPath = 256,
    kPrefix,
    kSuffix,
    kNoHeadings,
    kFormattedSize,
    kNoSubfolders,
    kNoSystem,
    kNoHidden,
    kSettings,
    kCodePage,
    kVersion,
    kThreads,
    kQuiet,
    kSave,
    kOpen,
    kCompare,
    kAll,
};

bool ParseColumns(std::string_view list, std::array<bool, kExportColumnCount>& columns, std::string* error) {
    std::array<bool, kExportColumnCount> chosen{};
    bool any = false;
    while (!list.empty()) {
        auto comma = list.find(',');
        std::string_view name = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (name.empty()) continue;
        auto it = std::find(kColumnNames.begin(), kColumnNames.end(), name);
        if (it == kColumnNames.end()) {
            *error = "unknown column '" + std::string(name) + "'";
            return false;
        }
        chosen[it - kColumnNames.begin()] = true;
        any = true;
    }
    if (!any) {
        *error = "no column chosen";
        return false;
    }
    columns = chosen;
    return true;
}

bool ParseSort(std::string_view text, ListerOptions* options, std::string* error) {
    std::string_view name = text;
    options->sortDescending = false;
    if (auto colon = text.find(':'); colon != std::string_view::npos) {
        name = text.substr(0, colon);
        std::string_view direction = text.substr(colon + 1);
        if (direction == "desc") options->sortDescending = true;
        else if (direction != "asc") {
            *error = "unknown sort direction '" + std::string(direction) + "'";
            return false;
        }
    }
    auto it = std::find(kSortNames.begin(), kSortNames.end(), name);
    if (it == kSortNames.end()) {
        *error = "unknown sort column '" + std::string(name) + "'";
        return false;
    }
    options->sortColumn = static_cast<int>(it - kSortNames.begin());
    return true;
}

// Texts in the terminal's encoding; names in them may hold anything.
void PrintError(const std::string& text) {
    std::fprintf(stderr, "norvane-list: %s\n", VisibleControls(text, FileSystemCodePage()).c_str());
}

bool ParseFormat(std::string_view arg, ExportFormat* format, std::string* error) {
    if (arg == "text") *format = ExportFormat::kText;
    else if (arg == "html") *format = ExportFormat::kHtml;
    else if (arg == "csv") *format = ExportFormat::kCsv;
    else *error = "unknown format '" + std::string(arg) + "' (text, html or csv)";
    return arg == "text" || arg == "html" || arg == "csv";
}

bool ParseCodePage(std::string_view arg, int* codePage, std::string* error) {
    if (arg == "932") *codePage = kCodePageShiftJis;
    else if (arg == "65001") *codePage = kCodePageUtf8;
    else *error = "unknown code page '" + std::string(arg) + "' (932 or 65001)";
    return arg == "932" || arg == "65001";
}

bool ParseThreads(std::string_view arg, int* threads, std::string* error) {
    const std::string text(arg);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 256) {
        *error = "--threads takes a number from 0 to 256";
        return false;
    }
    *threads = static_cast<int>(value);
    return true;
}

// One option of getopt_long's; false with *error on bad usage.
bool ApplyOption(int option, std::string_view arg, ListerOptions* options, std::string* error) {
    ExportSettings& output = options->output;
    switch (option) {
        case 'f': return ParseFormat(arg, &output.format, error);
        case 'c': return ParseColumns(arg, output.columns, error);
        case kWithPath: output.nameOnly = false; return true;
        case kPrefix: output.prefix = arg; return true;
        case kSuffix: output.suffix = arg; return true;
        case kNoHeadings: output.folderHeadings = false; return true;
        case kFormattedSize: output.formattedSize = true; return true;
        case kNoSubfolders: options->subfolders = false; return true;
        case kNoSystem: options->system = false; return true;
        case kNoHidden: options->hidden = false; return true;
        case 's': return ParseSort(arg, options, error);
        case kSettings: options->settingsPath = std::string(arg); return true;
        case kCodePage: return ParseCodePage(arg, &options->codePage, error);
        case 'o':
            if (arg.empty()) *error = "empty output file name";
            options->outputPath = arg;
            return !arg.empty();
        case kThreads: return ParseThreads(arg, &options->threads, error);
        case kSave:
        case kOpen:
        case kCompare:
            if (arg.empty()) *error = "empty catalogue file name";
            (option == kSave ? options->savePath : option == kOpen ? options->openPath : options->comparePath) = arg;
            return !arg.empty();
        case kAll: options->all = true; return true;
        case kQuiet: options->quiet = true; return true;
        case 'h': options->help = true; return true;
        case kVersion: options->version = true; return true;
        default: return false;
    }
}

constexpr struct option kLongOptions[] = {
    {"format", required_argument, nullptr, 'f'},
    {"columns", required_argument, nullptr, 'c'},
    {"with-path", no_argument, nullptr, kWithPath},
    {"prefix", required_argument, nullptr, kPrefix},
    {"suffix", required_argument, nullptr, kSuffix},
    {"no-headings", no_argument, nullptr, kNoHeadings},
    {"formatted-size", no_argument, nullptr, kFormattedSize},
    {"no-subfolders", no_argument, nullptr, kNoSubfolders},
    {"no-system", no_argument, nullptr, kNoSystem},
    {"no-hidden", no_argument, nullptr, kNoHidden},
    {"sort", required_argument, nullptr, 's'},
    {"settings", required_argument, nullptr, kSettings},
    {"code-page", required_argument, nullptr, kCodePage},
    {"output", required_argument, nullptr, 'o'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"threads", required_argument, nullptr, kThreads},
    {"quiet", no_argument, nullptr, kQuiet},
    {"save", required_argument, nullptr, kSave},
    {"open", required_argument, nullptr, kOpen},
    {"compare", required_argument, nullptr, kCompare},
    {"all", no_argument, nullptr, kAll},
    {nullptr, 0, nullptr, 0},
};

// How the user wrote an option that lacks its value: the long name as typed,
// or the short letter.
std::string OptionName(const char* pszArg, int nOption) {
    if (std::string_view(pszArg).starts_with("--")) return pszArg;
    return std::string("-") + static_cast<char>(nOption);
}

// The rows the list is made of, in scan order, and what a catalogue keeps
// of the scan or the catalogue they come from. A scan's catalogue is
// written as the rows come (the workers read on meanwhile) and committed
// once the scan's facts are known.
struct ListerRows {
    std::shared_ptr<FileStore> store = std::make_shared<FileStore>();
    std::vector<const FileItem*> rows;
    CatalogueFacts facts;
    std::unique_ptr<CatalogueWriter> catalogue;
    bool catalogueWritten = true;  // every row so far went into it
};

// Scans the folder; diagnostics and progress (on a terminal only: standard
// output may be the export) go to standard error unless the lister is
// quiet. The folder is read by the bytes it was given; the code page
// applies to the texts written.
void ScanRows(const ListerOptions& options, ListerRows* list) {
    ScanOptions scanOptions;
    scanOptions.recurse = options.subfolders;
    scanOptions.includeSystem = options.system;
    scanOptions.includeHidden = options.hidden;
    if (options.threads >= 0) scanOptions.threads = options.threads;
    // The lister is the pool's only user: as many workers as it asks for.
    WorkerPool::Shared().RaiseBound(static_cast<std::size_t>(std::max(scanOptions.threads, 1)));
    const bool progress = !options.quiet && isatty(STDERR_FILENO) != 0;
    std::function<void(std::span<FileItem* const>)> onRows;
    if (!options.savePath.empty()) {
        list->catalogue = std::make_unique<CatalogueWriter>();
        list->catalogueWritten = list->catalogue->Open(options.savePath, FileSystemCodePage(), &StopRequest());
        onRows = [list](std::span<FileItem* const> rows) {
            for (std::size_t i = 0; i < rows.size() && list->catalogueWritten; ++i)
                list->catalogueWritten = list->catalogue->Add(*rows[i]);
        };
    }
    const FILETIME started = CurrentFileTime();
    ListerScan scan = RunListerScan(options.folder, scanOptions, *list->store, progress, !options.quiet, onRows);
    list->rows = std::move(scan.rows);
    list->facts = ScanFacts(options.folder, scanOptions, started, CurrentFileTime(), scan.result);
}

// Whether the filters keep a catalogue's file, and what its facts say of
// the list once they have.
bool KeptByFilters(const ListerOptions& options, const FileItem& item) {
    return (options.system || !item.systemFile) && (options.hidden || !item.hidden) &&
           (options.subfolders || item.folder->parent == nullptr);
}
CatalogueFacts FilteredFacts(const ListerOptions& options, CatalogueFacts facts) {
    facts.subfolders = facts.subfolders && options.subfolders;
    facts.systemFiles = facts.systemFiles && options.system;
    facts.hiddenFiles = facts.hiddenFiles && options.hidden;
    return facts;
}

// The rows of a catalogue, less those the filters leave out (its facts then
// say so). False with the reason in *error when it cannot be read.
bool OpenRows(const ListerOptions& options, ListerRows* list, std::string* error) {
    CatalogueContents contents;
    CatalogueError problem;
    if (!ReadCatalogue(options.openPath, &contents, &problem, {&StopRequest(), nullptr})) {
        *error = CatalogueErrorTextEnglish(problem);
        return false;
    }
    list->store = contents.store;
    list->facts = FilteredFacts(options, contents.facts);
    list->rows.reserve(contents.rows.size());
    for (ItemRef ref : contents.rows) {
        const FileItem* item = contents.store->Item(ref);
        if (KeptByFilters(options, *item)) list->rows.push_back(item);
    }
    return true;
}

// Writes the output file or standard output: the header (a comparison's
// with its change column), the rows writeRows writes, the footer; false
// with the reason in *error when it could not be written whole. A stop
// signal ends it unfinished: a file is then left as it was.
using RowWriter = std::function<void(CListExporter& exporter, OutputSink& sink)>;
bool WriteOutput(const ListerOptions& options, bool bComparison, const RowWriter& writeRows, std::string* error) {
    CListExporter exporter(options.output);
    FileOutputSink sink;
    sink.SetStop([] { return StopSignal() != 0; });
    const bool toStandardOutput = options.outputPath.empty() || options.outputPath == "-";
    const bool open = toStandardOutput ? sink.Attach(STDOUT_FILENO, "standard output") : sink.Open(options.outputPath);
    bool written = false;
    if (open) {
        if (bComparison) exporter.WriteComparisonHeader(sink);
        else exporter.WriteHeader(sink);
        writeRows(exporter, sink);
        if (StopSignal() != 0) {
            sink.Abandon();
            return false;
        }
        exporter.WriteFooter(sink);
        written = sink.Commit();
    }
    *error = sink.ErrorText();
    return written;
}

// Whether the rows written so far went whole and no stop came.
bool GoOn(const OutputSink& sink) { return !sink.Failed() && StopSignal() == 0; }

// Keeps the rows (in scan order) in the catalogue --save names: commits the
// one a scan wrote, or writes a catalogue's rows.
bool SaveRows(const ListerOptions& options, const ListerRows& list, std::string* error) {
    CatalogueError problem;
    if (list.catalogue != nullptr) {
        if (list.catalogueWritten && list.catalogue->Commit(list.facts)) return true;
        problem = StopRequest().load() ? CatalogueError{CatalogueProblem::kStopped, 0, 0, {}} : list.catalogue->Error();
    } else if (WriteCatalogue(options.savePath, list.facts, list.rows, &problem, {&StopRequest(), nullptr})) {
        return true;
    }
    *error = options.savePath + ": " + CatalogueErrorTextEnglish(problem);
    return false;
}

// What went wrong with the scan (or with that of a catalogue), said on
// standard error; 0 when it went whole, else 1.
int TellIncomplete(const ListerOptions& options, const CatalogueFacts& facts) {
    if (facts.whole()) return 0;
    // The reason is the system's text.
    const std::string reason = CodePageToFileSystem(Utf8ToCodePage(facts.errorText), FileSystemCodePage());
    std::string text = options.openPath.empty() ? "the scan stopped early" : "the catalogue's scan stopped early";
    if (!reason.empty()) text += ": " + reason;
    PrintError(text);
    return 1;
}

// Reads the catalogue --compare names one file at a time against the list
// (less the files the filters leave out). False with the reason in *error.
// The list's rows are the comparison's meanwhile: a list of a million rows
// is not held twice.
bool CompareWithOld(const ListerOptions& options, ListerRows* list, Comparison* comparison, CatalogueFacts* oldFacts,
                    std::string* error) {
    ComparisonBuilder builder(list->rows, list->store);
    std::vector<const FileItem*>().swap(list->rows);
    const auto folders = std::make_shared<FileStore>();
    builder.SetOldFolders(folders);
    CatalogueFacts facts;
    CatalogueError problem;
    const auto onRow = [&](const FileItem& item) {
        if (KeptByFilters(options, item)) builder.AddOld(item);
    };
    if (!ReadCatalogueRows(options.comparePath, &facts, *folders, onRow, &problem, {&StopRequest(), nullptr})) {
        *error = CatalogueErrorTextEnglish(problem);
        return false;
    }
    *oldFacts = FilteredFacts(options, facts);
    *comparison = builder.Finish();
    list->rows.reserve(comparison->NewRowCount());
    for (std::uint32_t i = 0; i < comparison->NewRowCount(); ++i) list->rows.push_back(comparison->Row(i).item);
    return true;
}

// Writes the compared rows: unchanged ones only with --all; in the
// comparison's order, or sorted (a list of the rows then made for it).
void WriteCompared(const ListerOptions& options, const Comparison& comparison, CListExporter& exporter,
                   OutputSink& sink) {
    std::string previousFolder;
    const auto wanted = [&options](const ComparedRow& row) {
        return options.all || row.kind != ChangeKind::kUnchanged;
    };
    if (options.sortColumn < 0) {
        for (std::size_t i = 0; i < comparison.size() && GoOn(sink); ++i) {
            if (wanted(comparison[i])) exporter.WriteComparedRow(sink, previousFolder, comparison[i]);
        }
        return;
    }
    std::vector<const ComparedRow*> rows;
    for (std::size_t i = 0; i < comparison.size(); ++i) {
        if (wanted(comparison[i])) rows.push_back(&comparison[i]);
    }
    const std::vector<int> order = ComparisonSortOrder(rows, options.sortColumn, options.sortDescending);
    for (std::size_t i = 0; i < order.size() && GoOn(sink); ++i)
        exporter.WriteComparedRow(sink, previousFolder, *rows[static_cast<std::size_t>(order[i])]);
}

// A catalogue to compare with that cannot be read is told before a long
// scan.
bool CanCompare(const ListerOptions& options) {
    CatalogueFacts facts;
    CatalogueError problem;
    if (options.comparePath.empty() || ReadCatalogueFacts(options.comparePath, &facts, &problem)) return true;
    PrintError("cannot open the catalogue '" + options.comparePath + "': " + CatalogueErrorTextEnglish(problem));
    return false;
}

// The rest of a run with --compare once the new list is made: the old
// catalogue read against it, this list kept (--save) once the old one was
// read (both may be one file), the comparison written. Ends as diff does.
int RunComparison(const ListerOptions& options, ListerRows& list) {
    std::string error;
    Comparison comparison;
    CatalogueFacts oldFacts;
    if (!CompareWithOld(options, &list, &comparison, &oldFacts, &error)) {
        if (StopSignal() != 0) return 128 + StopSignal();
        PrintError("cannot open the catalogue '" + options.comparePath + "': " + error);
        return 2;
    }
    bool trouble = false;
    if (!options.savePath.empty() && !SaveRows(options, list, &error)) {
        if (StopSignal() != 0) return 128 + StopSignal();
        PrintError("the catalogue could not be written: " + error);
        trouble = true;
    }
    // Lists not made alike differ for more than what changed on disk.
    const bool partial = !oldFacts.whole() || !list.facts.whole();
    if (!options.quiet) {
        for (const std::string& warning : ComparisonWarnings(oldFacts, list.facts, true))
            PrintError("warning: " + warning);
    } else if (partial) {
        PrintError("a list compared is of a scan that stopped early");
    }
    const auto writeRows = [&](CListExporter& exporter, OutputSink& sink) {
        WriteCompared(options, comparison, exporter, sink);
    };
    const bool written = StopSignal() == 0 && WriteOutput(options, true, writeRows, &error);
    if (!written && StopSignal() != 0) return 128 + StopSignal();
    if (!written) {
        PrintError("the output could not be written: " + error);
        trouble = true;
    }
    if (StopSignal() != 0 && !options.quiet) {
        PrintError(std::string("SIG") + sigabbrev_np(StopSignal()) + " came after the output was written whole");
    }
    if (trouble || partial) return 2;
    return comparison.Differs() ? 1 : 0;
}

}  // namespace

bool ParseListerOptions(int argc, char** argv, ListerOptions* options, std::string* error) {
    optind = 0;  // start afresh, also on a second call
    opterr = 0;
    std::vector<std::string> folders;
    // "-": arguments that are not options come back in their place (as 1),
    // so options may follow the folder whatever the environment says;
    // ":": a missing value is told apart from an unknown option.
    for (int c; (c = getopt_long(argc, argv, "-:f:c:s:o:h", kLongOptions, nullptr)) != -1;) {
        if (c == 1) {
            folders.emplace_back(optarg);
            continue;
        }
        if (c == ':') {
            *error = "option '" + OptionName(argv[optind - 1], optopt) + "' needs a value";
            return false;
        }
        error->clear();
        if (!ApplyOption(c, optarg != nullptr ? optarg : "", options, error)) {
            if (!error->empty()) return false;
            *error = optopt != 0 && optopt < 256 ? std::string("bad option '-") + static_cast<char>(optopt) + "'"
                                                 : std::string("bad option '") + argv[optind - 1] + "'";
            return false;
        }
        if (options->help || options->version) return true;
    }
    for (int i = optind; i < argc; ++i) folders.emplace_back(argv[i]);  // after "--"
    if (options->comparePath.empty() && (options->all || options->sortColumn == kColumnChange)) {
        *error = options->all ? "--all needs --compare" : "--sort=change needs --compare";
        return false;
    }
    if (!options->openPath.empty()) {
        if (folders.empty()) return true;
        *error = "a FOLDER and --open may not be given together";
        return false;
    }
    if (folders.empty()) {
        *error = "no FOLDER given";
        return false;
    }
    if (folders.size() > 1) {
        *error = "only one FOLDER may be given";
        return false;
    }
    options->folder = std::move(folders.front());
    return true;
}

int RunLister(int argc, char** argv) {
    int environmentCodePage = CodePageFromEnvironment();
    SetFileSystemCodePage(environmentCodePage);
    ListerOptions options;
    std::string error;
    if (!ParseListerOptions(argc, argv, &options, &error)) {
        PrintError(error);
        std::fputs("Try 'norvane-list --help'.\n", stderr);
        return 2;
    }
    if (options.help || options.version) {
        std::fputs(options.help ? kUsage : "norvane-list 1.2\n", stdout);
        return 0;
    }

    // From here on a stop signal ends the run with nothing written.
    const StopSignals stopSignals;
    SetCodePage(options.codePage != 0 ? options.codePage : environmentCodePage);
    // The command line comes in the locale's encoding, as the folder's
    // names do: the texts written around each name go out in the code page.
    ExportSettings& output = options.output;
    output.prefix = FileSystemToCodePage(output.prefix, FileSystemCodePage());
    output.suffix = FileSystemToCodePage(output.suffix, FileSystemCodePage());

    // The folder must exist: the lister never creates one.
    if (options.openPath.empty() && !FolderExists(options.folder)) {
        PrintError("'" + options.folder + "' is not a folder");
        return 2;
    }
    const std::string settingsPath = options.settingsPath.value_or(SettingsPath());
    if (settingsPath.empty() && !options.settingsPath && !options.quiet) {
        PrintError(
            "no place for the settings file is known (neither the program's folder nor $HOME): no settings "
            "file is read (--settings=FILE names one)");
    }
    if (LoadTitleSettings(options.output.titles, settingsPath) == SettingsFileState::kTooLarge && !options.quiet) {
        PrintError("the settings file '" + settingsPath + "' is larger than 1 MiB: it is not read");
    }

    if (!CanCompare(options)) return 2;

    ListerRows list;
    if (options.openPath.empty()) {
        ScanRows(options, &list);
    } else if (!OpenRows(options, &list, &error)) {
        if (StopSignal() != 0) return 128 + StopSignal();
        PrintError("cannot open the catalogue '" + options.openPath + "': " + error);
        return 2;
    }
    if (StopSignal() != 0) return 128 + StopSignal();
    if (!options.comparePath.empty()) return RunComparison(options, list);
    bool failed = false;
    // The catalogue keeps the scan's order, whatever the sort of the list.
    if (!options.savePath.empty() && !SaveRows(options, list, &error)) {
        if (StopSignal() != 0) return 128 + StopSignal();
        PrintError("the catalogue could not be written: " + error);
        failed = true;
    }
    if (options.savePath.empty() || !options.outputPath.empty()) {
        if (options.sortColumn >= 0 && StopSignal() == 0)
            SortRows(list.rows, options.sortColumn, options.sortDescending);
        const auto writeRows = [&list](CListExporter& exporter, OutputSink& sink) {
            std::string previousFolder;
            for (std::size_t i = 0; i < list.rows.size() && GoOn(sink); ++i)
                exporter.WriteRow(sink, previousFolder, *list.rows[i]);
        };
        const bool written = StopSignal() == 0 && WriteOutput(options, false, writeRows, &error);
        // The output decides: a signal that came while it was put in place
        // came too late to stop it, and the status says what was done.
        if (!written && StopSignal() != 0) return 128 + StopSignal();
        if (!written) {
            PrintError("the output could not be written: " + error);
            failed = true;
        }
    }
    if (StopSignal() != 0 && !options.quiet) {
        PrintError(std::string("SIG") + sigabbrev_np(StopSignal()) + " came after the output was written whole");
    }
    return std::max(failed ? 1 : 0, TellIncomplete(options, list.facts));
}

}  // namespace norvane
