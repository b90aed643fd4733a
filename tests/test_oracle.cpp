// The Oracle path, against a stand-in for the OCI driver: the statement texts
// the wizard and the run send, in order.
#include "FakeOracle.h"
#include "TestSupport.h"

#include "db/Catalogue.h"
#include "db/DatabaseError.h"
#include "engine/DuplicateRemoval.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Wizard.h"
#include "ui/PageButton.h"

#include <QLineEdit>
#include <QListWidget>

namespace {

const QString kColumnList = QStringLiteral(
    "SELECT COLUMN_NAME from USER_TAB_COLUMNS where TABLE_NAME=:table_name ORDER BY COLUMN_ID");
const QString kColumnTypes =
    QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE from USER_TAB_COLUMNS where "
                   "TABLE_NAME=:table_name ORDER BY COLUMN_ID");
const QString kMarker = QStringLiteral("\"TEMP_COLUMN_CREATED_BY_QUORVEN\"");

Db::ConnectionData oracle(const QString& password = FakeOracle::kPassword) {
    return {QStringLiteral("KTNA"), QStringLiteral("SCOTT"), password};
}

QVariant null() {
    return QVariant(QMetaType::fromType<QString>());
}

// The schema of the worked example: VISITORS (ID, NAME, CITY), five rows. The
// numbered copy is read in another order than it was numbered.
FakeOracle::Answer visitors(const QString& sql, const QVariantList& binds) {
    if (sql == QStringLiteral("select table_name from user_tables"))
        return {{"TABLE_NAME"}, {{"VISITORS"}, {"visitors2"}}};
    if (sql == kColumnList && binds == QVariantList{"VISITORS"})
        return {{"COLUMN_NAME"}, {{"ID"}, {"NAME"}, {"CITY"}}};
    if (sql == kColumnTypes && binds == QVariantList{"VISITORS"})
        return {{"COLUMN_NAME", "DATA_TYPE"},
                {{"ID", "NUMBER"},
                 {"NAME", "VARCHAR2"},
                 {"CITY", "VARCHAR2"},
                 {"SEEN", "TIMESTAMP(6)"},
                 {"SEEN_AT", "TIMESTAMP(6) WITH TIME ZONE"}}};
    if (sql.startsWith(QStringLiteral("SELECT ") + kMarker))
        return {{"M", "NAME", "CITY"},
                {{"3", "Ann", "Oslo"},
                 {"1", "Ann", "Oslo"},
                 {"5", "ann", "Oslo"},
                 {"4", "Bob", null()},
                 {"2", "Bob", null()}}};
    if (sql.startsWith(QStringLiteral("DROP SEQUENCE")))
        return {{}, {}, "2289", "ORA-02289: sequence does not exist"};
    return {};
}

} // namespace

class OracleTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FakeOracle::install(); }

    void canConnectFollowsTheLogon();
    void workedExampleSendsTheDocumentedStatements();
    void failedStepRemovesTheUnfinishedCopy();
    void timestampsAreReadToTheNanosecond();
    void pagesSendTheCatalogueTexts();
};

void OracleTest::canConnectFollowsTheLogon() {
    QVERIFY(Db::CanConnect(oracle()));
    QVERIFY(!Db::CanConnect(oracle(QStringLiteral("wrong"))));
    Db::Session session(oracle(QStringLiteral("wrong")));
    try {
        session.open();
        QFAIL("the logon should have failed");
    } catch (const Db::DatabaseError& error) {
        QCOMPARE(error.message(), QStringLiteral("Error 1017: ORA-01017: invalid "
                                                 "username/password; logon denied"));
    }
}

