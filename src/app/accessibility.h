// SPDX-License-Identifier: MIT
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace narravox::app {

// Makes the console's own widgets readable by screen readers: the title line and the text
// window as read-only text, the command line as editable text. Call once, before the window is
// created.
void InstallAccessibility();

// The factory InstallAccessibility installs.
QAccessibleInterface* AccessibleConsoleFactory(const QString& class_name, QObject* object);

}  // namespace narravox::app
