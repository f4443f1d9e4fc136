#include "providers/time/time_config_page.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/date.h"
#include "platform/nls.h"

namespace velk {

namespace {

constexpr const char* kPrompt =
    "Select how you want the date and time to appear on  the Melodeck screen";
constexpr const char* kNoDate = "(No Date)";
constexpr const char* kNoTime = "(No Time)";

std::vector<std::string> DateCandidates()
{
    const Nls& locale = Nls::UserDefault();
    auto pictures = locale.EnumDateFormats(DateFormatKind::ShortDate);
    const auto long_dates = locale.EnumDateFormats(DateFormatKind::LongDate);
    pictures.insert(pictures.end(), long_dates.begin(), long_dates.end());
    return pictures;
}

using Format = HRESULT (Nls::*)(const CalendarTime&, std::optional<std::string_view>,
                                std::string&) const;

// The list: the empty choice, then each picture as it writes now; the entry's item selected
// (the empty choice for an empty entry, none when the entry is no candidate).
void Fill(QComboBox& list, const char* empty_choice, const std::vector<std::string>& pictures,
          Format format, const std::string& entry)
{
    const Nls& locale = Nls::UserDefault();
    const CalendarTime now = Date::Now().ToCalendar().value_or(CalendarTime{});
    list.addItem(QString::fromUtf8(empty_choice));
    int selected = entry.empty() ? 0 : -1;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        std::string text;
        (locale.*format)(now, pictures[i], text);
        list.addItem(QString::fromStdString(text));
        if (selected == -1 && pictures[i] == entry)
            selected = static_cast<int>(i) + 1;
    }
    list.setCurrentIndex(selected);
}

// The picture an item stands for; the entry as it was when the list has no selection.
std::string Chosen(const QComboBox& list, const std::vector<std::string>& pictures,
                   const std::string& entry)
{
    const int index = list.currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) > pictures.size())
        return entry;
    return index == 0 ? std::string() : pictures[index - 1];
}

} // namespace

HPROPSHEETPAGE CTimeConfigPage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = kTitle;
    record.template_id = kDialogId;
    record.lParam = owner;
    return PageRecord<CTimeConfigPage>(std::move(record));
}

CTimeConfigPage::CTimeConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      settings_(std::dynamic_pointer_cast<ITimeFormatSettings>(page.lParam)),
      date_pictures_(DateCandidates()), time_pictures_(Nls::UserDefault().EnumTimeFormats()),
      date_list_(new QComboBox(window)), time_list_(new QComboBox(window))
{
    date_list_->setObjectName("date_list");
    time_list_->setObjectName("time_list");
    auto* layout = new QVBoxLayout(window);
    auto* prompt = new QLabel(QString::fromUtf8(kPrompt), window);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);
    layout->addWidget(date_list_);
    layout->addWidget(time_list_);
    layout->addStretch();
}

std::intptr_t CTimeConfigPage::OnInitDialog()
{
    std::string date_format;
    std::string time_format;
    if (settings_)
        settings_->ConfiguredFormats(date_format, time_format);
    Fill(*date_list_, kNoDate, date_pictures_, &Nls::GetDateFormat, date_format);
    Fill(*time_list_, kNoTime, time_pictures_, &Nls::GetTimeFormat, time_format);
    // Connected after filling: only the user's choices count as changes.
    for (auto* list : {date_list_, time_list_}) {
        QObject::connect(list, &QComboBox::currentIndexChanged, &connections_,
                         [this] { sheet().Changed(*this); });
    }
    return 1;
}

std::intptr_t CTimeConfigPage::OnApply()
{
    if (!settings_)
        return 1;
    std::string date_format;
    std::string time_format;
    settings_->ConfiguredFormats(date_format, time_format);
    settings_->SetConfiguredFormats(Chosen(*date_list_, date_pictures_, date_format),
                                    Chosen(*time_list_, time_pictures_, time_format));
    return 1;
}

} // namespace velk
