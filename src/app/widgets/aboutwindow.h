#pragma once

#include <QDialog>

class Platform;

// The About window.
class form6 : public QDialog
{
    Q_OBJECT
public:
    explicit form6(Platform &platform, QWidget *parent = nullptr);

    static QString webSite() { return QStringLiteral("https://ondro.example.org/"); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Platform &m_platform;
};
