// CPieceElem: one file of the project folder (one page entry).
//
// Stored in the project file as an object of class "CPieceElem", schema 1,
// whose fields are path (string), inPageSequence, inSearch, included (int32
// each). foundInScan is a transient mark of the folder scan, never stored.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Archive.h"

namespace folivex {

class CPieceElem : public CObject {
public:
    static const CRuntimeClass classCPieceElem;

    CPieceElem() = default;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCPieceElem; }
    // Writes or reads the four stored fields, in file order.
    void Serialize(CArchive& ar) override;

    std::string path;  // relative to projectDir, lower case, "\" separators
    int32_t inPageSequence = 1;
    int32_t included = 1;
    int32_t inSearch = 0;
    int32_t foundInScan = 0;
};

}  // namespace folivex
