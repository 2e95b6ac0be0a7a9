#include "window/AboutDialog.h"

#include "services/CpuSpeed.h"
#include "services/ProductInfo.h"
#include "window/ScreenCentre.h"
#include "window/ShellOpen.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QtGlobal>

#include <embree3/rtcore_config.h>
#include <gif_lib.h>
#include <isa-l.h>
#include <jconfig.h>
#include <lcms2.h>
#include <libavcodec/version.h>
#include <libavcodec/version_major.h>
#include <libavformat/version.h>
#include <libavformat/version_major.h>
#include <png.h>
#include <zlib.h>

namespace {

QLabel* Text(QWidget* parent, const char* name, const QString& text, QRect place)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Unquoted version numbers (libjpeg-turbo's) as text.
#define CUBIFORM_TEXT(x) #x
#define CUBIFORM_VERSION_TEXT(x) CUBIFORM_TEXT(x)

QString Dotted(int major, int minor, int patch)
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

QPolygonF Face(std::initializer_list<QPointF> points)
{
    return QPolygonF(QList<QPointF>(points));
}

} // namespace

QString LibrariesUsed()
{
    // Versions from the headers built with; Highway's and cpp-httplib's from
    // their packages (their headers are too heavy to read for a number).
    const QStringList libraries = {
        QStringLiteral("Qt ") + QLatin1String(QT_VERSION_STR),
        QStringLiteral("OpenGL"),
        QStringLiteral("Embree ") + QLatin1String(RTC_VERSION_STRING),
        QStringLiteral("Highway ") + QLatin1String(CUBIFORM_HWY_VERSION),
        QStringLiteral("ISA-L ") + Dotted(ISAL_MAJOR_VERSION, ISAL_MINOR_VERSION, ISAL_PATCH_VERSION),
        QStringLiteral("cpp-httplib ") + QLatin1String(CUBIFORM_HTTPLIB_VERSION),
        QStringLiteral("LittleCMS %1.%2").arg(LCMS_VERSION / 1000).arg(LCMS_VERSION / 10 % 100),
        QStringLiteral("FFmpeg (libavcodec %1, libavformat %2)")
            .arg(Dotted(LIBAVCODEC_VERSION_MAJOR, LIBAVCODEC_VERSION_MINOR, LIBAVCODEC_VERSION_MICRO),
                 Dotted(LIBAVFORMAT_VERSION_MAJOR, LIBAVFORMAT_VERSION_MINOR, LIBAVFORMAT_VERSION_MICRO)),
        QStringLiteral("libjpeg-turbo ") + QLatin1String(CUBIFORM_VERSION_TEXT(LIBJPEG_TURBO_VERSION)),
        QStringLiteral("libpng ") + QLatin1String(PNG_LIBPNG_VER_STRING),
        QStringLiteral("giflib ") + Dotted(GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE),
        QStringLiteral("zlib ") + QLatin1String(ZLIB_VERSION),
    };
    return libraries.join(QStringLiteral(", "));
}

QPixmap DrawBoxPicture(int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 64.0;
    p.scale(s, s);
    // Front, side and top of an upright box, lit from the upper left.
    const QPolygonF front = Face({{8, 20}, {38, 26}, {38, 60}, {8, 54}});
    const QPolygonF side = Face({{38, 26}, {56, 16}, {56, 50}, {38, 60}});
    const QPolygonF top = Face({{8, 20}, {26, 10}, {56, 16}, {38, 26}});
    p.setPen(QPen(QColor(20, 40, 60), 1.2));
    p.setBrush(QColor(250, 200, 60));
    p.drawPolygon(front);
    p.setBrush(QColor(200, 150, 30));
    p.drawPolygon(side);
    p.setBrush(QColor(255, 230, 140));
    p.drawPolygon(top);
    // A cover stripe and a title block on the front.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 90, 150));
    p.drawPolygon(Face({{8, 44}, {38, 50}, {38, 54}, {8, 48}}));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawPolygon(Face({{13, 27}, {33, 31}, {33, 37}, {13, 33}}));
    return picture;
}

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(340, 300);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0, 128, 192));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);

    banner = new QFrame(this);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setFrameShape(QFrame::Panel);
    banner->setFrameShadow(QFrame::Raised);
    banner->setGeometry(4, 4, 332, 292);

    QFont big = font();
    big.setPointSize(22);
    big.setBold(true);
    // The shadow first, so the name is drawn over it.
    productShadowLabel = Text(banner, "productShadowLabel", QString(ProductInfo::ProductName), {86 + 2, 12 + 1, 230, 40});
    productShadowLabel->setFont(big);
    productShadowLabel->setStyleSheet(QStringLiteral("color: rgb(0, 40, 70);"));
    productLabel = Text(banner, "productLabel", QString(ProductInfo::ProductName), {86, 12, 230, 40});
    productLabel->setFont(big);
    productLabel->setStyleSheet(QStringLiteral("color: white;"));

    logo = new QLabel(banner);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setGeometry(12, 12, 64, 64);
    logo->setPixmap(DrawBoxPicture(64));

    versionLabel = Text(banner, "versionLabel", QString(), {88, 56, 230, 18});
    cpuSpeedLabel = Text(banner, "cpuSpeedLabel", QString(), {88, 76, 230, 18});

    mailLink = Text(banner, "mailLink", QString(ProductInfo::SupportMail), {12, 104, 308, 18});
    webLink = Text(banner, "webLink", QString(ProductInfo::WebSite), {12, 124, 308, 18});
    for (QLabel* link : {mailLink, webLink}) {
        link->setCursor(Qt::PointingHandCursor);
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        link->setStyleSheet(QStringLiteral("color: rgb(255, 255, 160);"));
    }

    textView = new QPlainTextEdit(banner);
    textView->setObjectName(QStringLiteral("textView"));
    textView->setReadOnly(true);
    textView->setFocusPolicy(Qt::NoFocus); // keys go to the box, which closes on any of them
    textView->setGeometry(12, 150, 308, 134); // the libraries whole, without scrolling
    textView->setPlainText(QStringLiteral("%1\nCopyright (c) Tralen. Freeware.\nMade with %2.")
                            .arg(ProductInfo::Caption, LibrariesUsed()));

    for (QWidget* closer : std::initializer_list<QWidget*>{banner, productShadowLabel, productLabel, logo,
                                                           versionLabel, cpuSpeedLabel})
        closer->installEventFilter(this);
    mailLink->installEventFilter(this);
    webLink->installEventFilter(this);

    CpuSpeed = [] { return CpuSpeedText(); };
    CentreOnScreen(*this);
}

void AboutDialog::PrepareShow()
{
    versionLabel->setText(QStringLiteral("Version ") + QString(ProductInfo::Version));
    // Show the box before the clock is read, which may take a moment.
    repaint();
    cpuSpeedLabel->setText(QStringLiteral("CPU speed:") + (CpuSpeed ? CpuSpeed() : QString()));
}

void AboutDialog::MailLinkClicked()
{
    if (!ShellOpen(QStringLiteral("mailto:") + QString(ProductInfo::SupportMail)) && ShowStatus)
        ShowStatus(NoMailText(QString(ProductInfo::SupportMail)));
}

void AboutDialog::WebLinkClicked()
{
    if (!ShellOpen(QString(ProductInfo::WebSite)) && ShowStatus)
        ShowStatus(NoBrowserText(QString(ProductInfo::WebSite)));
}

void AboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    PrepareShow();
}

void AboutDialog::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    accept();
}

void AboutDialog::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    accept();
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QDialog::eventFilter(watched, event);
    if (watched == mailLink)
        MailLinkClicked();
    else if (watched == webLink)
        WebLinkClicked();
    else
        accept();
    return true;
}
