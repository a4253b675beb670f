#include "platformlog.h"

Q_LOGGING_CATEGORY(lcPlatform, "corvane.platform", QtWarningMsg)
