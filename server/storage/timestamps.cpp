#include "timestamps.h"

#include <QDateTime>

namespace Timestamps
{
qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString format(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}
}
