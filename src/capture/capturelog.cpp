#include "capturelog.h"

Q_LOGGING_CATEGORY(lcCapture, "corvane.capture", QtWarningMsg)
