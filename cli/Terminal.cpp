#include "Terminal.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace Terminal {

namespace {
std::atomic<bool> interruptSeen{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    interruptSeen = true;
}
} // namespace

bool errorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

QString askHidden(const QString& prompt, bool* hadTerminal) {
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
    *hadTerminal = tty >= 0;
    if (tty < 0)
        return {};
    const QByteArray question = prompt.toLocal8Bit();
    [[maybe_unused]] const ssize_t written = write(tty, question.constData(), question.size());
    termios before{};
    const bool canHide = tcgetattr(tty, &before) == 0;
    if (canHide) {
        termios hidden = before;
        hidden.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(tty, TCSAFLUSH, &hidden);
    }
    QByteArray answer;
    char c = 0;
    while (read(tty, &c, 1) == 1 && c != '\n')
        answer.append(c);
    if (canHide)
        tcsetattr(tty, TCSAFLUSH, &before);
    [[maybe_unused]] const ssize_t newline = write(tty, "\n", 1);
    close(tty);
    return QString::fromLocal8Bit(answer);
}

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() {
    return interruptSeen;
}

} // namespace Terminal
