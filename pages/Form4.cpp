#include "Form4.h"

#include "OptionsDialog.h"
#include "RepeatPreview.h"
#include "engine/BackgroundRun.h"
#include "engine/RemovedGroups.h"
#include "ui/GridSource.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"
#include "ui/RunProgress.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QTableView>

namespace {
const QString kExit = QStringLiteral("Exit");
// How many groups the preview shows.
constexpr int kPreviewGroups = 100;
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
    // Where the page's one check box was: its options are in the dialog now.
    Label2 = addLabel(QString(), 120, 1300, 4215, 225);
    Label2->setAccessibleName(QStringLiteral("Options chosen"));
    Check6 = addButton(QStringLiteral("Options..."), 4420, 1298, 1335, 255);
    // The smaller type of the "?" button, which fits the lower button.
    QFont small = Check6->font();
    small.setPointSizeF(9);
    Check6->setFont(small);
    Check6->setAccessibleName(QStringLiteral("Options"));
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
    chainTabOrder({Text1, Check6, Check1, Check4, Check2, DataGrid1, Check3});
    setHoverRule(DataGrid1, HoverRule::None);
    setHoverRule(Label2, HoverRule::None);
    armHover();

    connect(Check4, &QPushButton::clicked, this, [this] { Check4_Click(); });
    connect(Check6, &QPushButton::clicked, this, [this] { Check6_Click(); });
    // The table of removed rows is named after the new table unless the user
    // named it.
    connect(Text1, &QLineEdit::textChanged, this, [this] {
        const QString summary = m_choices.summary(Text1->text());
        Label2->setText(
            Label2->fontMetrics().elidedText(summary, Qt::ElideMiddle, Label2->width()));
        Label2->setToolTip(summary);
        Label2->setAccessibleDescription(summary);
    });
    connect(&m_preview, &PreviewRun::progressed, this, [this](const Progress& progress) {
        m_progress->show();
        m_progress->tell(PhaseText(progress.phase), progress.done, progress.total);
    });
    connect(&m_preview, &PreviewRun::finished, this, &Form4::showPreview);
}

Form4::~Form4() = default;

void Form4::Form_Load() {
    loadCommon(QStringLiteral("Varnolt"));
    m_choices = LoadChoices(m_context.settings(), m_context.connectionData().sid,
                            m_context.choices().table);
    Text1->setText(ProposedName(m_context.choices().table, m_context.kind()));
}

void Form4::showEvent(QShowEvent* event) {
    WizardPage::showEvent(event);
    Text1->setFocus();
    Text1->selectAll();
    if (Check4->text() != kExit)
        startPreview();
}

void Form4::hideEvent(QHideEvent* event) {
    m_preview.stop();
    WizardPage::hideEvent(event);
}

void Form4::Check6_Click() {
    OptionsDialog dialog(
        m_choices, m_context.choices().tableColumns, Text1->text(),
        [this](const TableChoices& choices) { return optionsRefusal(choices); }, this);
    const int answer = dialog.exec();
    if (answer != QDialog::Accepted || dialog.choices() == m_choices)
        return;
    m_choices = dialog.choices();
    SaveChoices(m_context.settings(), m_context.connectionData().sid, m_context.choices().table,
                m_choices);
    emit Text1->textChanged(Text1->text());
    if (Check4->text() != kExit)
        startPreview();
}

// The table of removed rows follows the rules of the new table's name, and
// the report the rules of every report.
QString Form4::optionsRefusal(const TableChoices& choices) {
    RunInputs inputs = pageInputs();
    inputs.options = choices.forRun(Text1->text());
    const RunOptions& options = inputs.options;
    if (!options.removedInto.isEmpty()) {
        if (const QString refusal =
                MadeNameRefusal(options.removedInto, inputs, m_context.kind().dialect());
            !refusal.isEmpty())
            return refusal;
    }
    if (options.reportFile.isEmpty())
        return {};
    return ReportRefusal(options.reportFile, m_context.kind().files(inputs.connection));
}

RunInputs Form4::pageInputs() {
    return {m_context.connectionData(),
            m_context.choices().table,
            m_context.choices().columns,
            Text1->text(),
            false,
            m_choices.forRun(Text1->text())};
}

// The rows the run would keep are the same whatever becomes of the removed
// ones, so the preview neither makes their table nor writes the report.
void Form4::startPreview() {
    m_previewResult.reset();
    RunInputs inputs = pageInputs();
    inputs.dryRun = true;
    inputs.options.removedInto.clear();
    inputs.options.reportFile.clear();
    inputs.shownGroups = kPreviewGroups;
    DataGrid1->hide();
    m_progress->tell(PhaseText(Phase::Checking), 0, -1);
    m_progress->show();
    m_preview.start(m_context.kind(), std::move(inputs));
}

void Form4::showPreview(const RunResult& result) {
    m_previewResult = result;
    QStringList columns = Db::NamesOf(m_context.choices().columns);
    m_previewModel =
        std::make_unique<RepeatPreview>(result, columns, QStringLiteral("left out"), QLocale());
    DataGrid1->setModel(m_previewModel.get());
    DataGrid1->setAccessibleName(QStringLiteral("What the run would do"));
    m_progress->hide();
    // Sized once shown, in the font the grid shows them in.
    DataGrid1->show();
    DataGrid1->clearSpans();
    DataGrid1->setSpan(0, 0, 1, m_previewModel->columnCount());
    DataGrid1->resizeColumnsToContents();
    // The line of counts spans the grid, which the last column fills, and
    // takes the lines it needs to be read whole.
    DataGrid1->horizontalHeader()->setStretchLastSection(true);
    const int width =
        DataGrid1->fontMetrics().horizontalAdvance(m_previewModel->index(0, 0).data().toString());
    const int lines = std::clamp(width / std::max(1, DataGrid1->viewport()->width() - 8) + 1, 1, 3);
    DataGrid1->setRowHeight(0, lines * DataGrid1->verticalHeader()->defaultSectionSize());
}

void Form4::Check4_Click() {
    if (Check4->text() == kExit) {
        emit closed();
        return;
    }
    // The run reads the table itself; the preview lets go of it first.
    m_preview.stop();
    RunInputs inputs = pageInputs();
    // The source's own name offers to clean the source itself, its repeats
    // kept aside; No, the answer given, starts nothing.
    const RunKind& kind = m_context.kind();
    if (kind.dialect().sameName(inputs.newTable, inputs.sourceTable)) {
        const QString removed = m_choices.keepRemoved && !m_choices.options.removedInto.isEmpty()
                                    ? m_choices.options.removedInto
                                    : inputs.sourceTable + QStringLiteral("_REMOVED");
        if (!Messages::ask(QStringLiteral("Remove the repeats from %1 itself? They are kept in %2.")
                               .arg(inputs.sourceTable, removed))) {
            startPreview();
            return;
        }
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
    Check6->setEnabled(!running);
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
                DataGrid1->clearSpans();
                DataGrid1->horizontalHeader()->setStretchLastSection(false);
                m_result->bind(std::move(session), inputs.newTable);
                DataGrid1->setAccessibleName(QStringLiteral("New table"));
                m_previewModel.reset();
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
