#pragma once
// Wakes the window's thread from a worker thread. Wake() may be called from
// any thread, any number of times; the callback runs later on the thread that
// made the object, once per batch of wakes.
//
// Qt's queued calls would do the same, but they build the event on the
// worker and hand it over under Qt's own lock, which the thread sanitizer
// cannot see; a wake through an eventfd is a hand-off it checks.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace sizewalk {

class CThreadWake : public QObject {
public:
    CThreadWake(std::function<void()> callback, QObject* parent);
    ~CThreadWake() override;
    CThreadWake(const CThreadWake&) = delete;
    CThreadWake& operator=(const CThreadWake&) = delete;

    void Wake() noexcept;

private:
    void OnReadable();

    std::function<void()> m_callback;
    int m_fd = -1;  // -1: no descriptor to spare; wakes go through Qt's queue
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace sizewalk
