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
#include "format/ArchiveIndex.h"
#include "format/ArchiveStream.h"
#include "format/Container.h"
#include "format/UpdateArchive.h"
#include "platform/DirEnum.h"
#include "platform/File.h"
#include "platform/FileReplace.h"
#include "platform/FileStamp.h"
#include "platform/Path.h"
#include "platform/PathResolver.h"
#include "project/BookApp.h"
#include "project/FolderScan.h"

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

// Added to the e-book's name for the file a build writes before it replaces
// the e-book.
constexpr const char* kBuildingSuffix = ".building";

// One file whose blob goes into the book: its archive id, the name messages
// and the digest memo know it by (the page's stored path joined to the
// project folder, or the splash bitmap's path), and the file actually read.
// The page list is taken first so that reading and compressing can be
// spread over several workers without touching the project.
struct PageSource {
    int id = 0;
    std::string name;
    std::string diskPath;
};

// The included pages in project order, each read from the file the scan
// made its entry of (the first in walk order of the names that differ only
// in case). An entry that is the e-book being written is left out, with a
// warning in leftOut.
std::vector<PageSource> IncludedPages(const BookProject& project, std::vector<KnownFile> output,
                                      std::vector<std::string>& leftOut) {
    PathResolver resolver(project.projectDir, std::move(output));
    std::vector<PageSource> sources;
    const size_t count = project.pages.size();
    for (size_t i = 0; i < count; ++i) {
        const CPieceElem& page = *project.pages[i];
        if (!page.included) continue;
        PageSource source{
            static_cast<int>(i + 1), JoinStoredPath(project.projectDir, page.path), {}};
        const PathResolver::Result file = resolver.Resolve(page.path);
        if (!file.found && file.skipped) {
            leftOut.push_back(OutputLeftOutWarning(WithNativeSeparators(page.path)));
            continue;
        }
        // A file not found is opened under its stored name, which gives the
        // usual message.
        source.diskPath = file.found ? file.found->path : source.name;
        sources.push_back(std::move(source));
    }
    return sources;
}

std::vector<uint8_t> PageDirectory(const BookProject& project,
                                   const std::vector<PageSource>& pages) {
    std::vector<PageDirEntry> records;
    for (const PageSource& source : pages) {
        const CPieceElem& page = *project.pages[static_cast<size_t>(source.id - 1)];
        PageDirEntry record;
        record.path = page.path;
        for (char& c : record.path)
            if (c == '\\') c = '/';
        record.id = source.id;
        record.inPageSequence = page.inPageSequence;
        record.inSearch = page.inSearch;
        records.push_back(std::move(record));
    }
    return EncodePageDirectory(records);
}

// Reads a whole file; errors name it by name. Throws CFileException, or
// ArchiveLimitError for a file too large for one entry.
FileBytes ReadWholeFile(const PageSource& source) {
    try {
        CFile file(source.diskPath, CFile::modeRead);
        const uint64_t length = file.GetLength();
        if (length > kMaxEntryFileSize)
            throw ArchiveLimitError(source.name +
                                    " is larger than 2 GiB (2,147,483,647 bytes), the most one "
                                    "e-book entry can hold.");
        FileBytes data(static_cast<size_t>(length));
        if (file.Read(data.data(), data.size()) != data.size())
            throw CFileException(CFileException::endOfFile, source.diskPath);
        file.Close();
        return data;
    } catch (CFileException& error) {
        error.m_strFileName = source.name;
        throw;
    }
}

// A file's bytes as a compressed blob. zlib failing for another reason than
// a small buffer is reported like a failure to read the file.
std::vector<uint8_t> CompressFile(const PageSource& source) {
    const FileBytes data = ReadWholeFile(source);
    try {
        return MakeBlob(std::span<const uint8_t>(data.data(), data.size()));
    } catch (const ContainerError&) {
        throw CFileException(CFileException::genericException, source.name);
    }
}

void RemoveQuietly(const std::string& path) {
    try {
        CFile::Remove(path);
    } catch (const CFileException&) {
        // Nothing more to do: the message about the real failure is shown.
    }
}

