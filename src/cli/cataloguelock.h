#pragma once

#include "base/platform/singleinstance.h"

#include <QString>
#include <memory>

// The lock a command of ondro-cli holds while it reads, changes and saves
// the catalogue, so that no other writer's save is lost: the lock file
// "ondro.lock" in the data folder, the same lock the desktop program takes
// for its data folder. While the desktop holds it, the command refuses
// (the desktop would save over its work). When another ondro-cli holds it,
// the command waits for it, saying so on standard error, and runs after it.
namespace CatalogueLock {

// Takes the lock for dataDir, waiting for another ondro-cli and taking
// over a stale lock (saying so on standard error); null (with a message
// on standard error) when the desktop holds it or it cannot be taken.
std::unique_ptr<SingleInstance> take(const QString &dataDir);

} // namespace CatalogueLock
