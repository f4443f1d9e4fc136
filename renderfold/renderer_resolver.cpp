#include "renderfold/renderer_resolver.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include "renderfold/media_renderer_folder.h"

namespace velk {

namespace {

constexpr const char* kTakingLong =
    "It is taking a long time to locate this device. Do you want to continue?";

} // namespace

HRESULT ResolveRenderer(QWidget* parent, std::string_view udn_or_address,
                        std::shared_ptr<IMediaRenderer>& renderer)
{
    renderer.reset();
    if (udn_or_address.empty())
        return E_INVALIDARG;
    auto& folder = CMediaRendererFolder::Instance();
    auto& table = folder.renderers();
    folder.StartSearch();

    const auto found = [&] { return table.FindByUdnOrAddress(udn_or_address); };
    if (auto item = found()) {
        renderer = item;
        return S_OK;
    }

    QProgressDialog progress(parent);
    progress.setWindowTitle("Media Players");
    progress.setLabelText("Locating the device...");
    progress.setRange(0, 0);
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(0);

    QEventLoop loop;
    bool gave_up = false;
    const auto check = [&] {
        if (found() || table.search_state() == CMediaRenderers::SearchState::Complete)
            loop.quit();
    };
    const auto added = QObject::connect(&table, &CMediaRenderers::itemAdded, &loop, check);
    const auto updated = QObject::connect(&table, &CMediaRenderers::itemUpdated, &loop, check);
    const auto state = QObject::connect(&table, &CMediaRenderers::searchStateChanged, &loop, check);
    QTimer question;
    question.setInterval(static_cast<int>(kLocateQuestionIntervalMs));
    QObject::connect(&question, &QTimer::timeout, &loop, [&] {
        question.stop();
        if (QMessageBox::warning(&progress, "Media Players", kTakingLong,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::No) {
            gave_up = true;
            loop.quit();
            return;
        }
        check();
        question.start();
    });
    question.start();
    progress.show();
    check();
    if (table.search_state() != CMediaRenderers::SearchState::Complete && !found())
        loop.exec();
    QObject::disconnect(added);
    QObject::disconnect(updated);
    QObject::disconnect(state);

    auto item = gave_up ? nullptr : found();
    if (!item)
        return E_FAIL;
    renderer = item;
    return S_OK;
}

} // namespace velk
