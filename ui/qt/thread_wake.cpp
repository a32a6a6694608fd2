#include "ui/qt/thread_wake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include <QMetaObject>
#include <QSocketNotifier>
#include <cstdint>
#include <utility>

namespace sizewalk {

CThreadWake::CThreadWake(std::function<void()> callback, QObject* parent)
    : QObject(parent), m_callback(std::move(callback)) {
    m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0) return;  // at the descriptor limit: Qt's queue still works
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
}

CThreadWake::~CThreadWake() {
    delete m_notifier;
    if (m_fd >= 0) ::close(m_fd);
}

void CThreadWake::Wake() noexcept {
    if (m_fd >= 0) {
        const std::uint64_t one = 1;
        // A full counter (never, in practice) still leaves the fd readable.
        if (::write(m_fd, &one, sizeof one) >= 0 || errno == EAGAIN) return;
    }
    try {
        QMetaObject::invokeMethod(
            this, [this] { m_callback(); }, Qt::QueuedConnection);
    } catch (...) {
        // Out of memory: the owner's own timer (if any) picks the work up.
    }
}

void CThreadWake::OnReadable() {
    std::uint64_t count = 0;
    if (::read(m_fd, &count, sizeof count) != sizeof count) return;
    m_callback();
}

}  // namespace sizewalk
