// Window and list utilities and the value-list helpers.
#include "TestSupport.h"

#include "core/Values.h"
#include "engine/DuplicatePositions.h"
#include "engine/RepeatFinder.h"
#include "ui/Lists.h"
#include "ui/Windows.h"

#include <QFile>
#include <QGuiApplication>
#include <QListWidget>
#include <QRandomGenerator>
#include <QScreen>

using namespace Ui;

namespace {

QStringList letters(const QString& text) {
    return text.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// The pairwise reading: every element equal to any earlier one, highest first.
QList<qint64> quadraticReference(const QStringList& values) {
    QList<qint64> positions;
    for (qsizetype i = values.size() - 1; i >= 0; --i) {
        bool repeated = false;
        for (qsizetype j = 0; j < i; ++j)
            repeated = repeated || values.at(j) == values.at(i);
        if (repeated)
            positions << i + 1;
    }
    return positions;
}

void fill(QListWidget& list, const QString& items) {
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.addItems(letters(items));
}

} // namespace

class UtilsTest : public QObject {
    Q_OBJECT
private slots:
    void centringKeepsHalvesAndAllowsNegativeCorners();
    void centerFormPutsTheWindowInTheMiddle();
    void fileExistsAnswersWithoutRaising();
    void nullToDefaultKeepsTypes();
    void duplicatePositionsExamples_data();
    void duplicatePositionsExamples();
    void duplicatePositionsMatchesThePairwiseReading();
    void repeatFinderKeepsTheLowestNumberWhateverTheOrder();
    void repeatFinderKeepsLargeKeysWhole();
    void distinctValuesKeepsLastOccurrences();
    void removeItemsListedInRemovesEveryOccurrence();
    void removeItemsListedInKeepsOrDropsTheSelection();
};

void UtilsTest::centringKeepsHalvesAndAllowsNegativeCorners() {
    // 5880 twips on a 15360-twip screen: 4740 twips from the left.
    QCOMPARE(Ui::CenteredPosition(QSizeF(5880, 3060), QRectF(0, 0, 15360, 11520)).x(), 4740.0);
    QCOMPARE(Ui::CenteredPosition(QSizeF(101, 10), QRectF(0, 0, 200, 10)).x(), 49.5);
    const QPointF big = Ui::CenteredPosition(QSizeF(300, 300), QRectF(0, 0, 200, 100));
    QCOMPARE(big, QPointF(-50, -100));
    QCOMPARE(Ui::CenteredPosition(QSizeF(100, 100), QRectF(1000, 0, 200, 200)), QPointF(1050, 50));
}

void UtilsTest::centerFormPutsTheWindowInTheMiddle() {
    QWidget window;
    window.resize(200, 100);
    const QSize before = window.size();
    Ui::CenterForm(&window);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(window.pos(), QPoint(screen.left() + (screen.width() - 200) / 2,
                                  screen.top() + (screen.height() - 100) / 2));
    QCOMPARE(window.size(), before);
}

void UtilsTest::fileExistsAnswersWithoutRaising() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("HAND-M.CUR"));
    QVERIFY(!FileExists(file));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.close();
    QVERIFY(FileExists(file));
    QVERIFY(!FileExists(dir.filePath(QStringLiteral("no/such/folder/HAND-M.CUR"))));
    QVERIFY(!FileExists(QString()));
}

void UtilsTest::nullToDefaultKeepsTypes() {
    const QVariant number = NullToDefault(QVariant(42), QString());
    QCOMPARE(number.typeId(), QMetaType::Int);
    QCOMPARE(number.toInt(), 42);
    QCOMPARE(NullToDefault(QVariant(QMetaType::fromType<QString>()), QString()),
             QVariant(QString()));
    QCOMPARE(NullToDefault(QVariant(QString("")), QStringLiteral("x")).toString(), QString());
}

void UtilsTest::duplicatePositionsExamples_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QList<qint64>>("expected");
    QTest::newRow("example") << letters("A,B,A,C,B,A") << QList<qint64>{6, 5, 3};
    QTest::newRow("empty") << QStringList() << QList<qint64>{};
    QTest::newRow("single") << letters("A") << QList<qint64>{};
    QTest::newRow("all equal") << letters("x,x,x,x") << QList<qint64>{4, 3, 2};
    QTest::newRow("case differs") << letters("Col,COL,col") << QList<qint64>{};
    QTest::newRow("blanks differ") << QStringList{"a", "a ", " a", "a"} << QList<qint64>{4};
    QTest::newRow("empty texts") << QStringList{"", "x", ""} << QList<qint64>{3};
}

void UtilsTest::duplicatePositionsExamples() {
    QFETCH(QStringList, values);
    QFETCH(QList<qint64>, expected);
    QCOMPARE(DuplicatePositions(values), expected);
}

