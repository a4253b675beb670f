#pragma once

#include "state/appviewmodel.h"

#include <QtQml/qqml.h>

// Makes the view model a type the views can name; the shell creates the only instance.
struct AppViewModelForeign {
    Q_GADGET
    QML_FOREIGN(AppViewModel)
    QML_NAMED_ELEMENT(AppViewModel)
    QML_UNCREATABLE("The application creates the one view model.")
};
