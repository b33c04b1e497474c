#include "shell/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace {

using enum TAction;
using Draw = std::function<void(QPainter&)>;

const QColor kInk(40, 48, 64);
const QColor kBlue(38, 110, 190);
const QColor kGreen(40, 150, 60);
const QColor kRed(200, 45, 40);
const QColor kGold(220, 170, 40);
const QColor kPaper(250, 250, 246);
const QColor kGrey(120, 126, 136);

// Every picture is drawn on a 16 by 16 grid and rendered at 16 and 32 pixels.
QIcon Render(const Draw& draw) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        draw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPen Pen(const QColor& c, double w = 1.0) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Sheet(QPainter& p, QRectF r = QRectF(3, 1.5, 10, 13)) {
    p.setPen(Pen(kInk));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(Pen(kGrey, 0.8));
    for (double y = r.top() + 3; y < r.bottom() - 1.5; y += 2.5) p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

// A meter: a case with a display window.
void Meter(QPainter& p, QRectF r = QRectF(1.5, 2.5, 10, 11)) {
    p.setPen(Pen(kInk));
    p.setBrush(QColor(225, 230, 238));
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setBrush(QColor(120, 200, 140));
    p.drawRect(QRectF(r.left() + 1.5, r.top() + 2, r.width() - 3, 3));
    p.setPen(Pen(kInk, 0.8));
    p.drawLine(QPointF(r.left() + 2.5, r.bottom() - 2.5), QPointF(r.right() - 2.5, r.bottom() - 2.5));
}

void Plus(QPainter& p, QPointF c, const QColor& color = kGreen) {
    p.setPen(Pen(color, 2.2));
    p.drawLine(c - QPointF(3, 0), c + QPointF(3, 0));
    p.drawLine(c - QPointF(0, 3), c + QPointF(0, 3));
}

void Cross(QPainter& p, QPointF c, double r = 2.8, const QColor& color = kRed) {
    p.setPen(Pen(color, 2.0));
    p.drawLine(c - QPointF(r, r), c + QPointF(r, r));
    p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
}

void Pencil(QPainter& p) {
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(kGold);
    QPolygonF body;
    body << QPointF(14.5, 7.5) << QPointF(16, 9) << QPointF(10, 15) << QPointF(8, 15.5) << QPointF(8.5, 13.5);
    p.drawPolygon(body);
}

void Key(QPainter& p, const QColor& color) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(color);
    p.drawEllipse(QRectF(1.5, 4.5, 6, 6));
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(3.5, 6.5, 2, 2));
    p.setPen(Pen(color.darker(140), 2.0));
    p.drawLine(QPointF(7.5, 7.5), QPointF(14.5, 7.5));
    p.drawLine(QPointF(12.5, 7.5), QPointF(12.5, 10.5));
    p.drawLine(QPointF(14.5, 7.5), QPointF(14.5, 10));
}

void Head(QPainter& p, QPointF at, const QColor& color, double s = 1.0) {
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(color);
    p.drawEllipse(QRectF(at.x() - 2 * s, at.y() - 5.5 * s, 4 * s, 4 * s));
    QPainterPath body;
    body.moveTo(at.x() - 3.5 * s, at.y() + 4 * s);
    body.quadTo(at.x() - 3.5 * s, at.y() - 1 * s, at.x(), at.y() - 1 * s);
    body.quadTo(at.x() + 3.5 * s, at.y() - 1 * s, at.x() + 3.5 * s, at.y() + 4 * s);
    body.closeSubpath();
    p.drawPath(body);
}

void Cylinder(QPainter& p, const QColor& color) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(color);
    QPainterPath path;
    path.moveTo(2.5, 3.5);
    path.lineTo(2.5, 12.5);
    path.arcTo(QRectF(2.5, 10.5, 11, 4), 180, 180);
    path.lineTo(13.5, 3.5);
    p.drawPath(path);
    p.setBrush(color.lighter(140));
    p.drawEllipse(QRectF(2.5, 1.5, 11, 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 6.5, 11, 4), 180 * 16, 180 * 16);
}

void Windows(QPainter& p, const QList<QRectF>& rects) {
    for (const QRectF& r : rects) {
        p.setPen(Pen(kInk, 0.9));
        p.setBrush(kPaper);
        p.drawRect(r);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(r.left(), r.top(), r.width(), 2.2));
    }
}