void UtilsTest::duplicatePositionsMatchesThePairwiseReading() {
    QRandomGenerator random(20261206);
    for (int round = 0; round < 300; ++round) {
        QStringList values;
        const int size = static_cast<int>(random.bounded(0, 60));
        const int alphabet = static_cast<int>(random.bounded(1, 12));
        for (int i = 0; i < size; ++i)
            values << QString::number(random.bounded(alphabet));
        QCOMPARE(DuplicatePositions(values), quadraticReference(values));
    }
}

void UtilsTest::repeatFinderKeepsTheLowestNumberWhateverTheOrder() {
    RepeatFinder finder;
    QCOMPARE(finder.offer("b", 7), qint64(0));
    QCOMPARE(finder.offer("a", 5), qint64(0));
    // A lower number for a known key shows the earlier holder to be the repeat.
    QCOMPARE(finder.offer("b", 2), qint64(7));
    QCOMPARE(finder.offer("b", 9), qint64(9));
    QCOMPARE(finder.offer("", 4), qint64(0));
    QCOMPARE(finder.offer("", 3), qint64(4));
    QVERIFY(finder.contains("") && !finder.contains("c"));
    // Growing the table keeps every key findable.
    for (int i = 0; i < 5000; ++i)
        QCOMPARE(finder.offer(QByteArray::number(i), 100 + i), qint64(0));
    QCOMPARE(finder.offer("a", 6), qint64(6));
    QCOMPARE(finder.offer(QByteArray::number(4999), 1), qint64(5099));
}

void UtilsTest::repeatFinderKeepsLargeKeysWhole() {
    int pulses = 0;
    RepeatFinder finder(RepeatFinder::Order::Any, [&] { ++pulses; });
    // Keys that fill storage blocks unevenly, and keys larger than a block.
    QList<QByteArray> keys;
    for (int i = 0; i < 40; ++i)
        keys << QByteArray(100000 + i, char('a' + i % 26));
    keys << QByteArray(3 << 20, 'x') << QByteArray((3 << 20) + 1, 'x');
    for (qsizetype i = 0; i < keys.size(); ++i)
        QCOMPARE(finder.offer(keys.at(i), i + 1), qint64(0));
    for (qsizetype i = 0; i < keys.size(); ++i)
        QCOMPARE(finder.offer(QByteArray(keys.at(i)), 1000 + i), qint64(1000 + i));
    QByteArray almost = keys.last();
    almost[almost.size() - 1] = 'y';
    QCOMPARE(finder.offer(almost, 5000), qint64(0));
    // Growing past a few hundred thousand keys pulses while the table is rebuilt.
    for (int i = 0; i < 300000; ++i)
        finder.offer(QByteArray::number(i), 10000 + i);
    QVERIFY(pulses > 0);
    QVERIFY(finder.contains(almost) && finder.contains(keys.first()));
}

void UtilsTest::distinctValuesKeepsLastOccurrences() {
    QCOMPARE(DistinctValues(letters("A,B,A,C,B")), letters("A,C,B"));
    QCOMPARE(DistinctValues(QStringList()), QStringList());
    QCOMPARE(DistinctValues(letters("A")), letters("A"));
    QCOMPARE(DistinctValues(QList<int>{3, 3, 3}), QList<int>{3});
    QCOMPARE(DistinctValues(letters("a,A")), letters("a,A"));
}

void UtilsTest::removeItemsListedInRemovesEveryOccurrence() {
    QListWidget target, reference;
    fill(target, "ID,NAME,CITY,NAME");
    RemoveItemsListedIn(&target, &reference);
    QCOMPARE(itemsOf(&target), letters("ID,NAME,CITY,NAME"));

    fill(reference, "NAME,name,NAME,ZIP");
    RemoveItemsListedIn(&target, &reference);
    QCOMPARE(itemsOf(&target), letters("ID,CITY"));
    QCOMPARE(itemsOf(&reference), letters("NAME,name,NAME,ZIP"));

    QListWidget empty;
    RemoveItemsListedIn(&empty, &reference);
    QCOMPARE(empty.count(), 0);
}

void UtilsTest::removeItemsListedInKeepsOrDropsTheSelection() {
    QListWidget target, reference;
    fill(target, "ID,NAME,CITY");
    fill(reference, "ID");
    target.setCurrentRow(2);
    RemoveItemsListedIn(&target, &reference);
    QCOMPARE(Ui::SelectedRow(&target), 1);
    QCOMPARE(target.item(1)->text(), QStringLiteral("CITY"));

    QListWidget other;
    fill(other, "CITY");
    RemoveItemsListedIn(&target, &other);
    QCOMPARE(Ui::SelectedRow(&target), -1);
    QCOMPARE(itemsOf(&target), letters("NAME"));
}

VARNOLT_TEST_MAIN(UtilsTest)
#include "test_utils.moc"
