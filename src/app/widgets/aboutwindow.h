#pragma once

#include <QDialog>

class Platform;
class Prompter;

// The About window.
class form6 : public QDialog
{
    Q_OBJECT
public:
    form6(Platform &platform, Prompter &prompter, QWidget *parent = nullptr);

    static QString webSite() { return QStringLiteral("https://ondro.example.org/"); }

    // The web address link: opened with the shell; when no browser takes
    // it the user is told the address.
    void openWebSite();

private:
    Platform &m_platform;
    Prompter &m_prompter;
};
