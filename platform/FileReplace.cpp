#include "platform/FileReplace.h"

#include "platform/Path.h"

namespace folivex {

namespace {

// The folder a native path is in; "." for a bare name.
std::string FolderOf(const std::string& path) {
    size_t end = path.size();
    while (end > 0 && !IsPathSeparator(path[end - 1])) --end;
    if (end == 0) return ".";
    return path.substr(0, end == 1 ? 1 : end - 1);
}

}  // namespace

FileReplacement::FileReplacement(std::string target, const std::string& suffix)
    : m_target(std::move(target)) {
    if (m_target.empty()) return;  // Begin reports it, as opening it would
    m_final = FollowFileLinks(NativePath(m_target));
    m_temporary = m_final + suffix;
}

FileReplacement::~FileReplacement() {
    Discard();
}

std::string FileReplacement::TemporaryPathFor(const std::string& target,
                                              const std::string& suffix) {
    return FollowFileLinks(NativePath(target)) + suffix;
}

void FileReplacement::Begin(CFile& out) {
    if (m_final.empty()) throw CFileException(CFileException::fileNotFound, m_target);
    const unsigned writeFlags = CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive;
    try {
        if (CFile::Exists(m_final))
            m_hold.Open(m_final, CFile::modeReadWrite | CFile::shareExclusive);
        try {
            out.Open(m_temporary, writeFlags);
            m_ownsTemporary = true;
        } catch (const CFileException& error) {
            // A name too long once the suffix is added, or a folder that
            // takes no new file: the old way, in place, is the only way.
            const bool noTemporary = error.m_cause == CFileException::badPath ||
                                     (error.m_cause == CFileException::accessDenied &&
                                      FolderRefusesNewFiles(FolderOf(m_final)));
            if (!noTemporary) throw;
            m_hold.Abort();  // its lock would keep the open below out
            m_inPlace = true;
            out.Open(m_final, writeFlags);
        }
    } catch (const CFileException& error) {
        m_hold.Abort();
        throw NamedForTarget(error);
    }
}

void FileReplacement::Commit() {
    if (m_inPlace) return;
    try {
        if (m_hold.IsOpen()) CopyFileMode(m_final, m_temporary);
        RenameOverHeld(m_hold, m_temporary, m_final);
        m_ownsTemporary = false;
    } catch (const CFileException& error) {
        throw NamedForTarget(error);
    }
}

void FileReplacement::Discard() noexcept {
    m_hold.Abort();
    if (!m_ownsTemporary) return;
    m_ownsTemporary = false;
    try {
        CFile::Remove(m_temporary);
    } catch (const CException&) {
        // Nothing more can be done about a leftover temporary file; the
        // next write of the same file takes it over.
    }
}

void ReplaceFileWith(const std::string& target, const std::string& suffix,
                     std::span<const uint8_t> bytes) {
    ReplaceFileWith(target, suffix, [bytes](CFile& out) { out.Write(bytes.data(), bytes.size()); });
}

void ReplaceFileWith(const std::string& target, const std::string& suffix,
                     const std::function<void(CFile&)>& write) {
    FileReplacement file(target, suffix);
    CFile out;
    file.Begin(out);
    try {
        write(out);
        out.Close();
    } catch (const CFileException& error) {
        out.Abort();
        throw file.NamedForTarget(error);
    }
    file.Commit();  // a failure leaves the old file; the destructor discards ours
}

}  // namespace folivex
