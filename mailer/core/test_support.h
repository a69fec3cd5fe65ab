#pragma once

#include "qstring_printer.h"

#include <QFile>
#include <QStringList>

// Texts of a transcript file, without their time stamps.
inline QStringList transcriptTexts(const QString& path) {
    QFile file(path);
    QStringList texts;
    if (!file.open(QIODevice::ReadOnly)) {
        return texts;
    }
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        texts << line.section('\t', 1);
    }
    return texts;
}
