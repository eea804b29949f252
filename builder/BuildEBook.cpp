// The build pipeline: viewer stub, then the archive of pages, directory,
// splash, settings, texts and marker, then the icon.
#include <cstring>
#include <limits>

#include "builder/Container.h"
#include "builder/UpdateArchive.h"
#include "platform/File.h"
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
        sources.push_back(PageSource{static_cast<int>(i + 1), JoinStoredPath(project.projectDir, page.path)});
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
std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    CFile file(path, CFile::modeRead);
    const uint64_t length = file.GetLength();
    if (length > kMaxEntryFileSize)
        throw ArchiveLimitError(path + " is larger than 2 GiB (2,147,483,647 bytes), the most one "
                                "e-book entry can hold.");
    std::vector<uint8_t> data(static_cast<size_t>(length));
    if (file.Read(data.data(), data.size()) != data.size())
        throw CFileException(CFileException::endOfFile, path);
    file.Close();
    return data;
}

// A file's bytes as a compressed blob. zlib failing for another reason than
// a small buffer is reported like a failure to read the file.
std::vector<uint8_t> CompressFile(const std::string& path) {
    const std::vector<uint8_t> data = ReadWholeFile(path);
    try {
        return MakeBlob(data);
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

// Steps 3 to 10: the archive after the stub. The writer is gone (its file
// closed) when this returns or throws.
void WriteArchive(const BookProject& project) {
    CUpdateArchive archive;
    archive.BeginUpdate(project.ebookFile);

    for (const PageSource& page : IncludedPages(project))
        archive.UpdateEntry(kTypePages, page.id, CompressFile(page.diskPath));
    // With no included page the directory is empty and nothing is stored.
    archive.UpdateEntry(kTypeBook, kIdPageDirectory, PageDirectory(project));

    if (!project.splashFile.empty())
        archive.UpdateEntry(kTypeBook, kIdSplash, CompressFile(project.splashFile));

    BookSettings settings;
    settings.showAboutAtStart = project.showAboutAtStart;
    settings.startMaximized = project.startMaximized;
    settings.startFullScreen = project.startFullScreen;
    settings.showToolbar = project.showToolbar;
    for (size_t b = 0; b < settings.toolbarButtons.size(); ++b)
        settings.toolbarButtons[b] = project.toolbarButtons[b];
    archive.UpdateEntry(kTypeBook, kIdSettings, EncodeSettings(settings));

    AddText(archive, kIdTitle, project.title);
    AddText(archive, kIdAuthor, project.author);
    AddText(archive, kIdCopyright, project.copyright);
    AddText(archive, kIdUrl, project.url);
    AddText(archive, kIdEmail, project.email);
    AddText(archive, kIdAboutInfo, project.aboutInfo);
    archive.UpdateEntry(kTypeBook, kIdMarker, kBookMarker.data(), kBookMarker.size());

    archive.EndUpdate();
}

}  // namespace

int CBookApp::BuildEBook() {
    WaitCursor wait(GetPrompts());

    if (project.pages.size() > kMaxProjectEntries) {
        GetPrompts().ShowMessage(std::string(kCannotBuild) + "the project has " +
                                     std::to_string(project.pages.size()) +
                                     " files, more than the 65,535 an e-book can hold.",
                                 MsgButtons::OK, MsgIcon::Stop);
        return 0;
    }
    if (viewerStub.empty()) {
        GetPrompts().ShowMessage(std::string(kCannotBuild) + "no viewer program is available to put at "
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
            out.Open(project.ebookFile, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        } catch (const CFileException& error) {
            ReportFileError(kCannotSave, error);
            return 0;
        }
        try {
            out.Write(viewerStub.data(), viewerStub.size());
            out.Close();
        } catch (const CFileException& error) {
            out.Abort();
            ReportFileError(kCannotSave, error);
            RemoveQuietly(project.ebookFile);
            return 0;
        }
    }

    try {
        WriteArchive(project);
    } catch (const CException& error) {
        ReportFileError(kCannotRead + error.m_strFileName, error);
        RemoveQuietly(project.ebookFile);
        return 0;
    } catch (const ArchiveLimitError& error) {
        GetPrompts().ShowMessage(kCannotBuild + std::string(error.what()), MsgButtons::OK, MsgIcon::Stop);
        RemoveQuietly(project.ebookFile);
        return 0;
    }

    return ReplaceIcon();
}

}  // namespace folivex
