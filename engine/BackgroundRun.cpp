#include "BackgroundRun.h"

#include <chrono>

namespace {

// How often the front end is told how the run goes; a new phase is told at
// once.
constexpr std::chrono::milliseconds kLook{10};

} // namespace

BackgroundRun::BackgroundRun(const RunKind& kind, RunInputs inputs)
    : m_thread([this, &kind, inputs = std::move(inputs)] {
          RunResult result =
              DuplicateRemoval(kind, inputs,
                               {[this](const Progress& progress) { return told(progress); },
                                [this](const QString& question) { return asked(question); }})
                  .run();
          const std::lock_guard lock(m_mutex);
          m_result = std::move(result);
          m_done = true;
          m_changed.notify_all();
      }) {}

BackgroundRun::~BackgroundRun() {
    stop();
    m_thread.join();
}

bool BackgroundRun::told(const Progress& progress) {
    const std::lock_guard lock(m_mutex);
    if (progress.phase != m_state.progress.phase)
        m_changed.notify_all();
    m_state.progress = progress;
    return !m_stopping;
}

bool BackgroundRun::asked(const QString& question) {
    std::unique_lock lock(m_mutex);
    m_state.question = question;
    m_answer.reset();
    m_changed.wait(lock, [this] { return m_answer.has_value() || m_stopping; });
    return m_answer.value_or(false) && !m_stopping;
}

void BackgroundRun::answer(bool yes) {
    const std::lock_guard lock(m_mutex);
    m_answer = yes;
    m_state.question.reset();
    m_changed.notify_all();
}

void BackgroundRun::stop() {
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_changed.notify_all();
}

std::optional<RunResult> BackgroundRun::look(State& state) const {
    const std::lock_guard lock(m_mutex);
    state = m_state;
    if (!m_done)
        return std::nullopt;
    return m_result;
}

RunResult BackgroundRun::wait(const std::function<void(const State&)>& meanwhile) {
    std::unique_lock lock(m_mutex);
    while (!m_done) {
        const State state = m_state;
        lock.unlock();
        meanwhile(state);
        lock.lock();
        const Phase shown = state.progress.phase;
        m_changed.wait_for(lock, kLook, [&] {
            return m_done || m_state.progress.phase != shown || m_state.question;
        });
    }
    return m_result;
}
