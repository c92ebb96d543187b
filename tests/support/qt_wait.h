#pragma once
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

// Runs the event loop until `done` holds or `ms` milliseconds have passed.
inline bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() > ms)
            loop.quit();
    });
    poll.start(10);
    if (!done())
        loop.exec();
    return done();
}

// Runs the event loop for `ms` milliseconds, for a test that shows that
// something does not happen in that time.
inline void PumpFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
