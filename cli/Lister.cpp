#include "cli/Lister.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/SettingsFile.h"
#include "catalogue/SortRows.h"
#include "catalogue/FolderScan.h"
#include "export/ListExporter.h"
#include "export/OutputSink.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

namespace norvane {

namespace {

constexpr const char* kUsage =
    "Usage: norvane-list [OPTIONS] FOLDER\n"
    "Lists every file of FOLDER (and its subfolders) as TEXT, HTML or CSV.\n"
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
    "      --settings=FILE          titles and colours from this settings file\n"
    "                               (default: Norvane.ini beside the program)\n"
    "      --code-page=932|65001    instead of the locale's\n"
    "  -o, --output=FILE            write to FILE (default: standard output)\n"
    "      --threads=N              threads reading version resources while the\n"
    "                               folders are read (default 16; 0: none)\n"
    "  -h, --help                   this text\n"
    "      --version                the version\n"
    "\n"
    "Exit status: 0 written whole, 1 scan stopped early or output not written,\n"
    "2 bad usage or FOLDER is not a folder.\n";

constexpr std::array<std::string_view, 6> kColumnNames = {"name", "date", "size", "version", "ext", "folder"};
constexpr std::array<std::string_view, 8> kSortNames = {"name", "date", "size", "version",
                                                        "ext", "folder", "system", "hidden"};

enum LongOnly {
    kWithPath = 256, kPrefix, kSuffix, kNoHeadings, kFormattedSize, kNoSubfolders,
    kNoSystem, kNoHidden, kSettings, kCodePage, kVersion, kThreads,
};

bool ParseColumns(std::string_view list, bool (&columns)[6], std::string* error) {
    bool chosen[6] = {};
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
    std::copy(std::begin(chosen), std::end(chosen), columns);
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

void PrintError(const std::string& text) { std::fprintf(stderr, "norvane-list: %s\n", text.c_str()); }

}  // namespace

bool ParseListerOptions(int argc, char** argv, ListerOptions* options, std::string* error) {
    static const struct option kLong[] = {
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
        {nullptr, 0, nullptr, 0},
    };
    optind = 0;  // start afresh, also on a second call
    opterr = 0;
    for (;;) {
        int c = getopt_long(argc, argv, "+f:c:s:o:h", kLong, nullptr);
        if (c == -1) break;
        std::string_view arg = optarg != nullptr ? optarg : "";
        switch (c) {
            case 'f':
                if (arg == "text") options->format = ListerOptions::Format::kText;
                else if (arg == "html") options->format = ListerOptions::Format::kHtml;
                else if (arg == "csv") options->format = ListerOptions::Format::kCsv;
                else {
                    *error = "unknown format '" + std::string(arg) + "' (text, html or csv)";
                    return false;
                }
                break;
            case 'c':
                if (!ParseColumns(arg, options->columns, error)) return false;
                break;
            case kWithPath: options->withPath = true; break;
            case kPrefix: options->prefix = arg; break;
            case kSuffix: options->suffix = arg; break;
            case kNoHeadings: options->headings = false; break;
            case kFormattedSize: options->formattedSize = true; break;
            case kNoSubfolders: options->subfolders = false; break;
            case kNoSystem: options->system = false; break;
            case kNoHidden: options->hidden = false; break;
            case 's':
                if (!ParseSort(arg, options, error)) return false;
                break;
            case kSettings: options->settingsPath = std::string(arg); break;
            case kCodePage:
                if (arg == "932") options->codePage = kCodePageShiftJis;
                else if (arg == "65001") options->codePage = kCodePageUtf8;
                else {
                    *error = "unknown code page '" + std::string(arg) + "' (932 or 65001)";
                    return false;
                }
                break;
            case 'o':
                if (arg.empty()) {
                    *error = "empty output file name";
                    return false;
                }
                options->outputPath = arg;
                break;
            case kThreads: {
                char* end = nullptr;
                long threads = std::strtol(optarg, &end, 10);
                if (arg.empty() || *end != '\0' || threads < 0 || threads > 256) {
                    *error = "--threads takes a number from 0 to 256";
                    return false;
                }
                options->probeThreads = static_cast<int>(threads);
                break;
            }
            case 'h': options->help = true; return true;
            case kVersion: options->version = true; return true;
            default:
                *error = optopt != 0 && optopt < 256 ? std::string("bad option '-") + static_cast<char>(optopt) + "'"
                                                     : std::string("bad option '") + argv[optind - 1] + "'";
                return false;
        }
    }
    if (optind >= argc) {
        *error = "no FOLDER given";
        return false;
    }
    if (argc - optind > 1) {
        *error = "only one FOLDER may be given";
        return false;
    }
    options->folder = argv[optind];
    return true;
}

int RunLister(int argc, char** argv) {
    ListerOptions options;
    std::string error;
    if (!ParseListerOptions(argc, argv, &options, &error)) {
        PrintError(error);
        std::fputs("Try 'norvane-list --help'.\n", stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("norvane-list 1.2");
        return 0;
    }

    int environmentCodePage = CodePageFromEnvironment();
    SetFileSystemCodePage(environmentCodePage);
    SetCodePage(options.codePage != 0 ? options.codePage : environmentCodePage);

    // The folder must exist: the lister never creates one.
    if (!FolderExists(options.folder)) {
        PrintError("'" + options.folder + "' is not a folder");
        return 2;
    }
    std::string folder = FileSystemToCodePage(options.folder, FileSystemCodePage());
    AppendSeparatorIfMissing(folder);

    std::array<std::string, 8> titles = TitleSettings().values;
    const std::string settingsPath = options.settingsPath.value_or(SettingsPath());
    if (settingsPath.empty() && !options.settingsPath) {
        PrintError("the program's folder cannot be found: no settings file is read (--settings=FILE names one)");
    }
    LoadTitleSettings(titles, settingsPath);

    CListExporter exporter;
    bool* columnFlags[6] = {&exporter.m_bFileName, &exporter.m_bFileDateTime, &exporter.m_bFileSize,
                            &exporter.m_bVersion, &exporter.m_bExpansion, &exporter.m_bDirectory};
    for (int i = 0; i < 6; ++i) *columnFlags[i] = options.columns[i];
    exporter.m_bText = options.format == ListerOptions::Format::kText;
    exporter.m_bHtml = options.format == ListerOptions::Format::kHtml;
    exporter.m_bCsv = options.format == ListerOptions::Format::kCsv;
    exporter.m_bNameOnly = !options.withPath;
    exporter.m_bPrefix = !options.prefix.empty();
    exporter.m_strPrefix = options.prefix;
    exporter.m_bSuffix = !options.suffix.empty();
    exporter.m_strSuffix = options.suffix;
    exporter.m_bFolderHeading = options.headings;
    exporter.m_bFormattedSize = options.formattedSize;
    std::string* texts[8] = {&exporter.m_strTitle1, &exporter.m_strTitle2, &exporter.m_strTitle3,
                             &exporter.m_strTitle4, &exporter.m_strTitle5, &exporter.m_strTitle6,
                             &exporter.m_strBgColor, &exporter.m_strFontColor};
    for (int i = 0; i < 8; ++i) *texts[i] = titles[static_cast<std::size_t>(i)];

    // Progress on a terminal only; standard output may be the export.
    bool showProgress = isatty(STDERR_FILENO) != 0;
    ScanOptions scanOptions;
    scanOptions.recurse = options.subfolders;
    scanOptions.includeSystem = options.system;
    scanOptions.includeHidden = options.hidden;
    if (options.probeThreads >= 0) scanOptions.probeThreads = options.probeThreads;
    bool progressShown = false;
    if (showProgress) {
        scanOptions.progress = [&progressShown](std::size_t files) {
            std::fprintf(stderr, "\r%zu files", files);
            progressShown = true;
        };
    }
    auto diagnostics = [&progressShown](std::string_view text) {
        if (progressShown) std::fputs("\r\033[K", stderr);
        std::fwrite(text.data(), 1, text.size(), stderr);
    };

    FileStore store;
    std::vector<const FileItem*> rows;
    ScanResult result = ScanFolder(folder, folder, scanOptions, store,
                                   [&rows](FileItem* item) { rows.push_back(item); }, diagnostics);
    if (progressShown) std::fputs("\r\033[K", stderr);

    if (options.sortColumn >= 0) SortRows(rows, options.sortColumn, options.sortDescending);

    bool written = false;
    std::string writeError;
    {
        FileOutputSink sink;
        const bool bOpen = options.outputPath.empty() ? sink.Attach(STDOUT_FILENO, "standard output")
                                                      : sink.Open(options.outputPath);
        if (bOpen) {
            bool rowsWritten = exporter.WriteRows(sink, rows);
            written = sink.Commit() && rowsWritten;
        }
        writeError = sink.ErrorText();
    }
    if (!written) {
        PrintError("the output could not be written: " + writeError);
        return 1;
    }
    if (!result.completed) {
        PrintError(result.reason.empty() ? std::string("the scan stopped early")
                                         : "the scan stopped early: " + CodePageToFileSystem(result.reason, FileSystemCodePage()));
        return 1;
    }
    return 0;
}

}  // namespace norvane
