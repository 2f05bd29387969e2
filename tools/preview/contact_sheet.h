#pragma once

#include <QImage>
#include <QString>

#include <vector>

struct SheetCell {
    QString label;
    QImage image;
};

// Lays the screens out in rows of four, each framed and labelled, under a title.
QImage contact_sheet(const QString& title, const std::vector<SheetCell>& cells);
