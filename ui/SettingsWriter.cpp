#include "SettingsWriter.h"

#include <QSettings>

SettingsWriter::SettingsWriter(QString path)
    : path_(std::move(path))
{
    thread_.setMaxThreadCount(1);
}

SettingsWriter::~SettingsWriter() { Wait(); }

void SettingsWriter::Later(std::function<void(QSettings&)> write)
{
    thread_.start([path = path_, write = std::move(write)] {
        QSettings settings(path, QSettings::IniFormat);
        write(settings);
    });
}

void SettingsWriter::Wait() { thread_.waitForDone(); }