void Letter(QPainter& p, const QString& text, const QColor& color, double size = 11, QRectF r = QRectF(0, 0, 16, 16)) {
    QFont f = p.font();
    f.setPixelSize(static_cast<int>(size));
    f.setBold(true);
    p.setFont(f);
    p.setPen(color);
    p.drawText(r, Qt::AlignCenter, text);
}

void Disc(QPainter& p, const QColor& color, QRectF r = QRectF(1.5, 1.5, 13, 13)) {
    p.setPen(Pen(color.darker(130)));
    p.setBrush(color);
    p.drawEllipse(r);
}

void Bars(QPainter& p) {
    p.setPen(Pen(kInk, 0.8));
    p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
    const double h[] = {5, 9, 6, 11};
    const QColor c[] = {kBlue, kGreen, kGold, kRed};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(c[i]);
        p.drawRect(QRectF(2.5 + i * 3, 14.5 - h[i], 2.5, h[i]));
    }
}

void Graph(QPainter& p) {
    p.setPen(Pen(kInk, 0.8));
    p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, 14.5));
    p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
    p.setPen(Pen(kRed, 1.6));
    QPolygonF line;
    line << QPointF(2.5, 11) << QPointF(5, 8) << QPointF(7.5, 10) << QPointF(10, 4) << QPointF(12.5, 6) << QPointF(14.5, 3);
    p.drawPolyline(line);
}

void Lightning(QPainter& p, const QColor& color = kGold) {
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(color);
    QPolygonF bolt;
    bolt << QPointF(9.5, 0.5) << QPointF(3.5, 9) << QPointF(7.5, 9) << QPointF(6, 15.5) << QPointF(12.5, 6.5)
         << QPointF(8.5, 6.5);
    p.drawPolygon(bolt);
}

void Badge(QPainter& p, const QString& text, const QColor& color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(7.5, 8.5, 8.5, 7.5), 1.5, 1.5);
    Letter(p, text, Qt::white, 7, QRectF(7.5, 8.5, 8.5, 7.5));
}

void Arrows(QPainter& p) {
    p.setPen(Pen(kBlue, 1.8));
    p.drawLine(QPointF(2, 5), QPointF(13, 5));
    p.drawLine(QPointF(10, 2), QPointF(13, 5));
    p.drawLine(QPointF(10, 8), QPointF(13, 5));
    p.setPen(Pen(kGreen, 1.8));
    p.drawLine(QPointF(14, 11), QPointF(3, 11));
    p.drawLine(QPointF(6, 8), QPointF(3, 11));
    p.drawLine(QPointF(6, 14), QPointF(3, 11));
}

void Refresh(QPainter& p, const QColor& color) {
    p.setPen(Pen(color, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 270 * 16);
    p.setBrush(color);
    p.setPen(Pen(color, 0.8));
    QPolygonF head;
    head << QPointF(9, 0.5) << QPointF(13, 3.5) << QPointF(8.5, 5.5);
    p.drawPolygon(head);
}

void Gear(QPainter& p) {
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(kGrey.lighter(130));
    QPainterPath path;
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        QPolygonF tooth;
        for (double da : {-0.22, 0.22}) tooth << QPointF(8 + 7 * std::cos(a + da), 8 + 7 * std::sin(a + da));
        for (double da : {0.3, -0.3}) tooth << QPointF(8 + 4.5 * std::cos(a + da), 8 + 4.5 * std::sin(a + da));
        path.addPolygon(tooth);
    }
    path.addEllipse(QRectF(2.5, 2.5, 11, 11));
    path.setFillRule(Qt::WindingFill);
    p.drawPath(path.simplified());
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(6, 6, 4, 4));
}

void Clock(QPainter& p) {
    Disc(p, kPaper);
    p.setPen(Pen(kInk, 1.4));
    p.drawLine(QPointF(8, 8), QPointF(8, 4));
    p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}

void Lock(QPainter& p) {
    p.setPen(Pen(kGrey.darker(120), 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
    p.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
    p.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(kGold);
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1, 1);
    p.setBrush(kInk);
    p.drawEllipse(QRectF(7, 9.8, 2, 2));
}

void Book(QPainter& p, const QColor& cover) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(cover);
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(5, 3.5, 6.5, 3));
    p.setPen(Pen(cover.darker(150), 1.2));
    p.drawLine(QPointF(4, 2), QPointF(4, 14));
}

