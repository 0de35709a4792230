#pragma once

#include "app/core/clock.h"

// A clock that says what the test sets, and moves only when told.
class SettableClock final : public Clock
{
public:
    explicit SettableClock(const QDateTime &now = QDateTime(QDate(2026, 12, 11), QTime(10, 0)))
        : m_now(now)
    {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &now) { m_now = now; }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};
