#include "platform/desktop/single_instance.h"

#include <QDir>
#include <QStandardPaths>

namespace kivo::desktop {

namespace {

QString lockPath(QString name)
{
    name.replace(u'/', u'_').replace(u'\\', u'_');
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return QDir(folder).filePath(name + QStringLiteral(".lock"));
}

} // namespace

SingleInstance::SingleInstance(const QString& name) : lock_(lockPath(name))
{
    // The program holds its lock for hours: only a dead holder makes a lock stale, never its age.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    return lock_.isLocked() || lock_.tryLock(0);
}

void SingleInstance::release()
{
    if (lock_.isLocked()) {
        lock_.unlock();
    }
}

} // namespace kivo::desktop
