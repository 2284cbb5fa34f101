#pragma once

#include "restore/EntryExtractor.h"
#include "restore/EntryFacts.h"
#include "restore/FileHandle.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

// One entry to restore: its name as stored, and where it goes below the target folder.
struct RestoreItem
{
    QByteArray entryName;
    QByteArray relativePath;
};

// The entries to restore from one archive.
struct RestoreSource
{
    QString archivePath;
    std::vector<RestoreItem> items;
};

// What the user asked for: entries of one listed folder's archives, into one folder.
struct RestoreRequest
{
    QString folderName; // the listed folder's name, as the history log calls it
    QString target;
    std::vector<RestoreSource> sources;
};

// One entry that will be restored.
struct PlannedEntry
{
    std::size_t source = 0; // in the request
    EntryData data;
    EntryFacts facts;
    QByteArray relativePath; // safe: see SafeRelativePath
    bool alreadyThere = false; // the file in its place holds exactly this data
    bool differs = false; // something else is in its place
};

// What a restore will do, found before anything is written: the archives' directories are read
// afresh and the files already in the target are compared with the entries. The archives stay open.
struct RestorePlan
{
    RestoreRequest request;
    std::vector<FileHandle> archives; // one for each source
    std::vector<PlannedEntry> entries; // folders first, then files
    std::vector<QStringList> refused; // for each source: "name: why" for every entry not restored
    std::uint64_t bytes = 0; // to write
    QString failure; // why nothing at all can be restored
    bool cancelled = false;

    // The relative paths of the files in the way that differ from the entries.
    QStringList differing() const;
};

RestorePlan PlanRestore(RestoreRequest request, const std::atomic<bool>& cancelled);
