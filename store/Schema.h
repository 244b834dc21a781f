// The catalogue file's schema, shared by its writer and its reader (and
// described in docs/catalogue.md).
#pragma once

#include <cstdint>

namespace norvane {

// The database header's application id: "NVCT".
inline constexpr std::uint32_t kCatalogueApplicationId = 0x4E564354;

// The tables, created in this order by the writer. Names are the file
// system's bytes: text where they are valid UTF-8 text (and the names are
// in UTF-8), a blob otherwise.
inline constexpr const char* kCatalogueSchema =
    "CREATE TABLE catalogue (\n"
    "    format_version INTEGER NOT NULL,\n"
    "    program        TEXT NOT NULL,\n"
    "    top_folder     TEXT NOT NULL,\n"
    "    host           TEXT NOT NULL,\n"
    "    started        TEXT NOT NULL,\n"
    "    ended          TEXT NOT NULL,\n"
    "    code_page      INTEGER NOT NULL,\n"
    "    name_encoding  INTEGER NOT NULL,\n"
    "    subfolders     INTEGER NOT NULL,\n"
    "    system_files   INTEGER NOT NULL,\n"
    "    hidden_files   INTEGER NOT NULL,\n"
    "    outcome        TEXT NOT NULL,\n"
    "    error_code     INTEGER,\n"
    "    error_text     TEXT,\n"
    "    folder_count   INTEGER NOT NULL,\n"
    "    file_count     INTEGER NOT NULL\n"
    ");\n"
    "CREATE TABLE folders (\n"
    "    id     INTEGER PRIMARY KEY,\n"
    "    parent INTEGER REFERENCES folders (id),\n"
    "    name   TEXT NOT NULL\n"
    ");\n"
    "CREATE TABLE files (\n"
    "    id         INTEGER PRIMARY KEY,\n"
    "    folder     INTEGER NOT NULL REFERENCES folders (id),\n"
    "    name       TEXT NOT NULL,\n"
    "    size       INTEGER NOT NULL,\n"
    "    time       INTEGER NOT NULL,\n"
    "    version_ms INTEGER NOT NULL,\n"
    "    version_ls INTEGER NOT NULL,\n"
    "    system     INTEGER NOT NULL,\n"
    "    hidden     INTEGER NOT NULL,\n"
    "    kind       INTEGER NOT NULL\n"
    ");\n";

// The outcome column's values.
inline constexpr const char* kOutcomeWhole = "whole";
inline constexpr const char* kOutcomeStopped = "stopped";
inline constexpr const char* kOutcomeError = "error";

}  // namespace norvane
