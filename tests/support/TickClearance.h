#pragma once

// How close a chart's tick marks come to its axis labels, read from the
// chart's own scene: each label's glyphs (from its first to its last
// character that is not blank, as its text layout places them) against the
// short horizontal tick lines at its height.

#include <QAbstractTextDocumentLayout>
#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace TickClearance {

struct Report
{
    int labels = 0;
    int ticks = 0;
    int pairs = 0;          // a tick beside a label, within 30 pixels
    QStringList tooClose;   // those closer than the gap asked for
};

inline QRectF inkOf(const QGraphicsTextItem *label)
{
    const QTextDocument *doc = label->document();
    const QTextBlock block = doc->firstBlock();
    const QString text = block.text();
    int first = 0, last = int(text.size()) - 1;
    while (first <= last && text.at(first).isSpace())
        ++first;
    while (last >= first && text.at(last).isSpace())
        --last;
    const QTextLine line = block.layout()->lineAt(0);
    const QRectF r = doc->documentLayout()->blockBoundingRect(block);
    const double x0 = r.left() + line.cursorToX(first), x1 = r.left() + line.cursorToX(last + 1);
    return label->mapRectToScene(QRectF(x0, r.top() + line.y(), x1 - x0, line.height()));
}

inline Report check(QGraphicsScene *scene, double minGap)
{
    Report out;
    QList<QPair<QRectF, QString>> labels;
    QList<QLineF> ticks;
    for (QGraphicsItem *item : scene->items()) {
        if (!item->isVisible())
            continue;
        if (auto *t = dynamic_cast<QGraphicsTextItem *>(item)) {
            // A tick label: a number, maybe with a unit after it ("-50°", "10 kHz").
            static const QRegularExpression number(QStringLiteral("^[+-]?\\d+(\\.\\d+)?([eE][+-]?\\d+)?(\\s*\\S{0,3})?$"));
            if (number.match(t->toPlainText().trimmed()).hasMatch())
                labels.append({inkOf(t), t->toPlainText().trimmed()});
        } else if (auto *l = dynamic_cast<QGraphicsLineItem *>(item)) {
            const QLineF line(l->mapToScene(l->line().p1()), l->mapToScene(l->line().p2()));
            if (line.dy() == 0 && line.length() < 20)
                ticks << line;
        }
    }
    out.labels = int(labels.size());
    out.ticks = int(ticks.size());
    for (const auto &[ink, text] : labels)
        for (const QLineF &tick : ticks) {
            if (tick.y1() < ink.top() || tick.y1() > ink.bottom())
                continue;
            const double left = std::min(tick.x1(), tick.x2()), right = std::max(tick.x1(), tick.x2());
            const double gap = std::max(ink.left() - right, left - ink.right());
            if (gap < 30)
                ++out.pairs;
            if (gap < minGap)
                out.tooClose << QStringLiteral("\"%1\" %2..%3, tick %4..%5 at %6")
                                    .arg(text)
                                    .arg(ink.left())
                                    .arg(ink.right())
                                    .arg(left)
                                    .arg(right)
                                    .arg(tick.y1());
        }
    return out;
}

} // namespace TickClearance
