#pragma once

#include <QDate>
#include <QDateTime>

// Where the engine reads the time: the order's time of entry, the day's
// lists, when a decision was taken, when a consign last failed. The client
// runs on the system's clock; tests set one, so that nothing depends on the
// day a test happens to run.
class Clock
{
public:
    virtual ~Clock() = default;
    // Local time.
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The system's clock, for whoever is built without one.
const Clock &systemClock();
