// What the renderers' pages share: the record of a page titled as the page names itself, with
// its dialog id and owner, and the plain-text labels that show what a device sent (never as
// markup). GUI thread.
#pragma once

#include <QLabel>

#include "ui/rendered_property_page.h"

namespace velk {

template <class Page> HPROPSHEETPAGE RendererPageRecord(const char* title, UnknownPtr owner = nullptr)
{
    PropSheetPage record;
    record.title = title;
    record.template_id = Page::kDialogId;
    record.lParam = std::move(owner);
    return PageRecord<Page>(std::move(record));
}

// A label by object name that shows its text as it is.
inline QLabel* PlainLabel(QWidget* parent, const char* name, const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace velk
