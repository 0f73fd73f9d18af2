#pragma once

#include "keloui_global.h"

#include <QCoreApplication>
#include <QString>

class QWidget;

// Opens a folder of the PC in the desktop's file manager. Where the folder is missing or no
// program can open it, a message says so and names the folder, so the person can go there.
class KELOUI_EXPORT FolderOpener
{
    Q_DECLARE_TR_FUNCTIONS(FolderOpener)

public:
    // True when the desktop took the folder.
    static bool open(QWidget* parent, const QString& path);
};
