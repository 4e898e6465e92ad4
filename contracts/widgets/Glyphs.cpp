#include "Glyphs.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace kvo {

namespace {

const QColor ink(0x2C, 0x3E, 0x50);
const QColor green(0x27, 0xAE, 0x60);
const QColor red(0xC0, 0x39, 0x2B);
const QColor blue(0x29, 0x80, 0xB9);
const QColor amber(0xE6, 0x7E, 0x22);
const QColor paper(0xFD, 0xFE, 0xFE);

void drawGlyph(QPainter& p, const QString& name) {
    // Drawn on a 20x20 grid.
    auto pen = [&](const QColor& c, double w) {
        p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    };
    if (name == QLatin1String("incluir")) {
        pen(green, 3.2);
        p.drawLine(QPointF(10, 3.5), QPointF(10, 16.5));
        p.drawLine(QPointF(3.5, 10), QPointF(16.5, 10));
    } else if (name == QLatin1String("excluir")) {
        pen(red, 3.2);
        p.drawLine(QPointF(3.5, 10), QPointF(16.5, 10));
    } else if (name == QLatin1String("alterar") || name == QLatin1String("editar")) {
        p.setPen(QPen(ink, 1));
        p.setBrush(amber);
        QPainterPath pencil;
        pencil.moveTo(4, 16);
        pencil.lineTo(5, 12);
        pencil.lineTo(13, 4);
        pencil.lineTo(16, 7);
        pencil.lineTo(8, 15);
        pencil.closeSubpath();
        p.drawPath(pencil);
        pen(ink, 1.4);
        p.drawLine(QPointF(3, 18), QPointF(17, 18));
    } else if (name == QLatin1String("procurar")) {
        pen(ink, 2.2);
        p.setBrush(QColor(0xD6, 0xEA, 0xF8));
        p.drawEllipse(QRectF(3, 3, 10, 10));
        pen(QColor(0x8E, 0x5A, 0x2B), 3.2);
        p.drawLine(QPointF(12.5, 12.5), QPointF(17, 17));
    } else if (name == QLatin1String("verificar")) {
        pen(blue, 2.4);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3.5, 3.5, 13, 13), 30 * 16, 280 * 16);
        p.setBrush(blue);
        p.setPen(Qt::NoPen);
        QPolygonF head({QPointF(17.5, 2.5), QPointF(17.5, 8.5), QPointF(11.5, 8.5)});
        p.drawPolygon(head);
    } else if (name == QLatin1String("cancelar")) {
        pen(red, 3);
        p.drawLine(QPointF(4.5, 4.5), QPointF(15.5, 15.5));
        p.drawLine(QPointF(15.5, 4.5), QPointF(4.5, 15.5));
    } else if (name == QLatin1String("confirmar")) {
        pen(green, 3.2);
        p.drawPolyline(QPolygonF({QPointF(3.5, 10.5), QPointF(8, 15), QPointF(16.5, 4.5)}));
    } else if (name == QLatin1String("imprimir") || name == QLatin1String("visualizar")) {
        p.setPen(QPen(ink, 1.2));
        p.setBrush(paper);
        p.drawRect(QRectF(6, 2.5, 8, 6));
        p.setBrush(QColor(0x95, 0xA5, 0xA6));
        p.drawRoundedRect(QRectF(2.5, 8, 15, 6.5), 1.5, 1.5);
        p.setBrush(paper);
        p.drawRect(QRectF(6, 12.5, 8, 5));
        if (name == QLatin1String("visualizar")) {
            pen(blue, 1.8);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(11, 10, 6, 6));
        }
    } else if (name == QLatin1String("ordenar")) {
        pen(blue, 2.2);
        p.drawLine(QPointF(6, 3), QPointF(6, 17));
        p.drawPolyline(QPolygonF({QPointF(3, 6), QPointF(6, 3), QPointF(9, 6)}));
        pen(ink, 2.2);
        p.drawLine(QPointF(14, 3), QPointF(14, 17));
        p.drawPolyline(QPolygonF({QPointF(11, 14), QPointF(14, 17), QPointF(17, 14)}));
    } else if (name == QLatin1String("ajuda")) {
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawEllipse(QRectF(2, 2, 16, 16));
        QFont f;
        f.setBold(true);
        f.setPixelSize(13);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(2, 2, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    } else if (name == QLatin1String("fechar")) {
        p.setPen(QPen(ink, 1.2));
        p.setBrush(QColor(0xA0, 0x6A, 0x3B));
        p.drawRect(QRectF(4, 2.5, 9, 15));
        p.setBrush(QColor(0xF4, 0xD0, 0x3F));
        p.drawEllipse(QRectF(10, 9.5, 1.8, 1.8));
        pen(red, 2.2);
        p.drawLine(QPointF(12, 10), QPointF(18, 10));
        p.drawPolyline(QPolygonF({QPointF(15.5, 7.5), QPointF(18, 10), QPointF(15.5, 12.5)}));
    } else if (name == QLatin1String("calcular")) {
        p.setPen(QPen(ink, 1.2));
        p.setBrush(QColor(0xEC, 0xF0, 0xF1));
        p.drawRoundedRect(QRectF(4, 2, 12, 16), 1.5, 1.5);
        p.setBrush(QColor(0x7F, 0xB3, 0xD5));
        p.drawRect(QRectF(6, 4, 8, 3.5));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                p.drawRect(QRectF(6 + c * 3, 9 + r * 2.8, 2, 1.8));
    } else if (name == QLatin1String("historico")) {
        pen(ink, 1.6);
        p.setBrush(paper);
        p.drawEllipse(QRectF(2.5, 2.5, 15, 15));
        pen(blue, 1.8);
        p.drawPolyline(QPolygonF({QPointF(10, 5.5), QPointF(10, 10), QPointF(13.5, 12)}));
    } else if (name == QLatin1String("salvar") || name == QLatin1String("salvarcomo")) {
        p.setPen(QPen(ink, 1.2));
        p.setBrush(blue);
        p.drawRoundedRect(QRectF(3, 3, 14, 14), 1.5, 1.5);
        p.setBrush(paper);
        p.drawRect(QRectF(6, 3, 8, 5));
        p.drawRect(QRectF(5.5, 11, 9, 6));
    }
}

