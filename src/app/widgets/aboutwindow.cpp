#include "app/widgets/aboutwindow.h"

#include "app/startup.h"
#include "app/widgets/appicons.h"
#include "store/platform/platform.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

form6::form6(Platform &platform, QWidget *parent) : QDialog(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("form6"));
    setWindowTitle(QStringLiteral("About Ondro"));

    auto *picture = new QLabel(this);
    picture->setPixmap(AppIcons::programIcon().pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);
    auto *version = new QLabel(aboutVersionText(), this);
    version->setObjectName(QStringLiteral("Label1"));
    version->setAlignment(Qt::AlignCenter);
    QFont big = version->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    version->setFont(big);
    auto *blurb = new QLabel(QStringLiteral("A cataloguer for MP3 collections on many media."), this);
    blurb->setAlignment(Qt::AlignCenter);
    auto *address = new QLabel(webSite(), this);
    address->setObjectName(QStringLiteral("Label3"));
    address->setAlignment(Qt::AlignCenter);
    address->setToolTip(QStringLiteral("Double-click to open the web site"));
    address->setStyleSheet(QStringLiteral("color: #1a4fb0; text-decoration: underline;"));
    address->installEventFilter(this);
    auto *ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    for (QWidget *w : {static_cast<QWidget *>(picture), static_cast<QWidget *>(version),
                       static_cast<QWidget *>(blurb), static_cast<QWidget *>(address)})
        layout->addWidget(w);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

bool form6::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick && watched->objectName() == QLatin1String("Label3")) {
        m_platform.shellOpen(webSite());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
