#include "Form4.h"

#include "engine/BackgroundRun.h"
#include "ui/GridSource.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"
#include "ui/RunProgress.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QTableView>

namespace {
const QString kExit = QStringLiteral("Exit");
} // namespace

Form4::Form4(PageContext& context) : WizardPage(5880, 4350), m_context(context) {
    Label1 = addLabel(QStringLiteral(" You are about to create a new table with duplicates records "
                                     "(rows) removed except for the first. Please choose a name "
                                     "for this table:"),
                      120, 120, 5295, 735);
    Text1 = new QLineEdit(this);
    Text1->setGeometry(twips(120, 960, 5640, 330));
    Label1->setBuddy(Text1);
    Text1->setAccessibleName(QStringLiteral("New table name"));
    Text1->setAccessibleDescription(Label1->text().trimmed());
    Check5 = new QCheckBox(this);
    Check5->setGeometry(twips(120, 1300, 5640, 225));
    Check5->setAccessibleName(QStringLiteral("Keep the removed rows"));
    Check5->setChecked(m_context.settings().read(SettingsStore::kKeepRemoved) ==
                       QStringLiteral("1"));
    addLine(1560);
    const ButtonRow row = addButtonRow(1680);
    Check1 = row.cancel;
    Check2 = row.back;
    Check3 = row.next;
    Check4 = row.finish;
    Check3->setEnabled(false);
    DataGrid1 = new QTableView(this);
    DataGrid1->setGeometry(twips(120, 2160, 5640, 2055));
    DataGrid1->verticalHeader()->setDefaultSectionSize(pixels(255));
    DataGrid1->setAccessibleName(QStringLiteral("New table"));
    m_result = std::make_unique<Ui::GridSource>(DataGrid1);
    m_progress = new Ui::RunProgress(this);
    m_progress->setGeometry(DataGrid1->geometry());
    m_progress->hide();
    chainTabOrder({Text1, Check5, Check1, Check4, Check2, DataGrid1, Check3});
    setHoverRule(DataGrid1, HoverRule::None);
    armHover();

    connect(Check4, &QPushButton::clicked, this, [this] { Check4_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, [this] {
        // A long name is shortened in its middle to fit the page; the whole
        // sentence is the tooltip and what a screen reader says.
        const QString caption = QStringLiteral("Keep the removed rows in a table named %1");
        const QString whole = caption.arg(removedTable());
        const int room = Check5->width() - Check5->style()->pixelMetric(QStyle::PM_IndicatorWidth) -
                         Check5->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) -
                         Check5->fontMetrics().horizontalAdvance(caption.arg(QString()));
        Check5->setText(
            caption.arg(Check5->fontMetrics().elidedText(removedTable(), Qt::ElideMiddle, room)));
        Check5->setToolTip(whole);
        Check5->setAccessibleDescription(whole);
    });
    connect(Check5, &QCheckBox::toggled, this, [this](bool on) {
        m_context.settings().write(SettingsStore::kKeepRemoved,
                                   on ? QStringLiteral("1") : QStringLiteral("0"));
    });
}

QString Form4::removedTable() const {
    return Text1->text() + QStringLiteral("_REMOVED");
}

Form4::~Form4() = default;

void Form4::Form_Load() {
    loadCommon(QStringLiteral("Varnolt"));
    Text1->setText(ProposedName(m_context.choices().table, m_context.kind()));
}

void Form4::showEvent(QShowEvent* event) {
    WizardPage::showEvent(event);
    Text1->setFocus();
    Text1->selectAll();
}

void Form4::Check4_Click() {
    if (Check4->text() == kExit) {
        emit closed();
        return;
    }
    RunInputs inputs{m_context.connectionData(), m_context.choices().table,
                     m_context.choices().columns, Text1->text()};
    if (Check5->isChecked())
        inputs.options.removedInto = removedTable();
    // The source's own name offers to clean the source itself, its repeats
    // kept aside; No, the answer given, starts nothing.
    const RunKind& kind = m_context.kind();
    if (kind.dialect().sameName(inputs.newTable, inputs.sourceTable)) {
        const QString removed = inputs.sourceTable + QStringLiteral("_REMOVED");
        if (!Messages::ask(QStringLiteral("Remove the repeats from %1 itself? They are kept in %2.")
                               .arg(inputs.sourceTable, removed)))
            return;
        inputs.options.inPlace = true;
        inputs.options.removedInto = removed;
    }
    m_context.savePassword();
    setRunning(true);
    // The window lives on while the run's own thread works; Cancel stops the
    // run, which takes back what it made before the program ends.
    const KeepGoing keepGoing = m_context.keepGoing();
    BackgroundRun background(kind, inputs);
    const RunResult result = background.wait([&](const BackgroundRun::State& state) {
        m_progress->tell(PhaseText(state.progress.phase), state.progress.done,
                         state.progress.total);
        if (state.question)
            background.answer(Messages::ask(*state.question));
        if (!keepGoing())
            background.stop();
    });
    finishRun(inputs, result);
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
    Check5->setEnabled(!running);
    Check2->setEnabled(!running);
    Check4->setEnabled(!running);
    setPointer(running ? Pointer::Busy : Pointer::Ordinary);
}

void Form4::finishRun(const RunInputs& inputs, const RunResult& result) {
    if (result.status == RunResult::Status::Done) {
        runAction(
            [&] {
                auto session = std::make_shared<Db::Session>(m_context.kind(), inputs.connection);
                session->open();
                m_result->bind(std::move(session), inputs.newTable);
            },
            QStringLiteral("showing the new table %1").arg(inputs.newTable));
        Check4->setText(kExit);
        Check4->setAccessibleName(kExit);
        if (isMinimized())
            showNormal();
    }
    setRunning(false);
    // A program that is ending says nothing more, unless the run left a table
    // behind that the user must know of.
    if (m_context.isEnding() && !result.leftBehind)
        return;
    if (result.status == RunResult::Status::Done)
        Messages::show(QStringLiteral("Done.\n\n") + RunSummary(inputs, result, QLocale()));
    else if (!result.message.isEmpty())
        Messages::show(result.message);
}
