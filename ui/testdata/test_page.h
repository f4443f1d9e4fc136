// For the ui tests: a page whose owner scripts its answers and records every call the page gets,
// as "<owner>.<call>" lines in one log shared by all the pages of a test; and the hosts' buttons
// as a user clicks them.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "ui/rendered_property_page.h"

namespace velk::test {

// A host's button by its object name ("ok", "apply", "next", ...), and a user's click on it.
inline QPushButton* ButtonOf(QWidget& host, const char* name)
{
    return host.findChild<QPushButton*>(name);
}

inline void Click(QWidget& host, const char* name)
{
    QTest::mouseClick(ButtonOf(host, name), Qt::LeftButton);
}

// As a user replaces what a field (by its object name) holds: select it all, delete it, type.
inline void TypeInto(QWidget& host, const char* field_name, const QString& text)
{
    auto* field = host.findChild<QLineEdit*>(field_name);
    if (!field)
        qFatal("no field %s", field_name);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

// Runs action on the next modal window of type T once it shows (the caller then opens it).
template <class T> void WhenShown(std::function<void(T&)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        action(*modal);
    });
    timer->start();
}

// Answers each message box as it shows, keeping their texts: with the given button where the box
// has it, otherwise with its default button.
class MessageBoxAnswers {
public:
    explicit MessageBoxAnswers(QMessageBox::StandardButton answer = QMessageBox::NoButton)
    {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                if (QAbstractButton* button = box->button(answer))
                    button->click();
                else
                    box->accept();
            }
        });
        timer_.start(0);
    }
    QStringList texts;

private:
    QTimer timer_;
};

// With VELK_DOCS_DIR set, keeps the picture (or the window as one) there as <name>.png.
inline void Picture(const QImage& picture, const char* name)
{
    if (const char* docs = std::getenv("VELK_DOCS_DIR"))
        picture.save(QString::fromUtf8(docs) + "/" + name + ".png");
}

inline void Picture(QWidget& window, const char* name)
{
    Picture(window.grab().toImage(), name);
}

struct PageScript {
    std::intptr_t set_active = 1;
    std::intptr_t kill_active = 1;
    std::intptr_t apply = 1;
    std::intptr_t wizard_next = 0;
    std::intptr_t wizard_back = 0;
    std::intptr_t wizard_finish = 0;
    std::intptr_t query_cancel = 0;
    std::intptr_t query_siblings = 0;
    bool throws = false; // every scripted operation throws instead of answering
};

class TestPage;

class PageOwner : public IUnknown {
public:
    PageOwner(std::string owner_name, std::shared_ptr<QStringList> call_log)
        : name(std::move(owner_name)), log(std::move(call_log))
    {
    }

    std::string name;
    std::shared_ptr<QStringList> log;
    PageScript script;
    // Runs inside each call, after it is logged: what the page does there besides answering.
    std::function<void(TestPage& page, const std::string& call)> action;
    TestPage* page = nullptr; // while the page object lives
};

class TestPage : public CRenderedPropertyPage {
public:
    TestPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
        : CRenderedPropertyPage(window, sheet, page),
          owner_(std::dynamic_pointer_cast<PageOwner>(page.lParam))
    {
        owner_->page = this;
    }
    ~TestPage() override
    {
        Record("~");
        owner_->page = nullptr;
    }

    void OnDestroy() override { Record("Destroy"); }
    std::intptr_t OnInitDialog() override { return Record("Init", 1); }
    std::intptr_t OnSetActive() override { return Record("SetActive", script().set_active); }
    std::intptr_t OnKillActive() override { return Record("KillActive", script().kill_active); }
    std::intptr_t OnApply() override { return Record("Apply", script().apply); }
    std::intptr_t OnWizardNext() override { return Record("WizNext", script().wizard_next); }
    std::intptr_t OnWizardBack() override { return Record("WizBack", script().wizard_back); }
    std::intptr_t OnWizardFinish() override { return Record("WizFinish", script().wizard_finish); }
    std::intptr_t OnQueryCancel() override { return Record("QueryCancel", script().query_cancel); }
    std::intptr_t OnQuerySiblings(std::intptr_t, std::intptr_t) override
    {
        return Record("QuerySiblings", script().query_siblings);
    }

private:
    const PageScript& script() const { return owner_->script; }

    std::intptr_t Record(const std::string& call, std::intptr_t answer = 0)
    {
        owner_->log->append(QString::fromStdString(owner_->name + "." + call));
        if (owner_->action)
            owner_->action(*this, call);
        if (owner_->script.throws && call != "~")
            throw std::runtime_error("scripted failure");
        return answer;
    }

    std::shared_ptr<PageOwner> owner_;
};

// A record whose page is a TestPage owned by `owner`; titled with the owner's name.
inline std::shared_ptr<PropSheetPage> MakeTestPage(const std::shared_ptr<PageOwner>& owner,
                                                   int template_id = 0)
{
    auto page = std::make_shared<PropSheetPage>();
    page->title = owner->name;
    page->template_id = template_id;
    page->create = [](QWidget* window, IPropertySheet& sheet, const PropSheetPage& record) {
        return std::make_unique<TestPage>(window, sheet, record);
    };
    page->lParam = owner;
    return page;
}

// The pages of one test, named "A", "B", ... in the order they are added, with their log.
class PageSet {
public:
    // Adds a test page to `sheet` and returns its owner.
    PageOwner& Add(IPropertySheet& sheet, int template_id = 0)
    {
        auto owner = std::make_shared<PageOwner>(std::string(1, char('A' + owners_.size())), log_);
        sheet.AddPage(MakeTestPage(owner, template_id));
        owners_.push_back(owner);
        return *owner;
    }

    PageOwner& operator[](std::size_t index) { return *owners_.at(index); }
    std::weak_ptr<PageOwner> Watch(std::size_t index) const { return owners_.at(index); }
    // Lets go of the test's own references, so that only the sheet holds the owners.
    void Release() { owners_.clear(); }

    // The calls logged since the last Take.
    QStringList Take() { return std::exchange(*log_, {}); }

private:
    std::shared_ptr<QStringList> log_ = std::make_shared<QStringList>();
    std::vector<std::shared_ptr<PageOwner>> owners_;
};

} // namespace velk::test
