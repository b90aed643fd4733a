#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace Ui {

// What a long run is doing, in words and as a bar: rows done of rows total
// where the total is known, a busy bar where it is not. It repaints at most
// ten times a second, so telling it costs the run nothing worth measuring.
class RunProgress : public QWidget {
    Q_OBJECT
public:
    explicit RunProgress(QWidget* parent);
    // `total` below 0: not known.
    void tell(const QString& phase, qint64 done, qint64 total);

private:
    QLabel* m_phase;
    QProgressBar* m_bar;
    QLabel* m_rows;
    QString m_shownPhase;
    QElapsedTimer m_sinceShown;
};

} // namespace Ui
