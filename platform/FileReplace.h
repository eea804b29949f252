// Writing a file the author may already have, so that a failure never costs
// the old one.
//
// The new bytes go to a temporary file beside the file they replace (its
// name and a suffix, in the same folder, so the rename never crosses
// volumes); only when they are complete does the temporary file take the old
// one's place. Until then the old file is untouched, and a failure removes
// the temporary file.
//
// - Through a symbolic link the file the link leads to is replaced: the
//   temporary file is made beside it and the link stays a link.
// - The new file keeps the permission bits of the one it replaces (and its
//   owner and group where the process may set them); a file that did not
//   exist gets the usual mode of a new file.
// - The old file is held open for writing with exclusive sharing from Begin
//   until it is replaced, so one that someone else holds (a running e-book
//   on Windows) or that may not be written is found before anything is
//   written, and left alone.
// - In a folder that takes no new file (not writable) no temporary file can
//   be made: the file is then written in place, as a plain save would, and a
//   failure part-way leaves it part-written.
//
// Every error thrown names the target as the caller gave it, never the
// temporary file. Opening, closing and renaming go through CFile, so the
// fault seam (FaultInjection.h) reaches them.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "platform/File.h"

namespace folivex {

class FileReplacement {
public:
    // target: the file to write (stored or native form), as messages should
    // name it. suffix: added to the replaced file's name to make the
    // temporary file's (".saving").
    FileReplacement(std::string target, const std::string& suffix);
    // Discards what was not committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Holds the old file if there is one, then opens out on the file to
    // write (created or truncated, with exclusive sharing): the temporary
    // file, or the target itself where no temporary file can be made.
    // Throws CFileException (sharing violation, access denied, not found,
    // ...); nothing on disk has changed then.
    void Begin(CFile& out);

    // Where the bytes go: the temporary file, or the file replaced when
    // written in place. Valid after Begin.
    const std::string& WritePath() const { return m_inPlace ? m_final : m_temporary; }
    // The file that is replaced: the target, or where its link leads.
    const std::string& FinalPath() const { return m_final; }
    bool InPlace() const { return m_inPlace; }

    // Puts the written file (closed by the caller) in the old one's place,
    // with its permission bits; in place there is nothing left to do.
    // Throws CFileException; the old file is then unchanged and the caller
    // should Discard.
    void Commit();

    // Removes the temporary file (if Begin made it and Commit did not move
    // it) and lets go of the old file. Never throws.
    void Discard() noexcept;

    // error, naming the target instead when it names the file written or
    // the file replaced.
    template <class Error>
    Error NamedForTarget(const Error& error) const {
        Error named(error);
        if (named.m_strFileName == m_temporary || named.m_strFileName == m_final)
            named.m_strFileName = m_target;
        return named;
    }

    // The temporary file's path for target, whether it exists or not: a
    // file that the author never made.
    static std::string TemporaryPathFor(const std::string& target, const std::string& suffix);

private:
    std::string m_target;
    std::string m_final;      // native path of the file replaced
    std::string m_temporary;  // native path of the temporary file
    bool m_inPlace = false;
    bool m_ownsTemporary = false;
    CFile m_hold;  // the old file, held while the new one is written
};

// The platform's part (FileReplace_posix.cpp, FileReplace_win32.cpp).

// path (native), with a symbolic link at its end followed to the file it
// leads to, however many links deep; path itself when it is no link.
std::string FollowFileLinks(const std::string& path);

// True when folder (native) takes no new file from this process: not
// writable, or on a read-only volume.
bool FolderRefusesNewFiles(const std::string& folder);

// Writes bytes as the whole new content of target through a
// FileReplacement (suffix as there): the old file stays as it was unless
// every byte was written. Throws CFileException naming target.
void ReplaceFileWith(const std::string& target, const std::string& suffix,
                     std::span<const uint8_t> bytes);
// The same for content too large to hold at once: write puts it into the
// file it is given, piece by piece.
void ReplaceFileWith(const std::string& target, const std::string& suffix,
                     const std::function<void(CFile&)>& write);

// Renames the written file at from over the file at to, which held holds
// open (or not): where the system renames over a file held open, its space
// is freed when held lets go of it, in the background; elsewhere held is
// closed first. Throws CFileException.
void RenameOverHeld(CFile& held, const std::string& from, const std::string& to);

// Gives the file at to the permission bits (and, where the process may, the
// owner and group) of the file at from. Quietly does nothing when from does
// not exist or the system refuses.
void CopyFileMode(const std::string& from, const std::string& to) noexcept;

}  // namespace folivex
