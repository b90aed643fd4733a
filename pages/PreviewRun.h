#pragma once

#include "engine/BackgroundRun.h"

#include <QObject>
#include <QTimer>
#include <memory>

// A dry run for a page, on a thread of its own, that the page's thread only
// looks at now and then: the page stays usable while it reads. Starting it
// anew stops the one before, whose result is then never told.
class PreviewRun : public QObject {
    Q_OBJECT
public:
    explicit PreviewRun(QObject* parent = nullptr);
    ~PreviewRun() override;

    void start(const RunKind& kind, RunInputs inputs);
    // Stops the run and waits for its thread, which lets go of the database.
    void stop();
    bool isRunning() const { return m_run != nullptr; }

signals:
    void progressed(const Progress& progress);
    void finished(const RunResult& result);

private:
    void look();

    std::unique_ptr<BackgroundRun> m_run;
    QTimer m_looks;
};