void Folder(QPainter& p) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(kGold);
    QPolygonF f;
    f << QPointF(1.5, 3.5) << QPointF(6, 3.5) << QPointF(7.5, 5) << QPointF(14.5, 5) << QPointF(14.5, 13.5)
      << QPointF(1.5, 13.5);
    p.drawPolygon(f);
}

void Printer(QPainter& p) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(kGrey.lighter(140));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 10.5, 7, 4.5));
    p.setPen(Pen(kGreen, 1.2));
    p.drawPoint(QPointF(12.5, 8.5));
}

void Door(QPainter& p) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(QColor(170, 120, 70));
    p.drawRect(QRectF(2.5, 1.5, 7, 13));
    p.setBrush(kGold);
    p.drawEllipse(QRectF(7, 8, 1.5, 1.5));
    p.setPen(Pen(kRed, 2.0));
    p.drawLine(QPointF(9, 8), QPointF(15, 8));
    p.drawLine(QPointF(12.5, 5.5), QPointF(15, 8));
    p.drawLine(QPointF(12.5, 10.5), QPointF(15, 8));
}

void Eye(QPainter& p, bool on) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(kPaper);
    QPainterPath eye;
    eye.moveTo(1, 8);
    eye.quadTo(8, 1, 15, 8);
    eye.quadTo(8, 15, 1, 8);
    p.drawPath(eye);
    p.setBrush(on ? kGreen : kGrey);
    p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
    if (!on) Cross(p, QPointF(12, 12), 2.3);
}

void Switch(QPainter& p, bool closed, const QColor& color) {
    p.setPen(Pen(kInk, 1.4));
    p.drawLine(QPointF(1, 11), QPointF(4.5, 11));
    p.drawLine(QPointF(11.5, 11), QPointF(15, 11));
    p.setBrush(kInk);
    p.drawEllipse(QRectF(3.5, 10, 2, 2));
    p.drawEllipse(QRectF(10.5, 10, 2, 2));
    p.setPen(Pen(color, 1.8));
    if (closed)
        p.drawLine(QPointF(4.5, 11), QPointF(11.5, 10));
    else
        p.drawLine(QPointF(4.5, 11), QPointF(10.5, 4));
}

void Channel(QPainter& p, int number, bool on) {
    Switch(p, on, on ? kGreen : kRed);
    Letter(p, QString::number(number), kBlue, 8, QRectF(9, 0, 7, 8));
}

void Card(QPainter& p) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(QColor(90, 150, 220));
    p.drawRoundedRect(QRectF(1, 3.5, 14, 9), 1.5, 1.5);
    p.setBrush(kGold);
    p.drawRect(QRectF(3, 6, 3.5, 3));
}

void Vector(QPainter& p) {
    const QColor c[] = {kGold, kGreen, kRed};
    for (int i = 0; i < 3; ++i) {
        const double a = (-90 + i * 120) * M_PI / 180;
        const QPointF end(8 + 6.5 * std::cos(a), 8 + 6.5 * std::sin(a));
        p.setPen(Pen(c[i], 1.6));
        p.drawLine(QPointF(8, 8), end);
    }
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(kInk);
    p.drawEllipse(QRectF(7, 7, 2, 2));
}

void Magnifier(QPainter& p) {
    p.setPen(Pen(kInk, 1.2));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(Pen(kInk, 2.4));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
}

void Layers(QPainter& p) {
    for (int i = 2; i >= 0; --i) {
        p.setPen(Pen(kInk, 0.8));
        p.setBrush(QColor::fromHsv(210, 90 + i * 40, 235 - i * 25));
        QPolygonF d;
        d << QPointF(8, 2 + i * 3) << QPointF(15, 5.5 + i * 3) << QPointF(8, 9 + i * 3) << QPointF(1, 5.5 + i * 3);
        p.drawPolygon(d);
    }
}

void Coin(QPainter& p) {
    Disc(p, kGold);
    Letter(p, QStringLiteral("₽"), kInk, 10);
}

void Precision(QPainter& p) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 9), 1.5, 1.5);
    Letter(p, QStringLiteral(",00"), kBlue, 8, QRectF(0.5, 3.5, 15, 9));
}

