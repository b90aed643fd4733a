// The target page's preview and options. No test here ends the program: the
// dialog's event loop would end at once in a program that has ended.
#include "TestSupport.h"

#include "Runs.h"
#include "core/SettingsStore.h"
#include "pages/Form1.h"
#include "pages/Form4.h"
#include "pages/OptionsDialog.h"
#include "pages/RepeatPreview.h"
#include "pages/Wizard.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTableView>
#include <QTimer>

namespace {

// Opens the options, lets `choose` set them and says OK (Cancel if refused).
void chooseOptions(Form4& page, const std::function<void(OptionsDialog&)>& choose) {
    QTimer::singleShot(0, &page, [&] {
        auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        choose(*dialog);
        dialog->accept();
        if (dialog->isVisible())
            dialog->reject();
    });
    page.Check6->click();
}

const RunResult& previewOf(Form4& page) {
    [&] { QTRY_VERIFY_WITH_TIMEOUT(page.preview().has_value(), 60000); }();
    return *page.preview();
}

// 300,000 rows, still being read when the test acts; row i holds `values`.
void makeLargeTable(const TempDatabase& db, const QString& columns, const QString& values) {
    db.exec(QStringLiteral("CREATE TABLE B(%1); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT "
                           "i + 1 FROM n WHERE i < 300000) INSERT INTO B SELECT %2 FROM n")
                .arg(columns, values));
}

// Rows whose names differ in letter case and blanks, NULLs and empty texts
// among them, in a random order.
void makeRandomTable(const TempDatabase& db, int rows) {
    QRandomGenerator random(20261209);
    const QStringList names{"Ann", "ann", " Ann", "Bob", "BOB ", "", "Cy"};
    QStringList values;
    for (int row = 0; row < rows; ++row) {
        const qsizetype name = random.bounded(int(names.size()) + 1);
        values
            << QStringLiteral("(%1, %2, %3)")
                   .arg(name == names.size()
                            ? QStringLiteral("NULL")
                            : QStringLiteral("'%1%2'").arg(names.at(name)).arg(random.bounded(30)))
                   .arg(random.bounded(3))
                   .arg(random.bounded(1000));
    }
    db.exec(QStringLiteral("CREATE TABLE R(NAME, CITY, N); INSERT INTO R VALUES ") +
            values.join(", "));
}

} // namespace

class PreviewTest : public QObject {
    Q_OBJECT
private slots:
    void previewIsTheDryRunOfEachChoice_data();
    void previewIsTheDryRunOfEachChoice();
    void aChoiceChangedMeanwhileNeverShowsTheOldPreview();
    void finishDuringAPreviewRunsWithTheChoicesShown();
    void choicesByKeyboardAloneAreKeptForTheirTable();
};

void PreviewTest::previewIsTheDryRunOfEachChoice_data() {
    QTest::addColumn<QString>("chosen");
    for (const char* options : {"", "last", "N:desc", "case trim", "case trim last N"})
        QTest::addRow("options: %s", options) << QString::fromLatin1(options);
}

void PreviewTest::previewIsTheDryRunOfEachChoice() {
    QFETCH(QString, chosen);
    const RunOptions options = OptionsFrom(chosen);
    TempDatabase db;
    makeRandomTable(db, 1500);
    MessageLog messages;
    OnTargetPage run(db, QStringLiteral("R"), {"NAME", "CITY"});
    Form4& page = run.page();
    chooseOptions(page, [&](OptionsDialog& dialog) {
        dialog.keep->setCurrentIndex(options.keep == RunOptions::Keep::Last ? 1 : 0);
        if (!options.orderBy.isEmpty()) {
            dialog.order->setCurrentText(options.orderBy.first().column);
            dialog.direction->setCurrentIndex(options.orderBy.first().descending ? 1 : 0);
        }
        dialog.ignoreCase->setChecked(options.ignoreCase);
        dialog.trim->setChecked(options.trim);
    });
    const RunResult& shown = previewOf(page);
    const RunResult dry = runOn(db, "R", {"NAME", "CITY"}, "R2", {}, true, options);
    QCOMPARE(shown.rowsKept, dry.rowsKept);
    QCOMPARE(shown.rowsRemoved, dry.rowsRemoved);
    QCOMPARE(shown.repeatedGroups, dry.repeatedGroups);
    QCOMPARE(shown.groups.size(), std::min<qsizetype>(100, dry.repeatedGroups));
    QCOMPARE(shown.groups.mid(0, dry.groups.size()), dry.groups);
    // The grid: the counts first, then each kept row and its repeats.
    const QAbstractItemModel* grid = page.DataGrid1->model();
    QVERIFY(page.DataGrid1->isVisibleTo(&page));
    const QString counts = grid->index(0, 0).data().toString();
    QVERIFY2(counts.startsWith(
                 QStringLiteral("%1 of 1,500 rows stay; ").arg(QLocale().toString(dry.rowsKept))) &&
                 counts.endsWith(QStringLiteral(" The first 100 are shown, %1 more are not.")
                                     .arg(dry.repeatedGroups - 100)),
             qPrintable(counts));
    const RepeatGroup& first = dry.groups.first();
    QCOMPARE(grid->index(1, 0).data().toLongLong(), first.kept);
    QCOMPARE(grid->index(1, 1).data().toString(), QStringLiteral("stays"));
    QCOMPARE(grid->index(2, 0).data().toLongLong(), first.repeats.first());
    QCOMPARE(grid->index(2, 1).data().toString(), QStringLiteral("repeats row %1").arg(first.kept));
}

