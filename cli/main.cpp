// varnolt-cli: the duplicate removal of the wizard, for scripts and terminals.
#include "Terminal.h"
#include "db/Catalogue.h"
#include "db/DatabaseError.h"
#include "engine/BackgroundRun.h"
#include "engine/RemovedGroups.h"
#include "kinds/KindTable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSqlDatabase>
#include <QTextStream>
#include <cstdio>

namespace {

enum Exit { kDone = 0, kFailed = 1, kUsage = 2, kRefused = 3, kInterrupted = 130 };

const char* const kDescription =
    R"(Makes a copy of TABLE without the rows whose chosen columns repeat those of an
earlier row; the first row of each group stays (or the one --keep says), and
TABLE is only read.

Commands:
  tables DB            lists the tables, one name a line (--json: an array)
  columns DB TABLE     lists the columns of TABLE (--json: an array)
  run DB TABLE --column C [--column C ...]
                       makes the copy (or, with --in-place, cleans TABLE)
  restore DB TABLE --from N
                       puts the rows a run --in-place removed back

DB is one of:
  a SQLite database file, as a path that starts with "/", "./", "../" or "~/"
    (./demo.sqlite), or the bare name of an existing one (demo.sqlite);
  a PostgreSQL URI: postgresql://host:port/dbname, a socket folder as
    ?host=/path;
  a MariaDB or MySQL URI: mariadb://host:port/dbname, a local socket as
    ?socket=/path;
  an Oracle net service name or EZConnect string: dbhost/XEPDB1,
    //dbhost:1521/ORCL.
On a server give --user; the password is taken from the environment variable
VARNOLT_PASSWORD, or asked for on the terminal.

While a run goes on and standard error is a terminal, its phase and the rows
done are shown there. Ctrl+C stops a run; what it made is taken back.

Exit codes: 0 done, 1 failed (the database's error number and text on
standard error), 2 bad usage, 3 refused (an existing table without --replace,
a bad new name, a source that is no table), 130 stopped by Ctrl+C.)";

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int usage(const QString& problem) {
    err() << "varnolt-cli: " << problem << "\nTry 'varnolt-cli --help'." << Qt::endl;
    return kUsage;
}

// The connection data for DB: a file needs none; a server takes the password
// from the environment or from the terminal, never from the command line,
// where every user of the machine could read it.
std::optional<Db::ConnectionData> connectionFor(const RunKind& kind, const QString& db,
                                                const QString& user) {
    Db::ConnectionData data{db, user, {}};
    if ((user.isEmpty() && !kind.findsPasswords()) || !kind.logsIn())
        return data;
    if (qEnvironmentVariableIsSet("VARNOLT_PASSWORD")) {
        data.password = qEnvironmentVariable("VARNOLT_PASSWORD");
        return data;
    }
    // A client that finds passwords of its own is asked first; the terminal
    // only where the server wants one and none was found.
    if (kind.findsPasswords()) {
        const std::optional<Db::DatabaseError> failure = Db::ConnectError(kind, data);
        if (!failure || !failure->text().contains(QStringLiteral("no password supplied")))
            return data;
    }
    bool hadTerminal = false;
    data.password = Terminal::askHidden(
        QStringLiteral("Password for %1: ").arg(user.isEmpty() ? db : user), &hadTerminal);
    if (!hadTerminal)
        return std::nullopt;
    return data;
}

// Shows the phase and the rows done on one terminal line, at most ten times a
// second.
// The line is wiped once the run is over, so that the summary stands alone.
class ProgressLine {
public:
    explicit ProgressLine(bool shown) : m_shown(shown) {}
    void clear() {
        if (m_written)
            err() << "\r\033[K" << Qt::flush;
        m_written = false;
    }
    void show(const Progress& progress) {
        if (!m_shown || (m_clock.isValid() && m_clock.elapsed() < 100 && progress.phase == m_phase))
            return;
        m_clock.start();
        m_phase = progress.phase;
        const QLocale locale;
        QString line = PhaseText(progress.phase);
        if (progress.total >= 0)
            line += QStringLiteral(": %1 of %2 rows")
                        .arg(locale.toString(progress.done), locale.toString(progress.total));
        else if (progress.done > 0)
            line += QStringLiteral(": ") + Rows(progress.done, locale);
        err() << "\r\033[K" << line << Qt::flush;
        m_written = true;
    }

private:
    bool m_shown;
    bool m_written = false;
    Phase m_phase = Phase::Checking;
    QElapsedTimer m_clock;
};

// A key value as a person reads it: texts quoted, so that blanks show, NULL
// as NULL, bytes in hex.
QString shownValue(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("x'") + QString::fromLatin1(value.toByteArray().toHex()) +
               QLatin1Char('\'');
    if (value.typeId() == QMetaType::QString)
        return QLatin1Char('\'') +
               value.toString().replace(QLatin1Char('\''), QStringLiteral("''")) +
               QLatin1Char('\'');
    return value.toString();
}

