#include "app/TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <QSocketNotifier>

namespace qx::app {
namespace {

int pair[2] = {-1, -1};

extern "C" void onTermination(int)
{
    const char byte = 1;
    (void)!::write(pair[1], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
    notifier_ = new QSocketNotifier(pair[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        (void)!::read(pair[0], &byte, 1);
        onSignal_();
    });
    std::signal(SIGTERM, onTermination);
    std::signal(SIGINT, onTermination);
}

TerminationSignals::~TerminationSignals()
{
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    for (int& fd : pair) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace qx::app
