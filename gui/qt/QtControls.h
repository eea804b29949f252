// QtControls: the controls of a Qt page or dialog as its controller sees
// them (ControlView of wizard/Views.h), found by id.
//
// Each view registers the widgets that stand for its control ids; a text
// goes into a line edit, a multi-line edit (whose "\n" line breaks are
// "\r\n" to the controller), a label or a button, a check state into a
// button. A line edit shows the beginning of a long text, as a freshly
// filled edit does. Nothing set here is reported back as an event.
#pragma once

#include <QWidget>
#include <string>
#include <unordered_map>

#include "wizard/Views.h"

namespace folivex {

void SetControlText(QWidget* control, const std::string& text);
std::string ControlText(const QWidget* control);
void SetControlCheck(QWidget* control, bool checked);
bool ControlCheck(const QWidget* control);

// View is ControlView or an interface derived from it.
template <typename View>
class QtControls : public View {
public:
    void SetText(int id, const std::string& text) override { SetControlText(Find(id), text); }
    std::string GetText(int id) const override { return ControlText(Find(id)); }
    void SetCheck(int id, bool checked) override { SetControlCheck(Find(id), checked); }
    bool GetCheck(int id) const override { return ControlCheck(Find(id)); }
    void Enable(int id, bool enabled) override {
        if (QWidget* control = Find(id)) control->setEnabled(enabled);
    }

protected:
    void Register(int id, QWidget* control) { m_controls[id] = control; }

private:
    QWidget* Find(int id) const {
        const auto found = m_controls.find(id);
        return found != m_controls.end() ? found->second : nullptr;
    }

    std::unordered_map<int, QWidget*> m_controls;
};

}  // namespace folivex
