#include "app/widgets/startwindow.h"

#include "app/startup.h"
#include "base/widgets/appicons.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

splash::splash(std::function<void()> showMainWindow, QWidget *parent)
    : QDialog(parent), m_showMainWindow(std::move(showMainWindow))
{
    setObjectName(QStringLiteral("splash"));
    setWindowTitle(QStringLiteral("Ondro"));
    setWindowIcon(AppIcons::programIcon());

    auto *picture = new QLabel(this);
    picture->setPixmap(AppIcons::programIcon().pixmap(96, 96));
    picture->setAlignment(Qt::AlignCenter);
    auto *title = new QLabel(QStringLiteral("Ondro 2000"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    auto *loading = new QLabel(QStringLiteral("LOADING ..."), this);
    loading->setObjectName(QStringLiteral("Label1"));
    loading->setAlignment(Qt::AlignCenter);
    auto *version = new QLabel(splashVersionText(), this);
    version->setObjectName(QStringLiteral("Label2"));
    version->setAlignment(Qt::AlignCenter);
    auto *button = new QPushButton(QStringLiteral("Continue"), this);
    button->setObjectName(QStringLiteral("Command1"));
    button->setDefault(true);
    connect(button, &QPushButton::clicked, this, &splash::continueToMainWindow);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(title);
    layout->addWidget(loading);
    layout->addWidget(version);
    layout->addWidget(button, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void splash::continueToMainWindow()
{
    findChild<QPushButton *>(QStringLiteral("Command1"))->hide();
    repaint();
    m_showMainWindow();
    accept();
}
