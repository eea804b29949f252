// The build pipeline: viewer stub, then the archive of pages, directory,
// splash, settings, texts and marker, then the icon.
#include "builder/BuildEBook.h"

#include <cstring>
#include <deque>
#include <limits>
#include <optional>

#include "builder/BlobCache.h"
#include "builder/BlobPipeline.h"
#include "builder/DigestMemo.h"
#include "format/ArchiveStream.h"
#include "format/Container.h"
#include "format/UpdateArchive.h"
#include "platform/File.h"
#include "platform/FileStamp.h"
#include "platform/Path.h"
#include "project/BookApp.h"

namespace folivex {

namespace {

constexpr const char* kCannotSave = "Cannot save E-Book file:";
constexpr const char* kCannotRead = "Cannot read file ";
constexpr const char* kCannotBuild = "Cannot build the e-book:\n";

// Archive ids are 16-bit, so page number 65536 would collide with an
// earlier one.
constexpr size_t kMaxProjectEntries = 65535;
// A blob states its length as an int32.
constexpr uint64_t kMaxEntryFileSize = 0x7FFFFFFF;

// One included page: its archive id and where its bytes are on disk. The
// page list is taken first so that reading and compressing can be spread
// over several workers without touching the project.
struct PageSource {
    int id = 0;
    std::string diskPath;
};

std::vector<PageSource> IncludedPages(const BookProject& project) {
    std::vector<PageSource> sources;
    const size_t count = project.pages.size();
    for (size_t i = 0; i < count; ++i) {
        const CPieceElem& page = *project.pages[i];
        if (!page.included) continue;
        sources.push_back(
            PageSource{static_cast<int>(i + 1), JoinStoredPath(project.projectDir, page.path)});
    }
    return sources;
}

std::vector<uint8_t> PageDirectory(const BookProject& project) {
    std::vector<PageDirEntry> records;
    const size_t count = project.pages.size();
    for (size_t i = 0; i < count; ++i) {
        const CPieceElem& page = *project.pages[i];
        if (!page.included) continue;
        PageDirEntry record;
        record.path = page.path;
        for (char& c : record.path)
            if (c == '\\') c = '/';
        record.id = static_cast<int32_t>(i + 1);
        record.inPageSequence = page.inPageSequence;
        record.inSearch = page.inSearch;
        records.push_back(std::move(record));
    }
    return EncodePageDirectory(records);
}

// Reads a whole file. Throws CFileException, or ArchiveLimitError for a
// file too large for one entry.
FileBytes ReadWholeFile(const std::string& path) {
    CFile file(path, CFile::modeRead);
    const uint64_t length = file.GetLength();
    if (length > kMaxEntryFileSize)
        throw ArchiveLimitError(path +
                                " is larger than 2 GiB (2,147,483,647 bytes), the most one "
                                "e-book entry can hold.");
    FileBytes data(static_cast<size_t>(length));
    if (file.Read(data.data(), data.size()) != data.size())
        throw CFileException(CFileException::endOfFile, path);
    file.Close();
    return data;
}

// A file's bytes as a compressed blob. zlib failing for another reason than
// a small buffer is reported like a failure to read the file.
std::vector<uint8_t> CompressFile(const std::string& path) {
    const FileBytes data = ReadWholeFile(path);
    try {
        return MakeBlob(std::span<const uint8_t>(data.data(), data.size()));
    } catch (const ContainerError&) {
        throw CFileException(CFileException::genericException, path);
    }
}

void RemoveQuietly(const std::string& path) {
    try {
        CFile::Remove(path);
    } catch (const CFileException&) {
        // Nothing more to do: the message about the real failure is shown.
    }
}

void AddText(CUpdateArchive& archive, int id, const std::string& text) {
    archive.UpdateEntry(kTypeBook, id, EncodeText(text));
}

BookSettings SettingsOf(const BookProject& project) {
    BookSettings settings;
    settings.showAboutAtStart = project.showAboutAtStart;
    settings.startMaximized = project.startMaximized;
    settings.startFullScreen = project.startFullScreen;
    settings.showToolbar = project.showToolbar;
    for (size_t b = 0; b < settings.toolbarButtons.size(); ++b)
        settings.toolbarButtons[b] = project.toolbarButtons[b];
    return settings;
}

// The six texts in archive order.
std::vector<std::pair<int, const std::string*>> TextsOf(const BookProject& project) {
    return {{kIdTitle, &project.title},         {kIdAuthor, &project.author},
            {kIdCopyright, &project.copyright}, {kIdUrl, &project.url},
            {kIdEmail, &project.email},         {kIdAboutInfo, &project.aboutInfo}};
}

// Steps 3 to 10 as the writer does them, all entries in memory until the
// end: for a stub that already ends in an archive, which is merged.
void WriteArchiveInMemory(const BookProject& project) {
    CUpdateArchive archive;
    archive.BeginUpdate(project.ebookFile);

    for (const PageSource& page : IncludedPages(project))
        archive.UpdateEntry(kTypePages, page.id, CompressFile(page.diskPath));
    // With no included page the directory is empty and nothing is stored.
    archive.UpdateEntry(kTypeBook, kIdPageDirectory, PageDirectory(project));

    if (!project.splashFile.empty())
        archive.UpdateEntry(kTypeBook, kIdSplash, CompressFile(project.splashFile));

    archive.UpdateEntry(kTypeBook, kIdSettings, EncodeSettings(SettingsOf(project)));
    for (const auto& [id, text] : TextsOf(project)) AddText(archive, id, *text);
    archive.UpdateEntry(kTypeBook, kIdMarker, kBookMarker.data(), kBookMarker.size());

    archive.EndUpdate();
}

// One file handed to the pipeline. A file the last build saw goes to a
// worker as a whole (stamp, cache, and reading only when it changed), which
// spares this thread a system call per file; memory is then bounded by the
// size it had then. Other files are read here, as without a memo.
struct Submitted {
    uint64_t bytes = 0;  // read, or expected
    // The stamp taken before the file was read (or found unchanged), set
    // by the worker; Next makes it visible here.
    std::shared_ptr<std::optional<FileStamp>> stamp;
};

BlobPipeline::Made BlobOfKnownFile(BlobCache& cache, const DigestMemo::Record& seen,
                                   const std::string& path, std::optional<FileStamp>& stamp) {
    stamp = StampOfFile(path);
    if (stamp && *stamp == seen.stamp) {
        if (auto blob = cache.Load(seen.digest, stamp->size))
            return {std::move(*blob), seen.digest};
    }
    const FileBytes data = ReadWholeFile(path);  // changed since, or its entry is gone
    const std::span<const uint8_t> bytes(data.data(), data.size());
    BlobPipeline::Made made;
    made.key = Sha256Of(bytes);
    made.blob = cache.BlobFor(made.key, bytes);
    return made;
}

Submitted SubmitFile(BlobPipeline& pipeline, BlobCache* cache, const DigestMemo* memo,
                     const std::string& path) {
    Submitted submitted;
    if (memo) {
        submitted.stamp = std::make_shared<std::optional<FileStamp>>();
        if (const DigestMemo::Record* seen = memo->Seen(path)) {
            submitted.bytes = seen->stamp.size;
            pipeline.Submit([cache, seen, &path, stamp = submitted.stamp] {
                return BlobOfKnownFile(*cache, *seen, path, *stamp);
            });
            return submitted;
        }
        *submitted.stamp = StampOfFile(path);
    }
    FileBytes data = ReadWholeFile(path);
    submitted.bytes = data.size();
    pipeline.Submit(std::move(data));
    return submitted;
}

// The blob of the oldest file handed to the pipeline, its digest
// remembered for the next build.
std::vector<uint8_t> TakeBlob(BlobPipeline& pipeline, DigestMemo* memo, const std::string& path,
                              const Submitted& submitted) {
    BlobPipeline::Made made;
    try {
        made = pipeline.Next();
    } catch (const ContainerError&) {
        throw CFileException(CFileException::genericException, path);
    }
    if (memo && *submitted.stamp) memo->Remember(path, **submitted.stamp, made.key);
    return std::move(made.blob);
}

// Steps 3 to 10 for a fresh stub, with the same bytes as
// WriteArchiveInMemory: pages are read here in order, compressed by the
// pipeline's workers (or taken from the cache) and written out as soon as
// their turn comes, so memory holds only the few pages in flight. With a
// memo, pages unchanged since the last build are not even read.
void StreamArchive(const BookProject& project, unsigned threads, BlobCache* cache,
                   DigestMemo* memo) {
    const std::vector<PageSource> pages = IncludedPages(project);
    const std::vector<uint8_t> directory = PageDirectory(project);
    std::vector<ArchiveStream::TypePlan> plan;
    if (!pages.empty()) plan.push_back({kTypePages, static_cast<uint32_t>(pages.size())});
    const uint32_t bookEntries =
        (directory.empty() ? 0 : 1) + (project.splashFile.empty() ? 0 : 1) + 8;
    plan.push_back({kTypeBook, bookEntries});
    ArchiveStream archive(project.ebookFile, std::move(plan));

    BlobPipeline pipeline(threads, cache);
    // Pages waiting for their turn keep the workers busy while a large page
    // at the head is still being compressed. They are bounded in number and
    // in bytes (one page is always let through, however large), so memory
    // follows the largest page and the thread count, not the book.
    const size_t maxWaiting = 16 * size_t{pipeline.Threads()};
    const uint64_t maxWaitingBytes = uint64_t{8} << 20 << (pipeline.Threads() > 1 ? 1 : 0);
    std::deque<std::pair<const PageSource*, Submitted>> waiting;
    uint64_t waitingBytes = 0;
    const auto writeOldest = [&] {
        const auto& [page, submitted] = waiting.front();
        archive.Add(kTypePages, page->id, TakeBlob(pipeline, memo, page->diskPath, submitted));
        waitingBytes -= submitted.bytes;
        waiting.pop_front();
    };
    for (const PageSource& page : pages) {
        // Room is made before the next file is read, so that reading it
        // is the last thing held in memory beyond the bound.
        while (!waiting.empty() && waiting.size() >= maxWaiting) writeOldest();
        Submitted submitted = SubmitFile(pipeline, cache, memo, page.diskPath);
        waitingBytes += submitted.bytes;
        waiting.emplace_back(&page, std::move(submitted));
        while (waiting.size() > 1 && waitingBytes > maxWaitingBytes) writeOldest();
    }
    while (!waiting.empty()) writeOldest();

    if (!directory.empty()) archive.Add(kTypeBook, kIdPageDirectory, directory);
    if (!project.splashFile.empty()) {
        const Submitted splash = SubmitFile(pipeline, cache, memo, project.splashFile);
        archive.Add(kTypeBook, kIdSplash, TakeBlob(pipeline, memo, project.splashFile, splash));
    }
    archive.Add(kTypeBook, kIdSettings, EncodeSettings(SettingsOf(project)));
    for (const auto& [id, text] : TextsOf(project)) archive.Add(kTypeBook, id, EncodeText(*text));
    archive.Add(kTypeBook, kIdMarker, kBookMarker);
    archive.Finish();
}

// Steps 3 to 10: the archive after the stub. The output file is closed when
// this returns or throws.
void WriteArchive(const BookProject& project, std::span<const uint8_t> stub, unsigned threads,
                  const std::optional<std::string>& cacheFolder) {
    // A stub ending in a trailer carries an archive, which the writer
    // loads and merges; only a fresh one can be streamed.
    const bool stubHasArchive =
        stub.size() >= 2 && stub[stub.size() - 2] == 0x4B && stub.back() == 0x47;
    if (stubHasArchive) {
        WriteArchiveInMemory(project);
        return;
    }
    const std::string folder = cacheFolder.value_or(BlobCache::DefaultFolder());
    if (folder.empty()) {
        StreamArchive(project, threads, nullptr, nullptr);
        return;
    }
    BlobCache cache(folder);
    DigestMemo memo(DigestMemo::PathFor(folder, project.projectDir), StampClockNowNs());
    StreamArchive(project, threads, &cache, &memo);
    memo.Save();
    if (cache.Stored() > 0) cache.Trim();
}

}  // namespace

int BuildEBook(CBookApp& app) {
    BookProject& project = app.project;
    WaitCursor wait(app.GetPrompts());

    if (project.pages.size() > kMaxProjectEntries) {
        app.GetPrompts().ShowMessage(std::string(kCannotBuild) + "the project has " +
                                         std::to_string(project.pages.size()) +
                                         " files, more than the 65,535 an e-book can hold.",
                                     MsgButtons::OK, MsgIcon::Stop);
        return 0;
    }
    if (app.viewerStub.empty()) {
        app.GetPrompts().ShowMessage(std::string(kCannotBuild) +
                                         "no viewer program is available to put at "
                                         "the start of the e-book.",
                                     MsgButtons::OK, MsgIcon::Stop);
        return 0;
    }

    // The stub. A file we could not open is someone else's and stays; a
    // file we created or emptied but could not fill is a broken program and
    // goes.
    {
        CFile out;
        try {
            out.Open(project.ebookFile,
                     CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        } catch (const CFileException& error) {
            app.ReportFileError(kCannotSave, error);
            return 0;
        }
        try {
            out.Write(app.viewerStub.data(), app.viewerStub.size());
            out.Close();
        } catch (const CFileException& error) {
            out.Abort();
            app.ReportFileError(kCannotSave, error);
            RemoveQuietly(project.ebookFile);
            return 0;
        }
    }

    try {
        WriteArchive(project, app.viewerStub, app.buildThreads, app.blobCacheFolder);
    } catch (const CException& error) {
        app.ReportFileError(kCannotRead + error.m_strFileName, error);
        RemoveQuietly(project.ebookFile);
        return 0;
    } catch (const ArchiveLimitError& error) {
        app.GetPrompts().ShowMessage(kCannotBuild + std::string(error.what()), MsgButtons::OK,
                                     MsgIcon::Stop);
        RemoveQuietly(project.ebookFile);
        return 0;
    }

    return ReplaceIcon(app);
}

}  // namespace folivex
