#include "bridgelog.h"

Q_LOGGING_CATEGORY(lcBridge, "corvane.bridge", QtWarningMsg)