void OracleTest::workedExampleSendsTheDocumentedStatements() {
    FakeOracle::setScript(visitors);
    const RunResult result =
        DuplicateRemoval(
            {oracle(), QStringLiteral("VISITORS"), {"NAME", "CITY"}, QStringLiteral("VISITORS2")},
            {})
            .run();
    QCOMPARE(result.status, RunResult::Status::Done);
    QCOMPARE(result.rowsRead, qint64(5));
    QCOMPARE(result.rowsRemoved, qint64(2));
    const QStringList expected{
        kColumnTypes + QStringLiteral("; binds: VISITORS"),
        QStringLiteral("SELECT \"NAME\", \"CITY\" FROM \"VISITORS\" WHERE 1 = 0"),
        QStringLiteral("select table_name from user_tables"),
        QStringLiteral("CREATE TABLE \"VISITORS2\" AS SELECT * from \"VISITORS\""),
        QStringLiteral("DROP SEQUENCE TEMP_SEQ_CREATED_BY_QUORVEN"),
        QStringLiteral("CREATE SEQUENCE TEMP_SEQ_CREATED_BY_QUORVEN START WITH 1"),
        QStringLiteral("ALTER TABLE \"VISITORS2\" ADD ") + kMarker + QStringLiteral(" INT"),
        QStringLiteral("UPDATE \"VISITORS2\" SET ") + kMarker +
            QStringLiteral(" = TEMP_SEQ_CREATED_BY_QUORVEN.NEXTVAL"),
        QStringLiteral("SELECT ") + kMarker +
            QStringLiteral(", \"NAME\", \"CITY\" FROM "
                           "\"VISITORS2\""),
        QStringLiteral("DELETE FROM \"VISITORS2\" WHERE ") + kMarker +
            QStringLiteral(" IN (:n0, :n1); binds: 3, 4"),
        QStringLiteral("ALTER TABLE \"VISITORS2\" DROP COLUMN ") + kMarker};
    QCOMPARE(FakeOracle::log(), expected);
}

void OracleTest::failedStepRemovesTheUnfinishedCopy() {
    FakeOracle::setScript([](const QString& sql, const QVariantList& binds) {
        if (sql.startsWith(QStringLiteral("UPDATE")))
            return FakeOracle::Answer{{}, {}, "1653", "ORA-01653: unable to extend table"};
        return visitors(sql, binds);
    });
    const RunResult result =
        DuplicateRemoval(
            {oracle(), QStringLiteral("VISITORS"), {"NAME"}, QStringLiteral("VISITORS2")}, {})
            .run();
    QCOMPARE(result.status, RunResult::Status::Failed);
    QVERIFY(
        result.message.startsWith(QStringLiteral("Error 1653: ORA-01653: unable to extend table")));
    QVERIFY(result.message.contains(QStringLiteral("unfinished table VISITORS2 was removed")));
    QCOMPARE(FakeOracle::log().last(), QStringLiteral("DROP TABLE \"VISITORS2\""));
    QVERIFY(!FakeOracle::log().join('\n').contains(QStringLiteral("DELETE")));
}

void OracleTest::timestampsAreReadToTheNanosecond() {
    FakeOracle::setScript(visitors);
    DuplicateRemoval({oracle(),
                      QStringLiteral("VISITORS"),
                      {"SEEN", "NAME", "SEEN_AT"},
                      QStringLiteral("VISITORS2")},
                     {})
        .run();
    const QStringList reads = FakeOracle::log().filter(QStringLiteral("SELECT ") + kMarker);
    QCOMPARE(reads.size(), 1);
    QCOMPARE(reads.first(),
             QStringLiteral("SELECT ") + kMarker +
                 QStringLiteral(", TO_CHAR(\"SEEN\", 'YYYY-MM-DD HH24:MI:SS.FF9'), \"NAME\", "
                                "TO_CHAR(SYS_EXTRACT_UTC(\"SEEN_AT\"), "
                                "'YYYY-MM-DD HH24:MI:SS.FF9') FROM \"VISITORS2\""));
}

void OracleTest::pagesSendTheCatalogueTexts() {
    FakeOracle::setScript(visitors);
    ClearSettings();
    MessageLog messages;
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    wizard.form1().Text1->setText(QStringLiteral("KTNA"));
    wizard.form1().Text2->setText(QStringLiteral("SCOTT"));
    wizard.form1().Text3->setText(FakeOracle::kPassword);
    wizard.form1().Check5->click();
    QCOMPARE(messages.shown, QStringList{"Connection successful."});
    FakeOracle::log().clear();
    wizard.form1().Check3->click();
    QCOMPARE(wizard.form2().List1->count(), 2);
    wizard.form2().Check3->click();
    QCOMPARE(wizard.form3().List1->count(), 3);
    QCOMPARE(FakeOracle::log(), (QStringList{"select table_name from user_tables",
                                             "select table_name from user_tables",
                                             kColumnList + QStringLiteral("; binds: VISITORS"),
                                             "SELECT * FROM \"VISITORS\""}));
    QCOMPARE(messages.shown.size(), 1);
}

VARNOLT_TEST_MAIN(OracleTest)
#include "test_oracle.moc"
