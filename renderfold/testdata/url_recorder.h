// For the renderfold tests: the desktop's browser replaced by a recorder of the addresses the
// window hands it, for every scheme a device might name.
#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace velk::test {

class UrlRecorder : public QObject {
    Q_OBJECT

public:
    UrlRecorder()
    {
        for (const char* scheme : kSchemes)
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~UrlRecorder() override
    {
        for (const char* scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QStringList opened;

public slots:
    void Open(const QUrl& url) { opened.append(url.toString()); }

private:
    static constexpr const char* kSchemes[] = {"http", "https", "file", "javascript", "smb", "ftp", "mailto"};
};

} // namespace velk::test
