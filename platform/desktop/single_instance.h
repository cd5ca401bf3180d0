// One running instance per user: a lock file in the user's runtime folder
// (QStandardPaths::RuntimeLocation, the temporary folder when there is none).
//
//     SingleInstance instance(QStringLiteral("Kivo"));
//     if (!instance.acquire()) { return 0; }   // another Kivo runs: end silently
//
// The lock is held until release() or the object's end. A lock left behind by a crashed process
// is recognised by its dead process and taken over; a lock of a live process never goes stale,
// however long that process runs.
#pragma once

#include <QLockFile>
#include <QString>

namespace kivo::desktop {

class SingleInstance {
public:
    // `name` names the lock ("Kivo"); tests pass their own. "/" and "\" in it become "_".
    explicit SingleInstance(const QString& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this object holds the lock now (also when it held it already); false while
    // another process, or another SingleInstance of this process, holds it.
    bool acquire();
    bool isHeld() const { return lock_.isLocked(); }
    void release();

    QString lockFilePath() const { return lock_.fileName(); }

private:
    QLockFile lock_;
};

} // namespace kivo::desktop
