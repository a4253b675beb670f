#pragma once

#include <QtGlobal>

// The largest backend answer body the client takes in. A library of 50,000 websites with 20 KB of
// page text each is about 1 GB of JSON once its line breaks and quotes are escaped; an answer
// beyond this is refused before it can exhaust memory.
inline constexpr qsizetype kMaximumAnswerSize = qsizetype(1280) * 1024 * 1024;