void PreviewTest::aChoiceChangedMeanwhileNeverShowsTheOldPreview() {
    TempDatabase db;
    makeLargeTable(db, QStringLiteral("K"),
                   QStringLiteral("CASE WHEN i % 2 THEN 'k' ELSE 'K' END || (i % 5000)"));
    MessageLog messages;
    OnTargetPage run(db, QStringLiteral("B"), {"K"});
    Form4& page = run.page();
    QVERIFY(page.isPreviewing());
    chooseOptions(page, [](OptionsDialog& dialog) { dialog.ignoreCase->setChecked(true); });
    QVERIFY(!page.preview());
    QCOMPARE(previewOf(page).rowsKept, qint64(5000));
    chooseOptions(page, [](OptionsDialog& dialog) { dialog.ignoreCase->setChecked(false); });
    QVERIFY(!page.preview() && !page.DataGrid1->isVisibleTo(&page));
}

void PreviewTest::finishDuringAPreviewRunsWithTheChoicesShown() {
    TempDatabase db;
    makeLargeTable(db, QStringLiteral("K, V"), QStringLiteral("i % 7000, i"));
    MessageLog messages;
    OnTargetPage run(db, QStringLiteral("B"), {"K"});
    Form4& page = run.page();
    chooseOptions(page, [](OptionsDialog& dialog) { dialog.keep->setCurrentIndex(1); });
    QVERIFY(page.isPreviewing());
    page.Text1->setText(QStringLiteral("LAST"));
    page.Check4->click();
    QVERIFY2(messages.shown.value(0).startsWith(QStringLiteral("Done.")),
             qPrintable(messages.shown.join('|')));
    QVERIFY(!page.isPreviewing());
    QCOMPARE(db.column("SELECT min(V) FROM LAST"), QStringList{"293001"});
    QCOMPARE(db.column("SELECT count(*) FROM LAST"), QStringList{"7000"});
}

// Tab from the name reaches the options, Space opens them with their first
// box in focus; Down picks the last row and Enter says OK; Shift+Tab goes
// back to the name, and Enter there runs. The choice is there
// again for the same table, and only for it.
void PreviewTest::choicesByKeyboardAloneAreKeptForTheirTable() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE OTHER(A)"));
    MessageLog messages;
    {
        OnTargetPage run(db, QStringLiteral("VISITORS"), {"NAME", "CITY"});
        Form4& page = run.page();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        QTimer::singleShot(0, &page, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog && dialog->focusWidget());
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Down);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        page.Text1->setFocus();
        QTest::keyClick(page.Text1, Qt::Key_Tab);
        QCOMPARE(page.focusWidget(), page.Check6);
        QTest::keyClick(page.Check6, Qt::Key_Space);
        QCOMPARE(page.tableChoices().options.keep, RunOptions::Keep::Last);
        QTest::keyClick(page.Check6, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(page.Text1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(page.Text1, QStringLiteral("V_LAST"));
        QTest::keyClick(page.Text1, Qt::Key_Return);
        QVERIFY2(messages.shown.value(0).startsWith(QStringLiteral("Done.")),
                 qPrintable(messages.shown.join('|')));
        QCOMPARE(db.column(QStringLiteral("SELECT ID FROM V_LAST ORDER BY ID")),
                 (QStringList{"3", "4", "5"}));
        // A name the table of removed rows cannot have is refused, and the
        // choices stay as they were.
        chooseOptions(page, [](OptionsDialog& dialog) {
            dialog.keepRemoved->setChecked(true);
            dialog.removedName->setText(QStringLiteral("A\"B"));
        });
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(!page.tableChoices().keepRemoved);
    }
    // Started again with the store as the run left it.
    const auto reopen = [&](const QString& table, const QString& column) {
        auto driver = std::make_unique<WizardDriver>();
        if (driver->wizard.form1().isVisible())
            driver->connect();
        driver->chooseTable(table).chooseColumns({column});
        return driver;
    };
    const auto again = reopen(QStringLiteral("VISITORS"), QStringLiteral("NAME"));
    QCOMPARE(again->wizard.form4().Label2->text(), QStringLiteral("Last row stays"));
    QCOMPARE(again->wizard.form4().tableChoices().options.keep, RunOptions::Keep::Last);
    QCOMPARE(reopen(QStringLiteral("OTHER"), QStringLiteral("A"))->wizard.form4().Label2->text(),
             QString());
}

VARNOLT_TEST_MAIN(PreviewTest)
#include "test_preview.moc"
