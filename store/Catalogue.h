// The catalogue file (.nvcat): a scan kept on disk as an SQLite database,
// written whole and read back as records that give exactly the rows, the
// orders and the output bytes of the scan that made it. docs/catalogue.md
// describes the file for its users.
//
// A catalogue is written like an export: into a temporary file beside the
// target that takes its place only when whole (platform/FileReplacement.h),
// so a failure leaves the old file. It is read without ever being changed,
// and every value is checked: a damaged or hostile file is refused whole,
// never shown half-read.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalogue/FileItem.h"
#include "catalogue/FolderScan.h"

namespace norvane {

// The format this program writes, and the newest it reads.
inline constexpr int kCatalogueFormatVersion = 1;
// The file name extension of a catalogue.
inline constexpr const char* kCatalogueExtension = ".nvcat";

// What a catalogue says about the scan that made it.
struct CatalogueFacts {
    int formatVersion = kCatalogueFormatVersion;
    std::string program;    // the program and version that wrote it
    std::string topFolder;  // the top folder as the scan was given it (bytes)
    std::string host;       // the machine that scanned
    FILETIME started = 0;   // UTC
    FILETIME ended = 0;
    int codePage = 0;      // the code page of the texts the list showed
    int nameEncoding = 0;  // the encoding of the names' bytes (the file system's)
    bool subfolders = true;
    bool systemFiles = true;
    bool hiddenFiles = true;
    ScanEnd end = ScanEnd::kCompleted;  // whole, stopped, or ended by an error
    std::uint32_t errorCode = 0;        // with an error: its code and text
    std::string errorText;              // (UTF-8, no line end)
    std::uint64_t folderCount = 0;      // counted by the writer
    std::uint64_t fileCount = 0;

    bool whole() const { return end == ScanEnd::kCompleted; }
};

// The facts of a scan of rawFolder that ran from started to ended with
// options and ended as result says, on this machine, in this process's code
// pages.
CatalogueFacts ScanFacts(const std::string& rawFolder, const ScanOptions& options, FILETIME started, FILETIME ended,
                         const ScanResult& result);

enum class CatalogueProblem {
    kNone,
    kCannotRead,    // the system refused (errorNumber says why)
    kFolder,        // a folder, not a file
    kNotRegular,    // a FIFO, a device, a socket
    kNotSqlite,     // not an SQLite database at all
    kNotCatalogue,  // an SQLite database, but not a catalogue
    kNewerFormat,   // from a newer program (formatVersion says which)
    kDamaged,       // cut short, corrupted, or values no catalogue holds (detail)
    kOutOfMemory,
    kCannotWrite,  // the file could not be created or written (errorNumber)
    kStopped,      // a stop was asked for
};

struct CatalogueError {
    CatalogueProblem problem = CatalogueProblem::kNone;
    int errorNumber = 0;    // the errno that says why, where there is one
    int formatVersion = 0;  // kNewerFormat: the file's format
    std::string detail;     // kDamaged, and a write that failed without an errno: what went wrong (English)
};

// Why, in Japanese for the window (without the path), or in English for
// the lister; the system's reasons are the texts the program gives them
// everywhere (platform/SystemCalls.h).
std::string CatalogueErrorText(const CatalogueError& error);
std::string CatalogueErrorTextEnglish(const CatalogueError& error);

// How a long read or write is followed and stopped from another thread.
struct CatalogueProgress {
    const std::atomic<bool>* stop = nullptr;     // true: end as soon as may be
    std::atomic<std::uint64_t>* rows = nullptr;  // rows done so far
};

// Writes a catalogue, rows in scan order; the rows' records and their
// folders must come from one scan (one top folder). Nothing appears at
// rawPath before the whole file does.
class CatalogueWriter {
public:
    CatalogueWriter();
    ~CatalogueWriter();  // abandons what was not committed
    CatalogueWriter(const CatalogueWriter&) = delete;
    CatalogueWriter& operator=(const CatalogueWriter&) = delete;

    // nameEncoding: the code page the rows' raw names are in (the file
    // system's of the scan). Once *stop (when given) is true, the file is
    // written no further and Commit fails.
    bool Open(const std::string& rawPath, int nameEncoding, const std::atomic<bool>* stop = nullptr);
    // The record (and its folder) must stay until Commit or Abandon: rows
    // are written a few at a time.
    bool Add(const FileItem& item);
    // Writes the facts (the counts and the name encoding are the writer's
    // own) and puts the file in place.
    bool Commit(const CatalogueFacts& facts);
    void Abandon();
    // Why the last call failed.
    const CatalogueError& Error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// The whole write in one call.
bool WriteCatalogue(const std::string& rawPath, const CatalogueFacts& facts, std::span<const FileItem* const> rows,
                    CatalogueError* error, const CatalogueProgress& progress = {});
// The same for rows named by their numbers in store.
bool WriteCatalogue(const std::string& rawPath, const CatalogueFacts& facts, const FileStore& store,
                    std::span<const ItemRef> rows, CatalogueError* error, const CatalogueProgress& progress = {});

// A catalogue read back: its facts, and its records in a store of their
// own, rows in scan order.
struct CatalogueContents {
    CatalogueFacts facts;
    std::shared_ptr<FileStore> store;
    std::vector<ItemRef> rows;
};

// Reads the catalogue at rawPath (never changing it). Names are shown in
// the process's code page, from the bytes in the catalogue's encoding,
// exactly as a scan shows them. False with *error when it cannot be read
// whole; *contents is then left as it was.
bool ReadCatalogue(const std::string& rawPath, CatalogueContents* contents, CatalogueError* error,
                   const CatalogueProgress& progress = {});
// The same one file at a time, for who keeps only some of them: the folders
// go into folders (which the caller keeps, also after a failure: records
// handed over point into it), then each file, in scan order, is handed to
// onRow as a record that lives for the call only. *facts is set once the
// whole catalogue was read; a failure may come after some rows were handed
// over.
using CatalogueRowSink = std::function<void(const FileItem&)>;
bool ReadCatalogueRows(const std::string& rawPath, CatalogueFacts* facts, FileStore& folders,
                       const CatalogueRowSink& onRow, CatalogueError* error, const CatalogueProgress& progress = {});
// The facts alone: whether the file can be read as a catalogue at all,
// before a long scan.
bool ReadCatalogueFacts(const std::string& rawPath, CatalogueFacts* facts, CatalogueError* error);

// What differs in how two compared lists were made (the names' encoding,
// the code page, the three options, a scan that stopped early), one text a
// difference: in Japanese for the window, in English for the lister. The
// facts are those of what is compared (a catalogue's, less what a filter
// left out of it).
std::vector<std::string> ComparisonWarnings(const CatalogueFacts& oldFacts, const CatalogueFacts& newFacts,
                                            bool bEnglish);

// Whether a path names a catalogue by its extension (in any case).
bool HasCatalogueExtension(std::string_view path);

}  // namespace norvane
