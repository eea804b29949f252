// CBookApp: the one application object. It owns the current project, the
// project file name and open flag, the five remembered paths and the working
// values of the icon replacement, and the operations on them that the pages,
// the command-line tool and the build share. Messages go through the prompt
// seam given at construction.
//
// The wizard (CWizardApp, wizard/WizardApp.h) adds start-up, shut-down, the
// settings store and help around this object; the command-line tool uses it
// as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/Exceptions.h"
#include "platform/Prompts.h"
#include "project/BookProject.h"

namespace folivex {

class CBookApp {
public:
    explicit CBookApp(Prompts& prompts);  // runs ResetProject
    CBookApp(const CBookApp&) = delete;
    CBookApp& operator=(const CBookApp&) = delete;
    virtual ~CBookApp() = default;

    Prompts& GetPrompts() { return m_prompts; }

    // Deletes every entry and restores the defaults; keeps author,
    // copyright, url, email, projectFile and the remembered paths.
    void ResetProject();

    // Project file (ProjectFile.cpp). Each returns nonzero on success and
    // reports its own failures ("Cannot save E-Book Project" / "Cannot open
    // E-Book Project"). SaveProject writes through a temporary file in the
    // same folder, so a failed save leaves the previous file intact.
    int SaveProject();
    int SaveProjectAs();
    int OpenProject();

    // One stop-icon message box: prefix, "\n", the error's description cut
    // to 255 characters.
    void ReportFileError(const std::string& prefix, const CException& error);

    BookProject project;

    // What the build (builder/BuildEBook.h) reads besides the project.
    // The viewer stub that BuildEBook writes at the start of every e-book.
    // The programs set it from the stub they carry; tests may set another.
    std::span<const uint8_t> viewerStub;

    // How BuildEBook works, never what it writes: the e-book's bytes are the
    // same for every setting. buildThreads: threads that compress pages (0:
    // one per processor). blobCacheFolder: where compressed pages are kept
    // between builds; unset: BlobCache::DefaultFolder(); empty: no cache.
    unsigned buildThreads = 0;
    std::optional<std::string> blobCacheFolder;

    // Not project data.
    std::string projectFile;
    std::string lastProjectDir;
    std::string lastProjectFile;
    std::string lastIconFile;
    std::string lastSplashFile;
    std::string lastEBookFile;
    int32_t projectOpen = 0;
    uint32_t rsrcFileOffset = 0;
    uint32_t rsrcRva = 0;

private:
    Prompts& m_prompts;
};

}  // namespace folivex
