#include "providers/callerid/tapi_log_config_page.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "providers/callerid/tapi_strings.h"

namespace velk {

namespace {

// What a path may hold: the longest path the system takes.
constexpr int kMaxPathChars = 4096;

} // namespace

HPROPSHEETPAGE CTAPILogConfigPage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = tapi::kLogPageTitle;
    record.template_id = kDialogId;
    record.lParam = owner;
    return PageRecord<CTAPILogConfigPage>(std::move(record));
}

CTAPILogConfigPage::CTAPILogConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      settings_(std::dynamic_pointer_cast<ITapiSettings>(page.lParam)),
      log_file_(new QCheckBox(QString::fromUtf8(tapi::kLogToFileText), window)),
      log_events_(new QCheckBox(QString::fromUtf8(tapi::kLogToEventLogText), window)),
      pause_(new QCheckBox(QString::fromUtf8(tapi::kPauseText), window)), path_(new QLineEdit(window)),
      browse_(new QPushButton(QString::fromUtf8(tapi::kBrowseText), window))
{
    log_file_->setObjectName("log_file");
    log_events_->setObjectName("log_events");
    pause_->setObjectName("pause");
    path_->setObjectName("path");
    browse_->setObjectName("browse");
    path_->setMaxLength(kMaxPathChars);
    auto* file_row = new QHBoxLayout;
    file_row->addSpacing(20);
    file_row->addWidget(path_, 1);
    file_row->addWidget(browse_);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(log_file_);
    layout->addLayout(file_row);
    layout->addWidget(log_events_);
    layout->addWidget(pause_);
    layout->addWidget(new QLabel(QString::fromUtf8(tapi::kAllDevicesNote), window));
    layout->addStretch();
}

std::intptr_t CTAPILogConfigPage::OnInitDialog()
{
    const TapiSettings settings = settings_ ? settings_->Settings() : TapiSettings{};
    log_file_->setChecked(settings.flags & kLogToFile);
    log_events_->setChecked(settings.flags & kLogToEventLog);
    pause_->setChecked(settings.flags & kPauseOnCall);
    path_->setText(QString::fromStdString(settings.log_path));
    EnablePath();
    // Connected after filling: only the user's changes count.
    for (auto* box : {log_file_, log_events_, pause_})
        QObject::connect(box, &QCheckBox::toggled, &connections_, [this] {
            EnablePath();
            sheet().Changed(*this);
        });
    QObject::connect(path_, &QLineEdit::textEdited, &connections_, [this] { sheet().Changed(*this); });
    QObject::connect(browse_, &QPushButton::clicked, &connections_, [this] { Browse(); });
    return 1;
}

std::intptr_t CTAPILogConfigPage::OnApply()
{
    if (log_file_->isChecked() && path_->text().isEmpty()) {
        QMessageBox::warning(sheet().window(), QString::fromUtf8(tapi::kTitle),
                             QString::fromUtf8(tapi::kFileNameNeeded));
        path_->setFocus();
        return 0;
    }
    if (!settings_)
        return 1;
    TapiSettings settings;
    if (log_file_->isChecked()) {
        settings.flags |= kLogToFile;
        settings.log_path = path_->text().toStdString();
    }
    if (log_events_->isChecked())
        settings.flags |= kLogToEventLog;
    if (pause_->isChecked())
        settings.flags |= kPauseOnCall;
    settings_->SetSettings(settings);
    return 1;
}

void CTAPILogConfigPage::EnablePath()
{
    path_->setEnabled(log_file_->isChecked());
    browse_->setEnabled(log_file_->isChecked());
}

void CTAPILogConfigPage::Browse()
{
    // The dialog asks before a file is overwritten.
    const QString chosen = QFileDialog::getSaveFileName(sheet().window(), QString(), path_->text(),
                                                        QString::fromUtf8(tapi::kTextFilesFilter));
    if (chosen.isEmpty())
        return;
    path_->setText(chosen);
    sheet().Changed(*this);
}

} // namespace velk