void printSummary(const RunInputs& inputs, const RunResult& result, double seconds, bool json) {
    const char* status = result.status == RunResult::Status::Done      ? "done"
                         : result.status == RunResult::Status::Stopped ? "stopped"
                         : result.status == RunResult::Status::Failed  ? "failed"
                                                                       : "refused";
    if (json) {
        QJsonObject summary{{"status", status},
                            {"rows_read", result.rowsRead},
                            {"rows_kept", result.rowsKept},
                            {"rows_removed", result.rowsRemoved},
                            {"seconds", seconds},
                            {"new_table", inputs.dryRun ? QJsonValue() : inputs.newTable},
                            {"dry_run", inputs.dryRun},
                            {"options", JsonOf(inputs.options)}};
        if (!result.message.isEmpty())
            summary.insert("message", result.message);
        if (inputs.dryRun) {
            QJsonArray groups;
            for (const RepeatGroup& group : result.groups) {
                QJsonArray repeats, values;
                for (const qint64 repeat : group.repeats)
                    repeats.append(repeat);
                for (const QVariant& value : group.values)
                    values.append(JsonValueOf(value));
                groups.append(
                    QJsonObject{{"key", values}, {"kept", group.kept}, {"removed", repeats}});
            }
            summary.insert("groups", groups);
            summary.insert("repeated_groups", result.repeatedGroups);
        }
        out() << QJsonDocument(summary).toJson(QJsonDocument::Compact) << Qt::endl;
        return;
    }
    if (result.status != RunResult::Status::Done)
        return;
    if (inputs.dryRun) {
        const QLocale locale;
        out() << QStringLiteral("%1 read: %2 would be kept, %3 would be left out as repeats.\n")
                     .arg(Rows(result.rowsRead, locale), locale.toString(result.rowsKept),
                          locale.toString(result.rowsRemoved));
        for (const RepeatGroup& group : result.groups) {
            QStringList repeats, values;
            for (const qint64 repeat : group.repeats)
                repeats << QString::number(repeat);
            for (qsizetype i = 0; i < group.values.size(); ++i)
                values << inputs.columns.value(i).name + QStringLiteral(" = ") +
                              shownValue(group.values.at(i));
            out() << QStringLiteral("row %1 stays, repeated by %2: %3\n")
                         .arg(group.kept)
                         .arg(repeats.join(QStringLiteral(", ")),
                              values.join(QStringLiteral(", ")));
        }
        if (const qint64 more = result.repeatedGroups - result.groups.size(); more > 0)
            out() << (more == 1
                          ? QStringLiteral("... and 1 more group\n")
                          : QStringLiteral("... and %1 more groups\n").arg(locale.toString(more)));
        return;
    }
    out() << RunSummary(inputs, result, QLocale()) << Qt::endl;
}

int exitFor(const RunResult& result) {
    switch (result.status) {
    case RunResult::Status::Done:
        return kDone;
    case RunResult::Status::Refused:
    case RunResult::Status::Declined:
        return kRefused;
    case RunResult::Status::Stopped:
        return kInterrupted;
    case RunResult::Status::Failed:
        return kFailed;
    }
    return kFailed;
}

int runCommand(const RunKind& kind, const Db::ConnectionData& connection, const QString& table,
               const QCommandLineParser& options) {
    QString problem;
    const std::optional<RunOptions> chosen = RunOptionsFrom(options, problem);
    if (!chosen)
        return usage(problem);
    const RunInputs inputs =
        Prepared({connection, table, Db::ColumnsNamed(options.values("column")),
                  options.isSet("new-name") ? options.value("new-name") : ProposedName(table, kind),
                  options.isSet("dry-run"), *chosen});
    const bool replace = options.isSet("replace");
    ProgressLine line(Terminal::errorIsTerminal());
    QElapsedTimer clock;
    clock.start();
    BackgroundRun background(kind, inputs);
    RunResult result = background.wait([&](const BackgroundRun::State& state) {
        line.show(state.progress);
        if (Terminal::interrupted())
            background.stop();
        if (state.question)
            background.answer(replace);
    });
    const double seconds = clock.nsecsElapsed() / 1e9;
    line.clear();
    if (result.status == RunResult::Status::Declined)
        result.message = QStringLiteral("A table named %1 already exists; give --replace to "
                                        "replace it.")
                             .arg(inputs.newTable);
    if (result.status == RunResult::Status::Stopped)
        result.message = QStringLiteral("Stopped. ") + result.message;
    printSummary(inputs, result, seconds, options.isSet("json"));
    if (!result.message.isEmpty())
        err() << result.message << Qt::endl;
    return exitFor(result);
}

