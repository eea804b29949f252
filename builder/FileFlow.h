// The files of a book on their way into its archive: each is read and
// compressed on a worker of the blob pipeline (or, unchanged since the last
// build, its blob taken from the earlier book) and written out when its
// turn comes; the link report reads the pages on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "builder/BlobPipeline.h"
#include "builder/BuildMemo.h"
#include "builder/BuildProgress.h"
#include "builder/FileBytes.h"
#include "html/References.h"

namespace folivex {

class ArchiveStream;
class EarlierBook;
class LinkMemo;
class LinkReport;
struct BookProject;

// One file whose blob goes into the book: its archive id, the name messages
// and the digest memo know it by (the page's stored path joined to the
// project folder, or the splash bitmap's path), and the file actually read.
// The page list is taken first so that reading and compressing can be
// spread over several workers without touching the project.
struct PageSource {
    int id = 0;
    std::string name;
    std::string diskPath;
    long entry = -1;  // the index of its entry in the project; -1 for the splash
};

// The file read and compressed; links (when given) reads it on the way.
// Throws CFileException, or ArchiveLimitError for a file too large for one
// entry.
std::vector<uint8_t> CompressFile(const PageSource& source, LinkReport* links);

// Where the blobs of unchanged files come from (both null without a memo),
// and who else reads the files on the way.
struct BlobSources {
    BuildMemo* memo = nullptr;
    const EarlierBook* earlier = nullptr;  // null when no earlier book fits
    LinkReport* links = nullptr;
    const LinkMemo* linkMemo = nullptr;  // what the link report read last time
};

// What the earlier book's blob for the page at stored holds, read anew (the
// link memo has lost it); nothing when the book has no such blob.
std::optional<html::PageReferences> ReferencesInEarlierBook(const BuildMemo& memo,
                                                            const EarlierBook* earlier,
                                                            const BookProject& project,
                                                            const std::string& stored,
                                                            std::pair<uint32_t, uint32_t> blob);

// A file handed on, with what the last build saw of it (null: nothing, or
// no memo), looked up once for both the grouping and the worker.
struct QueuedFile {
    const PageSource* source = nullptr;
    const BuildMemo::Record* seen = nullptr;
};

// The files of the book on their way through the pipeline, and what is
// told of them.
class FileFlow {
public:
    FileFlow(BlobPipeline& pipeline, ArchiveStream& archive, BlobSources sources, size_t filesTotal,
             const BuildProgressFn& progress)
        : m_pipeline(pipeline), m_archive(archive), m_sources(sources), m_progress(progress) {
        m_state.filesTotal = filesTotal;
        Tell();
    }

    // Hands source on: with other small files the last build saw, or
    // alone.
    void Submit(const PageSource& source);
    void SubmitAlone(const PageSource& source) { SubmitAlone(Queued(source)); }
    // Files handed on and not yet written.
    size_t Waiting() const { return m_waitingFiles + m_open.size(); }

    // Writes the blobs of the oldest group handed on as entries (type, each
    // file's id) and remembers where they went.
    void WriteOldest(int type);

private:
    QueuedFile Queued(const PageSource& source) const;
    void SubmitAlone(const QueuedFile& file) {
        Close();
        m_open.push_back(file);
        Close();
    }
    // The group being gathered goes to the pipeline.
    void Close();
    // Writes one file's blob as an entry and remembers where it went.
    void Write(int type, const PageSource& source, const BlobPipeline::Blob& made);

    void Tell() const {
        if (m_progress) m_progress(m_state);
    }

    BlobPipeline& m_pipeline;
    ArchiveStream& m_archive;
    BlobSources m_sources;
    const BuildProgressFn& m_progress;
    BuildProgress m_state;
    std::deque<std::vector<QueuedFile>> m_waiting;  // groups handed on
    size_t m_waitingFiles = 0;
    std::vector<QueuedFile> m_open;  // the group being gathered
    uint64_t m_openBytes = 0;
};

}  // namespace folivex
