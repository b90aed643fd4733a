#pragma once

#include "DuplicateRemoval.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// A run on a thread of its own, with its own connections, the one way every
// front end runs one. The front end's thread waits for it, and meanwhile
// shows how it goes, answers its question and stops it; nothing of the front
// end ever runs inside a database's callback.
class BackgroundRun {
public:
    BackgroundRun(const RunKind& kind, RunInputs inputs);
    // Stops a run still going and waits for it to take back what it made.
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    // What the run's thread does now and then, seen from the front end.
    struct State {
        Progress progress;
        // The question the run waits on, until it is answered.
        std::optional<QString> question;
    };
    // Waits for the run, calling `meanwhile` every few milliseconds with how
    // it goes; `meanwhile` answers the question with answer() and may stop().
    RunResult wait(const std::function<void(const State&)>& meanwhile);
    // Without waiting: the result once the run is over, or nothing and how it
    // goes in `state`.
    std::optional<RunResult> look(State& state) const;
    void answer(bool yes);
    // The run stops at its next look, and takes back what it made.
    void stop();

private:
    bool told(const Progress& progress);
    bool asked(const QString& question);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state;
    std::optional<bool> m_answer;
    bool m_stopping = false;
    bool m_done = false;
    RunResult m_result;
    std::thread m_thread;
};
