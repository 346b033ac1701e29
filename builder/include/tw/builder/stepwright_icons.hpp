#pragma once
// The Stepwright's image list (imgIcons) and the pictures of its three command buttons, drawn at run
// time (16 x 16). Needs a running QGuiApplication.

#include <QIcon>
#include <QList>

namespace tw::builder {

// Indexed by the icons:: constants; unused indices hold null icons.
QList<QIcon> StepwrightImageList();

QIcon AddButtonIcon();
QIcon ClearButtonIcon();
QIcon CopyButtonIcon();

}  // namespace tw::builder
