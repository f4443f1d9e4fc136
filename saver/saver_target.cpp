#include "saver/saver_target.h"

#include <QCommandLineParser>

namespace velk {

namespace {

bool ParseWindowId(const QString& text, std::uint64_t& id)
{
    bool ok = false;
    id = text.startsWith("0x", Qt::CaseInsensitive) ? text.mid(2).toULongLong(&ok, 16)
                                                    : text.toULongLong(&ok, 10);
    return ok && id != 0;
}

} // namespace

HRESULT ParseSaverTarget(const QStringList& args, const QString& env_window, SaverTarget& target,
                         QString& error)
{
    QCommandLineParser parser;
    // xscreensaver passes -root as well as --root.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption root("root");
    const QCommandLineOption window_id("window-id", QString(), "id");
    const QCommandLineOption configure("config");
    parser.addOptions({root, window_id, configure});
    if (!parser.parse(QStringList{"velksaver"} + args)) {
        error = parser.errorText();
        return E_INVALIDARG;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = "Unexpected argument: " + parser.positionalArguments().first();
        return E_INVALIDARG;
    }
    target = {};
    if (parser.isSet(configure)) {
        target.kind = SaverTarget::Kind::Configure;
        return S_OK;
    }
    QString id;
    if (parser.isSet(window_id))
        id = parser.value(window_id);
    else if (parser.isSet(root) && !env_window.isEmpty())
        id = env_window;
    if (id.isEmpty())
        return S_OK;
    if (!ParseWindowId(id.trimmed(), target.window)) {
        error = "\"" + id + "\" is no window id.";
        return E_INVALIDARG;
    }
    target.kind = SaverTarget::Kind::Window;
    return S_OK;
}

} // namespace velk
