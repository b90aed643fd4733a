#include "PreviewRun.h"

namespace {

// Often enough that the progress line moves smoothly.
constexpr int kLookMilliseconds = 50;

} // namespace

PreviewRun::PreviewRun(QObject* parent) : QObject(parent) {
    m_looks.setInterval(kLookMilliseconds);
    connect(&m_looks, &QTimer::timeout, this, &PreviewRun::look);
}

PreviewRun::~PreviewRun() = default;

void PreviewRun::start(const RunKind& kind, RunInputs inputs) {
    stop();
    inputs.dryRun = true;
    m_run = std::make_unique<BackgroundRun>(kind, std::move(inputs));
    m_looks.start();
}

void PreviewRun::stop() {
    m_looks.stop();
    m_run.reset();
}

void PreviewRun::look() {
    BackgroundRun::State state;
    const std::optional<RunResult> result = m_run->look(state);
    if (!result) {
        emit progressed(state.progress);
        return;
    }
    stop();
    emit finished(*result);
}