// Puts the rows a run in place removed back where they were.
int restoreCommand(const RunKind& kind, const Db::ConnectionData& connection, const QString& table,
                   const QCommandLineParser& options) {
    Db::Session session(kind, connection);
    RunResult result;
    try {
        result = kind.restore(session, table, options.value("from"), options.isSet("dry-run"));
    } catch (const Db::DatabaseError& error) {
        result.status = RunResult::Status::Failed;
        result.message = error.message();
    }
    if (result.status == RunResult::Status::Done)
        out() << (options.isSet("dry-run") ? QStringLiteral("%1 would go back into %2.")
                                           : QStringLiteral("%1 went back into %2."))
                     .arg(Rows(result.rowsKept), table)
              << Qt::endl;
    else
        err() << result.message << Qt::endl;
    return exitFor(result);
}

int listCommand(const RunKind& kind, const Db::ConnectionData& connection,
                const QStringList& arguments, bool json) {
    const KeepGoing keepGoing = [] { return !Terminal::interrupted(); };
    try {
        Db::Session session(kind, connection);
        session.open();
        const QStringList names = arguments.size() == 2
                                      ? Db::TableList(session, keepGoing)
                                      : Db::ColumnList(session, arguments.at(2), keepGoing);
        if (json) {
            out() << QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact)
                  << Qt::endl;
            return kDone;
        }
        for (const QString& name : names)
            out() << name << "\n";
        return kDone;
    } catch (const Db::DatabaseError& error) {
        err() << error.message() << Qt::endl;
        return kFailed;
    } catch (const Stopped&) {
        return kInterrupted;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnolt-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNOLT_VERSION));
    QCommandLineParser options;
    options.setApplicationDescription(QString::fromUtf8(kDescription));
    options.addPositionalArgument(QStringLiteral("command"),
                                  QStringLiteral("tables, columns or run"));
    options.addPositionalArgument(QStringLiteral("DB"), QStringLiteral("the database"));
    options.addPositionalArgument(QStringLiteral("TABLE"),
                                  QStringLiteral("the table (columns, run)"),
                                  QStringLiteral("[TABLE]"));
    options.addOptions(
        {{"column",
          "a column whose values, with the other chosen ones, make a row a repeat; give it once "
          "for each column, in order",
          "C"},
         {"new-name",
          "the copy's name (default: TABLE followed by \"2\", or by \"Two\" when TABLE ends in "
          "\"2\")",
          "N"},
         {"replace", "replace an existing table of the new name (or of --removed-into)"},
         {"dry-run",
          "change nothing: tell how many rows would be kept and removed, and show the first ten "
          "groups of repeats"},
         {"json", "print the summary, or the list, as JSON"},
         {"user", "the user name on a server", "U"},
         {"from", "restore: the table of removed rows to put back (e.g. --from ORDERS_REMOVED)",
          "N"}});
    AddRunOptions(options);
    const QCommandLineOption help = options.addHelpOption();
    const QCommandLineOption version = options.addVersionOption();
    if (!options.parse(QCoreApplication::arguments()))
        return usage(options.errorText());
    if (options.isSet(help))
        options.showHelp(kDone);
    if (options.isSet(version))
        options.showVersion();
    const QStringList arguments = options.positionalArguments();
    const QString command = arguments.value(0);
    const int expected = command == QStringLiteral("tables") ? 2 : 3;
    if ((command != "tables" && command != "columns" && command != "run" && command != "restore") ||
        arguments.size() != expected)
        return usage(QStringLiteral(
            "expected 'tables DB', 'columns DB TABLE', 'run DB TABLE' or 'restore DB TABLE'"));
    if (command == "run" && !options.isSet("column"))
        return usage(QStringLiteral("'run' needs at least one --column"));
    if (command == "restore" && options.value("from").isEmpty())
        return usage(QStringLiteral("'restore' needs --from, the table of removed rows"));
    // A missing driver is said before a password is asked for in vain.
    const RunKind& kind = KindOf(arguments.at(1));
    if (!QSqlDatabase::isDriverAvailable(kind.driver())) {
        err() << kind.missingDriver() << Qt::endl;
        return kFailed;
    }
    const std::optional<Db::ConnectionData> connection =
        connectionFor(kind, arguments.at(1), options.value("user"));
    if (!connection)
        return usage(QStringLiteral("no password: set VARNOLT_PASSWORD or run on a terminal"));
    Terminal::catchInterrupt();
    if (command == "run")
        return runCommand(kind, *connection, arguments.at(2), options);
    if (command == "restore")
        return restoreCommand(kind, *connection, arguments.at(2), options);
    return listCommand(kind, *connection, arguments, options.isSet("json"));
}
