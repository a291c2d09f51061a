#include "platform/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

int gSignalSocket = -1;  // the write end; the handler may only write to it

void NoteSignal(int) {
    const char byte = 1;
    // A full socket already holds a wake-up; nothing else is safe to do here.
    [[maybe_unused]] const ssize_t written = ::write(gSignalSocket, &byte, 1);
}

}  // namespace

void QuitOnTerminationSignals() {
    int ends[2];
    if (gSignalSocket >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        return;
    gSignalSocket = ends[0];
    auto* notifier =
        new QSocketNotifier(ends[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::exit(0);  // every event loop ends, a dialog's too
    });
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    // Once: a shutdown that hangs is still ended by the next signal.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
}
