#include "desktopcapturelog.h"

Q_LOGGING_CATEGORY(lcDesktopCapture, "corvane.capture")
