#pragma once

#include "app/startup.h"

#include <QString>
#include <memory>

// The lock a command of ondro-cli holds while it reads, changes and saves
// the catalogue, so that no other writer's save is lost. For the desktop
// program's own data folder it is the desktop's single-copy lock: while
// the desktop runs, the command refuses (the desktop would save over its
// work). For any other data folder it is a lock file in that folder. When
// another ondro-cli holds the lock, the command waits for it, saying so on
// standard error, and runs after it.
namespace CatalogueLock {

// The lock file used for dataDir.
QString lockPathFor(const QString &dataDir);

// Takes the lock for dataDir, waiting for another ondro-cli; null (with a
// message on standard error) when the desktop holds it or it cannot be made.
std::unique_ptr<SingleInstance> take(const QString &dataDir);

} // namespace CatalogueLock
