// SPDX-License-Identifier: MIT
#include "russian.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileSystemModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace narravox::app {
namespace {

// The columns of Qt's file list.
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

QLocale Russian() {
    return QLocale(QLocale::Russian, QLocale::Russia);
}

// The form of "байт" that goes with a count: 1, 21 байт; 2-4, 22-24 байта; the rest байт.
QString Bytes(qint64 count) {
    const qint64 last_two = count % 100;
    const qint64 last = count % 10;
    if (last == 1 && last_two != 11) {
        return QStringLiteral("байт");
    }
    if (last >= 2 && last <= 4 && (last_two < 12 || last_two > 14)) {
        return QStringLiteral("байта");
    }
    return QStringLiteral("байт");
}

}  // namespace

bool InstallRussianTranslation(QCoreApplication& application) {
    // Parented to the application, the translator lives exactly as long as it is used.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

QString RussianFileSize(qint64 bytes) {
    if (bytes < 1024) {
        return QString::number(bytes) + u' ' + Bytes(bytes);
    }
    static constexpr const char16_t* kUnits[] = {u"КБ", u"МБ", u"ГБ", u"ТБ", u"ПБ", u"ЭБ"};
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024 && unit + 1 < static_cast<int>(std::size(kUnits))) {
        value /= 1024;
        ++unit;
    }
    return Russian().toString(value, 'f', 1) + u' ' + QString::fromUtf16(kUnits[unit]);
}

QVariant RussianFileList::data(const QModelIndex& index, int role) const {
    if (role == Qt::DisplayRole &&
        (index.column() == kSizeColumn || index.column() == kDateColumn)) {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex source = mapToSource(index);
        if (files != nullptr && source.isValid()) {
            const QFileInfo info = files->fileInfo(source);
            if (index.column() == kDateColumn) {
                return Russian().toString(info.lastModified(), QLocale::ShortFormat);
            }
            // Folders have no size in the list.
            return info.isDir() ? QString() : RussianFileSize(info.size());
        }
    }
    return QIdentityProxyModel::data(index, role);
}

}  // namespace narravox::app
