#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

// A theme folder in a temporary directory, made the working directory for
// as long as it lives, as the menu expects to be started.
class ThemeFolder {
public:
    ThemeFolder()
        : previous(QDir::currentPath())
    {
        QDir::setCurrent(dir.path());
    }
    ~ThemeFolder() { QDir::setCurrent(previous); }

    void writeConf(const QByteArray& text) const { write("conf.ini", text); }

    void writePicture(const QString& name, QSize size, QColor color) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        image.save(path(name));
    }

    // Each script appends its item number to "log", so a test sees what ran and how often.
    void writeScripts() const
    {
        for (int item = 0; item < 3; ++item) {
            const QString name = QStringLiteral("item%1.sh").arg(item);
            write(name, QStringLiteral("#!/bin/sh\necho %1 >> log\n").arg(item).toLatin1());
            QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    QByteArray log() const
    {
        QFile file(path("log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

private:
    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    QTemporaryDir dir;
    QString previous;
};
