#include "project/PieceElem.h"

namespace folivex {

namespace {
std::unique_ptr<CObject> CreatePieceElem() {
    return std::make_unique<CPieceElem>();
}
}  // namespace

// The class name and schema are written into every project file.
const CRuntimeClass CPieceElem::classCPieceElem{"CPieceElem", 1, &CreatePieceElem, nullptr};

void CPieceElem::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteString(path);
        ar.WriteI32(inPageSequence);
        ar.WriteI32(inSearch);
        ar.WriteI32(included);
    } else {
        path = ar.ReadString();
        inPageSequence = ar.ReadI32();
        inSearch = ar.ReadI32();
        included = ar.ReadI32();
    }
}

}  // namespace folivex
