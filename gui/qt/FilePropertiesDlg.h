// CFilePropertiesDlg: "File Properties", the attributes of one file.
//
// Top to bottom: "Make &Home Page" (check1046), "Included in &Project"
// (check1047), "Included in S&earch" (check1050), then OK (button1, the
// default) and Cancel (button2). "Included in &Page Sequence" (check1048)
// exists but is never shown, so its member passes through unchanged. The
// boxes are set from the members when the dialog opens; on OK the members
// take the boxes' states (0 or 1); on Cancel they stay as they were.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QCheckBox;

namespace folivex {

class CFilePropertiesDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFilePropertiesDlg(std::function<void()> showHelp = {}, QWidget* parent = nullptr);

    int exec() override;

    int32_t m_bMakeHomePage = 0;
    int32_t m_bInPageSequence = 0;
    int32_t m_bIncluded = 0;
    int32_t m_bInSearch = 0;

private:
    void DoDataExchange(bool saveAndValidate);

    QCheckBox* m_makeHomePage = nullptr;
    QCheckBox* m_inPageSequence = nullptr;
    QCheckBox* m_included = nullptr;
    QCheckBox* m_inSearch = nullptr;
};

}  // namespace folivex
