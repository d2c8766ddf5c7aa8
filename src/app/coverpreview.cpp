#include "app/coverpreview.h"

void CoverPreview::update(const std::optional<QString> &cover, const Loader &load, const Shower &show)
{
    if (!cover)
        return;
    if (cover->isEmpty()) {
        m_remembered.clear();
        show(false);
        return;
    }
    if (*cover == m_remembered)
        return;
    if (!load(*cover)) {
        show(false);
        return;
    }
    m_remembered = *cover;
    show(true);
}
