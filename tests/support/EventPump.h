// Running the UI event loop in tests: for a while, or until a condition holds or a deadline passes.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

// Processes events until Done() holds or TimeoutMs have passed; returns Done().
inline bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
        if (clock.elapsed() >= TimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the event loop for Ms milliseconds.
inline void PumpFor(int Ms) {
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Milliseconds since Clock started, as the tests compare them.
inline int Elapsed(const QElapsedTimer& Clock) {
    return static_cast<int>(Clock.elapsed());
}
