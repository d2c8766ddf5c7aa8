#pragma once

#include <QString>
#include <functional>
#include <optional>

// The cover preview beside the catalogue list remembers which picture it
// holds, so selecting rows that share a cover loads it only once. A failed
// load hides the preview but keeps the remembered path.
class CoverPreview
{
public:
    explicit CoverPreview(QString initial = QString()) : m_remembered(std::move(initial)) {}

    using Loader = std::function<bool(const QString &path)>; // false when the picture cannot be shown
    using Shower = std::function<void(bool visible)>;

    // cover: the selected row's cover path, or nullopt when nothing is selected.
    void update(const std::optional<QString> &cover, const Loader &load, const Shower &show);

    const QString &remembered() const { return m_remembered; }

private:
    QString m_remembered;
};
