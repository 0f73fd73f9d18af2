#pragma once

#include <QString>
#include <QTemporaryDir>

// A private application directory for one test: <tmp>/bin is what the system takes for the
// application's folder, so "/../config/" and "/../log/" land in <tmp>/config and <tmp>/log.
class TestAppDir
{
public:
    TestAppDir();
    ~TestAppDir();

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString binDir() const { return m_dir.path() + QStringLiteral("/bin"); }
    QString logDir() const { return m_dir.path() + QStringLiteral("/log"); }
    QString configDir() const { return m_dir.path() + QStringLiteral("/config"); }
    QString configFile() const { return configDir() + QStringLiteral("/KeloConfig.ini"); }

    // Copies the staged host, its framework library and the plug-ins into binDir(), so a test
    // can run the real host without writing into the build tree. Returns the host's path.
    QString stageHost() const;

    // The interpreter of Debian's Python modules (pyftpdlib and the like).
    static QString python();

private:
    QTemporaryDir m_dir;
};
