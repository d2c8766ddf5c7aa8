#include "app/widgets/aboutwindow.h"

#include "app/startup.h"
#include "base/widgets/appicons.h"
#include "base/platform/openfailure.h"
#include "base/platform/platform.h"
#include "base/platform/prompter.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

form6::form6(Platform &platform, Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_platform(platform), m_prompter(prompter)
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
    // A link, opened on one click as links are; a double click opens it once.
    auto *address = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(webSite().toHtmlEscaped()), this);
    address->setObjectName(QStringLiteral("Label3"));
    address->setAlignment(Qt::AlignCenter);
    address->setTextFormat(Qt::RichText);
    address->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    address->setOpenExternalLinks(false);
    address->setToolTip(QStringLiteral("Open the web site"));
    connect(address, &QLabel::linkActivated, this, &form6::openWebSite);
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

void form6::openWebSite()
{
    const QString unopened = OpenFailure::message(webSite(), m_platform.shellOpen(webSite()));
    if (!unopened.isEmpty())
        m_prompter.message(unopened, Prompter::Icon::Information);
}
