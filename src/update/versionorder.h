#pragma once

#include <QStringView>

// Orders version texts the way people read them: runs of digits compare as numbers (1.10.0 after
// 1.9.0, leading zeros ignored), other characters one by one by code, and a text that is the
// beginning of a longer one comes first (1.0.0 before 1.0.0.1). No locale takes part.
namespace VersionOrder
{
// Negative when left comes first, zero when they rank equal, positive when right comes first.
[[nodiscard]] int compare(QStringView left, QStringView right);
}
