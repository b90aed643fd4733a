#include "RunProgress.h"

#include "core/Values.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>

namespace Ui {

namespace {
constexpr qint64 kRepaintMilliseconds = 100;
// The bar counts in thousandths, since a table's rows may not fit an int.
constexpr int kBarSteps = 1000;
} // namespace

RunProgress::RunProgress(QWidget* parent)
    : QWidget(parent), m_phase(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_rows(new QLabel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_phase);
    layout->addWidget(m_bar);
    layout->addWidget(m_rows);
    layout->addStretch();
    m_bar->setTextVisible(false);

    m_bar->setAccessibleName(QStringLiteral("Run progress"));
}

void RunProgress::tell(const QString& phase, qint64 done, qint64 total) {
    if (phase == m_shownPhase && m_sinceShown.isValid() &&
        m_sinceShown.elapsed() < kRepaintMilliseconds)
        return;
    m_shownPhase = phase;
    m_sinceShown.start();
    m_phase->setText(phase);
    m_phase->setAccessibleName(phase);
    const QLocale locale;
    if (total > 0) {
        m_bar->setRange(0, kBarSteps);
        m_bar->setValue(int(std::min(done, total) * kBarSteps / total));
        m_rows->setText(
            QStringLiteral("%1 of %2 rows").arg(locale.toString(done), locale.toString(total)));
    } else {
        m_bar->setRange(0, 0);
        m_rows->setText(done > 0 ? Rows(done, locale) : QString());
    }
}

} // namespace Ui
