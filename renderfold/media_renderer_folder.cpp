#include "renderfold/media_renderer_folder.h"

#include <QCoreApplication>
#include <QPointer>

namespace velk {

CMediaRendererFolder::CMediaRendererFolder(QObject* parent) : QObject(parent), finder_(renderers_) {}

CMediaRendererFolder& CMediaRendererFolder::Instance()
{
    static QPointer<CMediaRendererFolder> folder;
    if (!folder)
        folder = new CMediaRendererFolder(QCoreApplication::instance());
    return *folder;
}

} // namespace velk
