// The benchmark program: makes an orders table of any size, and runs the same
// duplicate removal the wizard runs, headless, printing one JSON line.
//
//   varnolt_bench generate --db FILE --rows N [--seed S]
//   varnolt_bench run --db FILE --table T --column C [--column C ...] --new-name N [--replace]
//                     [--no-progress] [--keep first|last] [--order-by C[:desc] ...]
//                     [--ignore-case] [--trim] [--removed-into N] [--report FILE]
//   varnolt_bench positions --rows N     (DuplicatePositions alone, on N keys)
#include "engine/DuplicatePositions.h"
#include "engine/DuplicateRemoval.h"
#include "kinds/KindTable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

struct Order {
    qint64 id;
    QVariant name;
    QVariant city;
    double amount;
    QString note;
};

QVariant text(const QString& value) {
    return value;
}
QVariant nullText() {
    return QVariant(QMetaType::fromType<QString>());
}

// About 30% of the rows repeat the NAME and CITY of an earlier row; the rest
// are new, with the awkward values a real table has: NULLs, empty texts,
// values that differ only in letter case or a trailing blank, and ", ".
std::vector<Order> makeOrders(qint64 rows, quint32 seed) {
    QRandomGenerator random(seed);
    static const QStringList cities{"Oslo",  "Bergen", "Tromsø", "Trondheim",   "Stavanger",
                                    "Bodø",  "Molde",  "Narvik", "Hamar",       "Lillehammer",
                                    "Oslo ", "oslo",   "",       "Ås, Akershus"};
    std::vector<Order> orders;
    orders.reserve(static_cast<std::size_t>(rows));
    for (qint64 id = 1; id <= rows; ++id) {
        Order order{id, {}, {}, random.bounded(100000) / 100.0, {}};
        if (!orders.empty() && random.bounded(100) < 30) {
            const Order& earlier = orders[random.bounded(static_cast<quint64>(orders.size()))];
            order.name = earlier.name;
            order.city = earlier.city;
        } else {
            const QString name = QStringLiteral("Customer %1").arg(random.bounded(1000000000));
            switch (random.bounded(50)) {
            case 0:
                order.name = nullText();
                break;
            case 1:
                order.name = text(QString());
                break;
            case 2:
                order.name = text(name.toLower());
                break;
            case 3:
                order.name = text(name + QLatin1Char(' '));
                break;
            case 4:
                order.name = text(QStringLiteral("Smith, ") + name);
                break;
            default:
                order.name = text(name);
            }
            const int city = static_cast<int>(random.bounded(cities.size() + 1));
            order.city = city == cities.size() ? nullText() : text(cities.at(city));
        }
        order.note = id % 7 == 0 ? QStringLiteral("gift, wrapped") : QString();
        orders.push_back(order);
    }
    std::shuffle(orders.begin(), orders.end(), random);
    return orders;
}

int generate(const QString& file, qint64 rows, quint32 seed) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("gen"));
    db.setDatabaseName(file);
    if (!db.open()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(file));
        return 1;
    }
    QSqlQuery query(db);
    query.exec(QStringLiteral("DROP TABLE IF EXISTS ORDERS"));
    query.exec(QStringLiteral("CREATE TABLE ORDERS (ID INTEGER, NAME TEXT, CITY TEXT, "
                              "AMOUNT REAL, NOTE TEXT)"));
    db.transaction();
    query.prepare(QStringLiteral("INSERT INTO ORDERS VALUES (?, ?, ?, ?, ?)"));
    for (const Order& order : makeOrders(rows, seed)) {
        query.addBindValue(order.id);
        query.addBindValue(order.name);
        query.addBindValue(order.city);
        query.addBindValue(order.amount);
        query.addBindValue(order.note);
        if (!query.exec()) {
            std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
            return 1;
        }
    }
    db.commit();
    std::printf("{\"generated\": %lld}\n", static_cast<long long>(rows));
    return 0;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

int run(const QCommandLineParser& options) {
    RunInputs inputs{
        {options.value("db"), options.value("user"), qEnvironmentVariable("VARNOLT_PASSWORD")},
        options.value("table"),
        Db::ColumnsNamed(options.values("column")),
        options.value("new-name")};
    QString problem;
    inputs.options = RunOptionsFrom(options, problem).value_or(RunOptions());
    const bool replace = options.isSet("replace");
    // The longest the run went without asking its receiver, which is as long
    // as a window would wait for a repaint, from the start to the end.
    QElapsedTimer sinceAsked;
    qint64 longestWait = 0;
    const auto asked = [&] {
        longestWait = std::max(longestWait, sinceAsked.elapsed());
        sinceAsked.start();
    };
    RunCallbacks callbacks{[&](const Progress&) {
                               asked();
                               return true;
                           },
                           [replace](const QString&) { return replace; }};
    const bool progress = !options.isSet("no-progress");
    if (!progress)
        callbacks.progress = {};
    QElapsedTimer clock;
    clock.start();
    sinceAsked.start();
    const RunResult result =
        DuplicateRemoval(KindOf(inputs.connection.sid), inputs, callbacks).run();
    const double seconds = clock.nsecsElapsed() / 1e9;
    asked();

    QJsonObject line{{"status", static_cast<int>(result.status)},
                     {"rows_read", result.rowsRead},
                     {"rows_kept", result.rowsKept},
                     {"rows_removed", result.rowsRemoved},
                     {"seconds", seconds},
                     {"peak_memory_mb", peakMegabytes()},
                     {"longest_wait_ms", progress ? QJsonValue(longestWait) : QJsonValue()}};
    if (!result.message.isEmpty())
        line.insert("message", result.message);
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    return result.status == RunResult::Status::Done ? 0 : 1;
}

// Keys like a real key column: about 30% repeat an earlier key.
int positions(qint64 rows) {
    QRandomGenerator random(7);
    QStringList keys;
    keys.reserve(rows);
    for (qint64 i = 0; i < rows; ++i)
        keys << QStringLiteral("Customer %1, Oslo").arg(random.bounded(rows * 7 / 10));
    QElapsedTimer clock;
    clock.start();
    const QList<qint64> repeats = DuplicatePositions(keys);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const QJsonObject line{{"keys", rows},
                           {"repeats", repeats.size()},
                           {"seconds", seconds},
                           {"peak_memory_mb", peakMegabytes()}};
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCommandLineParser options;
    options.addPositionalArgument("command", "generate or run");
    options.addOptions({{"db", "SQLite database file, or a server's Data Source", "source"},
                        {"user", "user name on a server (the password: VARNOLT_PASSWORD)", "name"},
                        {"rows", "rows to generate", "n", "1000000"},
                        {"seed", "random seed", "s", "20261206"},
                        {"table", "source table", "name"},
                        {"column", "a chosen column (repeat for more)", "name"},
                        {"new-name", "the new table", "name"},
                        {"replace", "replace an existing table of the new name"},
                        {"no-progress", "run without a progress receiver"}});
    AddRunOptions(options);
    options.addHelpOption();
    options.process(application);
    const QStringList command = options.positionalArguments();
    if (command == QStringList{"generate"} && options.isSet("db"))
        return generate(options.value("db"), options.value("rows").toLongLong(),
                        options.value("seed").toUInt());
    if (command == QStringList{"positions"})
        return positions(options.value("rows").toLongLong());
    if (command == QStringList{"run"} && options.isSet("db") && options.isSet("table") &&
        options.isSet("column") && options.isSet("new-name"))
        return run(options);
    options.showHelp(2);
}