// After a failure: the temporary file goes and the previous e-book stays.
// Written in place, the file emptied and part-written is a broken program
// and goes too.
void Abandon(FileReplacement& output) {
    if (output.InPlace())
        RemoveQuietly(output.WritePath());
    else
        output.Discard();
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

PageSource SplashSource(const BookProject& project) {
    return PageSource{kIdSplash, project.splashFile, project.splashFile};
}

// One message with the exclamation icon, a sentence a line.
void ShowWarnings(CBookApp& app, const std::vector<std::string>& warnings) {
    if (warnings.empty()) return;
    std::string text;
    for (const std::string& warning : warnings) text += (text.empty() ? "" : "\n") + warning;
    app.GetPrompts().ShowMessage(text, MsgButtons::OK, MsgIcon::Exclamation);
}

// The archive after the stub (pages, directory, splash, settings, texts,
// marker) as the writer makes it, all entries in memory until the end: for
// a stub that already ends in an archive, which is merged.
void WriteArchiveInMemory(const BookProject& project, const std::vector<PageSource>& pages,
                          const std::string& path) {
    CUpdateArchive archive;
    archive.BeginUpdate(path);

    for (const PageSource& page : pages)
        archive.UpdateEntry(kTypePages, page.id, CompressFile(page));
    // With no included page the directory is empty and nothing is stored.
    archive.UpdateEntry(kTypeBook, kIdPageDirectory, PageDirectory(project, pages));

    if (!project.splashFile.empty())
        archive.UpdateEntry(kTypeBook, kIdSplash, CompressFile(SplashSource(project)));

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
                                   const PageSource& source, std::optional<FileStamp>& stamp) {
    stamp = StampOfFile(source.diskPath);
    if (stamp && *stamp == seen.stamp) {
        if (auto blob = cache.Load(seen.digest, stamp->size))
            return {std::move(*blob), seen.digest};
    }
    const FileBytes data = ReadWholeFile(source);  // changed since, or its entry is gone
    const std::span<const uint8_t> bytes(data.data(), data.size());
    BlobPipeline::Made made;
    made.key = Sha256Of(bytes);
    made.blob = cache.BlobFor(made.key, bytes);
    return made;
}

// The memo knows each file by its name, which stays the same whichever
// spelling on disk it is read from.
Submitted SubmitFile(BlobPipeline& pipeline, BlobCache* cache, const DigestMemo* memo,
                     const PageSource& source) {
    Submitted submitted;
    if (memo) {
        submitted.stamp = std::make_shared<std::optional<FileStamp>>();
        if (const DigestMemo::Record* seen = memo->Seen(source.name)) {
            submitted.bytes = seen->stamp.size;
            pipeline.Submit([cache, seen, &source, stamp = submitted.stamp] {
                return BlobOfKnownFile(*cache, *seen, source, *stamp);
            });
            return submitted;
        }
        *submitted.stamp = StampOfFile(source.diskPath);
    }
    FileBytes data = ReadWholeFile(source);
    submitted.bytes = data.size();
    pipeline.Submit(std::move(data));
    return submitted;
}

// The blob of the oldest file handed to the pipeline, its digest
// remembered for the next build.
std::vector<uint8_t> TakeBlob(BlobPipeline& pipeline, DigestMemo* memo, const PageSource& source,
                              const Submitted& submitted) {
    BlobPipeline::Made made;
    try {
        made = pipeline.Next();
    } catch (const ContainerError&) {
        throw CFileException(CFileException::genericException, source.name);
    }
    if (memo && *submitted.stamp) memo->Remember(source.name, **submitted.stamp, made.key);
    return std::move(made.blob);
}

// The archive after a fresh stub, with the same bytes as
// WriteArchiveInMemory: pages are read here in order, compressed by the
// pipeline's workers (or taken from the cache) and written out as soon as
// their turn comes, so memory holds only the few pages in flight. With a
// memo, pages unchanged since the last build are not even read.
void StreamArchive(const BookProject& project, const std::vector<PageSource>& pages,
                   const std::string& path, unsigned threads, BlobCache* cache, DigestMemo* memo) {
    const std::vector<uint8_t> directory = PageDirectory(project, pages);
    std::vector<ArchiveStream::TypePlan> plan;
    if (!pages.empty()) plan.push_back({kTypePages, static_cast<uint32_t>(pages.size())});
    const uint32_t bookEntries =
        (directory.empty() ? 0 : 1) + (project.splashFile.empty() ? 0 : 1) + 8;
    plan.push_back({kTypeBook, bookEntries});
    ArchiveStream archive(path, std::move(plan));

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
        archive.Add(kTypePages, page->id, TakeBlob(pipeline, memo, *page, submitted));
        waitingBytes -= submitted.bytes;
        waiting.pop_front();
    };
    for (const PageSource& page : pages) {
        // Room is made before the next file is read, so that reading it
        // is the last thing held in memory beyond the bound.
        while (!waiting.empty() && waiting.size() >= maxWaiting) writeOldest();
        Submitted submitted = SubmitFile(pipeline, cache, memo, page);
        waitingBytes += submitted.bytes;
        waiting.emplace_back(&page, std::move(submitted));
        while (waiting.size() > 1 && waitingBytes > maxWaitingBytes) writeOldest();
    }
    while (!waiting.empty()) writeOldest();

    if (!directory.empty()) archive.Add(kTypeBook, kIdPageDirectory, directory);
    if (!project.splashFile.empty()) {
        const PageSource source = SplashSource(project);
        const Submitted splash = SubmitFile(pipeline, cache, memo, source);
        archive.Add(kTypeBook, kIdSplash, TakeBlob(pipeline, memo, source, splash));
    }
    archive.Add(kTypeBook, kIdSettings, EncodeSettings(SettingsOf(project)));
    for (const auto& [id, text] : TextsOf(project)) archive.Add(kTypeBook, id, EncodeText(*text));
    archive.Add(kTypeBook, kIdMarker, kBookMarker);
    archive.Finish();
}

