#pragma once

#include "browse/statistics.h"

#include <QDialog>

class QTableWidget;

// The Statistics window: the figures of a set of entries (the whole
// catalogue, a medium, the rows shown), the summary above and one table
// per breakdown (medium, genre, decade, bitrate, mode, encoder) below;
// Copy puts them all on the clipboard as tab-separated text. A click on a
// header sorts a table by that column, keys in their natural order.
class StatisticsWindow : public QDialog
{
    Q_OBJECT

public:
    // subtitle says what was counted: "All 1,000,000 entries", "CD02",
    // "12 of 1,000 shown".
    StatisticsWindow(Statistics::Report report, const QString &subtitle, QWidget *parent = nullptr);

    // "1,000,000 entries, 4.2 TB, playing time 71,234:05:06" and what
    // lacked a size or a playing time.
    static QString summaryText(const Statistics::Report &report);
    // Tenths of a second as hours, minutes and seconds: "1,234:05:06".
    static QString playingTime(qint64 tenths);
    static QStringList headers(Statistics::Breakdown breakdown);

private:
    QTableWidget *tableOf(Statistics::Breakdown breakdown);
    void copy();

    Statistics::Report m_report;
};
