#pragma once

#include <QDialog>
#include <functional>

// The start window: shows the version and waits for "Continue", then
// hands over to the main window.
class splash : public QDialog
{
    Q_OBJECT
public:
    explicit splash(std::function<void()> showMainWindow, QWidget *parent = nullptr);

private:
    void continueToMainWindow();
    std::function<void()> m_showMainWindow;
};
