// The project file (.ebp): SaveProject, SaveProjectAs and OpenProject.
#include <memory>

#include "platform/Archive.h"
#include "platform/File.h"
#include "platform/FileReplace.h"
#include "project/BookApp.h"

namespace folivex {

namespace {

constexpr int32_t kProjectSignature = 0x00010003;
constexpr size_t kArchiveBuffer = 4096;
constexpr const char* kSaveError = "Cannot save E-Book Project";
constexpr const char* kOpenError = "Cannot open E-Book Project";
constexpr const char* kSaveFilter = "E-Book Project Files (*.ebp)|*.ebp|All Files (*.*)|*.*||";

void StoreProject(CArchive& ar, const BookProject& p) {
    ar.WriteI32(kProjectSignature);
    ar.WriteU32(static_cast<uint32_t>(p.pages.size()));
    for (const auto& entry : p.pages) ar.WriteObject(*entry);
    for (const std::string* s : {&p.title, &p.author, &p.copyright, &p.url, &p.email, &p.aboutInfo,
                                 &p.splashFile, &p.iconFile, &p.ebookFile, &p.projectDir})
        ar.WriteString(*s);
    ar.WriteI32(p.showAboutAtStart);
    ar.WriteI32(p.startMaximized);
    ar.WriteI32(p.startFullScreen);
    ar.WriteI32(p.showToolbar);
    for (int32_t flag : p.toolbarButtons) ar.WriteI32(flag);
}

// Reads everything after the signature. Entries and fields are put into the
// project as they are read, so a failure keeps what came before it.
void LoadProjectBody(CArchive& ar, BookProject& p) {
    // No reserve(count): the count is untrusted, and every record takes
    // bytes of the file, so the loop ends at the file's end.
    const uint32_t count = ar.ReadU32();
    for (uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<CObject> obj = ar.ReadObject(&CPieceElem::classCPieceElem);
        p.pages.emplace_back(static_cast<CPieceElem*>(obj.release()));
    }
    for (std::string* s : {&p.title, &p.author, &p.copyright, &p.url, &p.email, &p.aboutInfo,
                           &p.splashFile, &p.iconFile, &p.ebookFile, &p.projectDir})
        *s = ar.ReadString();
    p.showAboutAtStart = ar.ReadI32();
    p.startMaximized = ar.ReadI32();
    p.startFullScreen = ar.ReadI32();
    p.showToolbar = ar.ReadI32();
    for (int32_t& flag : p.toolbarButtons) flag = ar.ReadI32();
}

// Added to the project file's name for the temporary file a save writes
// before it replaces the project file.
constexpr const char* kSavingSuffix = ".saving";

}  // namespace

int CBookApp::SaveProject() {
    if (!projectOpen) return 1;

    // Errors name the project file, never the temporary one. The file
    // written is closed (out leaves scope) before a failure discards it.
    FileReplacement replacement(projectFile, kSavingSuffix);
    try {
        CFile out;
        replacement.Begin(out);
        CArchive ar(out, CArchive::store, kArchiveBuffer);
        StoreProject(ar, project);
        ar.Close();
        out.Flush();
        out.Close();
        replacement.Commit();
        return 1;
    } catch (const CFileException& error) {
        replacement.Discard();
        ReportFileError(kSaveError, replacement.NamedForTarget(error));
        return 0;
    } catch (const CArchiveException& error) {
        replacement.Discard();
        ReportFileError(kSaveError, replacement.NamedForTarget(error));
        return 0;
    }
}

int CBookApp::SaveProjectAs() {
    if (!projectOpen) return 1;

    FileDialogRequest request;
    request.save = true;
    request.initialName = lastProjectFile;
    request.defaultExt = "ebp";
    request.filter = kSaveFilter;
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;

    std::optional<std::string> chosen = m_prompts.PickFile(request);
    while (chosen) {
        projectFile = *chosen;
        lastProjectFile = projectFile;
        if (SaveProject()) return 1;
        if (m_prompts.ShowMessage("Do you want to save the project to other file?",
                                  MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
            return 0;
        request.initialName = projectFile;
        chosen = m_prompts.PickFile(request);
    }
    return 0;
}

int CBookApp::OpenProject() {
    CFile in;
    try {
        in.Open(projectFile, CFile::modeRead);
    } catch (const CException& error) {
        // Not opened: the project in memory stays as it was.
        ReportFileError(kOpenError, error);
        return 0;
    }

    ResetProject();
    try {
        CArchive ar(in, CArchive::load, kArchiveBuffer, {&CPieceElem::classCPieceElem});
        if (ar.ReadI32() != kProjectSignature) {
            m_prompts.ShowMessage("Old version of the .EBP file. Please regenerate.",
                                  MsgButtons::OK, MsgIcon::Stop);
            return 0;
        }
        LoadProjectBody(ar, project);
        ar.Close();
        in.Close();
        return 1;
    } catch (const CException& error) {
        ReportFileError(kOpenError, error);
        return 0;
    }
}

}  // namespace folivex
