// SPDX-License-Identifier: MIT
#pragma once

#include <QIdentityProxyModel>
#include <QString>

class QCoreApplication;

// The game speaks Russian, and so does everything Qt draws around it (buttons, file dialogs,
// their questions), whatever the system's locale.
namespace narravox::app {

// Loads Qt's own Russian translation into the application. Returns false when it is not
// installed (Debian's qt6-translations-l10n), and Qt's texts then stay English.
bool InstallRussianTranslation(QCoreApplication& application);

// A file's size as a Russian file list gives it: "1 байт", "2 байта", "5 байт", "4,0 КБ".
QString RussianFileSize(qint64 bytes);

// The file dialogs' list, with sizes and dates written the Russian way. Qt takes both from the
// system's locale, which under LANG=C is English and under a Russian locale mixes "4,01 KiB"
// with "2 байты".
class RussianFileList : public QIdentityProxyModel {
    Q_OBJECT

  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override;
};

}  // namespace narravox::app