// Tool button names of the base screens and the module's screens, beside the command names.
QString commandName(const QString& name) {
    QString n = name;
    if (n.startsWith(QLatin1String("sbt")) && n.size() > 3 && n.at(3).isUpper()) n = n.mid(3);
    n = n.toLower();
    static const QHash<QString, QString> aliases{{"calccomens", "calcular"}, {"print", "imprimir"},
                                                 {"preview", "visualizar"},  {"reportedit", "editar"},
                                                 {"confirma", "confirmar"},  {"histórico", "historico"}};
    return aliases.value(n, n);
}

QIcon paint(const QString& key, int size, const std::function<void(QPainter&)>& draw) {
    static QHash<QString, QIcon> cache;
    const QString id = key + QLatin1Char('@') + QString::number(size);
    if (auto it = cache.constFind(id); it != cache.constEnd()) return *it;
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pm(size * scale, size * scale);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 20.0, size / 20.0);
        draw(p);
        p.end();
        icon.addPixmap(pm);
        // A disabled button shows the same drawing greyed.
        QPixmap grey = pm;
        QPainter g(&grey);
        g.setCompositionMode(QPainter::CompositionMode_SourceIn);
        g.fillRect(grey.rect(), QColor(0xB0, 0xB0, 0xB0));
        g.end();
        icon.addPixmap(grey, QIcon::Disabled);
    }
    cache.insert(id, icon);
    return icon;
}

void drawWindowGlyph(QPainter& p, const QString& name) {
    if (name == QLatin1String("suite")) {
        // A bowl with steam on the suite's green.
        p.setPen(Qt::NoPen);
        p.setBrush(green.darker(115));
        p.drawRoundedRect(QRectF(0.5, 0.5, 19, 19), 4, 4);
        p.setBrush(paper);
        QPainterPath bowl;
        bowl.moveTo(3.5, 10);
        bowl.lineTo(16.5, 10);
        bowl.arcTo(QRectF(3.5, 4, 13, 12), 0, -180);
        p.drawPath(bowl);
        p.setPen(QPen(paper, 1.3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        for (double x : {7.5, 10.0, 12.5})
            p.drawLine(QPointF(x, 3), QPointF(x, 7.5));
    } else if (name == QLatin1String("efetivos")) {
        // A clipboard of counted rows.
        p.setPen(QPen(ink, 1.2));
        p.setBrush(QColor(0xA0, 0x6A, 0x3B));
        p.drawRoundedRect(QRectF(3, 2.5, 14, 16), 1.5, 1.5);
        p.setBrush(paper);
        p.drawRect(QRectF(5, 5, 10, 12));
        p.setBrush(QColor(0x95, 0xA5, 0xA6));
        p.drawRect(QRectF(7, 1.5, 6, 3));
        for (int r = 0; r < 3; ++r) {
            p.setPen(QPen(green, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(6.5, 8 + r * 3), QPointF(7.5, 8 + r * 3));
            p.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(9, 8 + r * 3), QPointF(13.5, 8 + r * 3));
        }
    } else if (name == QLatin1String("calculo")) {
        drawGlyph(p, QStringLiteral("calcular"));
    } else if (name == QLatin1String("listagem")) {
        drawGlyph(p, QStringLiteral("imprimir"));
    }
}

} // namespace

QString ThemeIconName(const QString& name) {
    static const QHash<QString, QString> names{
        {"incluir", "list-add"},
        {"alterar", "document-properties"},
        {"excluir", "list-remove"},
        {"procurar", "edit-find"},
        {"verificar", "view-refresh"},
        {"cancelar", "document-revert"},
        {"confirmar", "document-save"},
        {"imprimir", "document-print"},
        {"visualizar", "document-print-preview"},
        {"ordenar", "view-sort-ascending"},
        {"ajuda", "help-contents"},
        {"fechar", "window-close"},
        {"calcular", "accessories-calculator"},
        {"salvar", "document-save"},
        {"salvarcomo", "document-save-as"},
        {"editar", "document-page-setup"},
        {"historico", "document-open-recent"},
    };
    return names.value(commandName(name));
}

QIcon DrawnGlyph(const QString& name, int size) {
    const QString command = commandName(name);
    if (ThemeIconName(command).isEmpty()) return QIcon();
    return paint(command, size, [&](QPainter& p) { drawGlyph(p, command); });
}

QIcon CommandGlyph(const QString& name, int size) {
    const QString theme = ThemeIconName(name);
    if (theme.isEmpty()) return QIcon();
    return QIcon::fromTheme(theme, DrawnGlyph(name, size));
}

QIcon WindowGlyph(const QString& name) {
    static const QStringList known{"suite", "efetivos", "calculo", "listagem"};
    if (!known.contains(name)) return QIcon();
    QIcon icon;
    // Title bars, task bars and the window switcher each pick their size.
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 20.0, size / 20.0);
        drawWindowGlyph(p, name);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace kvo
