#pragma once

#include "appviewmodel.h"
#include "authenticationcard.h"
#include "browsercapture.h"
#include "browserconnections.h"
#include "library.h"
#include "loginstart.h"
#include "passwordchangeform.h"
#include "updatecheck.h"
#include "websitelistmodel.h"

#include <QtQml/qqml.h>

// Makes the view model and its subsystems types the views can name; the application creates
// the only instances.
struct AppViewModelForeign {
    Q_GADGET
    QML_FOREIGN(AppViewModel)
    QML_NAMED_ELEMENT(AppViewModel)
    QML_UNCREATABLE("The application creates the one view model.")
};

struct AuthenticationCardForeign {
    Q_GADGET
    QML_FOREIGN(AuthenticationCard)
    QML_NAMED_ELEMENT(AuthenticationCard)
    QML_UNCREATABLE("Part of the view model.")
};

struct PasswordChangeFormForeign {
    Q_GADGET
    QML_FOREIGN(PasswordChangeForm)
    QML_NAMED_ELEMENT(PasswordChangeForm)
    QML_UNCREATABLE("Part of the view model.")
};

struct LibraryForeign {
    Q_GADGET
    QML_FOREIGN(Library)
    QML_NAMED_ELEMENT(Library)
    QML_UNCREATABLE("Part of the view model.")
};

struct WebsiteListModelForeign {
    Q_GADGET
    QML_FOREIGN(WebsiteListModel)
    QML_NAMED_ELEMENT(WebsiteListModel)
    QML_UNCREATABLE("Part of the view model.")
};

struct BrowserCaptureForeign {
    Q_GADGET
    QML_FOREIGN(BrowserCapture)
    QML_NAMED_ELEMENT(BrowserCapture)
    QML_UNCREATABLE("Part of the view model.")
};

struct UpdateCheckForeign {
    Q_GADGET
    QML_FOREIGN(UpdateCheck)
    QML_NAMED_ELEMENT(UpdateCheck)
    QML_UNCREATABLE("Part of the view model.")
};

struct BrowserConnectionsForeign {
    Q_GADGET
    QML_FOREIGN(BrowserConnections)
    QML_NAMED_ELEMENT(BrowserConnections)
    QML_UNCREATABLE("Part of the view model.")
};

struct LogInStartForeign {
    Q_GADGET
    QML_FOREIGN(LogInStart)
    QML_NAMED_ELEMENT(LogInStart)
    QML_UNCREATABLE("Part of the view model.")
};
