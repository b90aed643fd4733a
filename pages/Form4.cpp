#include "Form4.h"

#include "Form3.h"
#include "Wizard.h"
#include "engine/DuplicateRemoval.h"
#include "ui/GridSource.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"
#include "ui/RunProgress.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTableView>

namespace {
const QString kExit = QStringLiteral("Exit");
} // namespace

Form4::Form4(Wizard& wizard) : WizardPage(5880, 4350), m_wizard(wizard) {
    Label1 = addLabel(QStringLiteral(" You are about to create a new table with duplicates records "
                                     "(rows) removed except for the first. Please choose a name "
                                     "for this table:"),
                      120, 120, 5295, 735);
    Text1 = new QLineEdit(this);
    Text1->setGeometry(twips(120, 960, 5640, 330));
    Label1->setBuddy(Text1);
    addLine(1560);
    Check1 = addButton(QStringLiteral("Cancel"), 120, 1680, 1335, 400);
    Check2 = addButton(QStringLiteral("< Back"), 1560, 1680, 1335, 400);
    Check3 = addButton(QStringLiteral("Next >"), 3000, 1680, 1335, 400);
    Check4 = addButton(QStringLiteral("Finish"), 4440, 1680, 1320, 400);
    Check3->setEnabled(false);
    DataGrid1 = new QTableView(this);
    DataGrid1->setGeometry(twips(120, 2160, 5640, 2055));
    DataGrid1->verticalHeader()->setDefaultSectionSize(pixels(255));
    DataGrid1->setAccessibleName(QStringLiteral("New table"));
    m_result = std::make_unique<Ui::GridSource>(DataGrid1);
    m_progress = new Ui::RunProgress(this);
    m_progress->setGeometry(DataGrid1->geometry());
    m_progress->hide();
    chainTabOrder({Text1, Check1, Check4, Check2, DataGrid1, Check3});
    setHoverRule(DataGrid1, HoverRule::None);
    armHover();

    connect(Check1, &QPushButton::clicked, this, [this] { m_wizard.endProgram(); });
    connect(Check2, &QPushButton::clicked, this, [this] { Check2_Click(); });
    connect(Check4, &QPushButton::clicked, this, [this] { Check4_Click(); });
}

Form4::~Form4() = default;

void Form4::Form_Load() {
    loadCommon(QStringLiteral("Varnolt"));
    Text1->setText(ProposedName(m_wizard.selectedTable));
}

void Form4::Check2_Click() {
    runAction([this] {
        m_wizard.form3().PrepareFieldPage(m_wizard.selectedTable);
        m_wizard.go(m_wizard.form3(), *this);
    });
}

void Form4::Check4_Click() {
    if (Check4->text() == kExit) {
        m_wizard.endProgram();
        return;
    }
    const RunInputs inputs{m_wizard.connectionData(), m_wizard.selectedTable,
                           m_wizard.selectedFields, Text1->text()};
    setRunning(true);
    const KeepGoing keepGoing = m_wizard.keepGoing();
    RunCallbacks callbacks{[this, keepGoing](const Progress& progress) {
                               m_progress->tell(PhaseText(progress.phase), progress.done,
                                                progress.total);
                               return keepGoing();
                           },
                           [](const QString& question) { return Messages::ask(question); }};
    finishRun(inputs, DuplicateRemoval(inputs, callbacks).run());
}

// While the run goes on, the window repaints and takes clicks, but only
// "Cancel" and closing the window may act: the name the run took stays the
// name shown, and nothing starts twice.
void Form4::setRunning(bool running) {
    m_running = running;
    // The result area tells how the run goes until it can show what it made.
    m_progress->setVisible(running);
    DataGrid1->setVisible(!running);
    Text1->setReadOnly(running);
    Check2->setEnabled(!running);
    Check4->setEnabled(!running);
    setPointer(running ? Pointer::Busy : Pointer::Ordinary);
}

void Form4::finishRun(const RunInputs& inputs, const RunResult& result) {
    if (result.status == RunResult::Status::Done) {
        runAction([&] {
            auto session = std::make_shared<Db::Session>(inputs.connection);
            session->open();
            m_result->bind(std::move(session), inputs.newTable);
        });
        Check4->setText(kExit);
        Check4->setAccessibleName(kExit);
        if (isMinimized())
            showNormal();
    }
    setRunning(false);
    // A program that is ending says nothing more, unless the run left a table
    // behind that the user must know of.
    if (m_wizard.isEnding() && !result.leftBehind)
        return;
    if (result.status == RunResult::Status::Done)
        Messages::show(QStringLiteral("Done.\n\n") +
                       RunSummary(inputs.newTable, result, QLocale()));
    else if (!result.message.isEmpty())
        Messages::show(result.message);
}
