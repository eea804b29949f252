#include "platform/Exceptions.h"

#include <array>
#include <cstddef>

#include "platform/Utf8.h"

namespace folivex {

namespace {

constexpr std::array<const char*, 15> kFileErrorTexts{
    "No error occurred.",
    "An unknown error occurred while accessing %1.",
    "%1 was not found.",
    "%1 contains an invalid path.",
    "%1 could not be opened because there are too many open files.",
    "Access to %1 was denied.",
    "An invalid file handle was associated with %1.",
    "%1 could not be removed because it is the current directory.",
    "%1 could not be created because the directory is full.",
    "Seek failed on %1",
    "A hardware I/O error was reported while accessing %1.",
    "A sharing violation occurred while accessing %1.",
    "A locking violation occurred while accessing %1.",
    "Disk full while accessing %1.",
    "An attempt was made to access %1 past its end.",
};

constexpr std::array<const char*, 8> kArchiveErrorTexts{
    "No error occurred.",
    "An unknown error occurred while accessing %1.",
    "An attempt was made to write to the reading %1.",
    "An attempt was made to access %1 past its end.",
    "An attempt was made to read from the writing %1.",
    "%1 has a bad format.",
    "%1 contained an unexpected object.",
    "%1 contains an incorrect schema.",
};

constexpr size_t kMaxDescription = 255;

}  // namespace

const char* CException::what() const noexcept {
    try {
        m_what = Description();
    } catch (...) {
        return "file error";
    }
    return m_what.c_str();
}

const char* FileErrorText(int cause) {
    if (cause < 0 || static_cast<size_t>(cause) >= kFileErrorTexts.size())
        return kFileErrorTexts[CFileException::genericException];
    return kFileErrorTexts[static_cast<size_t>(cause)];
}

const char* ArchiveErrorText(int cause) {
    if (cause < 0 || static_cast<size_t>(cause) >= kArchiveErrorTexts.size())
        return kArchiveErrorTexts[CArchiveException::genericException];
    return kArchiveErrorTexts[static_cast<size_t>(cause)];
}

std::string InsertFileName(const std::string& text, const std::string& fileName) {
    const std::string& name = fileName.empty() ? std::string("an unnamed file") : fileName;
    std::string out;
    out.reserve(text.size() + name.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
            out += name;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CFileException::Description() const {
    return InsertFileName(FileErrorText(m_cause), m_strFileName);
}

std::string CArchiveException::Description() const {
    return InsertFileName(ArchiveErrorText(m_cause), m_strFileName);
}

std::string FileErrorMessage(const std::string& prefix, const CException& error) {
    std::string description = error.Description();
    if (description.size() > kMaxDescription) {
        // A UTF-8 description is cut at a character boundary, never inside one.
        const bool utf8 = IsValidUtf8(description);
        size_t cut = kMaxDescription;
        if (utf8)
            while (cut > 0 && (static_cast<unsigned char>(description[cut]) & 0xC0) == 0x80) --cut;
        description.resize(cut);
    }
    return prefix + "\n" + description;
}

}  // namespace folivex
