#include "wizard/ShownTexts.h"

#include "platform/Utf8.h"

namespace folivex {

void ShownTexts::Show(ControlView& view, int id, const std::string& field) {
    view.SetText(id, ToUtf8(field));
    m_shown[id] = view.GetText(id);
}

void ShownTexts::Copy(const ControlView& view, int id, std::string& field) const {
    std::string text = view.GetText(id);
    const auto shown = m_shown.find(id);
    if (shown != m_shown.end() && shown->second == text) return;
    field = std::move(text);
}

}  // namespace folivex
