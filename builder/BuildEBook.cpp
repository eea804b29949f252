// The build pipeline: viewer stub, then the archive of pages, directory,
// splash, settings, texts and marker, then the icon.
#include "builder/BuildEBook.h"

#include <cstring>
#include <limits>
#include <optional>

#include "builder/BlobPipeline.h"
#include "builder/BuildMemo.h"
#include "builder/EarlierBook.h"
#include "builder/FileFlow.h"
#include "builder/LinkMemo.h"
#include "builder/LinkReport.h"
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
// Bytes of files read and blobs made that the workers may hold before the
// book's writer takes them (one file always gets through, however large).
constexpr uint64_t kBytesInFlight = 32ull << 20;

// Added to the e-book's name for the file a build writes before it replaces
// the e-book.
constexpr const char* kBuildingSuffix = ".building";

// The included pages in project order, each read from the file the scan
// made its entry of (the first in walk order of the names that differ only
// in case). An entry that is the e-book being written (a file resolver
// skips) is left out, with a warning in leftOut.
std::vector<PageSource> IncludedPages(const BookProject& project, PathResolver& resolver,
                                      std::vector<std::string>& leftOut) {
    std::vector<PageSource> sources;
    const size_t count = project.pages.size();
    for (size_t i = 0; i < count; ++i) {
        const CPieceElem& page = *project.pages[i];
        if (!page.included) continue;
        PageSource source{static_cast<int>(i + 1),
                          JoinStoredPath(project.projectDir, page.path),
                          {},
                          static_cast<long>(i)};
        const PathResolver::Result& file = resolver.Resolve(page.path);
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
                          const std::string& path, LinkReport* links) {
    CUpdateArchive archive;
    archive.BeginUpdate(path);

    for (const PageSource& page : pages)
        archive.UpdateEntry(kTypePages, page.id, CompressFile(page, links));
    // With no included page the directory is empty and nothing is stored.
    archive.UpdateEntry(kTypeBook, kIdPageDirectory, PageDirectory(project, pages));

    if (!project.splashFile.empty())
        archive.UpdateEntry(kTypeBook, kIdSplash, CompressFile(SplashSource(project), nullptr));

    archive.UpdateEntry(kTypeBook, kIdSettings, EncodeSettings(SettingsOf(project)));
    for (const auto& [id, text] : TextsOf(project)) AddText(archive, id, *text);
    archive.UpdateEntry(kTypeBook, kIdMarker, kBookMarker.data(), kBookMarker.size());

    archive.EndUpdate();
}

// The archive after a fresh stub, with the same bytes as
// WriteArchiveInMemory: each file is read and compressed on a worker (or,
// unchanged since the last build, taken from the earlier book) and written
// out as soon as its turn comes, so memory holds only the few files in
// flight.
void StreamArchive(const BookProject& project, const std::vector<PageSource>& pages,
                   const std::string& path, unsigned threads, BlobSources sources,
                   const BuildProgressFn& progress) {
    const std::vector<uint8_t> directory = PageDirectory(project, pages);
    std::vector<ArchiveStream::TypePlan> plan;
    if (!pages.empty()) plan.push_back({kTypePages, static_cast<uint32_t>(pages.size())});
    const uint32_t bookEntries =
        (directory.empty() ? 0 : 1) + (project.splashFile.empty() ? 0 : 1) + 8;
    plan.push_back({kTypeBook, bookEntries});
    ArchiveStream archive(path, std::move(plan));

    // Declared before the pipeline, whose workers may still be reading it
    // while a failure unwinds: the pipeline stops them first.
    const PageSource splash = SplashSource(project);
    BlobPipeline pipeline(threads, kBytesInFlight);
    FileFlow flow(pipeline, archive, sources, pages.size() + (project.splashFile.empty() ? 0 : 1),
                  progress);
    // Files waiting for their turn keep the workers busy while a large one
    // at the head is still being compressed: as many as the budget lets the
    // workers hold. With one thread their number bounds the memory.
    const size_t maxWaiting = pipeline.Threads() == 1 ? 16 : 1024;
    for (const PageSource& page : pages) {
        while (flow.Waiting() >= maxWaiting) flow.WriteOldest(kTypePages);
        flow.Submit(page);
    }
    // The splash is read while the last pages are written.
    if (!project.splashFile.empty()) flow.SubmitAlone(splash);
    while (flow.Waiting() > (project.splashFile.empty() ? 0 : 1)) flow.WriteOldest(kTypePages);

    if (!directory.empty()) archive.Add(kTypeBook, kIdPageDirectory, directory);
    if (!project.splashFile.empty()) flow.WriteOldest(kTypeBook);
    archive.Add(kTypeBook, kIdSettings, EncodeSettings(SettingsOf(project)));
    for (const auto& [id, text] : TextsOf(project)) archive.Add(kTypeBook, id, EncodeText(*text));
    archive.Add(kTypeBook, kIdMarker, kBookMarker);
    archive.Finish();
}

// What a build learns for the next one, saved once the book has its place.
struct Learnt {
    std::optional<BuildMemo> memo;  // set when there is a cache folder
    LinkMemo linkMemo;              // what the link report read at the last build
};

// The archive after the stub in the file at path. The file
// is closed when this returns or throws.
void WriteArchive(const BookProject& project, const std::vector<PageSource>& pages,
                  const std::string& path, std::span<const uint8_t> stub, const CBookApp& app,
                  bool mayReadEarlierBook, const BuildProgressFn& progress, LinkReport* links,
                  Learnt& learnt) {
    const std::string folder = app.blobCacheFolder.value_or(BuildMemo::DefaultFolder());
    // A stub ending in a trailer carries an archive, which the writer
    // loads and merges; only a fresh one can be streamed.
    const bool merged = EndsWithArchiveTrailer(stub);
    // Without a memo nothing of the report is kept for the next build.
    if (links && (folder.empty() || merged)) links->KeepOnlyFindings();
    if (merged) {
        WriteArchiveInMemory(project, pages, path, links);
        return;
    }
    if (folder.empty()) {
        StreamArchive(project, pages, path, app.buildThreads, {nullptr, nullptr, links}, progress);
        return;
    }
    std::optional<BuildMemo>& memo = learnt.memo;
    memo.emplace(BuildMemo::PathFor(folder, project.projectDir), StampClockNowNs());
    // Written in place, the earlier book is the file being written.
    const std::unique_ptr<EarlierBook> earlier =
        mayReadEarlierBook ? EarlierBook::Open(memo->BookPath(), memo->BookStamp()) : nullptr;
    if (links && earlier) learnt.linkMemo = LinkMemo::Load(memo->Path());
    StreamArchive(project, pages, path, app.buildThreads,
                  {&*memo, earlier.get(), links, &learnt.linkMemo}, progress);
    // Settled now, while the memo and the earlier book can still give what
    // a restored page holds, so that what the pages came to is kept too.
    if (links)
        links->Settle([&](const std::string& stored, uint32_t blobCrc, uint32_t blobLength) {
            if (auto found = learnt.linkMemo.Find(stored, blobCrc, blobLength)) return found;
            return ReferencesInEarlierBook(*memo, earlier.get(), project, stored,
                                           {blobCrc, blobLength});
        });
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

int BuildEBook(CBookApp& app, std::vector<std::string>* warnings, const BuildProgressFn& progress,
               LinkReport* links, PathResolver* found) {
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
    std::optional<PathResolver> own;
    if (found)
        found->AlsoSkip(KnownFile(output.WritePath()));
    else
        own.emplace(project.projectDir,
                    std::vector{KnownFile(output.FinalPath()), KnownFile(output.WritePath())});
    PathResolver& resolver = found ? *found : *own;
    std::vector<std::string> leftOut;
    const std::vector<PageSource> pages = IncludedPages(project, resolver, leftOut);
    // The folder is listed once for both.
    if (links) {
        *links = LinkReportFor(project, resolver);
        links->SetThreads(app.buildThreads);
    }
    if (warnings)
        warnings->insert(warnings->end(), leftOut.begin(), leftOut.end());
    else
        ShowWarnings(app, leftOut);

    Learnt learnt;
    try {
        WriteArchive(project, pages, output.WritePath(), app.viewerStub, app, !output.InPlace(),
                     progress, links, learnt);
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
    // Only now is the book where the next build will look for it.
    if (BuildMemo* memo = learnt.memo ? &*learnt.memo : nullptr) {
        const std::string folder = app.blobCacheFolder.value_or(BuildMemo::DefaultFolder());
        const uint64_t replaced = memo->FileBytes();
        BuildMemo::TrimFolder(folder, memo->Save(output.FinalPath()), replaced);
        if (links) learnt.linkMemo.Save(memo->Path(), *links);
    }
    return result;
}

std::vector<std::string> FilesWrittenByBuild(const std::string& ebookFile) {
    return {ebookFile, FileReplacement::TemporaryPathFor(ebookFile, kBuildingSuffix)};
}

}  // namespace folivex