// The archive after the stub in the file at path. The file is closed when
// this returns or throws.
void WriteArchive(const BookProject& project, const std::vector<PageSource>& pages,
                  const std::string& path, std::span<const uint8_t> stub, unsigned threads,
                  const std::optional<std::string>& cacheFolder) {
    // A stub ending in a trailer carries an archive, which the writer
    // loads and merges; only a fresh one can be streamed.
    if (EndsWithArchiveTrailer(stub)) {
        WriteArchiveInMemory(project, pages, path);
        return;
    }
    const std::string folder = cacheFolder.value_or(BlobCache::DefaultFolder());
    if (folder.empty()) {
        StreamArchive(project, pages, path, threads, nullptr, nullptr);
        return;
    }
    BlobCache cache(folder);
    DigestMemo memo(DigestMemo::PathFor(folder, project.projectDir), StampClockNowNs());
    StreamArchive(project, pages, path, threads, &cache, &memo);
    memo.Save();
    if (cache.Stored() > 0) cache.Trim();
}

// Writes the viewer stub into the file the build writes. False after the
// message.
bool WriteStub(CBookApp& app, FileReplacement& output) {
    CFile out;
    try {
        // A file someone else holds, or that may not be written, is found
        // here and stays as it is.
        output.Begin(out);
    } catch (const CFileException& error) {
        app.ReportFileError(kCannotSave, error);
        return false;
    }
    try {
        out.Write(app.viewerStub.data(), app.viewerStub.size());
        out.Close();
        return true;
    } catch (const CFileException& error) {
        out.Abort();
        app.ReportFileError(kCannotSave, output.NamedForTarget(error));
        Abandon(output);
        return false;
    }
}

// The message after a failure while writing the archive, naming the file
// as the author knows it.
template <class Error>
int ReportArchiveFailure(CBookApp& app, FileReplacement& output, const Error& error) {
    const Error named = output.NamedForTarget(error);
    app.ReportFileError(kCannotRead + named.m_strFileName, named);
    Abandon(output);
    return 0;
}

// What must hold before anything is written. False after the message.
bool CanBuild(CBookApp& app) {
    const size_t entries = app.project.pages.size();
    if (entries > kMaxProjectEntries) {
        app.GetPrompts().ShowMessage(std::string(kCannotBuild) + "the project has " +
                                         std::to_string(entries) +
                                         " files, more than the 65,535 an e-book can hold.",
                                     MsgButtons::OK, MsgIcon::Stop);
        return false;
    }
    if (app.viewerStub.empty()) {
        app.GetPrompts().ShowMessage(std::string(kCannotBuild) +
                                         "no viewer program is available to put at "
                                         "the start of the e-book.",
                                     MsgButtons::OK, MsgIcon::Stop);
        return false;
    }
    return true;
}

}  // namespace

int BuildEBook(CBookApp& app, std::vector<std::string>* warnings) {
    BookProject& project = app.project;
    WaitCursor wait(app.GetPrompts());
    if (!CanBuild(app)) return 0;

    // Everything is written to a temporary file beside the output, which
    // replaces the output only once the book is complete: a failure on the
    // way leaves the previous e-book as it was.
    FileReplacement output(project.ebookFile, kBuildingSuffix);
    if (!WriteStub(app, output)) return 0;

    // Taken now that the file being written exists, so that an entry that
    // is that file, or the e-book it replaces, is recognised.
    std::vector<std::string> leftOut;
    const std::vector<PageSource> pages = IncludedPages(
        project, {KnownFile(output.FinalPath()), KnownFile(output.WritePath())}, leftOut);
    if (warnings)
        warnings->insert(warnings->end(), leftOut.begin(), leftOut.end());
    else
        ShowWarnings(app, leftOut);

    try {
        WriteArchive(project, pages, output.WritePath(), app.viewerStub, app.buildThreads,
                     app.blobCacheFolder);
    } catch (const CFileException& error) {
        return ReportArchiveFailure(app, output, error);
    } catch (const CArchiveException& error) {
        return ReportArchiveFailure(app, output, error);
    } catch (const ArchiveLimitError& error) {
        app.GetPrompts().ShowMessage(kCannotBuild + std::string(error.what()), MsgButtons::OK,
                                     MsgIcon::Stop);
        Abandon(output);
        return 0;
    }

    // A failed icon step still leaves a complete book, with the viewer's
    // own icon: it replaces the output all the same.
    const int result = ReplaceIcon(app, output.WritePath());
    try {
        output.Commit();
    } catch (const CFileException& error) {
        app.ReportFileError(kCannotSave, error);
        output.Discard();
        return 0;
    }
    return result;
}

std::vector<std::string> FilesWrittenByBuild(const std::string& ebookFile) {
    return {ebookFile, FileReplacement::TemporaryPathFor(ebookFile, kBuildingSuffix)};
}

}  // namespace folivex