void Spreadsheet(QPainter& p) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Pen(kGrey, 0.7));
    for (double x : {5.5, 10.0}) p.drawLine(QPointF(x, 1.5), QPointF(x, 14.5));
    for (double y : {5.0, 8.5, 12.0}) p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue.lighter(150));
    p.drawRect(QRectF(2, 2, 12.5, 3));
}

void ArrowOut(QPainter& p, const QColor& color) {
    p.setPen(Pen(color, 2.0));
    p.drawLine(QPointF(8, 12), QPointF(15, 12));
    p.drawLine(QPointF(12.5, 9.5), QPointF(15, 12));
    p.drawLine(QPointF(12.5, 14.5), QPointF(15, 12));
}

void Programmer(QPainter& p) {
    p.setPen(Pen(kInk, 0.9));
    p.setBrush(QColor(80, 90, 110));
    p.drawRoundedRect(QRectF(4, 1, 8, 14), 2, 2);
    p.setBrush(QColor(150, 220, 170));
    p.drawRect(QRectF(5.5, 2.5, 5, 4));
    p.setBrush(kRed);
    p.drawEllipse(QRectF(7, 12, 2, 2));
}

Draw Picture(TAction a) {
    switch (a) {
        case acBeginSeance: return [](QPainter& p) { Key(p, kGold); };
        case acEndSeance: return [](QPainter& p) { Key(p, kGrey.lighter(130)); Cross(p, QPointF(12, 12.5), 2.5); };
        case acPrint: return Printer;
        case acExit: return Door;
        case acUsers: return [](QPainter& p) { Head(p, QPointF(8, 8.5), kBlue.lighter(140)); };
        case acUserGroups:
            return [](QPainter& p) {
                Head(p, QPointF(5, 8.5), kGreen.lighter(150), 0.85);
                Head(p, QPointF(11, 8.5), kGold, 0.85);
                Head(p, QPointF(8, 10.5), kBlue.lighter(140), 0.85);
            };
        case acVersions: return Layers;
        case acFiles: return Folder;
        case acDefaultParams: return [](QPainter& p) { Sheet(p); Badge(p, QStringLiteral("✓"), kGreen); };
        case acCounters: return [](QPainter& p) { Cylinder(p, kBlue.lighter(150)); };
        case acProgrammers: return [](QPainter& p) { Cylinder(p, kGold.lighter(120)); };
        case acAddCounter: return [](QPainter& p) { Meter(p); Plus(p, QPointF(12, 11.5)); };
        case acEditCounter: return [](QPainter& p) { Meter(p); Pencil(p); };
        case acDeleteCounter: return [](QPainter& p) { Meter(p); Cross(p, QPointF(12, 12)); };
        case acStat: return Bars;
        case acPower: return Graph;
        case acTaskCounterFile: return [](QPainter& p) { Sheet(p); Badge(p, QStringLiteral("С"), kBlue); };
        case acTaskProgFile: return [](QPainter& p) { Sheet(p); Badge(p, QStringLiteral("Л"), kGold.darker(120)); };
        case acCounterRegister: return [](QPainter& p) { Book(p, kGreen); };
        case acResetRegister: return [](QPainter& p) { Book(p, kGrey); Cross(p, QPointF(12, 12), 2.5); };
        case acSeance: return Arrows;
        case acInitSeance: return [](QPainter& p) { Meter(p); Badge(p, QStringLiteral("И"), kRed); };
        case acWritePasswords: return Lock;
        case acGetZNumber: return [](QPainter& p) { Meter(p); Badge(p, QStringLiteral("№"), kBlue); };
        case acProgWriteSeance: return [](QPainter& p) { Programmer(p); ArrowOut(p, kRed); };
        case acProgReadSeance: return [](QPainter& p) { Programmer(p); ArrowOut(p, kGreen); };
        case acSetup: case acParametrizationOptions: return Gear;
        case acCascade: return [](QPainter& p) { Windows(p, {QRectF(1, 1, 9, 7), QRectF(3.5, 4, 9, 7), QRectF(6, 7, 9, 7)}); };
        case acTileHor: return [](QPainter& p) { Windows(p, {QRectF(1, 1, 14, 6.5), QRectF(1, 8.5, 14, 6.5)}); };
        case acTileVert: return [](QPainter& p) { Windows(p, {QRectF(1, 1, 6.5, 14), QRectF(8.5, 1, 6.5, 14)}); };
        case acCloseAll: return [](QPainter& p) { Windows(p, {QRectF(1, 1, 10, 9)}); Cross(p, QPointF(11.5, 11.5), 3); };
        case acHelp: return [](QPainter& p) { Disc(p, kBlue); Letter(p, QStringLiteral("?"), Qt::white, 11); };
        case acAbout: return [](QPainter& p) { Disc(p, kBlue); Letter(p, QStringLiteral("i"), Qt::white, 11); };
        case acResetSeance: return [](QPainter& p) { Refresh(p, kRed); };
        case acCheckUpdates: return [](QPainter& p) { Refresh(p, kGreen); };
        case acGetPower: return [](QPainter& p) { Lightning(p); };
        case acGetMomentPower: return [](QPainter& p) { Lightning(p, QColor(250, 120, 30)); };
        case acGetOnlyPower: return [](QPainter& p) { Disc(p, kPaper); Letter(p, QStringLiteral("P"), kRed, 10); };
        case acGetOnlyVoltage: return [](QPainter& p) { Disc(p, kPaper); Letter(p, QStringLiteral("U"), kBlue, 10); };
        case acGetOnlyCurrent: return [](QPainter& p) { Disc(p, kPaper); Letter(p, QStringLiteral("I"), kGreen, 10); };
        case acGetOnlyEnergy: return [](QPainter& p) { Disc(p, kPaper); Letter(p, QStringLiteral("W"), kGold.darker(130), 10); };
        case acGetOnlyEnergy_1: return [](QPainter& p) { Disc(p, kPaper); Letter(p, QStringLiteral("Wt"), kGold.darker(130), 8); };
        case acGetEnergyByMin: return [](QPainter& p) { Clock(p); Badge(p, QStringLiteral("Σ"), kGold.darker(130)); };
        case acQuery: return Magnifier;
        case acVector: return Vector;
        case acOffContactor: return [](QPainter& p) { Switch(p, false, kRed); };
        case acRelaxContactor: return [](QPainter& p) { Switch(p, true, kGreen); };
        case acSetCard: return Card;
        case acManageChannels: return [](QPainter& p) { Switch(p, true, kBlue); Letter(p, QStringLiteral("1-4"), kBlue, 6, QRectF(4, 0, 12, 7)); };
        case acOnChannel1: return [](QPainter& p) { Channel(p, 1, true); };
        case acOffChannel1: return [](QPainter& p) { Channel(p, 1, false); };
        case acOnChannel2: return [](QPainter& p) { Channel(p, 2, true); };
        case acOffChannel2: return [](QPainter& p) { Channel(p, 2, false); };
        case acOnOptoPort: return [](QPainter& p) { Eye(p, true); };
        case acOffOptoPort: return [](QPainter& p) { Eye(p, false); };
        case acCounterParams: return Spreadsheet;
        case acGetCounterDateTime: return Clock;
        case acExportToExcel: return [](QPainter& p) { Spreadsheet(p); Badge(p, QStringLiteral("X"), kGreen); };
        case acParametrization: return [](QPainter& p) { Sheet(p); Badge(p, QStringLiteral("П"), kGreen); };
        case acExportToVetrel: return [](QPainter& p) { Sheet(p, QRectF(1.5, 1.5, 10, 13)); ArrowOut(p, kBlue); };
        case acSetCurrency: return Coin;
        case acSetCorrectlyRange: return Precision;
        case TAction::Count: break;
    }
    return [](QPainter&) {};
}

}  // namespace

QIcon ActionIcon(TAction action) { return Render(Picture(action)); }

QIcon WindowIcon(TWindowIcon kind) {
    switch (kind) {
        case TWindowIcon::Users: return ActionIcon(acUsers);
        case TWindowIcon::Journal: return ActionIcon(acCounterRegister);
        case TWindowIcon::Counters: return ActionIcon(acCounters);
        case TWindowIcon::Report: return ActionIcon(acStat);
        case TWindowIcon::Session: return Render([](QPainter& p) { Head(p, QPointF(8, 8.5), kGreen.lighter(150)); });
        case TWindowIcon::Window: break;
    }
    return Render([](QPainter& p) { Windows(p, {QRectF(1.5, 2.5, 13, 11)}); });
}

QIcon ProgramIcon() {
    return Render([](QPainter& p) { Meter(p, QRectF(1.5, 1.5, 13, 13)); });
}
