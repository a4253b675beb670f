#pragma once

#include <QString>

namespace Timestamps
{
// Milliseconds since the epoch, UTC.
qint64 nowMs();
// Fixed-width UTC ISO-8601 with milliseconds ("2024-06-01T10:15:00.123Z"), so that comparing the
// texts character by character orders them like the instants they name.
QString format(qint64 ms);
}
