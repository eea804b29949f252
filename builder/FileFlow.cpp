#include "builder/FileFlow.h"

#include "builder/EarlierBook.h"
#include "builder/LinkMemo.h"
#include "builder/LinkReport.h"
#include "format/ArchiveStream.h"
#include "format/Container.h"
#include "format/Crc32.h"
#include "format/UpdateArchive.h"
#include "platform/File.h"
#include "platform/FileStamp.h"
#include "platform/Path.h"
#include "project/BookProject.h"

namespace folivex {

namespace {

// A blob states its length as an int32.
constexpr uint64_t kMaxEntryFileSize = 0x7FFFFFFF;

// A file the last build saw goes to a worker with others up to these
// bounds, so that a rebuild, whose files are mostly copied from the earlier
// book in microseconds, spends its time on them rather than on handing
// each over between threads.
constexpr size_t kMaxGroupFiles = 32;
constexpr uint64_t kMaxGroupBytes = 256 << 10;

// Reads a whole file, its bytes taken from budget when given; errors name
// it by name. Throws CFileException, or ArchiveLimitError for a file too
// large for one entry.
FileBytes ReadWholeFile(const PageSource& source, BlobPipeline::Budget* budget = nullptr) {
    try {
        CFile file(source.diskPath, CFile::modeRead);
        const uint64_t length = file.LengthWhenOpened();
        if (length > kMaxEntryFileSize)
            throw ArchiveLimitError(source.name +
                                    " is larger than 2 GiB (2,147,483,647 bytes), the most one "
                                    "e-book entry can hold.");
        if (budget) budget->Take(length);
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

// Bytes as a compressed blob. zlib failing for another reason than a small
// buffer is reported like a failure to read the file.
std::vector<uint8_t> BlobOf(const PageSource& source, const FileBytes& data) {
    try {
        return MakeBlob(std::span<const uint8_t>(data.data(), data.size()));
    } catch (const ContainerError&) {
        throw CFileException(CFileException::genericException, source.name);
    }
}

// Whether the link report, when there is one, reads this file: a page or a
// style sheet.
bool LinksRead(const LinkReport* links, const PageSource& source) {
    return links && source.entry >= 0 && links->Reads(static_cast<size_t>(source.entry));
}

void TellLinks(LinkReport* links, const PageSource& source, std::span<const uint8_t> bytes) {
    if (LinksRead(links, source)) links->Add(static_cast<size_t>(source.entry), bytes);
}

// Hands the link report what this blob's references came to at the last
// build, else what it read in it then; false when the link memo holds
// neither.
bool TellLinksFromMemo(const BlobSources& sources, const PageSource& source,
                       const BuildMemo::Record& seen) {
    if (sources.linkMemo == nullptr) return false;
    const auto entry = static_cast<size_t>(source.entry);
    const std::string& stored = sources.links->File(entry).stored;
    std::optional<PageVerdicts> verdicts =
        sources.linkMemo->FindVerdicts(stored, seen.blob.crc, seen.blob.length);
    if (verdicts && sources.links->Restore(entry, std::move(*verdicts))) return true;
    std::optional<html::PageReferences> found =
        sources.linkMemo->Find(stored, seen.blob.crc, seen.blob.length);
    if (!found) return false;
    sources.links->Restore(entry, std::move(*found));
    return true;
}

// Stamps a file for the memo; its record when the stamp is the one the last
// build saw.
const BuildMemo::Record* StampFile(const QueuedFile& file, BlobPipeline::Blob& made) {
    made.stamp = StampOfFile(file.source->diskPath);
    made.stampAsSeen = file.seen && made.stamp && *made.stamp == file.seen->stamp;
    return made.stampAsSeen ? file.seen : nullptr;
}

// Takes a file's blob from the earlier book without the file being read:
// the link report takes what it read in this blob last time, else reads
// the blob.
void TakeEarlierBlob(const PageSource& source, const BlobSources& sources,
                     const BuildMemo::Record& seen, std::vector<uint8_t> blob,
                     BlobPipeline::Blob& made) {
    if (LinksRead(sources.links, source) && !TellLinksFromMemo(sources, source, seen))
        TellLinks(sources.links, source, InflateBlob(blob));
    made.blob = std::move(blob);
    made.fileBytes = made.stamp->size;
    made.blobCrc = seen.blob.crc;
}

// Reads the file and compresses it.
void ReadFileBlob(const PageSource& source, const BlobSources& sources,
                  BlobPipeline::Budget& budget, BlobPipeline::Blob& made) {
    const FileBytes data = ReadWholeFile(source, &budget);
    TellLinks(sources.links, source, std::span<const uint8_t>(data.data(), data.size()));
    made.fileBytes = data.size();
    made.blob = BlobOf(source, data);
    if (sources.memo) made.blobCrc = Crc32(made.blob);
}

// What a worker makes of a group of included files: with a memo each file
// is stamped first, and the blobs of those whose stamps are the ones the
// last build saw come from the earlier book, read together, without the
// files being opened; the others (and those whose blob is not sound) are
// read and compressed.
BlobPipeline::Made MakeGroupBlobs(std::span<const QueuedFile> group, const BlobSources& sources,
                                  BlobPipeline::Budget& budget) {
    BlobPipeline::Made made(group.size());
    std::vector<const BuildMemo::Record*> seen(group.size(), nullptr);
    std::vector<EarlierBook::Wanted> wanted(group.size());  // length 0: not wanted
    uint64_t wantedBytes = 0;
    for (size_t i = 0; sources.memo && i < group.size(); ++i) {
        seen[i] = StampFile(group[i], made[i]);
        if (sources.earlier && seen[i]) {
            wanted[i] = {seen[i]->blob, made[i].stamp->size};
            wantedBytes += seen[i]->blob.length;
        }
    }
    std::vector<std::optional<std::vector<uint8_t>>> earlier(group.size());
    if (wantedBytes > 0) {
        budget.Take(wantedBytes);
        earlier = sources.earlier->Blobs(wanted);
    }
    for (size_t i = 0; i < group.size(); ++i) {
        if (earlier[i])
            TakeEarlierBlob(*group[i].source, sources, *seen[i], std::move(*earlier[i]), made[i]);
        else
            ReadFileBlob(*group[i].source, sources, budget, made[i]);
    }
    return made;
}

}  // namespace

std::vector<uint8_t> CompressFile(const PageSource& source, LinkReport* links) {
    const FileBytes data = ReadWholeFile(source);
    TellLinks(links, source, std::span<const uint8_t>(data.data(), data.size()));
    return BlobOf(source, data);
}

std::optional<html::PageReferences> ReferencesInEarlierBook(const BuildMemo& memo,
                                                            const EarlierBook* earlier,
                                                            const BookProject& project,
                                                            const std::string& stored,
                                                            std::pair<uint32_t, uint32_t> blob) {
    const BuildMemo::Record* seen = memo.Seen(JoinStoredPath(project.projectDir, stored));
    if (earlier == nullptr || seen == nullptr || seen->blob.crc != blob.first ||
        seen->blob.length != blob.second)
        return std::nullopt;
    const auto bytes = earlier->Blob(seen->blob, seen->stamp.size);
    if (!bytes) return std::nullopt;
    return ReferencesIn(stored, InflateBlob(*bytes));
}

QueuedFile FileFlow::Queued(const PageSource& source) const {
    return {&source, m_sources.memo ? m_sources.memo->Seen(source.name) : nullptr};
}

void FileFlow::Submit(const PageSource& source) {
    const QueuedFile file = Queued(source);
    if (!m_sources.earlier || !file.seen || file.seen->stamp.size > kMaxGroupBytes) {
        SubmitAlone(file);
        return;
    }
    m_open.push_back(file);
    m_openBytes += file.seen->stamp.size;
    if (m_open.size() >= kMaxGroupFiles || m_openBytes >= kMaxGroupBytes) Close();
}

void FileFlow::WriteOldest(int type) {
    if (m_waiting.empty()) Close();
    const std::vector<QueuedFile> group = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_waitingFiles -= group.size();
    const BlobPipeline::Made made = m_pipeline.Next([this] { Tell(); });
    for (size_t i = 0; i < group.size(); ++i) Write(type, *group[i].source, made[i]);
}

void FileFlow::Close() {
    if (m_open.empty()) return;
    m_pipeline.Submit([group = m_open, sources = m_sources](BlobPipeline::Budget& budget) {
        return MakeGroupBlobs(group, sources, budget);
    });
    m_waitingFiles += m_open.size();
    m_waiting.push_back(std::move(m_open));
    m_open.clear();
    m_openBytes = 0;
}

void FileFlow::Write(int type, const PageSource& source, const BlobPipeline::Blob& made) {
    const uint64_t offset = m_archive.Add(type, source.id, made.blob);
    if (m_sources.links && m_sources.memo && source.entry >= 0)
        m_sources.links->SetBlob(static_cast<size_t>(source.entry), made.blobCrc,
                                 static_cast<uint32_t>(made.blob.size()));
    if (m_sources.memo && made.stamp)
        m_sources.memo->Remember(source.name, *made.stamp,
                                 {offset, static_cast<uint32_t>(made.blob.size()), made.blobCrc},
                                 made.stampAsSeen);
    ++m_state.filesDone;
    m_state.bytesDone += made.fileBytes;
    Tell();
}

}  // namespace folivex
